#pragma once

#include <QRect>
#include <QSize>

namespace tqf {

// A rectangle in dialog units: x, y, width, height.
struct UnitRect {
    int x;
    int y;
    int width;
    int height;
};

// Converts the dialog units of a window layout into pixels. A horizontal unit
// is a quarter of the font's average character width and a vertical unit an
// eighth of its height; the two base units are fixed per dialog font, so a
// window has the same size on every screen and with every fallback font.
class DialogUnits {
public:
    constexpr DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    // number * numerator / denominator, rounded half away from zero.
    static int MulDiv(int number, int numerator, int denominator);

    int X(int units) const { return MulDiv(units, baseX_, HORIZONTAL_DIVISOR); }
    int Y(int units) const { return MulDiv(units, baseY_, VERTICAL_DIVISOR); }

    // Converts each edge on its own, so that neighbouring controls meet
    // exactly as their units do.
    QRect Rect(int x, int y, int width, int height) const;
    QRect Rect(const UnitRect& rect) const { return Rect(rect.x, rect.y, rect.width, rect.height); }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }

private:
    static constexpr int HORIZONTAL_DIVISOR = 4;
    static constexpr int VERTICAL_DIVISOR = 8;

    int baseX_;
    int baseY_;
};

// The base units of "Tahoma" at 9 points on a 96 dots-per-inch screen: the
// average width of the Latin letters and the cell height of the font.
inline constexpr DialogUnits TAHOMA_9_UNITS{7, 14};

// The base units of "굴림" (Gulim) at 9 points on a 96 dots-per-inch screen.
inline constexpr DialogUnits GULIM_9_UNITS{6, 14};

} // namespace tqf
