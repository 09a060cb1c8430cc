#include "BlockSupply.h"

#include "Poisoning.h"

#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace tqf {

namespace {

std::byte* AllocateBlock() {
    void* block = ::operator new (BlockSupply::BLOCK_BYTES, std::align_val_t{BlockSupply::BLOCK_BYTES});
#ifdef MADV_HUGEPAGE
    // Only advice: where huge pages are not to be had, the block works the same.
    (void)madvise(block, BlockSupply::BLOCK_BYTES, MADV_HUGEPAGE);
#endif
    return static_cast<std::byte*>(block);
}

void FreeBlock(std::byte* block) { ::operator delete (block, std::align_val_t{BlockSupply::BLOCK_BYTES}); }

// The blocks given back, for the next document. A spare is poisoned, so
// that a node or text used after its document was emptied is still caught.
class Spares {
public:
    Spares() { blocks_.reserve(BlockSupply::MAX_SPARE_BLOCKS); }
    Spares(const Spares&) = delete;
    Spares& operator=(const Spares&) = delete;
    ~Spares() = delete;

    std::byte* Take() {
        std::byte* block = nullptr;
        {
            const std::lock_guard lock(mutex_);
            if (blocks_.empty()) {
                return nullptr;
            }
            block = blocks_.back();
            blocks_.pop_back();
        }
        Unpoison(block, BlockSupply::BLOCK_BYTES);
        return block;
    }

    // False when the spares are full; the block is then the caller's again.
    bool Keep(std::byte* block) {
        const std::lock_guard lock(mutex_);
        if (blocks_.size() >= BlockSupply::MAX_SPARE_BLOCKS) {
            return false;
        }
#ifdef MADV_FREE
        // Where the system cannot take pages back lazily, the spare just
        // stays as it is.
        (void)madvise(block, BlockSupply::BLOCK_BYTES, MADV_FREE);
#endif
        Poison(block, BlockSupply::BLOCK_BYTES);
        blocks_.push_back(block);
        return true;
    }

    std::size_t Count() {
        const std::lock_guard lock(mutex_);
        return blocks_.size();
    }

    void Release() {
        std::vector<std::byte*> blocks;
        {
            const std::lock_guard lock(mutex_);
            blocks.swap(blocks_);
            blocks_.reserve(BlockSupply::MAX_SPARE_BLOCKS);
        }
        for (std::byte* block : blocks) {
            Unpoison(block, BlockSupply::BLOCK_BYTES);
            FreeBlock(block);
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::byte*> blocks_;
};

// Never destroyed: a document that outlives the others until the program
// ends still gives its blocks back here. The spares left then go with the
// process.
Spares& TheSpares() {
    static Spares* const spares = new Spares;
    return *spares;
}

} // namespace

BlockSupply::~BlockSupply() {
    for (std::byte* block : ready_) {
        DeleteBlock(block);
    }
}

std::byte* BlockSupply::NewBlock() {
    std::byte* spare = TheSpares().Take();
    return spare != nullptr ? spare : AllocateBlock();
}

void BlockSupply::DeleteBlock(std::byte* block) {
    if (!TheSpares().Keep(block)) {
        FreeBlock(block);
    }
}

std::size_t BlockSupply::SpareBlocks() { return TheSpares().Count(); }

void BlockSupply::ReleaseSpareBlocks() { TheSpares().Release(); }

std::byte* BlockSupply::Take() {
    const std::lock_guard lock(mutex_);
    if (ready_.empty()) {
        return nullptr;
    }
    std::byte* block = ready_.back();
    ready_.pop_back();
    return block;
}

bool BlockSupply::AddBlock(std::size_t most) {
    {
        const std::lock_guard lock(mutex_);
        if (ready_.size() >= most) {
            return false;
        }
    }
    std::byte* block = NewBlock();
    // One write per page of the smallest size makes the system map them all;
    // for a spare it takes back whatever pages were lent.
    constexpr std::size_t PAGE_BYTES = 4096;
    for (std::size_t at = 0; at < BLOCK_BYTES; at += PAGE_BYTES) {
        static_cast<volatile std::byte*>(block)[at] = std::byte{0};
    }
    const std::lock_guard lock(mutex_);
    ready_.push_back(block);
    return true;
}

} // namespace tqf
