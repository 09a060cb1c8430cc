#pragma once

#include "ReadDiagnostic.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// Where a part of a statement came from in the file, for the report of a
// statement that is dropped or warned about.
struct StatementPiece {
    std::size_t offset; // in the statement as collected, before it was trimmed
    std::size_t line;
    std::size_t column;
};

// One statement collected from the file: trimmed, with the spaces next to
// brackets removed, ready to be read into a message.
struct CollectedStatement {
    std::size_t collected = 0;   // where it starts in the batch's text, untrimmed
    std::size_t begin = 0;       // where it starts trimmed
    std::size_t size = 0;        // trimmed
    std::size_t line = 0;        // the line of its "."
    std::size_t piecesBegin = 0; // its pieces in the batch's pieces
    std::size_t piecesEnd = 0;
    std::size_t removedBegin = 0; // its removed spaces in the batch's removedSpaces
    std::size_t removedEnd = 0;
    std::size_t notesBegin = 0; // what was noticed while it was collected, in the batch's notes
    std::size_t notesEnd = 0;
};

// The texts of a batch's statements: bytes that grow at the end, followed
// by room that a copy sixteen bytes at a time may overwrite, so that the
// short parts of lines are copied without a call per part.
class BatchText {
public:
    // Bytes past the end that Room always leaves writable.
    static constexpr std::size_t SLACK = 16;

    BatchText() = default;
    BatchText(const BatchText&) = delete;
    BatchText& operator=(const BatchText&) = delete;

    const char* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t capacity() const { return capacity_; }
    operator std::string_view() const { return {bytes_.get(), size_}; }

    void clear() { size_ = 0; }
    // Cuts the text to its first size bytes.
    void resize(std::size_t size) {
        assert(size <= size_ && "a batch's text only shrinks this way");
        size_ = size;
    }
    void reserve(std::size_t bytes);
    void append(const char* text, std::size_t size) {
        std::memcpy(Room(size), text, size);
        size_ += size;
    }
    BatchText& operator+=(char c) {
        *Room(1) = c;
        ++size_;
        return *this;
    }

    // Where the next bytes go: room for bytes more, and SLACK beyond them.
    // Grow then adds the bytes written there.
    char* Room(std::size_t bytes) {
        if (capacity_ - size_ < bytes + SLACK) {
            reserve(std::max(capacity_ * 2, size_ + bytes + SLACK));
        }
        return bytes_.get() + size_;
    }
    void Grow(std::size_t bytes) { size_ += bytes; }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Statements collected, on their way from the thread that reads them to the
// thread that builds them into the document. The statements' texts lie one
// after another in one buffer, where the reader collected them.
struct StatementBatch {
    BatchText text;
    std::vector<CollectedStatement> statements;
    std::vector<StatementPiece> pieces;
    // Where the statements' bracket spacings lost a space: offsets in the
    // untrimmed statement as it was, ascending within a statement.
    std::vector<std::size_t> removedSpaces;
    // What collecting the statements noticed that may have been lost: text
    // after a statement's end, a header swallowed into a statement.
    std::vector<ReadDiagnostic> notes;

    std::string_view Text(const CollectedStatement& statement) const {
        return std::string_view(text).substr(statement.begin, statement.size);
    }
    // The statement as it was before its bracket spacings were removed,
    // untrimmed at its front; at its end white space may be missing.
    std::string Original(const CollectedStatement& statement) const;

    void Clear();
    // True when the batch should go to the builder: it holds enough to be
    // worth a hand-over.
    bool Full() const;
};

// Hands batches of statements from one reading thread to one building
// thread. A few batches circulate: the reader fills one while the builder
// builds another, and a batch that has been built comes back to be filled
// again, with its memory.
class StatementPipe {
public:
    StatementPipe() = default;
    StatementPipe(const StatementPipe&) = delete;
    StatementPipe& operator=(const StatementPipe&) = delete;

    // The reading side. TakeEmpty waits for a batch to fill; nullptr when the
    // builder has given up.
    StatementBatch* TakeEmpty();
    // True when TakeEmpty would return at once.
    bool EmptyReady() const;
    void PutFull(StatementBatch* batch);
    // No more batches come; error is what stopped the reading, if anything.
    void Close(std::exception_ptr error = nullptr);

    // The building side. TakeFull waits for a batch to build; nullptr once the
    // reader has closed the pipe and every batch has been taken.
    StatementBatch* TakeFull();
    // True when TakeFull would return at once.
    bool FullReady() const;
    void PutEmpty(StatementBatch* batch);
    // The builder stops: the reader's next TakeEmpty returns nullptr.
    void Cancel();

    // What stopped the reading, once TakeFull has returned nullptr.
    std::exception_ptr Error() const;

private:
    // Batches in circulation at most: the reader may run this far minus one
    // ahead of the builder. Once it has had to wait, it goes on when this
    // many are free again.
    static constexpr std::size_t BATCHES = 8;
    static constexpr std::size_t WAKE_READER_AT = BATCHES / 2;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<StatementBatch>> batches_;
    std::deque<StatementBatch*> full_;
    std::vector<StatementBatch*> empty_;
    bool readerWaiting_ = false;
    bool builderWaiting_ = false;
    bool closed_ = false;
    bool cancelled_ = false;
    std::exception_ptr error_;
};

} // namespace tqf
