#pragma once

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

    NodeRef& operator=(FormatNode* node) {
        node_ = node;
        return *this;
    }

    FormatNode* Get() const { return node_; }
    operator FormatNode*() const { return node_; }
    FormatNode* operator->() const { return node_; }

private:
    friend class FormatTree;

    FormatTree* tree_;
    FormatNode* node_;
};

} // namespace tqf
