#pragma once

#include "NodeText.h"
#include "RuleBook.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

namespace tqf {

class FormatNode;

// One edit of the document, as much as it takes to make it again or take it
// back. Nodes are never copied: a node taken out of the tree, with its
// sub-tree, stays allocated and is held here until the step is dropped.
struct EditStep {
    enum class Kind : std::uint8_t {
        INSERT, // node was linked in under parent, right after `after`
        REMOVE, // node was unlinked from under parent, where it followed `after`
        CHANGE, // node's fields were replaced; `fields` holds the others
        SWAP,   // node changed places with its next sibling
        CLEAR,  // the messages from node on and those of the document change places:
                // none (the document was cleared) or those a read put in its place
        RULES,  // the rules of node, or of a dictionary entry, were replaced
        ADD,    // the messages from node on, parentCount of them, were linked after `after` (none: first)
    };

    // The fields of a node that an edit in place changes. The texts are
    // views of the document's arena, which keeps every text a step may give
    // back for as long as the step can: taking a step back or making it
    // again copies no text.
    struct NodeFields {
        NodeText label;
        NodeText description;
        std::int32_t count = 0;
        std::int32_t format = 0;
        std::int8_t isList = 0;
    };

    Kind kind = Kind::INSERT;
    FormatNode* node = nullptr;
    FormatNode* parent = nullptr;
    FormatNode* after = nullptr;
    // INSERT and REMOVE: the parent's label and count of the other side of
    // the step (before it while it is made, after it while it is undone).
    NodeText parentLabel;
    std::int32_t parentCount = 0;
    // CHANGE: the node's fields of the other side of the step.
    NodeFields fields;
    // RULES: the rules of the other side; CLEAR: the dictionary of the other
    // side (none while it is empty).
    std::shared_ptr<RuleChange> rules;
    // What the step holds, counted against the history's bound: itself and
    // the nodes it keeps out of the tree. The texts it refers to are not
    // counted: they stay in the document's arena whether the step is kept
    // or dropped.
    std::size_t bytes = 0;
    // Names the state of the document that the step leads to.
    std::uint64_t id = 0;
    // Names the library that state belongs to: a clearing starts a new one,
    // every other step edits the library before it.
    std::uint64_t library = 0;
};

// The steps that can be undone and redone, oldest first, bounded in number
// and in bytes: beyond either bound the oldest steps are dropped, but the
// newest step is always kept, so that any single edit, however large, can be
// taken back.
class EditHistory {
public:
    static constexpr std::size_t MAX_STEPS = 10000;
    static constexpr std::size_t MAX_BYTES = 32u * 1024u * 1024u;

    // release frees what a dropped step still holds: the sub-tree of a node
    // that is out of the document.
    explicit EditHistory(std::function<void(FormatNode*)> release) : release_(std::move(release)) {}
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // Adds a step that has just been made; the steps that could be redone are
    // dropped.
    void Push(EditStep step);

    bool CanUndo() const { return applied_ > 0; }
    bool CanRedo() const { return applied_ < steps_.size(); }
    // The step to undo or redo; the caller carries it out.
    EditStep& StepToUndo();
    EditStep& StepToRedo();
    // The last step made, when nothing can be redone; none otherwise.
    const EditStep* Newest() const { return applied_ > 0 && applied_ == steps_.size() ? &steps_.back() : nullptr; }
    void Undone() { --applied_; }
    void Redone() { ++applied_; }

    // Drops every step; the document as it is now is not the saved one until
    // MarkSaved says so.
    void Clear();

    // The document as it is now is the one last saved or opened; no other
    // state is, until the next MarkSaved.
    void MarkSaved() { savedId_ = CurrentId(); }
    // No state of the document is saved (a new, unnamed document).
    void MarkUnsaved() { savedId_ = NO_STATE; }
    bool AtSavedState() const { return savedId_ == CurrentId(); }
    // The document as it is now counts as changed without being altered (an
    // update that changes nothing): the state it is in takes a new name, so
    // that it is not the saved one, and Undo and Redo come back to it under
    // that name.
    void RenameCurrentState();

    // The library as it is now, edited or not, is the one its file holds
    // (opened or saved there); until the next mark, it stays so through
    // every edit, undo and redo that does not pass a clearing.
    void MarkLibraryOfFile() { fileLibrary_ = CurrentLibrary(); }
    bool HoldsLibraryOfFile() const { return fileLibrary_ == CurrentLibrary(); }

    std::size_t Steps() const { return steps_.size(); }
    std::size_t Bytes() const { return bytes_; }

private:
    static constexpr std::uint64_t NO_STATE = 0;

    std::uint64_t CurrentId() const { return applied_ > 0 ? steps_[applied_ - 1].id : baseId_; }
    std::uint64_t CurrentLibrary() const { return applied_ > 0 ? steps_[applied_ - 1].library : baseLibrary_; }
    // Frees what a step no longer in the history holds; applied tells on which
    // side of it the document is.
    void Release(EditStep& step, bool applied);
    void DropOldest();

    std::function<void(FormatNode*)> release_;
    std::deque<EditStep> steps_;
    std::size_t applied_ = 0;
    std::size_t bytes_ = 0;
    std::uint64_t nextId_ = 2;
    std::uint64_t baseId_ = 1;
    std::uint64_t savedId_ = 1;
    std::uint64_t baseLibrary_ = 1;
    std::uint64_t fileLibrary_ = 1;
};

} // namespace tqf
