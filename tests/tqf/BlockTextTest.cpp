#include "BlockText.h"
#include "BlockSupply.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

namespace tqf {
namespace {

constexpr std::size_t BLOCK = BlockSupply::BLOCK_BYTES;

// Parts of every size around a block's end, so that appends end exactly at a
// block's end, cross it and span whole blocks.
TEST(BlockTextTest, HoldsWhatIsAppendedAcrossBlocksInOrder) {
    std::string expected;
    BlockText text;
    const std::size_t sizes[] = {1, BLOCK - 1, 1, 7, BLOCK, 3 * BLOCK + 5, 0, BLOCK - 13};
    char fill = 'a';
    for (const std::size_t size : sizes) {
        std::string part(size, fill);
        if (!part.empty()) {
            part.back() = '\n';
        }
        fill = static_cast<char>(fill == 'z' ? 'a' : fill + 1);
        text.Append(part);
        expected += part;
        ASSERT_EQ(text.size(), expected.size());
    }
    EXPECT_EQ(text.Str(), expected);

    std::size_t at = 0;
    for (const std::string_view piece : text.Pieces()) {
        EXPECT_LE(piece.size(), BLOCK);
        EXPECT_EQ(piece, std::string_view(expected).substr(at, piece.size()));
        at += piece.size();
    }
    EXPECT_EQ(at, expected.size());

    std::ostringstream out;
    EXPECT_TRUE(text.WriteTo(out));
    EXPECT_EQ(out.str(), expected);

    BlockText moved = std::move(text);
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(text.Pieces().empty());
    EXPECT_EQ(moved.Str(), expected);
    moved = BlockText("short");
    EXPECT_EQ(moved.Str(), "short");
}

} // namespace
} // namespace tqf
