#pragma once

#include "EditHistory.h"
#include "EditRules.h"
#include "FormatNode.h"
#include "FormatTreeListener.h"
#include "NodePool.h"
#include "NodeRef.h"
#include "RuleBook.h"
#include "TextArena.h"

#include <optional>
#include <string_view>
#include <vector>

namespace tqf {

class BlockSupply;

// The document: a root node whose children are the messages, each holding at
// most one item, and items of which only lists hold further items. Every
// change goes through these operations and is reported to the listener.
//
// The editing operations (CreateMessage to AddSubItem) check the editor's
// rules in their fixed order, return the first refusal as a value and change
// nothing then, or make the change as one step of the history, which Undo and
// Redo walk. Readers build messages apart and link them whole (the last
// operations below), which is not recorded, so it drops the history.
class FormatTree {
public:
    explicit FormatTree(FormatTreeListener* listener = nullptr);
    FormatTree(const FormatTree&) = delete;
    FormatTree& operator=(const FormatTree&) = delete;
    ~FormatTree();

    void SetListener(FormatTreeListener* listener) { listener_ = listener; }

    FormatNode* GetRootNode() { return &root_; }
    const FormatNode* GetRootNode() const { return &root_; }

    // ---- Texts ----
    //
    // The labels and descriptions of the nodes live in this arena. A changed
    // text leaves its old bytes there; they go, with all the others, when the
    // document holds no message and the history no step (New, Open and
    // Import SML empty both), so the arena is emptied at the moment the
    // last of the two becomes empty.

    // For the builder that readers use, which stores texts itself.
    TextArena& Texts() { return texts_; }
    const TextArena& Texts() const { return texts_; }

    // The label of a list of count sub-items (OPEN_COUNT: any number): the
    // list rule that the reader's builder shares.
    NodeText ListLabelText(std::int32_t count);

    // ---- View state: kept in the nodes, but no part of the library ----

    void SetNodeColor(FormatNode* node, ColorRef color);
    void SetExpanded(FormatNode* node, bool expanded);

    // ---- Editing operations ----

    // A message from the panel's fields, placed after the last message whose
    // stream and function are each no greater than its own.
    EditResult CreateMessage(const MessageFields& fields);
    // Changes the message of current (current itself or its message).
    EditResult UpdateMessage(FormatNode* current, const MessageFields& fields);
    // The message that DeleteMessage would delete, or the refusal.
    static EditResult MessageToDelete(FormatNode* current);
    // Deletes the message of current with all its items.
    EditResult DeleteMessage(FormatNode* current);
    // Adds an item as the last sub-node of target.
    EditResult AddItem(FormatNode* target, const ItemFields& fields);
    // Changes the item current in place.
    EditResult UpdateItem(FormatNode* current, const ItemFields& fields);
    EditResult DeleteItem(FormatNode* current);
    // Swaps x with the sibling before or after it.
    EditResult MoveUp(FormatNode* x);
    EditResult MoveDown(FormatNode* x);
    // Whether the tree menu's two add commands may add under target at all.
    static EditResult CheckMenuTarget(const FormatNode* target);
    // The tree menu's "Add List Item": an empty list under target.
    EditResult AddListItem(FormatNode* target);
    // The tree menu's "Add Sub Item" with what the sub-item dialog returned.
    EditResult AddSubItem(FormatNode* target, const ItemFields& fields);
    // Deletes x with its sub-tree, whatever it is (the tree menu's Delete).
    EditResult DeleteAny(FormatNode* x);
    // Takes every message out of the document as one step, which Undo
    // brings back whole; refused without a word when there is none.
    EditResult ClearMessages();

    // ---- Rules ----
    //
    // Rules change as steps of the history like any other edit. The
    // dictionary belongs to the messages: clearing the document takes it
    // along, and Undo brings it back with them.

    const RuleBook& Rules() const { return rules_; }
    // Gives node these rules in place of its own (empty ones: none).
    EditResult SetRules(FormatNode* node, NodeRules rules);
    // Gives the dictionary entry of name these rules (empty ones: no entry).
    EditResult SetDictionaryRules(std::string_view name, NodeRules rules);
    // Puts this dictionary in place of the whole one, as one step.
    EditResult SetDictionary(RuleBook::Dictionary dictionary);
    // For readers: the rules of a node that a read has just built, and a
    // dictionary entry that it read. Not recorded: a dictionary that changes
    // outside a read in the place of a cleared document drops the history.
    void SetReadRules(FormatNode* node, NodeRules rules);
    void SetReadDictionaryRules(std::string_view name, NodeRules rules);

    // ---- Reading in the place of a cleared document ----
    //
    // While the last step cleared the document, messages built into it
    // (LinkBuiltMessage) keep that step: they take the place of the ones it
    // took out, so that Undo brings back the document before the read and
    // Redo the one read, each whole.

    // Whether the last step cleared the document, with nothing to redo.
    bool EndsWithClearing() const;
    // Frees the messages of the document without a step, and the texts
    // stored since textsFrom: what a read that is given up had built. The
    // history stays.
    void DiscardUnrecorded(TextArena::Mark textsFrom);
    // Once the history no longer holds the document that a read replaced,
    // gives back its storage: the texts stored before textsFrom and the
    // blocks of nodes no node uses any more.
    void ReleaseReplaced(TextArena::Mark textsFrom);
    // How many nodes the document and its history hold.
    std::size_t NodesHeld() const { return messagePool_.SlotsInUse() + itemPool_.SlotsInUse(); }

    // ---- Adding messages read into the document, as one step ----
    //
    // Between BeginAdding and EndAdding, messages that a reader builds into
    // the document (LinkBuiltMessage) go after its last message and keep the
    // history; EndAdding makes them one step, which Undo takes out whole.

    void BeginAdding();
    // The step of the messages added since BeginAdding; the result holds
    // the first of them. Refused without a word when none was added.
    EditResult EndAdding();
    // Takes out and frees the messages added since BeginAdding, and the
    // texts stored since textsFrom: an addition given up. The history stays.
    void DiscardAdding(TextArena::Mark textsFrom);

    // ---- History ----

    bool CanUndo() const { return history_.CanUndo(); }
    bool CanRedo() const { return history_.CanRedo(); }
    // Takes back the last step, or makes again the last one taken back. The
    // node to show afterwards: the one the step changed, or, when it left
    // the tree, its parent item or the message now in its place (none when
    // there is none); nothing when there was no step.
    std::optional<FormatNode*> Undo();
    std::optional<FormatNode*> Redo();
    // Drops every step; an empty document then forgets its texts.
    void ClearHistory();
    void MarkSaved();
    // A change that alters nothing, which the history keeps as one all the
    // same: the document is no longer at the saved state.
    void RecordUnalteredChange();
    bool AtSavedState() const { return history_.AtSavedState(); }
    // Whether the document is, edits aside, the library its file holds: no
    // clearing lies between it and the last MarkLibraryOfFile.
    void MarkLibraryOfFile() { history_.MarkLibraryOfFile(); }
    bool HoldsLibraryOfFile() const { return history_.HoldsLibraryOfFile(); }

    // The message a node belongs to: the node itself or its nearest ancestor
    // that is a message; none for the root.
    static FormatNode* MessageOf(FormatNode* node);

    // ---- Nodes ----

    // The real number of sub-nodes of a list; 0 for anything else.
    static int CountListChildren(const FormatNode* x);

    // True when node is subtreeRoot or lies below it.
    static bool IsWithin(const FormatNode* node, const FormatNode* subtreeRoot);

    // True when node belongs to this tree.
    bool Owns(const FormatNode* node) const;

    // A node this tree owns, held read-only (as a layout holds the nodes it
    // shows), as one to change through this tree; none for any other.
    FormatNode* Mutable(const FormatNode* node);

    // ---- Building messages apart, as the reader does ----

    // A message, or an item under parent, with the creation values but not
    // linked into the tree: nobody is told and nothing is counted. Its parent
    // is set already (the root for a message), and the caller links the item
    // under it itself.
    FormatNode* NewDetachedMessage();
    FormatNode* NewDetachedItem(FormatNode* parent);

    // Frees a message made by NewDetachedMessage, never linked, with every
    // node built under it.
    void DiscardDetached(FormatNode* message);

    // While set, the largest blocks of the document's storage come from
    // supply (none: they are made where needed).
    void SetBlockSupply(BlockSupply* supply);

    // Links a message built apart, with its items, right after `after` (none:
    // first) as one addition that the listener hears of. Not recorded, so the
    // history is dropped.
    void LinkBuiltMessage(FormatNode* message, FormatNode* after);

private:
    friend class NodeRef;
    template <typename Tool> friend class Surgeon;
    void Register(NodeRef* ref) { refs_.Add(ref); }
    void Unregister(NodeRef* ref) { refs_.Remove(ref); }
    // The node right before x under the same parent, or none.
    static FormatNode* PreviousSibling(const FormatNode* x);
    // Deletes x, every node that follows it in its sibling chain, and all
    // their sub-trees, without unlinking or counting.
    void DeleteChain(FormatNode* x);
    // Tells the listener that subtreeRoot and everything below it leaves the
    // tree, then clears every NodeRef that points into it.
    void NodesLeaving(const FormatNode& subtreeRoot);

    // Why nothing can be appended under t, or none.
    static const char* AppendRefusal(const FormatNode* t);
    // Makes an item from its fields, the label included, and adds it as the
    // last sub-node of parent as one step: every way of adding an item ends
    // here.
    FormatNode* AppendItem(FormatNode* parent, int format, std::int32_t count, bool open, std::string_view description);
    // A node not yet in the tree, to be placed under parent.
    FormatNode* NewDetached(FormatNode* parent);
    // Links node under parent right after `after` (none: first), counts it
    // and tells the listener.
    void Link(FormatNode* node, FormatNode* parent, FormatNode* after);
    // Unlinks node, with its sub-tree kept, after telling the listener.
    void Unlink(FormatNode* node);
    void SwapWithNext(FormatNode* node);
    // Takes the whole chain of messages out, kept as it is, and puts it back.
    void DetachMessages();
    void ReattachMessages(FormatNode* first, std::int32_t count);
    // The messages a clearing holds and those of the document change places.
    void ExchangeMessages(EditStep& step);
    // Adds a step that has just been made to the history.
    void Record(EditStep step);
    // Tells the listener that the history has moved.
    void HistoryMoved();
    // Makes and records an insertion, a removal, a change.
    void InsertStep(FormatNode* node, FormatNode* parent, FormatNode* after);
    void RemoveStep(FormatNode* node);
    void ChangeStep(FormatNode* node, EditStep::NodeFields fields);
    // node changes places with other, the sibling right before or after it.
    void SwapStep(FormatNode* node, FormatNode* other);
    // Makes and records a change of rules: of node, or of the dictionary
    // entry of key when node is none.
    void RulesStep(FormatNode* node, const std::string& key, std::shared_ptr<RuleChange> change);
    void ApplyRules(EditStep& step);
    static void SwapFields(FormatNode& node, EditStep::NodeFields& fields);
    // Carries a step out again (redo) or back (undo).
    FormatNode* Apply(EditStep& step, bool forward);
    // What a node left out of the tree would be replaced with on screen.
    static FormatNode* StandIn(FormatNode* parent, FormatNode* after, FormatNode* root);
    // The messages from first to the last one leave the tree, kept as they
    // are, or come back after `after` (none: first).
    void DetachAdded(FormatNode* first, FormatNode* after, std::int32_t count);
    void ReattachAdded(FormatNode* first, FormatNode* after, std::int32_t count);
    // Frees a node kept out of the tree by the history, with its sub-tree.
    void ReleaseDetached(FormatNode* node);
    // A change the history did not record: the steps may not fit any more.
    void Unrecorded();
    std::size_t SubtreeBytes(const FormatNode* node) const;

    void RaiseCount(FormatNode* parent);
    void LowerCount(FormatNode* parent);
    void Relabel(FormatNode* list);
    void AssertOwned(const FormatNode* node);
    FormatNode* NewNode(std::string_view label, const FormatNode* parent);
    // A text stored for a node: a list label as its constant, anything else
    // in the arena.
    NodeText StoreLabel(std::string_view text);
    // text, reusing old when it is the same, so that an edit that keeps a
    // text stores nothing.
    NodeText StoreChanged(NodeText old, std::string_view text);
    NodeText StoreLabelChanged(NodeText old, std::string_view text);
    // Forgets every text when nothing can use one any more: no message in
    // the document and no step in the history.
    void ReclaimTextsIfEmpty();
    void FreeNode(FormatNode* node);
    NodePool& PoolUnder(const FormatNode* parent) { return parent == &root_ ? messagePool_ : itemPool_; }

    // Declared first, so that the texts outlive every node and step.
    TextArena texts_;
    RuleBook rules_;
    // Declared before the root, so that the nodes' storage outlives them.
    // Messages are kept apart from items: walking the messages, as creating
    // one does to find its place, then reads nodes that lie close together.
    NodePool messagePool_{sizeof(FormatNode), alignof(FormatNode)};
    NodePool itemPool_{sizeof(FormatNode), alignof(FormatNode)};
    FormatNode root_;
    FormatTreeListener* listener_;
    const FormatNode* ownedCache_ = nullptr; // debug builds only: last node checked
    // While a step is undone or redone: the parent's label comes from the
    // step, so counting does not relabel (nor store a label).
    bool applyingStep_ = false;
    // While messages are added: the last message before them.
    bool adding_ = false;
    FormatNode* addingAfter_ = nullptr;
    // The handles that refer to nodes of this tree.
    NodeRefRegistry refs_;
    // After the pools: the nodes it holds are freed into them.
    EditHistory history_{[this](FormatNode* node) { ReleaseDetached(node); }};
};

} // namespace tqf
