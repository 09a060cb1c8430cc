// The text arena and the node texts that view it.
#include "TextArena.h"
#include "Labels.h"
#include "NodeText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace tqf {
namespace {

TEST(NodeTextTest, ComparesAndConvertsAsAStringView) {
    TextArena arena;
    const NodeText label = arena.Store("S1F1");
    const NodeText same = arena.Store("S1F1");
    const std::string text = "S1F1";
    EXPECT_TRUE(label == "S1F1");
    EXPECT_TRUE("S1F1" == label);
    EXPECT_TRUE(label == same);
    EXPECT_TRUE(label == text);
    EXPECT_FALSE(label != text);
    EXPECT_TRUE(label != "S1F1W");
    EXPECT_EQ(label, "S1F1");
    EXPECT_EQ(std::string(label), text);
    EXPECT_EQ("x" + label.str(), "xS1F1");
    EXPECT_EQ(label.size(), 4u);
    EXPECT_NE(label.data(), same.data()); // two stores, two copies

    const NodeText empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty, "");
    EXPECT_NE(empty.data(), nullptr);
    EXPECT_EQ(NodeText::Constant("<L>"), "<L>");
    EXPECT_EQ(NodeText::Constant("").size(), 0u);

    // A part views the same bytes; a count past the end is cut there.
    const NodeText part = label.Sub(1, 2);
    EXPECT_EQ(part, "1F");
    EXPECT_EQ(part.data(), label.data() + 1);
    EXPECT_EQ(label.Sub(2, 100), "F1");
    EXPECT_TRUE(label.Sub(4, 1).empty());
    EXPECT_THROW((void)label.Sub(5, 0), std::out_of_range);
}

TEST(TextArenaTest, StoresCopiesAndEmptyTextsTakeNoBytes) {
    TextArena arena;
    EXPECT_TRUE(arena.Store("").empty());
    EXPECT_EQ(arena.BytesUsed(), 0u);
    EXPECT_EQ(arena.BytesHeld(), 0u);

    std::string source = "<U4[3]  ids>";
    const NodeText text = arena.Store(source);
    source.assign(source.size(), '?');
    EXPECT_EQ(text, "<U4[3]  ids>");
    EXPECT_EQ(arena.BytesUsed(), 12u);
    EXPECT_EQ(arena.BytesHeld(), TextArena::BLOCK_BYTES);
    EXPECT_TRUE(arena.Store("").empty());
    EXPECT_EQ(arena.BytesUsed(), 12u);
}

TEST(TextArenaTest, RoomAndCommitComposeATextInPlace) {
    TextArena arena;
    const NodeText before = arena.Store("before");
    char* out = arena.Room(16);
    std::memcpy(out, "<A[12]>", 7);
    const NodeText composed = arena.Commit(7);
    EXPECT_EQ(composed, "<A[12]>");
    EXPECT_EQ(composed.data(), out);
    // Only what was committed counts; the next text follows right after it.
    EXPECT_EQ(arena.BytesUsed(), 13u);
    EXPECT_EQ(arena.Store("after").data(), out + 7);
    EXPECT_EQ(before, "before");

    (void)arena.Room(4);
    EXPECT_TRUE(arena.Commit(0).empty());
    EXPECT_EQ(arena.BytesUsed(), 18u);
    TextArena unused;
    (void)unused.Room(0);
    EXPECT_TRUE(unused.Commit(0).empty());
    EXPECT_EQ(unused.BytesHeld(), 0u);
}

TEST(TextArenaTest, RollBackForgetsLaterTextsAndReusesTheirBytes) {
    TextArena arena;
    const NodeText kept = arena.Store("kept");
    const TextArena::Mark mark = arena.Here();
    const NodeText dropped = arena.Store("dropped");
    arena.RollBack(mark);
    EXPECT_EQ(arena.BytesUsed(), 4u);
    EXPECT_EQ(arena.Store("again").data(), dropped.data());
    EXPECT_EQ(kept, "kept");

    // Back across blocks: the blocks stay held and are filled again.
    const TextArena::Mark second = arena.Here();
    const std::string chunk(TextArena::BLOCK_BYTES / 2 + 1, 'c');
    std::vector<NodeText> chunks;
    for (int i = 0; i < 5; ++i) {
        chunks.push_back(arena.Store(chunk));
    }
    const std::size_t held = arena.BytesHeld();
    EXPECT_GE(held, 5 * TextArena::BLOCK_BYTES);
    arena.RollBack(second);
    EXPECT_EQ(arena.BytesUsed(), 9u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(arena.Store(chunk).data(), chunks[static_cast<std::size_t>(i)].data());
    }
    EXPECT_EQ(arena.BytesHeld(), held);
    EXPECT_EQ(arena.BytesUsed(), 9u + 5 * chunk.size());
    EXPECT_EQ(kept, "kept");
}

TEST(TextArenaTest, TextsStayWhereTheyAreAsBlocksAreAddedAndLargeTextsGetTheirOwn) {
    TextArena arena;
    std::vector<std::pair<NodeText, std::string>> stored;
    for (int i = 0; i < 20'000; ++i) {
        std::string text = "<A[" + std::to_string(i) + "]  description " + std::to_string(i * 7) + ">";
        stored.emplace_back(arena.Store(text), std::move(text));
    }
    const std::string large(3 * TextArena::BLOCK_BYTES + 5, 'L');
    const NodeText big = arena.Store(large);
    const NodeText next = arena.Store("next");
    EXPECT_GT(arena.BytesHeld(), 4 * TextArena::BLOCK_BYTES);
    EXPECT_EQ(big, large);
    EXPECT_EQ(next, "next");
    for (const auto& [text, expected] : stored) {
        ASSERT_EQ(text, expected);
    }
    // Each text is one copy: what is used is what was stored.
    std::size_t total = large.size() + 4;
    for (const auto& entry : stored) {
        total += entry.second.size();
    }
    EXPECT_EQ(arena.BytesUsed(), total);
}

TEST(TextArenaTest, ClearKeepsOneOrdinaryBlockAndMovingTakesTheTexts) {
    TextArena arena;
    (void)arena.Store(std::string(2 * TextArena::BLOCK_BYTES, 'x'));
    for (int i = 0; i < 3; ++i) {
        (void)arena.Store(std::string(TextArena::BLOCK_BYTES - 10, 'y'));
    }
    arena.Clear();
    EXPECT_EQ(arena.BytesUsed(), 0u);
    EXPECT_EQ(arena.BytesHeld(), TextArena::BLOCK_BYTES);
    const NodeText first = arena.Store("first");
    EXPECT_EQ(arena.BytesHeld(), TextArena::BLOCK_BYTES);

    TextArena moved(std::move(arena));
    EXPECT_EQ(first, "first");
    EXPECT_EQ(moved.BytesUsed(), 5u);
    EXPECT_EQ(arena.BytesHeld(), 0u); // NOLINT(bugprone-use-after-move): a moved-from arena is empty
    EXPECT_EQ(arena.Store("own").size(), 3u);

    TextArena onlyLarge;
    (void)onlyLarge.Store(std::string(TextArena::BLOCK_BYTES + 1, 'z'));
    onlyLarge.Clear();
    EXPECT_EQ(onlyLarge.BytesHeld(), 0u);
}

TEST(TextArenaTest, RefusesATextLongerThanANodeTextHolds) {
    TextArena arena;
    EXPECT_THROW((void)arena.Room(TextArena::MAX_TEXT_BYTES + 1), std::length_error);
    EXPECT_EQ(arena.BytesHeld(), 0u);
}

TEST(ConstantListLabelTest, ListLabelsUpToNineHundredNinetyNineAreConstants) {
    EXPECT_EQ(ConstantListLabel(0), "<L[0]>");
    EXPECT_EQ(ConstantListLabel(7), "<L[7]>");
    EXPECT_EQ(ConstantListLabel(42), "<L[42]>");
    EXPECT_EQ(ConstantListLabel(999), "<L[999]>");
    EXPECT_TRUE(ConstantListLabel(1000).empty());
    EXPECT_TRUE(ConstantListLabel(-1).empty());
    for (const std::int32_t count : {0, 1, 9, 10, 99, 100, 500, 999}) {
        EXPECT_EQ(ConstantListLabel(count), ListLabel(count)) << count;
        EXPECT_EQ(ConstantListLabel(ListLabel(count)).data(), ConstantListLabel(count).data()) << count;
    }
    EXPECT_EQ(ConstantListLabel("<L>"), "<L>");
    EXPECT_EQ(ConstantListLabel("<L[n]>"), "<L[n]>");
    for (const char* other : {"<L[1000]>", "<L[07]>", "<L[]>", "<L[1x]>", "<L[1]", "<L[1]  x>", "<A[1]>", ""}) {
        EXPECT_TRUE(ConstantListLabel(other).empty()) << other;
    }
}

} // namespace
} // namespace tqf
