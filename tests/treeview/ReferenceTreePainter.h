#pragma once

#include "Color.h"
#include "FormatNode.h"
#include "NodeRect.h"

#include <QFont>
#include <QImage>

#include <map>
#include <string>

namespace tqf {

// The tree's paint as plainly as it can be written, without any layout kept
// between paints: every visible node is laid out from the top, its label
// broken by measuring prefixes with QFontMetrics, and the connectors drawn in
// a walk over every visible node. Tests compare the view's paint, which keeps
// and reuses its layout, with this one.
struct ReferenceTreePainter {
    QFont font;
    int rowHeight = 0;
    ColorRef textColor = 0;
    ColorRef lineColor = 0;
    ColorRef backgroundColor = 0;
    bool showLines = true;
    const QImage* picture = nullptr; // already stretched to the client size

    // Where each visible node was laid out by the last Paint.
    std::map<const FormatNode*, NodeRect> rects;

    QImage Paint(const FormatNode* root, int width, int height, int scroll);
    static int FindLineBreak(const std::u32string& text, int available, const QFont& font);
};

} // namespace tqf
