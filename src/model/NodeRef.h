#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

namespace tqf {

class FormatNode;
class FormatTree;

// A reference to a node of a tree, held outside it, that becomes none by
// itself when its node leaves the tree (deleted, or taken out into the
// history): nobody has to remember to forget it. It never owns its node.
// The tree knows each reference by its address, so a reference is moved,
// never copied by accident: a move tells the tree where it went.
class NodeRef {
public:
    explicit NodeRef(FormatTree& tree, FormatNode* node = nullptr);
    NodeRef(const NodeRef&) = delete;
    NodeRef& operator=(const NodeRef&) = delete;
    // The moved-from reference refers to no node.
    NodeRef(NodeRef&& other);
    NodeRef& operator=(NodeRef&& other);
    ~NodeRef();

    NodeRef& operator=(FormatNode* node);

    FormatNode* Get() const { return node_; }
    operator FormatNode*() const { return node_; }
    FormatNode* operator->() const { return node_; }

private:
    friend class FormatTree;
    friend class NodeRefRegistry;

    FormatTree* tree_;
    FormatNode* node_;
    // The other references to the same node, before and after this one.
    NodeRef* previous_ = nullptr;
    NodeRef* next_ = nullptr;
};

// The references to the nodes of one tree, by the node they refer to. Those
// to one node form a list through the references themselves, so that taking
// one in or out, or clearing those of a node, needs no search among the
// others.
class NodeRefRegistry {
public:
    NodeRefRegistry() = default;
    NodeRefRegistry(const NodeRefRegistry&) = delete;
    NodeRefRegistry& operator=(const NodeRefRegistry&) = delete;

    // ref, under the node it refers to.
    void Add(NodeRef* ref);
    void Remove(NodeRef* ref);
    // Every reference to subtreeRoot or to a node below it comes to refer to
    // none. The sub-tree's nodes are looked up one by one while there are
    // fewer of them than referred-to nodes; otherwise each referred-to node
    // is asked whether it lies within: either way the cost is the smaller
    // one, never every reference for a single node.
    void ClearWithin(const FormatNode& subtreeRoot);
    // The tree goes: every reference refers to no node of no tree.
    void LetGoOfAll();
    // How many nodes are referred to.
    std::size_t ReferencedNodes() const { return heads_.size() - (heads_.contains(nullptr) ? 1 : 0); }

private:
    void ClearRefsTo(const FormatNode* node);
    // Walks the sub-tree for referred-to nodes into found, but gives up
    // (false) after more than limit nodes.
    bool FindWithin(const FormatNode& subtreeRoot, std::size_t limit, std::vector<const FormatNode*>& found) const;

    // The first reference of each node's list; those to no node are kept
    // under none, so that the tree can let go of them too.
    std::unordered_map<const FormatNode*, NodeRef*> heads_;
};

} // namespace tqf
