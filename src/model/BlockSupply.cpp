#include "BlockSupply.h"

#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace tqf {

BlockSupply::~BlockSupply() {
    for (std::byte* block : ready_) {
        DeleteBlock(block);
    }
}

std::byte* BlockSupply::NewBlock() {
    void* block = ::operator new (BLOCK_BYTES, std::align_val_t{BLOCK_BYTES});
#ifdef MADV_HUGEPAGE
    // Only advice: where huge pages are not to be had, the block works the same.
    (void)madvise(block, BLOCK_BYTES, MADV_HUGEPAGE);
#endif
    return static_cast<std::byte*>(block);
}

void BlockSupply::DeleteBlock(std::byte* block) { ::operator delete (block, std::align_val_t{BLOCK_BYTES}); }

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
    // One write per page of the smallest size makes the system map them all.
    constexpr std::size_t PAGE_BYTES = 4096;
    for (std::size_t at = 0; at < BLOCK_BYTES; at += PAGE_BYTES) {
        static_cast<volatile std::byte*>(block)[at] = std::byte{0};
    }
    const std::lock_guard lock(mutex_);
    ready_.push_back(block);
    return true;
}

} // namespace tqf
