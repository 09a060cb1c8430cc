#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tqf {

class BlockSupply;

// Storage for the nodes of one document. A document holds up to millions of
// nodes of one size that mostly come and go together (opening and clearing a
// library), so they are carved from large blocks instead of being allocated
// one by one, and a slot given back is handed out again first.
//
// Under the address sanitizer, a slot given back and the unused rest of a
// block are poisoned, so that using a deleted node is still caught.
class NodePool {
public:
    // Slots of slotSize bytes, aligned to alignment (a power of two of at
    // most alignof(std::max_align_t)): no more than the node needs, as
    // every byte counts millions of times.
    explicit NodePool(std::size_t slotSize, std::size_t alignment = alignof(std::max_align_t));
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    ~NodePool();

    // Uninitialised, suitably aligned storage for one node.
    void* Allocate();

    // Gives back storage that Allocate handed out; the node in it has been
    // destroyed already.
    void Release(void* slot);

    // Returns every block to the system. Only while no slot is in use.
    void ReleaseAll();
    // Returns every block to the system at once, with the slots still in
    // use: for nodes that need no destruction, all of which go together.
    void Reset();
    // Returns the blocks none of whose slots is in use, such as those of a
    // document freed while another one lives in the pool.
    void ReleaseFreeBlocks();

    // While it is set, new blocks are the largest ones, from supply where it
    // has one ready (none: made here).
    void SetSupply(BlockSupply* supply) { supply_ = supply; }

    // How many slots are handed out.
    std::size_t SlotsInUse() const { return inUse_; }

private:
    void AddBlock();

    std::size_t slotSize_;
    std::size_t blockSlots_;
    struct Block {
        std::byte* bytes;
        std::size_t size;
    };
    std::vector<Block> blocks_;
    std::byte* next_ = nullptr; // the first slot of the newest block never handed out
    std::byte* end_ = nullptr;
    std::vector<void*> released_;
    std::size_t inUse_ = 0;
    BlockSupply* supply_ = nullptr;
};

} // namespace tqf
