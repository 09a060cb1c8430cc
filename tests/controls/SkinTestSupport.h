#pragma once

#include "SkinButton.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QRgb>

#include <set>
#include <utility>

namespace tqf::test {

// A fixed palette, so that every pixel of a rendering is known. Each role has
// a colour of its own, and the two midpoints differ from all of them.
inline constexpr QRgb FRAME = 0xFF0A141E;       // WindowText (10, 20, 30)
inline constexpr QRgb FACE = 0xFFD4D0C8;        // Button (212, 208, 200)
inline constexpr QRgb SHADOW = 0xFF808080;      // Dark (128, 128, 128)
inline constexpr QRgb DARK_SHADOW = 0xFF404040; // Shadow (64, 64, 64)
inline constexpr QRgb HIGHLIGHT = 0xFFFFFFFF;   // Light (255, 255, 255)
inline constexpr QRgb LIGHT = 0xFFDFDFDF;       // Midlight (223, 223, 223)
inline constexpr QRgb FACE_SHADOW = 0xFFAAA8A4; // (170, 168, 164)
inline constexpr QRgb SHADOW_DARK = 0xFF606060; // (96, 96, 96)
inline constexpr QRgb BLACK = 0xFF000000;

inline QPalette TestPalette() {
    QPalette palette;
    palette.setColor(QPalette::WindowText, QColor::fromRgb(FRAME));
    palette.setColor(QPalette::Button, QColor::fromRgb(FACE));
    palette.setColor(QPalette::Dark, QColor::fromRgb(SHADOW));
    palette.setColor(QPalette::Shadow, QColor::fromRgb(DARK_SHADOW));
    palette.setColor(QPalette::Light, QColor::fromRgb(HIGHLIGHT));
    palette.setColor(QPalette::Midlight, QColor::fromRgb(LIGHT));
    return palette;
}

// A font drawn without smoothing, so that glyph pixels carry exactly the
// caption colour.
inline QFont TestFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Gives a button the fixed palette and font and the given size.
inline void Prepare(SkinButton& button, int width, int height) {
    button.setPalette(TestPalette());
    button.setFont(TestFont());
    button.resize(width, height);
}

// Where the caption of the button lands, measured as the button measures it.
inline QRect ExpectedCaptionRect(const SkinButton& button) {
    const QFontMetrics metrics(button.font());
    return SkinButton::CaptionRect(button.Kind(), button.size(),
                                   QSize(metrics.horizontalAdvance(button.text()), metrics.height()));
}

using PixelSet = std::set<std::pair<int, int>>;

inline PixelSet PixelsOfColour(const QImage& image, QRgb colour) {
    PixelSet pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

inline PixelSet DifferingPixels(const QImage& a, const QImage& b) {
    PixelSet pixels;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

// The dots of a focus border on the rectangle: the border pixels whose
// coordinates add up to an even number.
inline PixelSet FocusDots(const QRect& rect) {
    PixelSet pixels;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const bool border = x == rect.left() || x == rect.right() || y == rect.top() || y == rect.bottom();
            if (border && ((x + y) % 2) == 0) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

} // namespace tqf::test
