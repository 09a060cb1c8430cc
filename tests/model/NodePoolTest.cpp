#include "NodePool.h"
#include "FormatTree.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace tqf {
namespace {

TEST(NodePoolTest, SlotsAreDistinctAlignedAndReusedFirst) {
    NodePool pool(40);
    std::vector<void*> slots;
    std::set<void*> distinct;
    for (int i = 0; i < 10'000; ++i) {
        void* slot = pool.Allocate();
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(slot) % alignof(std::max_align_t), 0U);
        // Every byte of the slot is ours: a neighbour's bytes would be overwritten.
        std::memset(slot, i & 0xFF, 40);
        slots.push_back(slot);
        distinct.insert(slot);
    }
    EXPECT_EQ(distinct.size(), slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        ASSERT_EQ(*static_cast<unsigned char*>(slots[i]), static_cast<unsigned char>(i & 0xFF)) << i;
    }
    EXPECT_EQ(pool.SlotsInUse(), 10'000U);

    pool.Release(slots[17]);
    pool.Release(slots[4'000]);
    EXPECT_EQ(pool.SlotsInUse(), 9'998U);
    EXPECT_EQ(pool.Allocate(), slots[4'000]);
    EXPECT_EQ(pool.Allocate(), slots[17]);

    for (void* slot : slots) {
        pool.Release(slot);
    }
    EXPECT_EQ(pool.SlotsInUse(), 0U);
    pool.ReleaseAll();
    void* fresh = pool.Allocate();
    EXPECT_NE(fresh, nullptr);
    pool.Release(fresh);
}

TEST(NodePoolTest, TinySlotsStillHoldAPointer) {
    NodePool pool(1);
    void* a = pool.Allocate();
    void* b = pool.Allocate();
    EXPECT_GE(static_cast<std::size_t>(std::abs(static_cast<char*>(b) - static_cast<char*>(a))), sizeof(void*));
    pool.Release(a);
    pool.Release(b);
}

TEST(NodePoolTest, ADocumentEmptiedAndFilledAgainKeepsEveryNode) {
    FormatTree tree;
    for (int round = 0; round < 3; ++round) {
        FormatNode* last = TreeSurgery::AddChild(tree, nullptr, "S1F1", false);
        for (int i = 2; i <= 1'000; ++i) {
            last = TreeSurgery::AddSibling(tree, last, "S1F" + std::to_string(i), false);
        }
        ASSERT_EQ(tree.GetRootNode()->Count(), 1'000);
        int seen = 0;
        for (const FormatNode* m = tree.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
            ASSERT_EQ(m->Label(), "S1F" + std::to_string(++seen));
        }
        // Emptied one message at a time (as New does) or all at once.
        if (round == 0) {
            while (tree.GetRootNode()->FirstChild() != nullptr) {
                TreeSurgery::DeleteNode(tree, tree.GetRootNode()->FirstChild(), false);
            }
        } else {
            TreeSurgery::DeleteNode(tree, tree.GetRootNode(), false);
        }
        EXPECT_EQ(tree.GetRootNode()->FirstChild(), nullptr);
        TreeSurgery::SetItemFormat(tree, tree.GetRootNode(), tree.GetRootNode()->Format(), 0);
    }
}

} // namespace
} // namespace tqf
