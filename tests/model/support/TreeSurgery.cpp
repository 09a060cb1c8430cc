#include "TreeSurgery.h"

#include <cassert>
#include <map>
#include <utility>
#include <vector>

namespace tqf {

namespace {

// While DeferredListLabels live for a tree: how many, and the lists they hold
// back, in the order they were first counted (a list may appear more than
// once).
struct HeldLabels {
    int holders = 0;
    std::vector<FormatNode*> lists;
};

std::map<const FormatTree*, HeldLabels>& Held() {
    static std::map<const FormatTree*, HeldLabels> held;
    return held;
}

} // namespace

void TreeSurgery::CountSubNode(FormatTree& tree, FormatNode* parent, std::int32_t change) {
    if (!parent->CountSubNode(change) || parent->isList_ == 0) {
        return;
    }
    const auto held = Held().find(&tree);
    if (held == Held().end()) {
        tree.Relabel(parent);
        return;
    }
    // Sub-nodes are mostly added one after another under the same list.
    std::vector<FormatNode*>& lists = held->second.lists;
    if (lists.empty() || lists.back() != parent) {
        lists.push_back(parent);
    }
}

void TreeSurgery::StructureChanged(FormatTree& tree, const FormatNode* added, const FormatNode& parent, bool repaint) {
    if (tree.listener_ == nullptr) {
        return;
    }
    if (added != nullptr) {
        tree.listener_->NodeAdded(*added);
    }
    tree.listener_->StructureChanged(parent);
    if (repaint) {
        tree.listener_->RequestRepaint();
    }
}

FormatNode* TreeSurgery::Insert(FormatTree& tree, FormatNode* parent, FormatNode*& link, std::string_view label,
                                bool repaint, const char* refusal) {
    tree.Unrecorded();
    if (refusal != nullptr) {
        if (tree.listener_ != nullptr) {
            tree.listener_->ShowTreeMessage(refusal);
        }
        return nullptr;
    }
    FormatNode* node = tree.NewNode(label, parent);
    node->parent_ = parent;
    node->nextSibling_ = link;
    link = node;
    CountSubNode(tree, parent, 1);
    StructureChanged(tree, node, *parent, repaint);
    return node;
}

FormatNode* TreeSurgery::AddSibling(FormatTree& tree, FormatNode* x, std::string_view label, bool repaint) {
    assert(x != nullptr && x->parent_ != nullptr && "the root has no siblings");
    tree.AssertOwned(x);
    FormatNode* parent = x->parent_;
    const bool full = parent->isMessage_ != 0 && parent->count_ == 1;
    return Insert(tree, parent, x->nextSibling_, label, repaint, full ? MSG_CANNOT_ADD_NEW_SUB_ITEM : nullptr);
}

FormatNode* TreeSurgery::AddChild(FormatTree& tree, FormatNode* p, std::string_view label, bool repaint) {
    if (p == nullptr) {
        p = &tree.root_;
    }
    tree.AssertOwned(p);
    const bool holdsNone = p != &tree.root_ && p->isMessage_ == 0 && p->isList_ == 0;
    return Insert(tree, p, p->firstChild_, label, repaint, holdsNone ? MSG_NOT_A_LIST_ITEM : nullptr);
}

FormatNode* TreeSurgery::AppendSubNode(FormatTree& tree, FormatNode* t, std::string_view label) {
    assert(t != nullptr);
    if (t->firstChild_ == nullptr) {
        return AddChild(tree, t, label, false);
    }
    FormatNode* last = t->firstChild_;
    while (last->nextSibling_ != nullptr) {
        last = last->nextSibling_;
    }
    return AddSibling(tree, last, label, false);
}

void TreeSurgery::DeleteNode(FormatTree& tree, FormatNode* x, bool repaint) {
    assert(x != nullptr);
    tree.AssertOwned(x);
    // Before anything goes: a step may hold a node out of the tree whose
    // parent is about to be freed.
    tree.Unrecorded();
    tree.ownedCache_ = nullptr;
    tree.NodesLeaving(*x);
    if (const auto held = Held().find(&tree); held != Held().end()) {
        // A held-back list that goes now is not relabelled later.
        std::erase_if(held->second.lists, [x](const FormatNode* list) { return FormatTree::IsWithin(list, x); });
    }
    if (x->firstChild_ != nullptr) {
        tree.DeleteChain(x->firstChild_);
        x->firstChild_ = nullptr;
    }
    if (x == &tree.root_) {
        tree.ReclaimTextsIfEmpty();
        StructureChanged(tree, nullptr, tree.root_, repaint);
        return;
    }
    FormatNode* parent = x->parent_;
    if (parent->firstChild_ == x) {
        parent->firstChild_ = x->nextSibling_;
    } else {
        FormatNode* before = FormatTree::PreviousSibling(x);
        assert(before != nullptr && "a node is always in its parent's chain");
        before->nextSibling_ = x->nextSibling_;
    }
    CountSubNode(tree, parent, -1);
    tree.FreeNode(x);
    if (parent == &tree.root_) {
        tree.ReclaimTextsIfEmpty();
    }
    StructureChanged(tree, nullptr, *parent, repaint);
}

void TreeSurgery::SetLabel(FormatTree& tree, FormatNode* node, std::string_view text) {
    node->label_ = tree.StoreLabel(text);
}

void TreeSurgery::SetDescription(FormatTree& tree, FormatNode* node, std::string_view text) {
    node->description_ = tree.texts_.Store(text);
}

void TreeSurgery::SetTexts(FormatTree& /*tree*/, FormatNode* node, NodeText label, NodeText description) {
    node->label_ = label;
    node->description_ = description;
}

void TreeSurgery::MakeMessage(FormatTree& /*tree*/, FormatNode* node) { node->isMessage_ = 1; }

void TreeSurgery::SetItemFormat(FormatTree& /*tree*/, FormatNode* node, std::int32_t format, std::int32_t count) {
    node->format_ = format;
    node->count_ = count;
    node->isList_ = format == LIST ? 1 : 0;
}

void TreeSurgery::HoldListLabels(const FormatTree& tree) { ++Held()[&tree].holders; }

void TreeSurgery::ReleaseListLabels(FormatTree& tree) {
    const auto held = Held().find(&tree);
    assert(held != Held().end() && "released as often as held");
    if (--held->second.holders != 0) {
        return;
    }
    const std::vector<FormatNode*> lists = std::move(held->second.lists);
    Held().erase(held);
    for (FormatNode* list : lists) {
        if (list->isList_ != 0 && list->count_ != OPEN_COUNT) {
            list->label_ = tree.ListLabelText(list->count_);
        }
    }
}

} // namespace tqf
