#pragma once

#include <cstdint>
#include <string_view>

namespace tqf {

// One item of a statement while it is being read: a list or a non-list item,
// linked into the ParseTree that owns it.
class ParseNode {
public:
    // The kind of a node that has not been given one yet.
    static constexpr std::int32_t NO_KIND = -2;

    ParseNode() = default;
    ParseNode(const ParseNode&) = delete;
    ParseNode& operator=(const ParseNode&) = delete;
    virtual ~ParseNode() = default;

    std::int32_t kind = NO_KIND; // an ItemFormat value: LIST, BINARY to FLOAT8, or VARIANT
    std::int32_t open = 0;       // 1 when the count was written as "[N]"
    std::int32_t count = 0;      // a list: the number of its sub-items; otherwise the item count
    std::string_view text;       // the item's description, kept by the tree
    ParseNode* parent = nullptr;
    ParseNode* firstChild = nullptr;
    ParseNode* lastChild = nullptr; // so that appending a sub-item never walks the sub-items
    ParseNode* prevSibling = nullptr;
    ParseNode* nextSibling = nullptr;
};

} // namespace tqf
