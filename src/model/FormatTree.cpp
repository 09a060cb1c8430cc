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
    refs_.LetGoOfAll();
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

void FormatTree::NodesLeaving(const FormatNode& subtreeRoot) {
    if (listener_ != nullptr) {
        listener_->NodesAboutToBeDeleted(subtreeRoot);
    }
    refs_.ClearWithin(subtreeRoot);
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

} // namespace tqf
