#pragma once

#include "Color.h"
#include "FormatNode.h"
#include "NodeRect.h"
#include "RuleBook.h"
#include "TreeLayout.h"

#include <QImage>

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tqf {

// What the tree is painted with besides its layout.
struct TreeAppearance {
    ColorRef textColor = 0;
    ColorRef lineColor = 0;
    ColorRef backgroundColor = 0;
    bool showLines = true;
    // The background picture already stretched to the image's size, or none.
    const QImage* picture = nullptr;
};

// Paints the laid-out tree into an image the size of the client area: the
// background, the labels of the rows that meet the image, the connector lines
// and node boxes, and the black frame. Only rows near the image are visited,
// so the cost does not grow with the document.
class TreePainter {
public:
    // The colour of the centre of a leaf's box, whatever the background.
    static constexpr ColorRef LEAF_CENTER_COLOR = Rgb(255, 255, 255);
    static constexpr ColorRef FRAME_COLOR = Rgb(0, 0, 0);
    // Rules are shown after their row's label in this quieter colour.
    static constexpr ColorRef RULES_COLOR = Rgb(128, 128, 128);
    // The room between a label and its rules, in pixels.
    static constexpr int RULES_GAP = 8;
    // A node's box is BOX_SIZE square, its right edge BOX_RIGHT_GAP + 1
    // pixels left of the text; a leaf's centre is the inner square.
    static constexpr int BOX_SIZE = 5;
    static constexpr int BOX_LEFT = 8;
    static constexpr int BOX_HALF = 2;
    static constexpr int CENTER_SIZE = 3;
    static constexpr int CENTER_LEFT = 7;
    static constexpr int CENTER_HALF = 1;
    // A node's connector column lies at the centre of its parent's box.
    static constexpr int CONNECTOR_OFFSET = 6;

    TreePainter(const TreeLayout& layout, const FormatNode* root, const TreeAppearance& appearance);

    // The rules of the document, shown after the labels of their nodes
    // where the label's last row leaves room; none: no rules shown.
    void SetRules(const RuleBook* rules) { rules_ = rules != nullptr && !rules->Empty() ? rules : nullptr; }

    // Paints with the first row at MARGIN - scroll and returns the image.
    QImage Paint(int width, int height, int scroll);

    // The nodes whose rows met the image in the last Paint, with their
    // rectangles in client pixels.
    const std::vector<std::pair<const FormatNode*, NodeRect>>& DrawnRects() const { return drawn_; }

    // A laid-out node's rectangle in client pixels for a scroll position and
    // client width: from the text start to the right margin over all its rows;
    // (0, 0, 0, 0) for a label that has no room.
    static NodeRect ClientRect(const RowPlacement& row, int scroll, int clientWidth);

private:
    // One node's geometry for its connectors, in client pixels (wide, since
    // far rows lie outside 32 bits' worth of pixels only in theory).
    struct Connector {
        const FormatNode* node = nullptr;
        std::int32_t depth = 0;
        std::int64_t left = 0;
        std::int64_t midY = 0;
        std::int64_t parentMidY = 0;
        bool hasParentLine = false;
        // A label without room has the empty rectangle, which puts all its
        // connectors left of the client area.
        bool invisible = false;
    };

    void FillBackground();
    void DrawLabels(std::size_t first, std::size_t last, std::int64_t firstTop);
    // The rules of node after its label's last row, rowRect, that holds text.
    void DrawRules(QPainter& painter, const FormatNode* node, const QRect& rowRect, const QString& text);
    // Draws the connectors of the rows [first, last), whose first row starts
    // at firstTop, in the order that draws every node's sub-nodes before the
    // node itself; with bottomLines, also the lines that run from these rows
    // to sub-nodes below the image.
    void DrawConnectors(std::size_t first, std::size_t last, std::int64_t firstTop, bool bottomLines);
    void EmitBelow(const FormatNode* node, std::int32_t depth);
    Connector MakeConnector(const FormatNode* node, std::int64_t contentTop, std::int32_t height,
                            std::int32_t depth) const;
    std::int64_t MidYOf(const FormatNode* node);
    void Emit(const Connector& connector);
    void Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, ColorRef color);
    void FillColumn(std::int64_t x, std::int64_t fromY, std::int64_t toY, ColorRef color);
    void DrawFrame();
    std::int64_t ClientTop(std::int64_t contentTop) const { return TreeLayout::MARGIN - scroll_ + contentTop; }

    const TreeLayout& layout_;
    const FormatNode* root_;
    const RuleBook* rules_ = nullptr;
    TreeAppearance appearance_;
    QImage image_;
    int width_ = 0;
    int height_ = 0;
    int scroll_ = 0;
    std::unordered_map<const FormatNode*, std::int64_t> midYCache_;
    std::vector<std::pair<const FormatNode*, NodeRect>> drawn_;
};

} // namespace tqf
