#include "PixelCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tqf {

namespace {

// The colour bits a focus border flips; the alpha byte stays opaque.
constexpr QRgb INVERT_MASK = 0x00FFFFFF;

// The inset of the straight edges of a rounded rectangle from its corners:
// the corner arc takes the first two pixels of every edge.
constexpr int CORNER_INSET = 2;

int Sign(int value) { return (value > 0) - (value < 0); }

} // namespace

PixelCanvas::PixelCanvas(QImage& image) : image_(image) {}

void PixelCanvas::SetPixel(int x, int y, QRgb colour) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) {
        return;
    }
    image_.setPixel(x, y, colour);
}

void PixelCanvas::InvertPixel(int x, int y) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) {
        return;
    }
    image_.setPixel(x, y, image_.pixel(x, y) ^ INVERT_MASK);
}

void PixelCanvas::DrawSegment(const QPoint& from, const QPoint& to, QRgb colour) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int steps = std::max(std::abs(dx), std::abs(dy));
    if (dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy)) {
        const int sx = Sign(dx);
        const int sy = Sign(dy);
        for (int i = 0; i < steps; ++i) {
            SetPixel(from.x() + i * sx, from.y() + i * sy, colour);
        }
        return;
    }
    // Other slopes never occur in the controls' drawings; step along the longer
    // axis and round the shorter one, still leaving out the end point.
    for (int i = 0; i < steps; ++i) {
        const int x = from.x() + static_cast<int>(std::lround(static_cast<double>(i) * dx / steps));
        const int y = from.y() + static_cast<int>(std::lround(static_cast<double>(i) * dy / steps));
        SetPixel(x, y, colour);
    }
}

void PixelCanvas::Polyline(std::initializer_list<QPoint> points, QRgb colour) {
    const QPoint* previous = nullptr;
    for (const QPoint& point : points) {
        if (previous != nullptr) {
            DrawSegment(*previous, point, colour);
        }
        previous = &point;
    }
}

void PixelCanvas::HorizontalRun(int left, int right, int y, QRgb colour) {
    for (int x = left; x <= right; ++x) {
        SetPixel(x, y, colour);
    }
}

void PixelCanvas::VerticalRun(int x, int top, int bottom, QRgb colour) {
    for (int y = top; y <= bottom; ++y) {
        SetPixel(x, y, colour);
    }
}

void PixelCanvas::FillRect(const QRect& rect, QRgb colour) {
    for (int y = rect.top(); y < rect.top() + rect.height(); ++y) {
        HorizontalRun(rect.left(), rect.left() + rect.width() - 1, y, colour);
    }
}

void PixelCanvas::Frame(const QRect& rect, QRgb colour) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const int x0 = rect.left();
    const int y0 = rect.top();
    const int x1 = x0 + rect.width() - 1;
    const int y1 = y0 + rect.height() - 1;
    HorizontalRun(x0, x1, y0, colour);
    HorizontalRun(x0, x1, y1, colour);
    VerticalRun(x0, y0, y1, colour);
    VerticalRun(x1, y0, y1, colour);
}

void PixelCanvas::Frame3D(const QRect& rect, QRgb topLeft, QRgb bottomRight) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const int x0 = rect.left();
    const int y0 = rect.top();
    const int x1 = x0 + rect.width() - 1;
    const int y1 = y0 + rect.height() - 1;
    HorizontalRun(x0, x1 - 1, y0, topLeft);
    VerticalRun(x0, y0, y1 - 1, topLeft);
    VerticalRun(x1, y0, y1, bottomRight);
    HorizontalRun(x0, x1, y1, bottomRight);
}

void PixelCanvas::RoundRect(const QRect& rect, QRgb outline, QRgb interior) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    // Inclusive pixel bounds. Each corner is a three-pixel diagonal: the
    // straight edges stop two pixels short of the corner, and one pixel sits
    // between their ends; the three pixels outside it keep what was there.
    const int x0 = rect.left();
    const int y0 = rect.top();
    const int x1 = x0 + rect.width() - 1;
    const int y1 = y0 + rect.height() - 1;
    const int inset = CORNER_INSET;

    HorizontalRun(x0 + inset, x1 - inset, y0 + 1, interior);
    HorizontalRun(x0 + inset, x1 - inset, y1 - 1, interior);
    for (int y = y0 + inset; y <= y1 - inset; ++y) {
        HorizontalRun(x0 + 1, x1 - 1, y, interior);
    }

    HorizontalRun(x0 + inset, x1 - inset, y0, outline);
    HorizontalRun(x0 + inset, x1 - inset, y1, outline);
    VerticalRun(x0, y0 + inset, y1 - inset, outline);
    VerticalRun(x1, y0 + inset, y1 - inset, outline);
    SetPixel(x0 + 1, y0 + 1, outline);
    SetPixel(x1 - 1, y0 + 1, outline);
    SetPixel(x1 - 1, y1 - 1, outline);
    SetPixel(x0 + 1, y1 - 1, outline);
}

void PixelCanvas::FocusRect(const QRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const int x0 = rect.left();
    const int y0 = rect.top();
    const int x1 = x0 + rect.width() - 1;
    const int y1 = y0 + rect.height() - 1;
    // The dots follow a checkerboard fixed to the surface, and each border
    // pixel is visited once so that a one-pixel-wide rectangle is not flipped
    // back.
    const auto dot = [this](int x, int y) {
        if (((x + y) & 1) == 0) {
            InvertPixel(x, y);
        }
    };
    for (int x = x0; x <= x1; ++x) {
        dot(x, y0);
        if (y1 != y0) {
            dot(x, y1);
        }
    }
    for (int y = y0 + 1; y < y1; ++y) {
        dot(x0, y);
        if (x1 != x0) {
            dot(x1, y);
        }
    }
}

} // namespace tqf
