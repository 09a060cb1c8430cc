#include "FormatTree.h"

#include "Decimal.h"
#include "Labels.h"

#include <cassert>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace tqf {

FormatTree::FormatTree(FormatTreeListener* listener) : listener_(listener) {}

FormatTree::~FormatTree() {
    // The owner is going away too: nobody is told about these deletions,
    // and the handles that outlive the tree refer to nothing.
    listener_ = nullptr;
    for (NodeRef* ref : refs_) {
        ref->tree_ = nullptr;
        ref->node_ = nullptr;
    }
    history_.Clear();
    // Every node left is the document's or built apart for it, and none
    // needs destruction: the storage goes whole, without a walk over them.
    static_assert(std::is_trivially_destructible_v<FormatNode>);
    messagePool_.Reset();
    itemPool_.Reset();
    root_.firstChild_ = nullptr;
}

// A node stays under the root, as a message, or below it, as an item, for
// as long as it lives, so its parent tells which pool holds it.
FormatNode* FormatTree::NewNode(std::string_view label, const FormatNode* parent) {
    const NodeText text = StoreLabel(label);
    return new (PoolUnder(parent).Allocate()) FormatNode(text);
}

NodeText FormatTree::StoreLabel(std::string_view text) {
    if (const NodeText constant = ConstantListLabel(text); !constant.empty()) {
        return constant;
    }
    return texts_.Store(text);
}

NodeText FormatTree::StoreChanged(NodeText old, std::string_view text) {
    return old == text ? old : texts_.Store(text);
}

NodeText FormatTree::StoreLabelChanged(NodeText old, std::string_view text) {
    return old == text ? old : StoreLabel(text);
}

NodeText FormatTree::ListLabelText(std::int32_t count) {
    if (count == OPEN_COUNT) {
        return NodeText::Constant("<L[n]>");
    }
    const NodeText constant = ConstantListLabel(count);
    return constant.empty() ? texts_.Store(ListLabel(count)) : constant;
}

void FormatTree::SetNodeColor(FormatNode* node, ColorRef color) {
    node->usesTreeColor_ = 0;
    node->color_ = color;
}

void FormatTree::SetExpanded(FormatNode* node, bool expanded) { node->expanded_ = expanded ? 1 : 0; }

void FormatTree::SetBlockSupply(BlockSupply* supply) {
    messagePool_.SetSupply(supply);
    itemPool_.SetSupply(supply);
    texts_.SetSupply(supply);
}

void FormatTree::ReclaimTextsIfEmpty() {
    if (root_.firstChild_ != nullptr || history_.Steps() != 0) {
        return;
    }
    // The root is the one node left, and its texts may be in the arena too.
    root_.label_ = NodeText();
    root_.description_ = NodeText();
    texts_.Clear();
}

void FormatTree::ClearHistory() {
    const bool hadSteps = history_.Steps() != 0;
    history_.Clear();
    if (hadSteps) {
        ReclaimTextsIfEmpty();
    }
    HistoryMoved();
}

void FormatTree::Unregister(NodeRef* ref) { std::erase(refs_, ref); }

void FormatTree::NodesLeaving(const FormatNode& subtreeRoot) {
    if (listener_ != nullptr) {
        listener_->NodesAboutToBeDeleted(subtreeRoot);
    }
    for (NodeRef* ref : refs_) {
        if (ref->node_ != nullptr && IsWithin(ref->node_, &subtreeRoot)) {
            ref->node_ = nullptr;
        }
    }
}

void FormatTree::RecordUnalteredChange() {
    history_.RenameCurrentState();
    HistoryMoved();
}

void FormatTree::MarkSaved() {
    history_.MarkSaved();
    HistoryMoved();
}

void FormatTree::Record(EditStep step) {
    history_.Push(std::move(step));
    HistoryMoved();
}

void FormatTree::HistoryMoved() {
    if (listener_ != nullptr) {
        listener_->HistoryChanged();
    }
}

void FormatTree::FreeNode(FormatNode* node) {
    NodePool& pool = PoolUnder(node->parent_);
    rules_.Forget(node);
    node->~FormatNode();
    pool.Release(node);
    if (pool.SlotsInUse() == 0) {
        // No message (or no item) is left: that storage goes back to the system.
        pool.ReleaseAll();
    }
}

void FormatTree::Relabel(FormatNode* list) {
    // While a step is applied, the step gives the list the label it kept.
    if (!applyingStep_) {
        list->label_ = ListLabelText(list->count_);
    }
}

void FormatTree::RaiseCount(FormatNode* parent) {
    if (parent->CountSubNode(1) && parent->isList_ != 0) {
        Relabel(parent);
    }
}

void FormatTree::LowerCount(FormatNode* parent) {
    if (parent->CountSubNode(-1) && parent->isList_ != 0) {
        Relabel(parent);
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
        if (node->nextSibling_ != nullptr) {
            pending.push_back(node->nextSibling_);
        }
        if (node->firstChild_ != nullptr) {
            pending.push_back(node->firstChild_);
        }
        FreeNode(node);
    }
}

FormatNode* FormatTree::NewDetachedMessage() {
    FormatNode* message = new (messagePool_.Allocate()) FormatNode();
    message->parent_ = &root_;
    return message;
}

FormatNode* FormatTree::NewDetachedItem(FormatNode* parent) {
    FormatNode* item = new (itemPool_.Allocate()) FormatNode();
    item->parent_ = parent;
    return item;
}

void FormatTree::DiscardDetached(FormatNode* message) {
    assert(message->nextSibling_ == nullptr && message->parent_ == &root_ && "a message built apart");
    DeleteChain(message);
}

void FormatTree::LinkBuiltMessage(FormatNode* message, FormatNode* after) {
    assert(message->parent_ == &root_ && message->nextSibling_ == nullptr && "a message built apart");
    Link(message, &root_, after);
    // Only now: dropping the history of an empty document empties the texts
    // too, and the message's texts are in them already. A clearing stays:
    // what is built takes the place of what it took out, and messages added
    // become one step.
    if ((CanUndo() || CanRedo()) && !EndsWithClearing() && !adding_) {
        Unrecorded();
    }
}

void FormatTree::BeginAdding() {
    adding_ = true;
    addingAfter_ = nullptr;
    for (FormatNode* message = root_.firstChild_; message != nullptr; message = message->nextSibling_) {
        addingAfter_ = message;
    }
}

EditResult FormatTree::EndAdding() {
    adding_ = false;
    FormatNode* first = addingAfter_ != nullptr ? addingAfter_->nextSibling_ : root_.firstChild_;
    if (first == nullptr) {
        return EditResult::Refused("");
    }
    EditStep step;
    step.kind = EditStep::Kind::ADD;
    step.node = first;
    step.parent = &root_;
    step.after = addingAfter_;
    step.bytes = sizeof(EditStep);
    for (const FormatNode* message = first; message != nullptr; message = message->nextSibling_) {
        ++step.parentCount;
        step.bytes += SubtreeBytes(message);
    }
    Record(std::move(step));
    return EditResult{first};
}

void FormatTree::DiscardAdding(TextArena::Mark textsFrom) {
    adding_ = false;
    if (FormatNode* first = addingAfter_ != nullptr ? addingAfter_->nextSibling_ : root_.firstChild_) {
        std::int32_t count = 0;
        for (const FormatNode* message = first; message != nullptr; message = message->nextSibling_) {
            ++count;
        }
        DetachAdded(first, addingAfter_, count);
        DeleteChain(first);
    }
    // Nothing but the messages given up stored a text since the mark.
    texts_.RollBack(textsFrom);
    texts_.ReleaseSpare();
    ReclaimTextsIfEmpty();
    messagePool_.ReleaseFreeBlocks();
    itemPool_.ReleaseFreeBlocks();
}

void FormatTree::DetachAdded(FormatNode* first, FormatNode* after, std::int32_t count) {
    for (const FormatNode* message = first; message != nullptr; message = message->nextSibling_) {
        NodesLeaving(*message);
    }
    ownedCache_ = nullptr;
    (after != nullptr ? after->nextSibling_ : root_.firstChild_) = nullptr;
    root_.count_ -= count;
    if (listener_ != nullptr) {
        listener_->StructureChanged(root_);
    }
}

void FormatTree::ReattachAdded(FormatNode* first, FormatNode* after, std::int32_t count) {
    // Undo and Redo come back to the document as it was right after the
    // addition: the added messages are its last ones.
    assert((after != nullptr ? after->nextSibling_ : root_.firstChild_) == nullptr && "added after the last message");
    (after != nullptr ? after->nextSibling_ : root_.firstChild_) = first;
    root_.count_ += count;
    if (listener_ != nullptr) {
        for (const FormatNode* message = first; message != nullptr; message = message->nextSibling_) {
            listener_->NodeAdded(*message);
        }
        listener_->StructureChanged(root_);
    }
}

int FormatTree::CountListChildren(const FormatNode* x) {
    if (x == nullptr || x->isList_ == 0) {
        return 0;
    }
    int n = 0;
    for (const FormatNode* c = x->firstChild_; c != nullptr; c = c->nextSibling_) {
        ++n;
    }
    return n;
}

FormatNode* FormatTree::PreviousSibling(const FormatNode* x) {
    if (x == nullptr || x->parent_ == nullptr) {
        return nullptr;
    }
    for (FormatNode* c = x->parent_->firstChild_; c != nullptr; c = c->nextSibling_) {
        if (c->nextSibling_ == x) {
            return c;
        }
    }
    return nullptr;
}

bool FormatTree::IsWithin(const FormatNode* node, const FormatNode* subtreeRoot) {
    for (const FormatNode* n = node; n != nullptr; n = n->parent_) {
        if (n == subtreeRoot) {
            return true;
        }
    }
    return false;
}

bool FormatTree::Owns(const FormatNode* node) const { return IsWithin(node, &root_); }

FormatNode* FormatTree::Mutable(const FormatNode* node) {
    // Whoever may change the tree may change any of its nodes.
    return Owns(node) ? const_cast<FormatNode*>(node) : nullptr;
}

void FormatTree::AssertOwned([[maybe_unused]] const FormatNode* node) {
#ifndef NDEBUG
    // Nodes never change parent, so a node under the last node found to be
    // ours is ours too; that keeps the check cheap while a deep tree grows.
    assert(node != nullptr);
    if (node == ownedCache_ || (node->parent_ != nullptr && node->parent_ == ownedCache_)) {
        ownedCache_ = node;
        return;
    }
    assert(Owns(node) && "the node belongs to another tree");
    ownedCache_ = node;
#endif
}

// ---- Editing operations ----

namespace {

constexpr std::uint32_t MIN_STREAM = 1;
constexpr std::uint32_t MAX_STREAM = 127;
constexpr std::uint32_t MIN_FUNCTION = 0;
constexpr std::uint32_t MAX_FUNCTION = 255;
constexpr const char* LIST_COUNT_PRESET = "0";

// An ASCII item needs a count. The refusal is about the text typed: only "0"
// and an empty field ask for no length at a glance; any other text is read
// as a number as it stands, even one that reads as 0 ("00", letters).
bool IsZeroLengthCount(std::string_view countText) { return countText.empty() || countText == "0"; }

FormatNode* LastChild(FormatNode* parent) {
    FormatNode* last = parent->FirstChild();
    while (last != nullptr && last->NextSibling() != nullptr) {
        last = last->NextSibling();
    }
    return last;
}

EditStep::NodeFields FieldsOf(const FormatNode& node) {
    return {node.Label(), node.Description(), node.Count(), node.Format(), static_cast<std::int8_t>(node.IsList())};
}

bool SameFields(const FormatNode& node, const EditStep::NodeFields& fields) {
    return node.Label().View() == fields.label.View() && node.Description().View() == fields.description.View() &&
           node.Count() == fields.count && node.Format() == fields.format && node.IsList() == (fields.isList != 0);
}

// Checks the stream and function fields in the order the message commands do.
const char* MessageNumbersRefusal(const MessageFields& fields) {
    if (!PanelNumberInRange(fields.streamText, MIN_STREAM, MAX_STREAM)) {
        return MSG_INVALID_STREAM;
    }
    if (!PanelNumberInRange(fields.functionText, MIN_FUNCTION, MAX_FUNCTION)) {
        return MSG_INVALID_FUNCTION;
    }
    return nullptr;
}

std::string MessageLabelOf(const MessageFields& fields) {
    return MakeMessageLabel(ReadPanelNumber(fields.streamText), ReadPanelNumber(fields.functionText),
                            fields.replyRequired);
}

} // namespace

FormatNode* FormatTree::MessageOf(FormatNode* node) {
    while (node != nullptr && node->isMessage_ == 0) {
        node = node->parent_;
    }
    return node;
}

const char* FormatTree::AppendRefusal(const FormatNode* t) {
    // Only the root, a message and a list take sub-nodes, and a message
    // takes one.
    if (t->firstChild_ == nullptr) {
        if (t->parent_ != nullptr && t->isMessage_ == 0 && t->isList_ == 0) {
            return MSG_NOT_A_LIST_ITEM;
        }
    } else if (t->isMessage_ != 0 && t->count_ == 1) {
        return MSG_CANNOT_ADD_NEW_SUB_ITEM;
    }
    return nullptr;
}

FormatNode* FormatTree::NewDetached(FormatNode* parent) {
    FormatNode* node = NewNode(std::string_view(), parent);
    node->parent_ = parent;
    return node;
}

FormatNode* FormatTree::AppendItem(FormatNode* parent, int format, std::int32_t count, bool open,
                                   std::string_view description) {
    FormatNode* node = NewDetached(parent);
    node->label_ = StoreLabel(MakeItemLabel(format, count, open, description));
    node->format_ = format;
    node->count_ = open ? OPEN_COUNT : count;
    node->description_ = texts_.Store(description);
    node->isList_ = format == LIST ? 1 : 0;
    InsertStep(node, parent, LastChild(parent));
    return node;
}

EditResult FormatTree::CreateMessage(const MessageFields& fields) {
    if (const char* refusal = MessageNumbersRefusal(fields)) {
        return EditResult::Refused(refusal);
    }
    const std::int32_t stream = ReadPanelNumber(fields.streamText);
    const std::int32_t function = ReadPanelNumber(fields.functionText);
    FormatNode* after = nullptr;
    if (root_.firstChild_ != nullptr) {
        // Walk past the messages whose stream and function are both no
        // greater than the new ones; each number is compared on its own, and
        // the new message never goes before the first.
        after = root_.firstChild_;
        while (after->nextSibling_ != nullptr) {
            const auto next = ReadMessageLabel(after->nextSibling_->label_);
            if (!next || next->stream > stream || next->function > function) {
                break;
            }
            after = after->nextSibling_;
        }
    }
    FormatNode* node = NewDetached(&root_);
    node->label_ = texts_.Store(MessageLabelOf(fields));
    node->isMessage_ = 1;
    node->description_ = texts_.Store(TrimSpace(fields.description));
    InsertStep(node, &root_, after);
    return EditResult{node};
}

EditResult FormatTree::UpdateMessage(FormatNode* current, const MessageFields& fields) {
    if (root_.count_ == 0) {
        return EditResult::Refused("");
    }
    FormatNode* message = MessageOf(current);
    if (message == nullptr) {
        return EditResult::Refused(MSG_NO_MESSAGE_SELECTED);
    }
    if (const char* refusal = MessageNumbersRefusal(fields)) {
        return EditResult::Refused(refusal);
    }
    // A message keeps its place and its items.
    EditStep::NodeFields changed = FieldsOf(*message);
    changed.label = StoreChanged(message->label_, MessageLabelOf(fields));
    changed.description = StoreChanged(message->description_, TrimSpace(fields.description));
    ChangeStep(message, changed);
    return EditResult{message};
}

EditResult FormatTree::MessageToDelete(FormatNode* current) {
    FormatNode* message = MessageOf(current);
    if (message == nullptr) {
        return EditResult::Refused(MSG_NO_MESSAGE_SELECTED);
    }
    return EditResult{message};
}

EditResult FormatTree::DeleteMessage(FormatNode* current) {
    const EditResult target = MessageToDelete(current);
    if (!target.Done()) {
        return target;
    }
    return DeleteAny(target.node);
}

EditResult FormatTree::AddItem(FormatNode* target, const ItemFields& fields) {
    if (target == nullptr) {
        return EditResult::Refused(MSG_NO_NODE_SELECTED);
    }
    if (!IsItemFormat(fields.format)) {
        return EditResult::Refused(MSG_NO_ITEM_SELECTED);
    }
    EditResult result;
    // A new list starts empty, whatever the count field showed.
    result.listCountPreset = fields.format == LIST;
    const std::string_view countText = result.listCountPreset ? std::string_view(LIST_COUNT_PRESET) : fields.countText;
    if (fields.format == ASCII && IsZeroLengthCount(countText)) {
        result.refusal = MSG_ASCII_ZERO_LENGTH;
        result.focusCount = true;
        return result;
    }
    const std::int32_t count = ReadPanelNumber(countText);
    if (target->isMessage_ != 0 && target->count_ != 0) {
        // A message holds one item.
        result.refusal = MSG_CANNOT_ADD_SUB_ITEM;
        return result;
    }
    if (target->count_ == OPEN_COUNT && target->firstChild_ != nullptr) {
        result.refusal = MSG_UNFIXED_LIST_ONE_ITEM;
        return result;
    }
    if (const char* refusal = AppendRefusal(target)) {
        result.refusal = refusal;
        result.dropsCurrent = true;
        return result;
    }
    result.node = AppendItem(target, fields.format, count, fields.open, fields.description);
    return result;
}

EditResult FormatTree::UpdateItem(FormatNode* current, const ItemFields& fields) {
    if (current == nullptr || current->isMessage_ != 0 || current->parent_ == nullptr) {
        return EditResult::Refused(MSG_NO_ITEM_SELECTED);
    }
    const int format = fields.format;
    const int subItems = CountListChildren(current);
    if (!IsItemFormat(format)) {
        return EditResult::Refused(MSG_NO_ITEM_IN_LIST);
    }
    if (format != LIST && subItems != 0) {
        // A list with sub-items can only stay a list.
        return EditResult::Refused(MSG_SUB_ITEM_EXISTS);
    }
    if (format == LIST && fields.open && subItems > 1) {
        return EditResult::Refused(MSG_NON_FIXED_LIST_SINGLE);
    }
    if (format == ASCII && IsZeroLengthCount(fields.countText)) {
        EditResult result = EditResult::Refused(MSG_ASCII_ZERO_LENGTH);
        result.focusCount = true;
        return result;
    }
    std::int32_t count = ReadPanelNumber(fields.countText);
    EditStep::NodeFields changed;
    changed.format = format;
    std::string_view description = fields.description;
    changed.count = fields.open ? OPEN_COUNT : count;
    if (format == LIST) {
        // A list has no description, and a fixed list counts its sub-items;
        // its label states the same number, whatever the count field showed.
        description = {};
        if (!fields.open) {
            changed.count = subItems;
            count = subItems;
        }
    }
    changed.label = StoreLabelChanged(current->label_, MakeItemLabel(format, count, fields.open, description));
    changed.description = StoreChanged(current->description_, description);
    changed.isList = format == LIST ? 1 : 0;
    ChangeStep(current, changed);
    return EditResult{current};
}

EditResult FormatTree::DeleteItem(FormatNode* current) {
    if (current == nullptr || current->parent_ == nullptr) {
        return EditResult::Refused(MSG_NO_ITEM_SELECTED);
    }
    if (current->isMessage_ != 0) {
        return EditResult::Refused(MSG_NOT_AN_ITEM);
    }
    return DeleteAny(current);
}

EditResult FormatTree::MoveUp(FormatNode* x) {
    if (x == nullptr || x->parent_ == nullptr) {
        return EditResult::Refused(MSG_NO_NODE_SELECTED);
    }
    if (x->parent_->firstChild_ == x) {
        return EditResult::Refused(MSG_CANNOT_MOVE_UP);
    }
    FormatNode* before = PreviousSibling(x);
    if (before == nullptr) {
        return EditResult::Refused("");
    }
    SwapStep(x, before);
    return EditResult{x};
}

EditResult FormatTree::MoveDown(FormatNode* x) {
    if (x == nullptr || x->parent_ == nullptr) {
        return EditResult::Refused(MSG_NO_NODE_SELECTED);
    }
    if (x->nextSibling_ == nullptr) {
        return EditResult::Refused(MSG_CANNOT_MOVE_DOWN);
    }
    SwapStep(x, x->nextSibling_);
    return EditResult{x};
}

EditResult FormatTree::CheckMenuTarget(const FormatNode* target) {
    if (target == nullptr) {
        return EditResult::Refused(MSG_NOT_SELECTED);
    }
    if (target->isMessage_ != 0 && target->firstChild_ != nullptr) {
        return EditResult::Refused(MSG_CANNOT_ADD_NEW_ITEM);
    }
    return EditResult{};
}

EditResult FormatTree::AddListItem(FormatNode* target) {
    // Unlike "Add Sub Item", an open list that holds an item takes another.
    if (EditResult check = CheckMenuTarget(target); !check.Done()) {
        return check;
    }
    if (const char* refusal = AppendRefusal(target)) {
        return EditResult::Refused(refusal);
    }
    return EditResult{AppendItem(target, LIST, 0, false, std::string_view())};
}

EditResult FormatTree::AddSubItem(FormatNode* target, const ItemFields& fields) {
    if (EditResult check = CheckMenuTarget(target); !check.Done()) {
        return check;
    }
    if (target->isMessage_ != 0 && target->count_ != 0) {
        return EditResult::Refused(MSG_CANNOT_ADD_SUB_ITEM);
    }
    if (target->count_ == OPEN_COUNT && target->firstChild_ != nullptr) {
        return EditResult::Refused(MSG_ONLY_ONE_ITEM);
    }
    // The dialog cannot close with ADD without a format row; an answer
    // without one adds nothing.
    if (!IsItemFormat(fields.format)) {
        return EditResult::Refused("");
    }
    if (const char* refusal = AppendRefusal(target)) {
        return EditResult::Refused(refusal);
    }
    // A new list is empty: its count says so whatever the dialog was given,
    // or the label would promise sub-items that the file does not hold.
    const std::int32_t count = fields.format == LIST ? 0 : ReadPanelNumber(fields.countText);
    return EditResult{AppendItem(target, fields.format, count, fields.open, fields.description)};
}

EditResult FormatTree::DeleteAny(FormatNode* x) {
    if (x == nullptr || x->parent_ == nullptr) {
        return EditResult::Refused("");
    }
    AssertOwned(x);
    RemoveStep(x);
    return EditResult{x};
}

// ---- Changes and the steps that record them ----

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
