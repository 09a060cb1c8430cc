#include "DrawnRects.h"

namespace tqf {

void DrawnRects::Take(const std::vector<Drawn>& drawn) {
    drawn_.clear();
    drawn_.reserve(drawn.size());
    for (const auto& [node, rect] : drawn) {
        // The painter drew nodes of this tree, held read-only; the reference
        // only tells when one leaves it.
        drawn_.push_back({NodeRef(tree_, const_cast<FormatNode*>(node)), rect});
    }
}

NodeRect DrawnRects::Of(const FormatNode* node) const {
    if (node == nullptr) {
        return NodeRect{};
    }
    for (const Row& row : drawn_) {
        if (row.node.Get() == node) {
            return row.rect;
        }
    }
    return NodeRect{};
}

} // namespace tqf
