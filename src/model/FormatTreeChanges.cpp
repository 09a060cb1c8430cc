#include "FormatTree.h"

#include <cassert>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace tqf {

// The changes of the tree, each made through a step of the history that can
// be applied back and forth, and the history's undo and redo.

namespace {

bool SameFields(const FormatNode& node, const EditStep::NodeFields& fields) {
    return node.Label().View() == fields.label.View() && node.Description().View() == fields.description.View() &&
           node.Count() == fields.count && node.Format() == fields.format && node.IsList() == (fields.isList != 0);
}

} // namespace

void FormatTree::Link(FormatNode* node, FormatNode* parent, FormatNode* after) {
    node->parent_ = parent;
    if (after != nullptr) {
        node->nextSibling_ = after->nextSibling_;
        after->nextSibling_ = node;
    } else {
        node->nextSibling_ = parent->firstChild_;
        parent->firstChild_ = node;
    }
    RaiseCount(parent);
    if (listener_ != nullptr) {
        listener_->NodeAdded(*node);
        listener_->StructureChanged(*parent);
    }
}

void FormatTree::Unlink(FormatNode* node) {
    NodesLeaving(*node);
    ownedCache_ = nullptr;
    FormatNode* parent = node->parent_;
    if (parent->firstChild_ == node) {
        parent->firstChild_ = node->nextSibling_;
    } else {
        FormatNode* before = PreviousSibling(node);
        assert(before != nullptr && "a node is always in its parent's chain");
        before->nextSibling_ = node->nextSibling_;
    }
    // The parent link stays: it tells which pool the node came from.
    node->nextSibling_ = nullptr;
    LowerCount(parent);
    if (listener_ != nullptr) {
        listener_->StructureChanged(*parent);
    }
}

void FormatTree::SwapWithNext(FormatNode* node) {
    FormatNode* next = node->nextSibling_;
    assert(next != nullptr);
    FormatNode* before = PreviousSibling(node);
    node->nextSibling_ = next->nextSibling_;
    next->nextSibling_ = node;
    if (before != nullptr) {
        before->nextSibling_ = next;
    } else {
        node->parent_->firstChild_ = next;
    }
    if (listener_ != nullptr) {
        listener_->NodeMoved(*node);
    }
}

std::size_t FormatTree::SubtreeBytes(const FormatNode* node) const {
    std::size_t bytes = 0;
    std::vector<const FormatNode*> pending{node};
    while (!pending.empty()) {
        const FormatNode* n = pending.back();
        pending.pop_back();
        bytes += sizeof(FormatNode);
        if (n->firstChild_ != nullptr) {
            pending.push_back(n->firstChild_);
        }
        if (n != node && n->nextSibling_ != nullptr) {
            pending.push_back(n->nextSibling_);
        }
    }
    return bytes;
}

void FormatTree::InsertStep(FormatNode* node, FormatNode* parent, FormatNode* after) {
    EditStep step;
    step.kind = EditStep::Kind::INSERT;
    step.node = node;
    step.parent = parent;
    step.after = after;
    step.parentLabel = parent->label_;
    step.parentCount = parent->count_;
    step.bytes = sizeof(EditStep) + SubtreeBytes(node);
    Link(node, parent, after);
    Record(std::move(step));
}

void FormatTree::RemoveStep(FormatNode* node) {
    EditStep step;
    step.kind = EditStep::Kind::REMOVE;
    step.node = node;
    step.parent = node->parent_;
    step.after = PreviousSibling(node);
    step.parentLabel = node->parent_->label_;
    step.parentCount = node->parent_->count_;
    step.bytes = sizeof(EditStep) + SubtreeBytes(node);
    Unlink(node);
    Record(std::move(step));
}

void FormatTree::SwapFields(FormatNode& node, EditStep::NodeFields& fields) {
    std::swap(node.label_, fields.label);
    std::swap(node.description_, fields.description);
    std::swap(node.count_, fields.count);
    std::swap(node.format_, fields.format);
    std::swap(node.isList_, fields.isList);
}

void FormatTree::ChangeStep(FormatNode* node, EditStep::NodeFields fields) {
    // An edit that leaves every field as it was is no step: undoing it would
    // show nothing happen.
    if (SameFields(*node, fields)) {
        return;
    }
    EditStep step;
    step.kind = EditStep::Kind::CHANGE;
    step.node = node;
    step.fields = fields;
    SwapFields(*node, step.fields);
    step.bytes = sizeof(EditStep);
    if (listener_ != nullptr) {
        listener_->NodeChanged(*node);
    }
    Record(std::move(step));
}

void FormatTree::SwapStep(FormatNode* node, FormatNode* other) {
    EditStep step;
    step.kind = EditStep::Kind::SWAP;
    step.node = node;
    step.after = other;
    step.bytes = sizeof(EditStep);
    SwapWithNext(node->nextSibling_ == other ? node : other);
    Record(std::move(step));
}

EditResult FormatTree::ClearMessages() {
    if (root_.firstChild_ == nullptr) {
        return EditResult::Refused("");
    }
    EditStep step;
    step.kind = EditStep::Kind::CLEAR;
    step.node = root_.firstChild_;
    step.parent = &root_;
    step.parentLabel = root_.label_;
    step.parentCount = root_.count_;
    // Every node in use, without a walk over a document that may hold a
    // million: this counts the nodes that older steps keep out of the tree
    // once more, which only lets the history drop its oldest steps sooner.
    step.bytes = sizeof(EditStep) + (messagePool_.SlotsInUse() + itemPool_.SlotsInUse()) * sizeof(FormatNode);
    if (!rules_.Entries().empty()) {
        step.rules = std::make_shared<RuleChange>();
        rules_.SwapDictionary(step.rules->dictionary);
    }
    DetachMessages();
    Record(std::move(step));
    return EditResult{&root_};
}

void FormatTree::DetachMessages() {
    NodesLeaving(root_);
    ownedCache_ = nullptr;
    root_.firstChild_ = nullptr;
    root_.count_ = 0;
    if (listener_ != nullptr) {
        listener_->StructureChanged(root_);
    }
}

void FormatTree::ReattachMessages(FormatNode* first, std::int32_t count) {
    root_.firstChild_ = first;
    root_.count_ = count;
    if (listener_ != nullptr) {
        for (const FormatNode* message = first; message != nullptr; message = message->nextSibling_) {
            listener_->NodeAdded(*message);
        }
        listener_->StructureChanged(root_);
    }
}

void FormatTree::ExchangeMessages(EditStep& step) {
    FormatNode* held = step.node;
    const std::int32_t heldCount = step.parentCount;
    step.node = root_.firstChild_;
    step.parentCount = root_.count_;
    if (step.node != nullptr) {
        DetachMessages();
    }
    if (held != nullptr) {
        ReattachMessages(held, heldCount);
    }
    if (step.rules != nullptr || !rules_.Entries().empty()) {
        if (step.rules == nullptr) {
            step.rules = std::make_shared<RuleChange>();
        }
        rules_.SwapDictionary(step.rules->dictionary);
        if (listener_ != nullptr) {
            listener_->RequestRepaint();
        }
    }
}

bool FormatTree::EndsWithClearing() const {
    const EditStep* newest = history_.Newest();
    return newest != nullptr && newest->kind == EditStep::Kind::CLEAR;
}

void FormatTree::DiscardUnrecorded(TextArena::Mark textsFrom) {
    if (root_.firstChild_ != nullptr) {
        NodesLeaving(root_);
        ownedCache_ = nullptr;
        if (history_.Steps() == 0) {
            // Every node is the document's, and none needs destruction:
            // the storage goes whole, without a walk over millions of them.
            static_assert(std::is_trivially_destructible_v<FormatNode>);
            messagePool_.Reset();
            itemPool_.Reset();
            rules_.ForgetAllNodes();
        } else {
            DeleteChain(root_.firstChild_);
        }
        root_.firstChild_ = nullptr;
        root_.count_ = 0;
        if (listener_ != nullptr) {
            listener_->StructureChanged(root_);
        }
    }
    // The dictionary a given-up read put in goes with its messages; one that
    // was there before is kept by the clearing before the read.
    if (EndsWithClearing() || history_.Steps() == 0) {
        RuleBook::Dictionary none;
        rules_.SwapDictionary(none);
    }
    texts_.RollBack(textsFrom);
    texts_.ReleaseSpare();
    ReclaimTextsIfEmpty();
    // What the discarded nodes took goes back to the system, also while
    // the history keeps other nodes in the same pools.
    messagePool_.ReleaseFreeBlocks();
    itemPool_.ReleaseFreeBlocks();
}

void FormatTree::ReleaseReplaced(TextArena::Mark textsFrom) {
    // A step may still use any text.
    if (history_.Steps() != 0) {
        return;
    }
    // The root's own texts may lie before the mark: they are stored again.
    const std::string label(root_.label_.str());
    const std::string description(root_.description_.str());
    texts_.ForgetBefore(textsFrom);
    root_.label_ = StoreLabel(label);
    root_.description_ = texts_.Store(description);
    messagePool_.ReleaseFreeBlocks();
    itemPool_.ReleaseFreeBlocks();
}

FormatNode* FormatTree::StandIn(FormatNode* parent, FormatNode* after, FormatNode* root) {
    if (parent != root) {
        return parent;
    }
    FormatNode* next = after != nullptr ? after->nextSibling_ : root->firstChild_;
    return next != nullptr ? next : after;
}

FormatNode* FormatTree::Apply(EditStep& step, bool forward) {
    switch (step.kind) {
    case EditStep::Kind::INSERT:
    case EditStep::Kind::REMOVE: {
        const bool link = (step.kind == EditStep::Kind::INSERT) == forward;
        // The parent's count and label as they were on the other side of the
        // step, whatever label it had there; the step keeps this side's.
        const NodeText label = step.parent->label_;
        const std::int32_t count = step.parent->count_;
        applyingStep_ = true;
        if (link) {
            Link(step.node, step.parent, step.after);
        } else {
            Unlink(step.node);
        }
        applyingStep_ = false;
        step.parent->label_ = step.parentLabel;
        step.parent->count_ = step.parentCount;
        step.parentLabel = label;
        step.parentCount = count;
        if (listener_ != nullptr && step.parent != &root_) {
            listener_->NodeChanged(*step.parent);
        }
        return link ? step.node : StandIn(step.parent, step.after, &root_);
    }
    case EditStep::Kind::CHANGE:
        SwapFields(*step.node, step.fields);
        if (listener_ != nullptr) {
            listener_->NodeChanged(*step.node);
        }
        return step.node;
    case EditStep::Kind::SWAP:
        SwapWithNext(step.node->nextSibling_ == step.after ? step.node : step.after);
        return step.node;
    case EditStep::Kind::CLEAR:
        ExchangeMessages(step);
        return forward ? nullptr : root_.firstChild_;
    case EditStep::Kind::RULES:
        ApplyRules(step);
        return step.node;
    case EditStep::Kind::ADD:
        if (forward) {
            ReattachAdded(step.node, step.after, step.parentCount);
            return step.node;
        }
        DetachAdded(step.node, step.after, step.parentCount);
        return step.after;
    }
    return nullptr;
}

std::optional<FormatNode*> FormatTree::Undo() {
    if (!history_.CanUndo()) {
        return std::nullopt;
    }
    FormatNode* shown = Apply(history_.StepToUndo(), false);
    history_.Undone();
    HistoryMoved();
    return shown;
}

std::optional<FormatNode*> FormatTree::Redo() {
    if (!history_.CanRedo()) {
        return std::nullopt;
    }
    FormatNode* shown = Apply(history_.StepToRedo(), true);
    history_.Redone();
    HistoryMoved();
    return shown;
}

void FormatTree::ReleaseDetached(FormatNode* node) {
    // A node out of the tree has no siblings, unless it is the first of the
    // messages that a clearing took out together: the chain goes whole.
    DeleteChain(node);
}

void FormatTree::Unrecorded() { ClearHistory(); }

} // namespace tqf
