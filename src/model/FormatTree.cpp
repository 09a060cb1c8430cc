#include "FormatTree.h"

#include "Labels.h"

#include <cassert>
#include <new>
#include <vector>

namespace tqf {

FormatTree::FormatTree(FormatTreeListener* listener) : listener_(listener) {}

FormatTree::~FormatTree() {
    // The owner is going away too: nobody is told about these deletions.
    listener_ = nullptr;
    if (root_.firstChild != nullptr) {
        DeleteChain(root_.firstChild);
        root_.firstChild = nullptr;
    }
}

// A node stays under the root, as a message, or below it, as an item, for
// as long as it lives, so its parent tells which pool holds it.
FormatNode* FormatTree::NewNode(std::string label, const FormatNode* parent) {
    return new (PoolUnder(parent).Allocate()) FormatNode(std::move(label));
}

void FormatTree::FreeNode(FormatNode* node) {
    NodePool& pool = PoolUnder(node->parent);
    node->~FormatNode();
    pool.Release(node);
    if (pool.SlotsInUse() == 0) {
        // No message (or no item) is left: that storage goes back to the system.
        pool.ReleaseAll();
    }
}

void FormatTree::Repaint() {
    if (listener_ != nullptr) {
        listener_->RequestRepaint();
    }
}

void FormatTree::Relabel(FormatNode* list) {
    if (deferrals_ == 0) {
        list->label = ListLabel(list->count);
        return;
    }
    // Sub-nodes are mostly added one after another under the same list.
    if (deferredLists_.empty() || deferredLists_.back() != list) {
        deferredLists_.push_back(list);
    }
}

void FormatTree::RelabelDeferredLists() {
    for (FormatNode* list : deferredLists_) {
        if (list->isList != 0 && list->count != OPEN_COUNT) {
            list->label = ListLabel(list->count);
        }
    }
    deferredLists_.clear();
}

void FormatTree::RaiseCount(FormatNode* parent) {
    if (parent->count == OPEN_COUNT) {
        return;
    }
    ++parent->count;
    if (parent->isList != 0) {
        Relabel(parent);
    }
}

void FormatTree::LowerCount(FormatNode* parent) {
    if (parent->count == OPEN_COUNT) {
        return;
    }
    --parent->count;
    if (parent->isList != 0) {
        Relabel(parent);
    }
}

FormatTree::DeferredListLabels::DeferredListLabels(FormatTree& tree) : tree_(tree) { ++tree_.deferrals_; }

FormatTree::DeferredListLabels::~DeferredListLabels() {
    if (--tree_.deferrals_ == 0) {
        tree_.RelabelDeferredLists();
    }
}

FormatNode* FormatTree::AddSibling(FormatNode* x, std::string label, bool repaint) {
    assert(x != nullptr && x->parent != nullptr && "the root has no siblings");
    AssertOwned(x);
    FormatNode* parent = x->parent;
    if (parent->isMessage != 0 && parent->count == 1) {
        if (listener_ != nullptr) {
            listener_->ShowTreeMessage(MSG_CANNOT_ADD_NEW_SUB_ITEM);
        }
        return nullptr;
    }
    FormatNode* node = NewNode(std::move(label), parent);
    node->parent = parent;
    node->nextSibling = x->nextSibling;
    x->nextSibling = node;
    RaiseCount(parent);
    if (listener_ != nullptr) {
        listener_->NodeAdded(*node);
        listener_->StructureChanged(*parent);
    }
    if (repaint) {
        Repaint();
    }
    return node;
}

FormatNode* FormatTree::AddChild(FormatNode* p, std::string label, bool repaint) {
    if (p == nullptr) {
        p = &root_;
    }
    AssertOwned(p);
    if (p != &root_ && p->isMessage == 0 && p->isList == 0) {
        if (listener_ != nullptr) {
            listener_->ShowTreeMessage(MSG_NOT_A_LIST_ITEM);
        }
        return nullptr;
    }
    FormatNode* node = NewNode(std::move(label), p);
    node->parent = p;
    node->nextSibling = p->firstChild;
    p->firstChild = node;
    RaiseCount(p);
    if (listener_ != nullptr) {
        listener_->NodeAdded(*node);
        listener_->StructureChanged(*p);
    }
    if (repaint) {
        Repaint();
    }
    return node;
}

void FormatTree::DeleteNode(FormatNode* x, bool repaint) {
    assert(x != nullptr);
    AssertOwned(x);
    ownedCache_ = nullptr;
    if (listener_ != nullptr) {
        listener_->NodesAboutToBeDeleted(*x);
    }
    if (!deferredLists_.empty()) {
        // A held-back list that goes now is not relabelled later.
        std::erase_if(deferredLists_, [x](const FormatNode* list) { return IsWithin(list, x); });
    }
    if (x->firstChild != nullptr) {
        DeleteChain(x->firstChild);
        x->firstChild = nullptr;
    }
    if (x == &root_) {
        if (listener_ != nullptr) {
            listener_->StructureChanged(root_);
        }
        if (repaint) {
            Repaint();
        }
        return;
    }
    FormatNode* parent = x->parent;
    if (parent->firstChild == x) {
        parent->firstChild = x->nextSibling;
    } else {
        FormatNode* before = PreviousSibling(x);
        assert(before != nullptr && "a node is always in its parent's chain");
        before->nextSibling = x->nextSibling;
    }
    LowerCount(parent);
    FreeNode(x);
    if (listener_ != nullptr) {
        listener_->StructureChanged(*parent);
    }
    if (repaint) {
        Repaint();
    }
}

void FormatTree::DeleteChain(FormatNode* x) {
    // An explicit stack instead of recursion: long sibling chains and deep
    // nesting are normal input. Each node pushes at most its next sibling and
    // its first child, so the stack stays as small as the nesting is deep.
    std::vector<FormatNode*> pending;
    if (x != nullptr) {
        pending.push_back(x);
    }
    while (!pending.empty()) {
        FormatNode* node = pending.back();
        pending.pop_back();
        if (node->nextSibling != nullptr) {
            pending.push_back(node->nextSibling);
        }
        if (node->firstChild != nullptr) {
            pending.push_back(node->firstChild);
        }
        FreeNode(node);
    }
}

int FormatTree::CountListChildren(const FormatNode* x) {
    if (x == nullptr || x->isList == 0) {
        return 0;
    }
    int n = 0;
    for (const FormatNode* c = x->firstChild; c != nullptr; c = c->nextSibling) {
        ++n;
    }
    return n;
}

FormatNode* FormatTree::PreviousSibling(const FormatNode* x) {
    if (x == nullptr || x->parent == nullptr) {
        return nullptr;
    }
    for (FormatNode* c = x->parent->firstChild; c != nullptr; c = c->nextSibling) {
        if (c->nextSibling == x) {
            return c;
        }
    }
    return nullptr;
}

FormatNode* FormatTree::AppendSubNode(FormatNode* t, std::string label) {
    assert(t != nullptr);
    if (t->firstChild == nullptr) {
        return AddChild(t, std::move(label), false);
    }
    FormatNode* last = t->firstChild;
    while (last->nextSibling != nullptr) {
        last = last->nextSibling;
    }
    return AddSibling(last, std::move(label), false);
}

bool FormatTree::IsWithin(const FormatNode* node, const FormatNode* subtreeRoot) {
    for (const FormatNode* n = node; n != nullptr; n = n->parent) {
        if (n == subtreeRoot) {
            return true;
        }
    }
    return false;
}

bool FormatTree::Owns(const FormatNode* node) const { return IsWithin(node, &root_); }

void FormatTree::AssertOwned([[maybe_unused]] const FormatNode* node) {
#ifndef NDEBUG
    // Nodes never change parent, so a node under the last node found to be
    // ours is ours too; that keeps the check cheap while a deep tree grows.
    assert(node != nullptr);
    if (node == ownedCache_ || (node->parent != nullptr && node->parent == ownedCache_)) {
        ownedCache_ = node;
        return;
    }
    assert(Owns(node) && "the node belongs to another tree");
    ownedCache_ = node;
#endif
}

} // namespace tqf
