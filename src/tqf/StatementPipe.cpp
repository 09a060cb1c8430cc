#include "StatementPipe.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>
#include <utility>

namespace tqf {

namespace {

// A batch goes to the builder at this many bytes of statements or this many
// statements, whichever comes first: large enough that the threads seldom
// have to wake each other (waking a thread that sleeps can cost tens of
// microseconds on a virtual machine), small enough that the builder starts
// early and the batches stay in the cache.
constexpr std::size_t BATCH_BYTES = std::size_t{32} * 1024;
constexpr std::size_t BATCH_STATEMENTS = 256;

} // namespace

void BatchText::reserve(std::size_t bytes) {
    if (bytes <= capacity_) {
        return;
    }
    auto grown = std::make_unique_for_overwrite<char[]>(bytes);
    if (size_ > 0) {
        std::memcpy(grown.get(), bytes_.get(), size_);
    }
    bytes_ = std::move(grown);
    capacity_ = bytes;
}

std::string StatementBatch::Original(const CollectedStatement& statement) const {
    const std::string_view normalised =
        std::string_view(text).substr(statement.collected, statement.begin + statement.size - statement.collected);
    std::string original;
    original.reserve(normalised.size() + (statement.removedEnd - statement.removedBegin));
    std::size_t from = 0; // in normalised
    for (std::size_t i = statement.removedBegin; i < statement.removedEnd; ++i) {
        // The bytes before the removed space are those kept since the last one.
        const std::size_t kept = std::min(removedSpaces[i] - original.size(), normalised.size() - from);
        original.append(normalised.substr(from, kept));
        from += kept;
        original += ' ';
    }
    original.append(normalised.substr(from));
    return original;
}

void StatementBatch::Clear() {
    text.clear();
    statements.clear();
    pieces.clear();
    removedSpaces.clear();
    notes.clear();
}

bool StatementBatch::Full() const { return text.size() >= BATCH_BYTES || statements.size() >= BATCH_STATEMENTS; }

StatementBatch* StatementPipe::TakeEmpty() {
    std::unique_lock lock(mutex_);
    if (empty_.empty() && batches_.size() < BATCHES && !cancelled_) {
        batches_.push_back(std::make_unique<StatementBatch>());
        return batches_.back().get();
    }
    if (empty_.empty() && !cancelled_) {
        // The reader is ahead: it sleeps until it can fill several batches,
        // not one, since every waking costs both threads time.
        readerWaiting_ = true;
        changed_.wait(lock, [this] { return cancelled_ || empty_.size() >= WAKE_READER_AT; });
        readerWaiting_ = false;
    }
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
    if (builderWaiting_) {
        changed_.notify_all();
    }
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
    if (!closed_ && full_.empty()) {
        builderWaiting_ = true;
        changed_.wait(lock, [this] { return closed_ || !full_.empty(); });
        builderWaiting_ = false;
    }
    if (full_.empty()) {
        return nullptr;
    }
    StatementBatch* batch = full_.front();
    full_.pop_front();
    return batch;
}

bool StatementPipe::EmptyReady() const {
    const std::lock_guard lock(mutex_);
    return cancelled_ || !empty_.empty() || batches_.size() < BATCHES;
}

bool StatementPipe::FullReady() const {
    const std::lock_guard lock(mutex_);
    return closed_ || !full_.empty();
}

void StatementPipe::PutEmpty(StatementBatch* batch) {
    assert(batch != nullptr);
    std::lock_guard lock(mutex_);
    empty_.push_back(batch);
    if (readerWaiting_ && empty_.size() >= WAKE_READER_AT) {
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

} // namespace tqf
