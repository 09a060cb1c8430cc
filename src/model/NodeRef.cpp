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
    other = nullptr;
}

NodeRef& NodeRef::operator=(NodeRef&& other) {
    if (this != &other) {
        if (tree_ != nullptr) {
            tree_->Unregister(this);
        }
        tree_ = other.tree_;
        node_ = other.node_;
        if (tree_ != nullptr) {
            tree_->Register(this);
        }
        other = nullptr;
    }
    return *this;
}

NodeRef& NodeRef::operator=(FormatNode* node) {
    if (node != node_ && tree_ != nullptr) {
        // Kept under the node it now refers to.
        tree_->Unregister(this);
        node_ = node;
        tree_->Register(this);
    }
    node_ = node;
    return *this;
}

NodeRef::~NodeRef() {
    if (tree_ != nullptr) {
        tree_->Unregister(this);
    }
}

void NodeRefRegistry::Add(NodeRef* ref) {
    NodeRef*& head = heads_[ref->node_];
    ref->previous_ = nullptr;
    ref->next_ = head;
    if (head != nullptr) {
        head->previous_ = ref;
    }
    head = ref;
}

void NodeRefRegistry::Remove(NodeRef* ref) {
    if (ref->previous_ != nullptr) {
        ref->previous_->next_ = ref->next_;
    } else if (ref->next_ != nullptr) {
        heads_[ref->node_] = ref->next_;
    } else {
        heads_.erase(ref->node_);
    }
    if (ref->next_ != nullptr) {
        ref->next_->previous_ = ref->previous_;
    }
    ref->previous_ = nullptr;
    ref->next_ = nullptr;
}

void NodeRefRegistry::ClearRefsTo(const FormatNode* node) {
    const auto found = heads_.find(node);
    if (found == heads_.end()) {
        return;
    }
    NodeRef* ref = found->second;
    heads_.erase(found);
    while (ref != nullptr) {
        NodeRef* next = ref->next_;
        ref->node_ = nullptr;
        Add(ref);
        ref = next;
    }
}

bool NodeRefRegistry::FindWithin(const FormatNode& subtreeRoot, std::size_t limit,
                                 std::vector<const FormatNode*>& found) const {
    std::size_t walked = 0;
    const FormatNode* node = &subtreeRoot;
    while (node != nullptr) {
        if (++walked > limit) {
            return false;
        }
        if (heads_.contains(node)) {
            found.push_back(node);
        }
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            continue;
        }
        // Up to the first node with a next sibling, but not out of the sub-tree.
        while (node != &subtreeRoot && node->NextSibling() == nullptr) {
            node = node->Parent();
        }
        node = node == &subtreeRoot ? nullptr : node->NextSibling();
    }
    return true;
}

void NodeRefRegistry::ClearWithin(const FormatNode& subtreeRoot) {
    const std::size_t referenced = ReferencedNodes();
    if (referenced == 0) {
        return;
    }
    std::vector<const FormatNode*> within;
    if (!FindWithin(subtreeRoot, referenced, within)) {
        within.clear();
        for (const auto& [node, head] : heads_) {
            if (node != nullptr && FormatTree::IsWithin(node, &subtreeRoot)) {
                within.push_back(node);
            }
        }
    }
    for (const FormatNode* node : within) {
        ClearRefsTo(node);
    }
}

void NodeRefRegistry::LetGoOfAll() {
    for (const auto& [node, head] : heads_) {
        for (NodeRef* ref = head; ref != nullptr;) {
            NodeRef* next = ref->next_;
            ref->tree_ = nullptr;
            ref->node_ = nullptr;
            ref->previous_ = nullptr;
            ref->next_ = nullptr;
            ref = next;
        }
    }
    heads_.clear();
}

} // namespace tqf
