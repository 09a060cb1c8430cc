#include "FocusMark.h"

#include <algorithm>

namespace tqf {

namespace {

constexpr QRgb INVERT_MASK = 0x00FFFFFFU;

void InvertIfDotted(QImage& image, int x, int y, int left, int top) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
        return;
    }
    // The dots keep their places along the frame, whatever part is clipped.
    if (((x - left) + (y - top)) % 2 != 0) {
        return;
    }
    image.setPixel(x, y, image.pixel(x, y) ^ INVERT_MASK);
}

} // namespace

NodeRect FocusMark::AroundNode(const NodeRect& rect) { return {rect.left - 1, rect.top, rect.right, rect.bottom - 1}; }

NodeRect FocusMark::InsideFrame(int width, int height) { return {1, 1, width - 2, height - 2}; }

void FocusMark::Draw(QImage& image, const NodeRect& frame) {
    if (frame.right < frame.left || frame.bottom < frame.top) {
        return;
    }
    const int left = frame.left;
    const int top = frame.top;
    const int right = frame.right;
    const int bottom = frame.bottom;
    const int firstX = std::max(left, 0);
    const int lastX = std::min(right, image.width() - 1);
    for (int x = firstX; x <= lastX; ++x) {
        InvertIfDotted(image, x, top, left, top);
        if (bottom != top) {
            InvertIfDotted(image, x, bottom, left, top);
        }
    }
    const int firstY = std::max(top + 1, 0);
    const int lastY = std::min(bottom - 1, image.height() - 1);
    for (int y = firstY; y <= lastY; ++y) {
        InvertIfDotted(image, left, y, left, top);
        if (right != left) {
            InvertIfDotted(image, right, y, left, top);
        }
    }
}

} // namespace tqf
