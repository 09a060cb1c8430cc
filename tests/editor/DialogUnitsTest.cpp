#include "DialogUnits.h"

#include <gtest/gtest.h>

namespace tqf {
namespace {

TEST(DialogUnitsTest, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(DialogUnits::MulDiv(247, 7, 4), 432);  // 432.25
    EXPECT_EQ(DialogUnits::MulDiv(114, 14, 8), 200); // 199.5
    EXPECT_EQ(DialogUnits::MulDiv(285, 7, 4), 499);  // 498.75
    EXPECT_EQ(DialogUnits::MulDiv(-3, 1, 2), -2);    // -1.5
    EXPECT_EQ(DialogUnits::MulDiv(3, 1, -2), -2);
    EXPECT_EQ(DialogUnits::MulDiv(5, 3, 0), -1);
    // No overflow on the way: the product needs more than 32 bits.
    EXPECT_EQ(DialogUnits::MulDiv(2000000000, 4, 8), 1000000000);
}

TEST(DialogUnitsTest, RectConvertsEachEdgeSoNeighboursMeet) {
    // Two controls side by side in units stay side by side in pixels, even
    // where the widths alone would round differently.
    const QRect open = TAHOMA_9_UNITS.Rect(55, 11, 43, 20);
    const QRect save = TAHOMA_9_UNITS.Rect(98, 11, 43, 20);
    EXPECT_EQ(open, QRect(96, 19, 76, 35));
    EXPECT_EQ(open.right() + 1, save.left());
    EXPECT_EQ(TAHOMA_9_UNITS.Size(379, 311), QSize(663, 544));
}

} // namespace
} // namespace tqf
