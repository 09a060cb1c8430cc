#include "DrawnRects.h"

#include "FormatTree.h"

namespace tqf {

NodeRect DrawnRects::Of(const FormatNode* node) const {
    for (const auto& [drawn, rect] : drawn_) {
        if (drawn == node) {
            return rect;
        }
    }
    return NodeRect{};
}

void DrawnRects::Forget(const FormatNode& subtreeRoot) {
    std::erase_if(drawn_,
                  [&subtreeRoot](const Drawn& drawn) { return FormatTree::IsWithin(drawn.first, &subtreeRoot); });
}

} // namespace tqf
