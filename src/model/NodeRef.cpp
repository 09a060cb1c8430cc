#include "NodeRef.h"

#include "FormatTree.h"

namespace tqf {

// A reference that outlives its tree has none (the tree's destructor saw to
// it), and tells nobody of its moves or its end.

NodeRef::NodeRef(FormatTree& tree, FormatNode* node) : tree_(&tree), node_(node) { tree_->Register(this); }

NodeRef::NodeRef(NodeRef&& other) : tree_(other.tree_), node_(other.node_) {
    if (tree_ != nullptr) {
        tree_->Register(this);
    }
    other.node_ = nullptr;
}

NodeRef& NodeRef::operator=(NodeRef&& other) {
    if (this != &other) {
        if (tree_ != other.tree_) {
            if (tree_ != nullptr) {
                tree_->Unregister(this);
            }
            tree_ = other.tree_;
            if (tree_ != nullptr) {
                tree_->Register(this);
            }
        }
        node_ = other.node_;
        other.node_ = nullptr;
    }
    return *this;
}

NodeRef::~NodeRef() {
    if (tree_ != nullptr) {
        tree_->Unregister(this);
    }
}

} // namespace tqf
