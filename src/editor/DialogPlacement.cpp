#include "DialogPlacement.h"

#include <algorithm>

namespace tqf {

QRect PlaceClearOf(QSize size, QSize minimum, const QRect& window, const QRect& keepClear, const QRect& screen) {
    const int width = size.width();
    const int height = size.height();
    const QPoint besideWindow[] = {
        {window.right() + 1, window.top()},
        {window.left() - width, window.top()},
        {window.left(), window.top() - height},
        {window.left(), window.bottom() + 1},
    };
    for (const QPoint& at : besideWindow) {
        const QRect place(at, size);
        if (screen.contains(place) && !place.intersects(keepClear)) {
            return place;
        }
    }
    // The screen's parts beside the tree, each as wide or as high as the
    // screen, in the order they are preferred.
    const QRect strips[] = {
        QRect(QPoint(keepClear.right() + 1, screen.top()), screen.bottomRight()),
        QRect(screen.topLeft(), QPoint(keepClear.left() - 1, screen.bottom())),
        QRect(screen.topLeft(), QPoint(screen.right(), keepClear.top() - 1)),
        QRect(QPoint(screen.left(), keepClear.bottom() + 1), screen.bottomRight()),
    };
    QRect best;
    for (int i = 0; i < 4; ++i) {
        const QRect strip = strips[i].intersected(screen);
        const QSize fitted = size.boundedTo(strip.size());
        if (strip.isEmpty() || fitted.width() < minimum.width() || fitted.height() < minimum.height() ||
            static_cast<long long>(fitted.width()) * fitted.height() <=
                static_cast<long long>(best.width()) * best.height()) {
            continue;
        }
        // Next to the tree, level with its top (or its left edge), as far as
        // the strip allows.
        const int x = std::clamp(keepClear.left(), strip.left(), strip.right() + 1 - fitted.width());
        const int y = std::clamp(keepClear.top(), strip.top(), strip.bottom() + 1 - fitted.height());
        switch (i) {
        case 0:
            best = QRect(QPoint(strip.left(), y), fitted);
            break;
        case 1:
            best = QRect(QPoint(strip.right() + 1 - fitted.width(), y), fitted);
            break;
        case 2:
            best = QRect(QPoint(x, strip.bottom() + 1 - fitted.height()), fitted);
            break;
        default:
            best = QRect(QPoint(x, strip.top()), fitted);
            break;
        }
    }
    if (!best.isEmpty()) {
        return best;
    }
    const QSize fitted = size.boundedTo(screen.size());
    return {QPoint(screen.right() + 1 - fitted.width(), screen.bottom() + 1 - fitted.height()), fitted};
}

} // namespace tqf
