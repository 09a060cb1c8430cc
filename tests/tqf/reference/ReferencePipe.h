#pragma once

#include "ParseTree.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

namespace tqf::reference {

// Statements read and accepted, on their way from the thread that reads them
// to the thread that builds them into the document.
struct StatementBatch {
    std::vector<std::unique_ptr<ParseTree>> trees; // the first `used` hold statements
    std::size_t used = 0;
    std::size_t nodes = 0; // item nodes in the used trees

    // The tree the next statement is read into; reading a statement starts
    // by clearing it.
    ParseTree& Next();
    // Counts the statement in Next()'s tree as one of the batch.
    void Keep();
    // True when the batch should go to the builder: it holds enough to be
    // worth a hand-over.
    bool Full() const;
};

// Hands batches of statements from one reading thread to one building
// thread. A few batches circulate: the reader fills one while the builder
// builds another, and a batch that has been built comes back to be filled
// again, with the memory of its trees.
class StatementPipe {
public:
    StatementPipe() = default;
    StatementPipe(const StatementPipe&) = delete;
    StatementPipe& operator=(const StatementPipe&) = delete;

    // The reading side. TakeEmpty waits for a batch to fill; nullptr when the
    // builder has given up.
    StatementBatch* TakeEmpty();
    void PutFull(StatementBatch* batch);
    // No more batches come; error is what stopped the reading, if anything.
    void Close(std::exception_ptr error = nullptr);

    // The building side. TakeFull waits for a batch to build; nullptr once the
    // reader has closed the pipe and every batch has been taken.
    StatementBatch* TakeFull();
    void PutEmpty(StatementBatch* batch);
    // The builder stops: the reader's next TakeEmpty returns nullptr.
    void Cancel();

    // What stopped the reading, once TakeFull has returned nullptr.
    std::exception_ptr Error() const;

private:
    // Batches in circulation at most: the reader may run this far minus one
    // ahead of the builder.
    static constexpr std::size_t BATCHES = 4;

    // Called with mutex_ held: only a side that waits needs waking.
    void WakeWaiting();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<StatementBatch>> batches_;
    std::deque<StatementBatch*> full_;
    std::vector<StatementBatch*> empty_;
    int waiting_ = 0; // sides waiting for changed_
    bool closed_ = false;
    bool cancelled_ = false;
    std::exception_ptr error_;
};

} // namespace tqf::reference
