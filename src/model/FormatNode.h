#pragma once

#include "Color.h"
#include "ItemFormat.h"

#include <cstdint>
#include <string>

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
// destroying a node releases its own texts only, FormatTree deletes the rest.
class FormatNode {
public:
    FormatNode() = default;
    explicit FormatNode(std::string nodeLabel) : label(std::move(nodeLabel)) {}
    FormatNode(const FormatNode&) = delete;
    FormatNode& operator=(const FormatNode&) = delete;
    virtual ~FormatNode() = default;

    std::string label;
    std::string description;
    NodeRect rect;
    ColorRef color = 0;
    std::int32_t usesTreeColor = 1;
    std::int32_t expanded = 1;
    std::int32_t isList = 0;
    std::int32_t isMessage = 0;
    FormatNode* parent = nullptr;
    FormatNode* nextSibling = nullptr;
    FormatNode* firstChild = nullptr;
    std::int32_t count = 0;
    std::int32_t format = NONE;
};

} // namespace tqf
