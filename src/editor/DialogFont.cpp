#include "DialogFont.h"

#include "TahomaFont.h"

#include <QStringList>

namespace tqf {

namespace {

constexpr const char* TAHOMA_FAMILY = "Tahoma";

} // namespace

void DialogFont::RegisterFonts() { EnsureTahomaRegistered(); }

QFont DialogFont::MainFont() {
    RegisterFonts();
    QFont font;
    font.setFamilies({QString::fromLatin1(TAHOMA_FAMILY), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(DIALOG_FONT_PIXELS);
    return font;
}

QFont DialogFont::AboutFont() {
    RegisterFonts();
    QFont font;
    font.setFamilies({QStringLiteral("Gulim"), QString::fromUtf8("굴림"), QStringLiteral("NanumGothic"),
                      QStringLiteral("NanumBarunGothic"), QStringLiteral("Noto Sans CJK KR"),
                      QString::fromLatin1(TAHOMA_FAMILY), QStringLiteral("Sans Serif")});
    font.setPixelSize(DIALOG_FONT_PIXELS);
    return font;
}

} // namespace tqf
