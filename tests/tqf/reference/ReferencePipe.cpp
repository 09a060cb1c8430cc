#include "ReferencePipe.h"

#include <cassert>

namespace tqf::reference {

namespace {

// A batch goes to the builder at this many statements or item nodes,
// whichever comes first: large enough that the threads seldom have to wake
// each other (waking a thread that sleeps can cost tens of microseconds on a
// virtual machine), small enough that the builder starts early.
constexpr std::size_t BATCH_STATEMENTS = 64;
constexpr std::size_t BATCH_NODES = 2048;

} // namespace

ParseTree& StatementBatch::Next() {
    if (used == trees.size()) {
        trees.push_back(std::make_unique<ParseTree>());
    }
    return *trees[used];
}

void StatementBatch::Keep() {
    nodes += trees[used]->NodeCount();
    ++used;
}

bool StatementBatch::Full() const { return used >= BATCH_STATEMENTS || nodes >= BATCH_NODES; }

StatementBatch* StatementPipe::TakeEmpty() {
    std::unique_lock lock(mutex_);
    if (empty_.empty() && batches_.size() < BATCHES && !cancelled_) {
        batches_.push_back(std::make_unique<StatementBatch>());
        return batches_.back().get();
    }
    ++waiting_;
    changed_.wait(lock, [this] { return cancelled_ || !empty_.empty(); });
    --waiting_;
    if (cancelled_) {
        return nullptr;
    }
    StatementBatch* batch = empty_.back();
    empty_.pop_back();
    return batch;
}

void StatementPipe::PutFull(StatementBatch* batch) {
    std::lock_guard lock(mutex_);
    full_.push_back(batch);
    WakeWaiting();
}

void StatementPipe::Close(std::exception_ptr error) {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        error_ = std::move(error);
    }
    changed_.notify_all();
}

StatementBatch* StatementPipe::TakeFull() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.wait(lock, [this] { return closed_ || !full_.empty(); });
    --waiting_;
    if (full_.empty()) {
        return nullptr;
    }
    StatementBatch* batch = full_.front();
    full_.pop_front();
    return batch;
}

void StatementPipe::PutEmpty(StatementBatch* batch) {
    assert(batch != nullptr);
    batch->used = 0;
    batch->nodes = 0;
    std::lock_guard lock(mutex_);
    empty_.push_back(batch);
    WakeWaiting();
}

void StatementPipe::WakeWaiting() {
    if (waiting_ > 0) {
        changed_.notify_all();
    }
}

void StatementPipe::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
}

std::exception_ptr StatementPipe::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

} // namespace tqf::reference
