#include "Labels.h"
#include "ItemFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace tqf {
namespace {

TEST(ItemFormatTest, RowsAndCodesFollowTheFormatList) {
    const std::string separator(48, '-');
    EXPECT_EQ(FormatRowText(LIST), "LIST");
    EXPECT_EQ(FormatRowText(NONE), separator);
    EXPECT_EQ(FormatRowText(SEPARATOR), separator);
    EXPECT_EQ(FormatRowText(JIS8), "JIS 8 Byte");
    EXPECT_EQ(FormatRowText(UINT8), "UINT 8 Byte");
    EXPECT_EQ(FormatRowText(VARIANT), "VARIANT");
    EXPECT_EQ(FormatCode(JIS8), "J8");
    EXPECT_EQ(FormatCode(BOOLEAN), "BOOLEAN");
    EXPECT_EQ(FormatCode(FLOAT4), "F4");
    EXPECT_EQ(FormatCode(NONE), "");
    EXPECT_EQ(FormatCode(SEPARATOR), "");
    EXPECT_EQ(FormatCode(-1), "");
    EXPECT_EQ(FormatCode(18), "");
    for (int row = 0; row < FORMAT_ROW_COUNT; ++row) {
        EXPECT_EQ(IsItemFormat(row), row != NONE && row != SEPARATOR) << row;
        EXPECT_FALSE(FormatRowText(row).empty()) << row;
    }
    EXPECT_FALSE(IsItemFormat(NO_FORMAT_ROW));
}

TEST(LabelsTest, MessageLabels) {
    EXPECT_EQ(MakeMessageLabel(1, 3, true), "S1F3W");
    EXPECT_EQ(MakeMessageLabel(6, 12, false), "S6F12");
    EXPECT_EQ(MakeMessageLabel(127, 255, false), "S127F255");
    EXPECT_EQ(MakeMessageLabel(-1, 1, false), "S-1F1");
}

TEST(LabelsTest, ReadingMessageLabelsBack) {
    auto fields = ReadMessageLabel("S2F41W");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->stream, 2);
    EXPECT_EQ(fields->function, 41);
    EXPECT_TRUE(fields->replyRequired);

    fields = ReadMessageLabel("S2F42");
    ASSERT_TRUE(fields);
    EXPECT_FALSE(fields->replyRequired);

    fields = ReadMessageLabel("S-1F7W");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->stream, -1);

    EXPECT_FALSE(ReadMessageLabel(""));
    EXPECT_FALSE(ReadMessageLabel("SF1"));
    EXPECT_FALSE(ReadMessageLabel("S1X1"));
    EXPECT_FALSE(ReadMessageLabel("<L[1]>"));

    fields = ReadMessageLabel("S99999999999F1");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->stream, 2147483647);
}

TEST(LabelsTest, ItemLabelsShowCountsOnlyWhereTheyMatter) {
    EXPECT_EQ(MakeItemLabel(ASCII, 1, false, ""), "<A>");
    EXPECT_EQ(MakeItemLabel(ASCII, 2, false, ""), "<A[2]>");
    EXPECT_EQ(MakeItemLabel(ASCII, 0, false, ""), "<A>");
    EXPECT_EQ(MakeItemLabel(ASCII, -7, false, ""), "<A>");
    EXPECT_EQ(MakeItemLabel(ASCII, 100, false, ""), "<A[100]>");
    EXPECT_EQ(MakeItemLabel(UINT4, 3, false, "ids"), "<U4[3]  ids>");
    EXPECT_EQ(MakeItemLabel(BOOLEAN, 1, false, "on/off flag"), "<BOOLEAN  on/off flag>");
    EXPECT_EQ(MakeItemLabel(VARIANT, 0, false, ""), "<VARIANT>");
    EXPECT_EQ(MakeItemLabel(BINARY, 1, false, ""), "<B>");
    EXPECT_EQ(MakeItemLabel(JIS8, 5, false, ""), "<J8[5]>");
}

TEST(LabelsTest, OpenItemsAndListsAlwaysShowBrackets) {
    EXPECT_EQ(MakeItemLabel(ASCII, OPEN_COUNT, true, "recipe name"), "<A[n]  recipe name>");
    EXPECT_EQ(MakeItemLabel(LIST, OPEN_COUNT, true, ""), "<L[n]>");
    EXPECT_EQ(MakeItemLabel(UINT2, OPEN_COUNT, true, "lot ids"), "<U2[n]  lot ids>");
    EXPECT_EQ(MakeItemLabel(LIST, 0, false, ""), "<L[0]>");
    EXPECT_EQ(MakeItemLabel(LIST, 1, false, ""), "<L[1]>");
    EXPECT_EQ(MakeItemLabel(LIST, 0, false, "header"), "<L[0]  header>");
    EXPECT_EQ(ListLabel(0), "<L[0]>");
    EXPECT_EQ(ListLabel(12), "<L[12]>");
}

} // namespace
} // namespace tqf
