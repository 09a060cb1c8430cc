#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <initializer_list>

namespace tqf {

// Writes single pixels into an image, so that lines, frames and corners land
// exactly where the skinned controls want them. Every write outside the image
// is dropped. Rectangles are QRects (x, y, width, height); pixel colours are
// opaque QRgb values.
class PixelCanvas {
public:
    explicit PixelCanvas(QImage& image);

    void SetPixel(int x, int y, QRgb colour);
    void SetPixel(const QPoint& point, QRgb colour) { SetPixel(point.x(), point.y(), colour); }

    // Draws P1 -> P2 -> ... segment by segment with a one-pixel pen. Each
    // segment paints its start point and not its end point, so the last point
    // is never painted. Segments are horizontal, vertical or at 45 degrees; any
    // other slope is stepped along its longer axis.
    void Polyline(std::initializer_list<QPoint> points, QRgb colour);

    void FillRect(const QRect& rect, QRgb colour);

    // The one-pixel border of the rectangle.
    void Frame(const QRect& rect, QRgb colour);

    // A bevel: the top row and left column (without the far corners) in
    // topLeft, the right column and bottom row in bottomRight.
    void Frame3D(const QRect& rect, QRgb topLeft, QRgb bottomRight);

    // A rectangle with corners cut by a small round arc, the outline in one
    // colour and the inside in another; it covers exactly the rectangle.
    void RoundRect(const QRect& rect, QRgb outline, QRgb interior);

    // The dotted keyboard-focus border: every other pixel of the rectangle's
    // border is inverted, so drawing it twice removes it.
    void FocusRect(const QRect& rect);

private:
    void DrawSegment(const QPoint& from, const QPoint& to, QRgb colour);
    void HorizontalRun(int left, int right, int y, QRgb colour);
    void VerticalRun(int x, int top, int bottom, QRgb colour);
    void InvertPixel(int x, int y);

    QImage& image_;
};

} // namespace tqf
