#include "BlockSupply.h"
#include "NodePool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace tqf {
namespace {

constexpr std::size_t BLOCK = BlockSupply::BLOCK_BYTES;

TEST(BlockSupplyTest, AGivenBackBlockIsTheNextOneHandedOutUpToTheBound) {
    BlockSupply::ReleaseSpareBlocks();
    std::byte* first = BlockSupply::NewBlock();
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(first) % BLOCK, 0U);
    // Every byte is usable, before and after a block is kept as a spare.
    std::memset(first, 0x5A, BLOCK);
    BlockSupply::DeleteBlock(first);
    EXPECT_EQ(BlockSupply::SpareBlocks(), 1U);
    std::byte* again = BlockSupply::NewBlock();
    EXPECT_EQ(again, first);
    EXPECT_EQ(BlockSupply::SpareBlocks(), 0U);
    std::memset(again, 0x3C, BLOCK);
    EXPECT_EQ(again[BLOCK - 1], std::byte{0x3C});

    // Past the bound, blocks go back to the system.
    std::vector<std::byte*> blocks{again};
    for (std::size_t i = 1; i < BlockSupply::MAX_SPARE_BLOCKS + 3; ++i) {
        blocks.push_back(BlockSupply::NewBlock());
    }
    EXPECT_EQ(std::set<std::byte*>(blocks.begin(), blocks.end()).size(), blocks.size());
    for (std::byte* block : blocks) {
        BlockSupply::DeleteBlock(block);
    }
    EXPECT_EQ(BlockSupply::SpareBlocks(), BlockSupply::MAX_SPARE_BLOCKS);
    BlockSupply::ReleaseSpareBlocks();
    EXPECT_EQ(BlockSupply::SpareBlocks(), 0U);
}

TEST(BlockSupplyTest, ANextDocumentReusesTheBlocksOfTheLastOne) {
    BlockSupply::ReleaseSpareBlocks();
    std::set<void*> firstSlots;
    {
        BlockSupply supply;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(supply.AddBlock(3));
        }
        EXPECT_FALSE(supply.AddBlock(3));
        NodePool pool(80, 8);
        pool.SetSupply(&supply);
        std::vector<void*> slots;
        // Enough slots for two of the largest blocks, which come from the
        // supply.
        for (int i = 0; i < 60'000; ++i) {
            slots.push_back(pool.Allocate());
            firstSlots.insert(slots.back());
        }
        for (void* slot : slots) {
            pool.Release(slot);
        }
        pool.ReleaseAll();
        // The blocks the supply made ready and nobody took are given back
        // with it.
    }
    const std::size_t spares = BlockSupply::SpareBlocks();
    EXPECT_EQ(spares, 3U);

    NodePool pool(80, 8);
    std::vector<void*> slots;
    std::size_t reused = 0;
    for (int i = 0; i < 60'000; ++i) {
        slots.push_back(pool.Allocate());
        reused += firstSlots.count(slots.back());
    }
    EXPECT_LT(BlockSupply::SpareBlocks(), spares);
    EXPECT_GT(reused, 0U);
    for (void* slot : slots) {
        pool.Release(slot);
    }
}

} // namespace
} // namespace tqf
