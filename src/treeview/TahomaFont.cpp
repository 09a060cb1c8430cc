#include "TahomaFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace tqf {

namespace {

// Where Debian's fonts-wine puts them; fontconfig does not search there.
constexpr const char* TAHOMA_FILES[] = {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"};
constexpr const char* TAHOMA_FAMILY = "Tahoma";

bool RegisterTahoma() {
    for (const char* path : TAHOMA_FILES) {
        const QString file = QString::fromLatin1(path);
        if (QFile::exists(file)) {
            QFontDatabase::addApplicationFont(file);
        }
    }
    return QFontDatabase::families().contains(QString::fromLatin1(TAHOMA_FAMILY), Qt::CaseInsensitive);
}

} // namespace

bool EnsureTahomaRegistered() {
    static const bool available = RegisterTahoma();
    return available;
}

} // namespace tqf
