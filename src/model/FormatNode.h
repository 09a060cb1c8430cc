#pragma once

#include "Color.h"
#include "ItemFormat.h"
#include "NodeText.h"

#include <cstdint>

namespace tqf {

// A rectangle in client pixels; right and bottom are exclusive.
struct NodeRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const NodeRect&, const NodeRect&) = default;
};

// One node of the document: the root, a message or an item. A node owns its
// sub-nodes through firstChild and the nextSibling chain that starts there;
// destroying a node releases nothing else: FormatTree deletes the sub-nodes,
// and the texts stay in the document's TextArena until it forgets them all.
// The texts are read here but set through FormatTree, which stores them.
class FormatNode {
public:
    FormatNode() = default;
    explicit FormatNode(NodeText nodeLabel) : label(nodeLabel) {}
    FormatNode(const FormatNode&) = delete;
    FormatNode& operator=(const FormatNode&) = delete;
    ~FormatNode() = default;

    NodeText label;
    NodeText description;
    NodeRect rect;
    ColorRef color = 0;
    std::int8_t usesTreeColor = 1;
    std::int8_t expanded = 1;
    std::int8_t isList = 0;
    std::int8_t isMessage = 0;
    FormatNode* parent = nullptr;
    FormatNode* nextSibling = nullptr;
    FormatNode* firstChild = nullptr;
    std::int32_t count = 0;
    std::int32_t format = NONE;
};

// A library holds about a million nodes.
static_assert(sizeof(FormatNode) <= 80, "a node stays small");

} // namespace tqf
