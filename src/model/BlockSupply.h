#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

namespace tqf {

// Large blocks of memory for a document's storage, made ready ahead of use
// by another thread. The first touch of fresh memory costs the system a page
// fault and the clearing of the page; when a reader fills a document on one
// thread while a second thread reads the file, the second one touches the
// blocks the first will need next, so the first never waits for that.
//
// Blocks are as large as a huge page of the processor and aligned to one, so
// the system may map each with a single page.
class BlockSupply {
public:
    static constexpr std::size_t BLOCK_BYTES = std::size_t{2} * 1024 * 1024;

    BlockSupply() = default;
    BlockSupply(const BlockSupply&) = delete;
    BlockSupply& operator=(const BlockSupply&) = delete;
    // Frees the blocks nobody took.
    ~BlockSupply();

    // A block made ready, or nullptr when none is (the caller then makes
    // its own). Any thread.
    std::byte* Take();

    // Makes one more block ready, touching every page, unless `most` wait
    // already; false then. On the thread that has time to spare.
    bool AddBlock(std::size_t most);

    // A block of BLOCK_BYTES, untouched, and its release. A block that a
    // supply hands out is released this way too.
    static std::byte* NewBlock();
    static void DeleteBlock(std::byte* block);

private:
    std::mutex mutex_;
    std::vector<std::byte*> ready_;
};

} // namespace tqf
