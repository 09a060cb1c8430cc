#pragma once

#include "FormatTree.h"

#include <cstdint>
#include <string_view>

namespace tqf {

struct TreeSurgeryTool;

// Builds and takes apart a document node by node, as tests and benchmarks set
// up the documents they need: reaching past the editing rules, and without
// recording, so each operation that adds or deletes a node drops the history.
// The product reads documents through the builder and edits them through the
// tree's recorded operations.
template <> class Surgeon<TreeSurgeryTool> {
public:
    // Inserts a node right after x under the same parent; none when the parent
    // is a message that already holds its item.
    static FormatNode* AddSibling(FormatTree& tree, FormatNode* x, std::string_view label, bool repaint);
    // Inserts a node as the first sub-node of p (none means the root); none
    // when p is an item that is not a list.
    static FormatNode* AddChild(FormatTree& tree, FormatNode* p, std::string_view label, bool repaint);
    // Adds a sub-node at the end of t's sub-nodes.
    static FormatNode* AppendSubNode(FormatTree& tree, FormatNode* t, std::string_view label);
    // Deletes x with its whole sub-tree and unlinks it; for the root, deletes
    // everything below it and keeps the root.
    static void DeleteNode(FormatTree& tree, FormatNode* x, bool repaint);
    // The node right before x under the same parent, or none.
    static FormatNode* PreviousSibling(const FormatNode* x) { return FormatTree::PreviousSibling(x); }

    // Store text and make it the node's label or description, without
    // telling the listener.
    static void SetLabel(FormatTree& tree, FormatNode* node, std::string_view text);
    static void SetDescription(FormatTree& tree, FormatNode* node, std::string_view text);
    // The same for texts already in the tree's arena (or constant).
    static void SetTexts(FormatTree& tree, FormatNode* node, NodeText label, NodeText description);
    // Makes a node a message, or an item of format and count (a list for
    // LIST), in the same way.
    static void MakeMessage(FormatTree& tree, FormatNode* node);
    static void SetItemFormat(FormatTree& tree, FormatNode* node, std::int32_t format, std::int32_t count);

    // The steps the tree holds, for tests of their bounds.
    static const EditHistory& History(const FormatTree& tree) { return tree.history_; }

    // The two ends of a DeferredListLabels.
    static void HoldListLabels(const FormatTree& tree);
    static void ReleaseListLabels(FormatTree& tree);

private:
    // A sub-node more (change 1) or fewer (-1) under parent, which a list
    // states in its label at once, or when its labels are held, at their
    // release.
    static void CountSubNode(FormatTree& tree, FormatNode* parent, std::int32_t change);
    // Tells the listener of a node added (if any) under parent.
    static void StructureChanged(FormatTree& tree, const FormatNode* added, const FormatNode& parent, bool repaint);
    // A new node under parent, put in at link (parent's first-child link or
    // a sibling's next-sibling link); or, when refusal is given, none, and
    // the listener is told why.
    static FormatNode* Insert(FormatTree& tree, FormatNode* parent, FormatNode*& link, std::string_view label,
                              bool repaint, const char* refusal);
};

using TreeSurgery = Surgeon<TreeSurgeryTool>;

} // namespace tqf
