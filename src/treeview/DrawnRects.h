#pragma once

#include "FormatNode.h"
#include "NodeRect.h"
#include "NodeRef.h"

#include <utility>
#include <vector>

namespace tqf {

class FormatTree;

// The nodes that the last paint drew, with their rectangles in client
// pixels: view state, which the view keeps so that painting leaves the
// document as it is. A node that leaves the tree is forgotten by itself: a
// node made later in its place was never drawn.
class DrawnRects {
public:
    using Drawn = std::pair<const FormatNode*, NodeRect>;

    explicit DrawnRects(FormatTree& tree) : tree_(tree) {}

    // drawn: nodes of the tree, as the last paint drew them.
    void Take(const std::vector<Drawn>& drawn);
    // Where the last paint drew node, or empty.
    NodeRect Of(const FormatNode* node) const;

private:
    struct Row {
        NodeRef node;
        NodeRect rect;
    };

    FormatTree& tree_;
    // A paint draws the rows of one screen, so a walk finds a node at once.
    std::vector<Row> drawn_;
};

} // namespace tqf
