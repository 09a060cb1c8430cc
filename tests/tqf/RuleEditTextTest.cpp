#include "RuleEditText.h"

#include "ItemFormat.h"

#include <gtest/gtest.h>

namespace tqf {
namespace {

TEST(RuleEditTextTest, NodeTextReadsBackAndSaysWhereItFails) {
    NodeRules held;
    held.unreadLines = {"//@ someday"};
    RuleEditText::NodeResult read = RuleEditText::ReadNode(" formats U4 a; count ..32 ", &held);
    ASSERT_TRUE(read.read) << read.reason;
    EXPECT_EQ(read.rules.formats, (std::vector<std::int32_t>{UINT4, ASCII}));
    EXPECT_EQ(read.rules.unreadLines, held.unreadLines);
    EXPECT_EQ(RuleEditText::OfNode(&read.rules), "formats U4 A; count ..32");
    EXPECT_EQ(RuleEditText::OfNode(nullptr), "");
    read = RuleEditText::ReadNode("  ", nullptr);
    EXPECT_TRUE(read.read && read.rules.Empty());
    for (const auto& [text, reason] : {std::pair{"formats U4 X9", "column 12: "}, {"dictionary A: optional", ""}}) {
        read = RuleEditText::ReadNode(text, nullptr);
        EXPECT_FALSE(read.read) << text;
        EXPECT_EQ(read.reason.rfind(reason, 0), 0u) << read.reason;
        EXPECT_GT(read.reason.size(), std::string(reason).size());
    }
}

TEST(RuleEditTextTest, DictionaryTextIsOneEntryALineAndKeepsUnreadLines) {
    RuleBook::Dictionary held;
    held[""] = {"", {}};
    held[""].rules.unreadLines = {"//@ dictionary ?"};
    const std::string text =
        "dictionary CEID: formats U4 A\n\ndictionary ceid: count 1\r\ndictionary \"Lot id\": optional\n";
    RuleEditText::DictionaryResult read = RuleEditText::ReadDictionary(text, held);
    ASSERT_TRUE(read.read) << read.reason;
    ASSERT_EQ(read.dictionary.size(), 3u);
    EXPECT_EQ(read.dictionary[""].rules.unreadLines, held[""].rules.unreadLines);
    EXPECT_EQ(read.dictionary["CEID"].rules.formats, (std::vector<std::int32_t>{UINT4, ASCII}));
    EXPECT_EQ(read.dictionary["CEID"].rules.count, (CountRange{1, 1}));
    EXPECT_EQ(RuleEditText::OfDictionary(read.dictionary),
              "dictionary CEID: formats U4 A; count 1\ndictionary \"Lot id\": optional\n");
    for (const auto& [bad, reason] : {std::pair{"dictionary A: optional\nformats U4", "line 2, column 1: "},
                                      {"\ndictionary A: formats Q", "line 2, column 23: "}}) {
        read = RuleEditText::ReadDictionary(bad, {});
        EXPECT_FALSE(read.read);
        EXPECT_EQ(read.reason.rfind(reason, 0), 0u) << read.reason;
    }
}

} // namespace
} // namespace tqf
