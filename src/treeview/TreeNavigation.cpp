#include "TreeNavigation.h"

#include "FormatNode.h"

#include <Qt>

#include <algorithm>

namespace tqf::TreeNavigation {

std::size_t RowForKey(const TreeLayout& layout, std::optional<std::size_t> at, int key, std::int64_t page) {
    const std::size_t rows = layout.Size();
    if (key == Qt::Key_End) {
        return rows - 1;
    }
    if (!at || key == Qt::Key_Home) {
        return 0;
    }
    if (key == Qt::Key_Up) {
        return *at > 0 ? *at - 1 : 0;
    }
    if (key == Qt::Key_Down) {
        return std::min(*at + 1, rows - 1);
    }
    const std::int64_t top = layout.At(*at).top;
    const std::int64_t y = key == Qt::Key_PageUp ? top - page : top + page;
    return y < 0 ? 0 : std::min(layout.FirstEndingAfter(y), rows - 1);
}

std::int64_t RevealPosition(const RowPlacement& row, std::int64_t height, std::int64_t position, bool centre,
                            int margin) {
    if (centre) {
        return margin + row.top + row.height / 2 - height / 2;
    }
    // The positions at which the row starts where the first row starts
    // unscrolled, and at which it ends at the client area's bottom.
    const std::int64_t atTop = row.top;
    const std::int64_t atBottom = margin + row.top + row.height - height;
    if (position > atTop || row.height > height) {
        return atTop;
    }
    return std::max(position, atBottom);
}

std::int64_t AlignToRow(const TreeLayout& layout, std::int64_t position, const RowPlacement& row, std::int64_t height,
                        int margin, std::int64_t limit) {
    const std::size_t cut = layout.FirstEndingAfter(position);
    // At the end of the content the view stops where its scroll bar does.
    if (cut >= layout.Size() || position >= limit) {
        return position;
    }
    const RowPlacement top = layout.At(cut);
    if (top.top == position) {
        return position;
    }
    const auto whole = [&](std::int64_t at) {
        const std::int64_t y = margin + row.top - at;
        return y >= 0 && y + row.height <= height;
    };
    // The nearer of the two whole rows' positions that keeps row whole.
    const std::int64_t above = top.top;
    const std::int64_t below = top.top + top.height;
    const bool aboveFits = whole(above);
    const bool belowFits = below <= limit && whole(below);
    if (aboveFits && (!belowFits || position - above <= below - position)) {
        return above;
    }
    return belowFits ? below : position;
}

int CountMessages(const FormatNode* root, int limit) {
    int messages = 0;
    for (const FormatNode* m = root->FirstChild(); m != nullptr && messages < limit; m = m->NextSibling()) {
        ++messages;
    }
    return messages;
}

const FormatNode* PlaceTakerOf(const FormatNode& node) {
    if (node.NextSibling() != nullptr) {
        return node.NextSibling();
    }
    const FormatNode* parent = node.Parent();
    if (parent == nullptr) {
        return nullptr;
    }
    const FormatNode* previous = nullptr;
    for (const FormatNode* sibling = parent->FirstChild(); sibling != nullptr && sibling != &node;
         sibling = sibling->NextSibling()) {
        previous = sibling;
    }
    if (previous != nullptr) {
        return previous;
    }
    // The root is no row.
    return parent->Parent() != nullptr ? parent : nullptr;
}

} // namespace tqf::TreeNavigation
