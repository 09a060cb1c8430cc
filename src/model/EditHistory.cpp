#include "EditHistory.h"

#include <cassert>

namespace tqf {

void EditHistory::Release(EditStep& step, bool applied) {
    // A made removal, or an undone insertion or addition, holds nodes out of
    // the tree; a clearing always holds the messages that are not in the
    // document, on whichever side of it the document is.
    const bool undoneAddition = (step.kind == EditStep::Kind::INSERT || step.kind == EditStep::Kind::ADD) && !applied;
    const bool holdsNode =
        (step.kind == EditStep::Kind::REMOVE && applied) || undoneAddition || step.kind == EditStep::Kind::CLEAR;
    if (holdsNode && step.node != nullptr && release_) {
        release_(step.node);
    }
    bytes_ -= step.bytes;
}

void EditHistory::Push(EditStep step) {
    // Newest first: a later step's node may lie under an earlier one's.
    while (steps_.size() > applied_) {
        Release(steps_.back(), false);
        steps_.pop_back();
    }
    step.id = nextId_++;
    step.library = step.kind == EditStep::Kind::CLEAR ? step.id : CurrentLibrary();
    bytes_ += step.bytes;
    steps_.push_back(std::move(step));
    applied_ = steps_.size();
    while (steps_.size() > 1 && (steps_.size() > MAX_STEPS || bytes_ > MAX_BYTES)) {
        DropOldest();
    }
}

void EditHistory::DropOldest() {
    EditStep& oldest = steps_.front();
    const bool applied = applied_ > 0;
    baseId_ = applied ? oldest.id : baseId_;
    baseLibrary_ = applied ? oldest.library : baseLibrary_;
    Release(oldest, applied);
    steps_.pop_front();
    if (applied_ > 0) {
        --applied_;
    }
}

void EditHistory::RenameCurrentState() {
    std::uint64_t& current = applied_ > 0 ? steps_[applied_ - 1].id : baseId_;
    current = nextId_++;
}

EditStep& EditHistory::StepToUndo() {
    assert(CanUndo());
    return steps_[applied_ - 1];
}

EditStep& EditHistory::StepToRedo() {
    assert(CanRedo());
    return steps_[applied_];
}

void EditHistory::Clear() {
    // The document stays what it is: the library it holds too.
    baseLibrary_ = CurrentLibrary();
    // Steps that could be redone first, newest first, then the made ones.
    while (steps_.size() > applied_) {
        Release(steps_.back(), false);
        steps_.pop_back();
    }
    while (!steps_.empty()) {
        Release(steps_.back(), true);
        steps_.pop_back();
    }
    applied_ = 0;
    // What comes next is a state of its own, saved only when MarkSaved says so.
    baseId_ = nextId_++;
    savedId_ = NO_STATE;
}

} // namespace tqf
