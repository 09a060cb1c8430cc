#pragma once

#include <QFont>

namespace tqf {

// The fonts of the program's dialogs. Linux has no Tahoma of its own; the
// Wine project's copy is registered when it is installed, otherwise the
// default sans serif stands in.
class DialogFont {
public:
    // Makes "Tahoma" available where the system has the Wine project's copy;
    // later calls do nothing.
    static void RegisterFonts();

    // "Tahoma" at 9 points, the font of the main window and its controls.
    static QFont MainFont();

    // "굴림" at 9 points, the font of the About box; any Hangul font stands in.
    static QFont AboutFont();

    // 9 points at 96 dots per inch, the size the fixed dialog units assume.
    static constexpr int DIALOG_FONT_PIXELS = 12;
};

} // namespace tqf
