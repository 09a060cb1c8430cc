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
//
// A block given back is kept as a spare for the next document, up to
// MAX_SPARE_BLOCKS: a document opened after another one (Open, Revert, an
// import) then finds its memory mapped already instead of asking the system
// for fresh pages, which on a virtual machine may take the host many times
// longer than the reading itself. A spare's pages are lent back to the system
// (MADV_FREE): it takes them whenever it needs memory, without writing them
// anywhere, and a spare whose pages it took is as fresh memory again.
class BlockSupply {
public:
    static constexpr std::size_t BLOCK_BYTES = std::size_t{2} * 1024 * 1024;
    // 256 MiB: the storage of a library of some 100,000 messages.
    static constexpr std::size_t MAX_SPARE_BLOCKS = 128;

    BlockSupply() = default;
    BlockSupply(const BlockSupply&) = delete;
    BlockSupply& operator=(const BlockSupply&) = delete;
    // Gives back the blocks nobody took.
    ~BlockSupply();

    // A block made ready, or nullptr when none is (the caller then makes
    // its own). Any thread.
    std::byte* Take();

    // Makes one more block ready, touching every page, unless `most` wait
    // already; false then. On the thread that has time to spare.
    bool AddBlock(std::size_t most);

    // A block of BLOCK_BYTES, a spare if there is one, else untouched; and
    // its return, which keeps it as a spare while there is room. A block that
    // a supply hands out is given back this way too. Any thread.
    static std::byte* NewBlock();
    static void DeleteBlock(std::byte* block);

    // How many spares are kept, and their release to the system.
    static std::size_t SpareBlocks();
    static void ReleaseSpareBlocks();

private:
    std::mutex mutex_;
    std::vector<std::byte*> ready_;
};

} // namespace tqf
