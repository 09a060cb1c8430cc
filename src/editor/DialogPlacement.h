#pragma once

#include <QRect>
#include <QSize>

namespace tqf {

// Where a dialog that points into the tree stands, so that the tree stays in
// view: a frame of size beside window (the main window) to the right, left,
// above or below, the first place that lies on screen without covering
// keepClear (the tree); else in the strip of the screen right, left, above or
// below keepClear that leaves the dialog the most room, shrunk to the strip
// where it must be, never below minimum; else, where no strip holds even
// that, the screen's bottom-right corner. All rectangles in screen
// coordinates; the answer is the frame's place and size.
QRect PlaceClearOf(QSize size, QSize minimum, const QRect& window, const QRect& keepClear, const QRect& screen);

} // namespace tqf
