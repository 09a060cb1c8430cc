#include "HeadlessEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QtGlobal>

#include <sys/stat.h>
#include <unistd.h>

namespace tqf::test {

void PrepareHeadlessEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The editor keeps nothing of the tests in the user's settings.
    qputenv("TQF_NO_SETTINGS", "1");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtimeDir = QDir::tempPath() + QStringLiteral("/tqf-runtime-") + QString::number(getuid());
        QDir().mkpath(runtimeDir);
        ::chmod(runtimeDir.toLocal8Bit().constData(), S_IRWXU);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.toLocal8Bit());
    }
}

} // namespace tqf::test
