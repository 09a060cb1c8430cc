#pragma once

#include "FormatNode.h"
#include "NodeRect.h"

#include <QImage>

namespace tqf {

// The dotted mark of the focused tree, drawn as the platform draws a focus
// rectangle: every other pixel of a one-pixel frame inverted, so that it
// shows on any background and takes no room of its own.
class FocusMark {
public:
    // The frame around a node's rows: one pixel left of its text start and
    // on the first pixel of the right margin, on its first and last pixel
    // rows. Nothing of the layout moves; the mark only covers pixels that
    // the text's left edge, the margin and the row padding leave free.
    static NodeRect AroundNode(const NodeRect& rect);

    // The frame just inside the client area's black frame, for a focused
    // tree without a chosen node in view.
    static NodeRect InsideFrame(int width, int height);

    // Inverts every other pixel of the frame (left, top, right, bottom
    // inclusive, clipped to the image), starting with the top-left corner.
    static void Draw(QImage& image, const NodeRect& frame);
};

} // namespace tqf
