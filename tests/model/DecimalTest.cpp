#include "Decimal.h"

#include <gtest/gtest.h>

#include <string>

namespace tqf {
namespace {

TEST(DecimalTest, ReadsLikeTheCLibrary) {
    EXPECT_EQ(ReadPanelNumber("42"), 42);
    EXPECT_EQ(ReadPanelNumber("  \t7x"), 7);
    EXPECT_EQ(ReadPanelNumber("-12"), -12);
    EXPECT_EQ(ReadPanelNumber("+5"), 5);
    EXPECT_EQ(ReadPanelNumber(""), 0);
    EXPECT_EQ(ReadPanelNumber("n"), 0);
    EXPECT_EQ(ReadPanelNumber("-"), 0);
    EXPECT_EQ(ReadPanelNumber("00"), 0);
    EXPECT_EQ(ReadPanelNumber("1 2"), 1);
}

TEST(DecimalTest, LongNumbersSaturate) {
    EXPECT_EQ(ReadPanelNumber("2147483647"), 2147483647);
    EXPECT_EQ(ReadPanelNumber("2147483648"), 2147483647);
    EXPECT_EQ(ReadPanelNumber("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ReadPanelNumber(std::string(50, '9')), 2147483647);
    EXPECT_EQ(ReadPanelNumber("-" + std::string(50, '9')), -2147483647 - 1);
}

TEST(DecimalTest, RangeChecksCompareUnsigned) {
    EXPECT_TRUE(PanelNumberInRange("1", 1, 127));
    EXPECT_TRUE(PanelNumberInRange("127", 1, 127));
    EXPECT_FALSE(PanelNumberInRange("0", 1, 127));
    EXPECT_FALSE(PanelNumberInRange("", 1, 127));
    EXPECT_FALSE(PanelNumberInRange("128", 1, 127));
    EXPECT_FALSE(PanelNumberInRange("-1", 0, 255));
    EXPECT_TRUE(PanelNumberInRange("-0", 0, 255));
    EXPECT_TRUE(PanelNumberInRange("0", 0, 255));
    EXPECT_FALSE(PanelNumberInRange("4294967297", 0, 255)); // would wrap to 1
    EXPECT_FALSE(PanelNumberInRange(std::string(50, '9'), 0, 255));
    EXPECT_FALSE(PanelNumberInRange("-4294967295", 0, 255));
}

TEST(DecimalTest, ScanReportsWhereTheNumberEnds) {
    DecimalScan scan = ScanDecimal("S 12F3", 1);
    EXPECT_TRUE(scan.hasDigits);
    EXPECT_EQ(scan.magnitude, 12u);
    EXPECT_EQ(scan.end, 4u);
    scan = ScanDecimal("SF1", 1);
    EXPECT_FALSE(scan.hasDigits);
    EXPECT_EQ(scan.end, 1u);
}

TEST(DecimalTest, TrimRemovesCWhiteSpace) {
    EXPECT_EQ(TrimSpace(" \t\r\n\v\fab c \r\n"), "ab c");
    EXPECT_EQ(TrimSpace("   "), "");
}

} // namespace
} // namespace tqf
