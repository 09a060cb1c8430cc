#include "NodeRef.h"

#include "FormatTree.h"

namespace tqf {

NodeRef::NodeRef(FormatTree& tree, FormatNode* node) : tree_(&tree), node_(node) { tree_->Register(this); }

NodeRef::NodeRef(const NodeRef& other) : tree_(other.tree_), node_(other.node_) {
    if (tree_ != nullptr) {
        tree_->Register(this);
    }
}

NodeRef& NodeRef::operator=(const NodeRef& other) {
    if (this != &other) {
        if (tree_ != nullptr) {
            tree_->Unregister(this);
        }
        tree_ = other.tree_;
        node_ = other.node_;
        if (tree_ != nullptr) {
            tree_->Register(this);
        }
    }
    return *this;
}

NodeRef::~NodeRef() {
    if (tree_ != nullptr) {
        tree_->Unregister(this);
    }
}

} // namespace tqf
