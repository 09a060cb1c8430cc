#include "NodePool.h"

#include "BlockSupply.h"
#include "Poisoning.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <new>

namespace tqf {

namespace {

// Blocks start small, so that a small document costs little, and grow up to
// this size, so that a large one needs few of them. The largest blocks are
// those of a BlockSupply: as large as a huge page of the processor, so that
// filling a large document takes hundreds of times fewer page faults.
constexpr std::size_t FIRST_BLOCK_SLOTS = 16;
constexpr std::size_t LARGEST_BLOCK_BYTES = BlockSupply::BLOCK_BYTES;

} // namespace

NodePool::NodePool(std::size_t slotSize, std::size_t alignment)
    : slotSize_((std::max(slotSize, sizeof(void*)) + alignment - 1) / alignment * alignment),
      blockSlots_(FIRST_BLOCK_SLOTS) {}

NodePool::~NodePool() {
    assert(inUse_ == 0 && "every node is destroyed before its pool");
    ReleaseAll();
}

void NodePool::AddBlock() {
    // The largest blocks hold as many slots as fit. A document filled from a
    // supply is a large one: it starts with them, as the supply's blocks are
    // ready and small ones would be fresh memory.
    const std::size_t bytes =
        supply_ != nullptr ? LARGEST_BLOCK_BYTES : std::min(blockSlots_ * slotSize_, LARGEST_BLOCK_BYTES);
    std::byte* block = nullptr;
    if (bytes == LARGEST_BLOCK_BYTES) {
        block = supply_ != nullptr ? supply_->Take() : nullptr;
        block = block != nullptr ? block : BlockSupply::NewBlock();
    } else {
        block = static_cast<std::byte*>(::operator new(bytes));
    }
    blocks_.push_back({block, bytes});
    next_ = blocks_.back().bytes;
    end_ = next_ + bytes / slotSize_ * slotSize_;
    Poison(next_, bytes);
    if (blockSlots_ * slotSize_ < LARGEST_BLOCK_BYTES) {
        blockSlots_ *= 2;
    }
}

void* NodePool::Allocate() {
    void* slot = nullptr;
    if (!released_.empty()) {
        slot = released_.back();
        released_.pop_back();
    } else {
        if (next_ == end_) {
            AddBlock();
        }
        slot = next_;
        next_ += slotSize_;
    }
    Unpoison(slot, slotSize_);
    ++inUse_;
    return slot;
}

void NodePool::Release(void* slot) {
    assert(slot != nullptr && inUse_ > 0);
    --inUse_;
    Poison(slot, slotSize_);
    released_.push_back(slot);
}

void NodePool::Reset() {
    inUse_ = 0;
    ReleaseAll();
}

void NodePool::ReleaseFreeBlocks() {
    // The newest block may hold slots never handed out; it stays.
    if (released_.empty() || blocks_.size() < 2) {
        return;
    }
    const std::size_t older = blocks_.size() - 1;
    std::vector<std::size_t> byAddress(older);
    for (std::size_t i = 0; i < older; ++i) {
        byAddress[i] = i;
    }
    std::sort(byAddress.begin(), byAddress.end(),
              [this](std::size_t a, std::size_t b) { return std::less<>()(blocks_[a].bytes, blocks_[b].bytes); });
    // The older block that holds slot, or `older` for the newest one.
    const auto blockOf = [&](const void* slot) {
        const auto* address = static_cast<const std::byte*>(slot);
        const auto after = std::upper_bound(
            byAddress.begin(), byAddress.end(), address,
            [this](const std::byte* a, std::size_t block) { return std::less<>()(a, blocks_[block].bytes); });
        if (after == byAddress.begin()) {
            return older;
        }
        const Block& block = blocks_[*(after - 1)];
        return std::less<>()(address, block.bytes + block.size) ? *(after - 1) : older;
    };
    std::vector<std::size_t> freeSlots(blocks_.size(), 0);
    for (const void* slot : released_) {
        ++freeSlots[blockOf(slot)];
    }
    std::vector<bool> empty(blocks_.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < older; ++i) {
        empty[i] = freeSlots[i] == blocks_[i].size / slotSize_;
        any = any || empty[i];
    }
    if (!any) {
        return;
    }
    std::erase_if(released_, [&](const void* slot) { return empty[blockOf(slot)]; });
    std::vector<Block> kept;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (!empty[i]) {
            kept.push_back(blocks_[i]);
            continue;
        }
        Unpoison(blocks_[i].bytes, blocks_[i].size);
        if (blocks_[i].size == LARGEST_BLOCK_BYTES) {
            BlockSupply::DeleteBlock(blocks_[i].bytes);
        } else {
            ::operator delete(blocks_[i].bytes);
        }
    }
    blocks_ = std::move(kept);
    released_.shrink_to_fit();
}

void NodePool::ReleaseAll() {
    assert(inUse_ == 0 && "a node still lives in the pool");
    for (const Block& block : blocks_) {
        // The blocks go back as they came, whatever was poisoned in them.
        Unpoison(block.bytes, block.size);
        if (block.size == LARGEST_BLOCK_BYTES) {
            BlockSupply::DeleteBlock(block.bytes);
        } else {
            ::operator delete(block.bytes);
        }
    }
    blocks_.clear();
    released_.clear();
    released_.shrink_to_fit();
    next_ = nullptr;
    end_ = nullptr;
    blockSlots_ = FIRST_BLOCK_SLOTS;
}

} // namespace tqf
