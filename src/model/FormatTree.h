#pragma once

#include "FormatNode.h"
#include "FormatTreeListener.h"
#include "NodePool.h"

#include <string>
#include <vector>

namespace tqf {

inline constexpr const char* MSG_CANNOT_ADD_NEW_SUB_ITEM = "Cannot add new sub item.";
inline constexpr const char* MSG_NOT_A_LIST_ITEM = "It is not a list item.";

// The document: a root node whose children are the messages, each holding at
// most one item, and items of which only lists hold further items. Every
// change of shape goes through these operations.
class FormatTree {
public:
    explicit FormatTree(FormatTreeListener* listener = nullptr);
    FormatTree(const FormatTree&) = delete;
    FormatTree& operator=(const FormatTree&) = delete;
    ~FormatTree();

    void SetListener(FormatTreeListener* listener) { listener_ = listener; }

    FormatNode* GetRootNode() { return &root_; }
    const FormatNode* GetRootNode() const { return &root_; }

    // Inserts a node right after x under the same parent; none when the parent
    // is a message that already holds its item.
    FormatNode* AddSibling(FormatNode* x, std::string label, bool repaint);

    // Inserts a node as the first sub-node of p (none means the root); none
    // when p is an item that is not a list.
    FormatNode* AddChild(FormatNode* p, std::string label, bool repaint);

    // Deletes x with its whole sub-tree and unlinks it; for the root, deletes
    // everything below it and keeps the root.
    void DeleteNode(FormatNode* x, bool repaint);

    // Deletes x, every node that follows it in its sibling chain, and all
    // their sub-trees, without unlinking or counting. Only DeleteNode and the
    // destructor use it.
    void DeleteChain(FormatNode* x);

    // The real number of sub-nodes of a list; 0 for anything else.
    static int CountListChildren(const FormatNode* x);

    // The node right before x under the same parent, or none.
    static FormatNode* PreviousSibling(const FormatNode* x);

    // Adds a sub-node at the end of t's sub-nodes.
    FormatNode* AppendSubNode(FormatNode* t, std::string label);

    // True when node is subtreeRoot or lies below it.
    static bool IsWithin(const FormatNode* node, const FormatNode* subtreeRoot);

    // True when node belongs to this tree.
    bool Owns(const FormatNode* node) const;

    // While one of these lives, adding and deleting nodes under a fixed list
    // still counts them, but the list keeps its label; when the last one
    // ends, every list counted meanwhile gets the label of its final count.
    // A caller that adds many nodes in a row, such as the reader, thus
    // labels each list once instead of once per sub-node, and the document
    // ends up exactly as without it.
    class DeferredListLabels {
    public:
        explicit DeferredListLabels(FormatTree& tree);
        DeferredListLabels(const DeferredListLabels&) = delete;
        DeferredListLabels& operator=(const DeferredListLabels&) = delete;
        ~DeferredListLabels();

    private:
        FormatTree& tree_;
    };

private:
    void RaiseCount(FormatNode* parent);
    void LowerCount(FormatNode* parent);
    void Relabel(FormatNode* list);
    void RelabelDeferredLists();
    void Repaint();
    void AssertOwned(const FormatNode* node);
    FormatNode* NewNode(std::string label, const FormatNode* parent);
    void FreeNode(FormatNode* node);
    NodePool& PoolUnder(const FormatNode* parent) { return parent == &root_ ? messagePool_ : itemPool_; }

    // Declared before the root, so that the nodes' storage outlives them.
    // Messages are kept apart from items: walking the messages, as creating
    // one does to find its place, then reads nodes that lie close together.
    NodePool messagePool_{sizeof(FormatNode)};
    NodePool itemPool_{sizeof(FormatNode)};
    FormatNode root_;
    FormatTreeListener* listener_;
    const FormatNode* ownedCache_ = nullptr; // debug builds only: last node checked
    // How many DeferredListLabels live, and the lists they hold back, in the
    // order they were first counted (a list may appear more than once).
    int deferrals_ = 0;
    std::vector<FormatNode*> deferredLists_;
};

} // namespace tqf
