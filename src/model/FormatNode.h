#pragma once

#include "Color.h"
#include "ItemFormat.h"
#include "NodeText.h"

#include <cstdint>

namespace tqf {

// The door through which tools outside the product (tests and benchmarks
// that build documents node by node, past the editing rules) reach the
// fields of the nodes and the tree: a specialisation of this, which the
// product never makes.
template <typename Tool> class Surgeon;

// One node of the document: the root, a message or an item. A node owns its
// sub-nodes through FirstChild and the NextSibling chain that starts there;
// destroying a node releases nothing else: FormatTree deletes the sub-nodes,
// and the texts stay in the document's TextArena until it forgets them all.
//
// Anyone may read a node, but only the tree and the builder that readers use
// change one, so that the rules that keep a document whole (a list's count
// and label, the links) live in those two places only.
class FormatNode {
public:
    FormatNode() = default;
    explicit FormatNode(NodeText nodeLabel) : label_(nodeLabel) {}
    FormatNode(const FormatNode&) = delete;
    FormatNode& operator=(const FormatNode&) = delete;
    ~FormatNode() = default;

    NodeText Label() const { return label_; }
    NodeText Description() const { return description_; }
    ColorRef Color() const { return color_; }
    bool UsesTreeColor() const { return usesTreeColor_ != 0; }
    bool IsExpanded() const { return expanded_ != 0; }
    bool IsList() const { return isList_ != 0; }
    bool IsMessage() const { return isMessage_ != 0; }
    // The links hand out nodes that may be changed through the tree, as the
    // tree's operations take them.
    FormatNode* Parent() const { return parent_; }
    FormatNode* NextSibling() const { return nextSibling_; }
    FormatNode* FirstChild() const { return firstChild_; }
    std::int32_t Count() const { return count_; }
    std::int32_t Format() const { return format_; }

private:
    friend class FormatTree;
    friend class StatementBuilder;
    template <typename Tool> friend class Surgeon;

    // A sub-node more (change 1) or fewer (-1): a fixed count counts them,
    // an open one stays open. False when the count stays as it was.
    bool CountSubNode(std::int32_t change) {
        if (count_ == OPEN_COUNT) {
            return false;
        }
        count_ += change;
        return true;
    }

    NodeText label_;
    NodeText description_;
    ColorRef color_ = 0;
    std::int8_t usesTreeColor_ = 1;
    std::int8_t expanded_ = 1;
    std::int8_t isList_ = 0;
    std::int8_t isMessage_ = 0;
    FormatNode* parent_ = nullptr;
    FormatNode* nextSibling_ = nullptr;
    FormatNode* firstChild_ = nullptr;
    std::int32_t count_ = 0;
    std::int32_t format_ = NONE;
};

// A library holds about a million nodes.
static_assert(sizeof(FormatNode) <= 80, "a node stays small");

} // namespace tqf
