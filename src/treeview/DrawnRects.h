#pragma once

#include "FormatNode.h"
#include "NodeRect.h"

#include <utility>
#include <vector>

namespace tqf {

// The nodes that the last paint drew, with their rectangles in client
// pixels: view state, which the view keeps so that painting leaves the
// document as it is.
class DrawnRects {
public:
    using Drawn = std::pair<const FormatNode*, NodeRect>;

    void Take(const std::vector<Drawn>& drawn) { drawn_ = drawn; }
    // Where the last paint drew node, or empty.
    NodeRect Of(const FormatNode* node) const;
    // Forgets subtreeRoot and every node below it, which leave the tree: a
    // node made later in their place was never drawn.
    void Forget(const FormatNode& subtreeRoot);

private:
    // A paint draws the rows of one screen, so a walk finds a node at once.
    std::vector<Drawn> drawn_;
};

} // namespace tqf
