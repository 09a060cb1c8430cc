#include "FormatReader.h"
#include "SmlValidator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqf {
namespace {

// The reasons of the findings of sml against library, in order.
std::vector<std::string> Reasons(const std::string& library, const std::string& sml) {
    FormatTree document;
    FormatReader reader(document);
    EXPECT_TRUE(reader.ReadFormatBytes(library).warnings.empty());
    std::vector<std::string> reasons;
    SmlValidator validator(
        document.GetRootNode(), [&](const ValidationFinding& f) { reasons.push_back(f.reason); }, &document.Rules());
    EXPECT_TRUE(validator.CheckBytes(sml).Complete());
    return reasons;
}

struct Case {
    const char* library; // the rules, then the definitions
    const char* sent;
    const char* reason; // empty: it passes
};

TEST(RuleValidationTest, EachRuleKindPassesAndFails) {
    const std::string u4 = "S1F3W\r\n<U4  ID>.\r\n//@ ";
    const std::string list = "S1F3W\r\n<L[n]\r\n//@ count 1..2\r\n\t<U4  ID>\r\n>.\r\n";
    const Case cases[] = {
        {"formats U4 A", "<A \"x\">", ""},
        {"formats U4 A", "<U4 7>", ""},
        {"formats U4 A", "<L>", "ID is one of U4 A, got L"},
        {"formats U4 A", "<U1 7>", "ID is one of U4 A, got U1"},
        {"count ..2", "<U4 1 2>", ""},
        {"count ..2", "<U4 1 2 3>", "ID holds at most 2 values, got 3"},
        {"count 2..", "<U4 1>", "ID holds at least 2 values, got 1"},
        {"values 0 1 3..63", "<U4 5>", ""},
        {"values 0 1 3..63", "<U4 0x3F>", ""},
        {"values 0 1 3..63", "<U4 2>", "ID is one of 0 1 3..63, got 2"},
        {"values 0 1 3..63", "<U4 64>", "ID is one of 0 1 3..63, got 64"},
        {"values 0 1 3..63", "<U4 1 2>", "ID is one of 0 1 3..63, got 2"},
        {"formats U4 A; values \"ON\" \"Off\"", "<A \"Off\">", ""},
        {"formats U4 A; values \"ON\" \"Off\"", "<A \"OFF\">", "ID is one of \"ON\" \"Off\", got \"OFF\""},
        {"optional", "<U4>", ""},
        {"values 1", "<U4>", "1 value expected, got 0"},
        {"optional", "<A \"x\">", "U4 expected, got A"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> reasons = Reasons(u4 + c.library + "\r\n", "S1F3W " + std::string(c.sent) + ".");
        EXPECT_EQ(reasons, c.reason[0] == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.reason})
            << c.library << " / " << c.sent;
    }
    const Case lists[] = {
        {"", "<L[1] <U4 1>>", ""},
        // A list's description is not read back: its rules name its format.
        {"", "<L[0]>", "the L item holds 1 to 2 items, got 0"},
        {"", "<L[3] <U4 1> <U4 2> <U4 3>>", "the L item holds 1 to 2 items, got 3"},
    };
    for (const Case& c : lists) {
        EXPECT_EQ(Reasons(list, "S1F3W " + std::string(c.sent) + "."),
                  c.reason[0] == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.reason})
            << c.sent;
    }
}

// A value is held against the ranges as written, exactly: a double would
// take 5.0000000000000001 for 5.
TEST(RuleValidationTest, ValuesAreComparedExactlyAsWritten) {
    struct Value {
        const char* rule;
        const char* sent;
        bool allowed;
    };
    const Value values[] = {
        {"-5..5", "5", true},
        {"-5..5", "0.5e1", true},
        {"-5..5", "-50e-1", true},
        {"-5..5", "0x5", true},
        {"-5..5", "0000000000000000005", true},
        {"-5..5", "5.0000000000000001", false},
        {"-5..5", "-51e-1", false},
        {"-5..5", "-10e18", false},
        {"-5..5", "10e18", false},
        {"-5..5", "1e", false},
        {"-5..5", "0x6", false},
        {"1..9000000000000000000", "1.5", true},
        {"1..9000000000000000000", "9e18", true},
        {"1..9000000000000000000", "0.5", false},
        {"-9000000000000000000..-1", "-1.5", true},
        {"-9000000000000000000..-1", "-0.5", false},
    };
    for (const Value& v : values) {
        const std::string library = "S1F3W\r\n<F8  X>.\r\n//@ values " + std::string(v.rule) + "\r\n";
        const std::vector<std::string> reasons = Reasons(library, "S1F3W <F8 " + std::string(v.sent) + ">.");
        EXPECT_EQ(reasons.empty(), v.allowed) << v.rule << " / " << v.sent;
    }
}

TEST(RuleValidationTest, AVariantTakesOnlyTheFormatsItsRulesAllow) {
    const std::string library = "S1F3W\r\n<VARIANT  V>.\r\n//@ formats U4 A\r\n";
    EXPECT_TRUE(Reasons(library, "S1F3W <A \"x\">.").empty());
    EXPECT_EQ(Reasons(library, "S1F3W <L>."), std::vector<std::string>{"V is one of U4 A, got L"});
}

TEST(RuleValidationTest, AnItemsOwnRulesGoBeforeTheDictionarys) {
    const std::string dictionary = "//@ dictionary CEID: formats A\r\n\r\nS6F11W\r\n<L[2]\r\n\t<U4  CEID>\r\n";
    const std::string library = dictionary + "//@ formats U4\r\n\t<U4  ceid>\r\n>.\r\n";
    EXPECT_EQ(Reasons(library, "S6F11W <L[2] <U4 1> <A \"E\">>."), std::vector<std::string>{});
    EXPECT_EQ(Reasons(library, "S6F11W <L[2] <A \"E\"> <U4 1>>."),
              (std::vector<std::string>{"CEID is one of U4, got A", "CEID is one of A, got U4"}));
}

TEST(RuleValidationTest, ReplyAndDirectionRulesOfAMessage) {
    const std::string library = "S5F1W\r\n//@ reply optional; direction E->H\r\n<U4  ALID>.\r\n";
    EXPECT_TRUE(Reasons(library, "S5F1 <U4 1>. S5F1W <U4 1>.").empty());
    FormatTree document;
    FormatReader reader(document);
    (void)reader.ReadFormatBytes(library);
    std::vector<std::string> reasons;
    SmlValidator validator(
        document.GetRootNode(), [&](const ValidationFinding& f) { reasons.push_back(f.reason); }, &document.Rules());
    SmlStatement statement;
    statement.stream = 5;
    statement.function = 1;
    statement.items.push_back({UINT4, 0, 1, false, 0, 0, 1, 1});
    statement.values.push_back("1");
    statement.direction = Direction::EQUIPMENT_TO_HOST;
    validator.HandleStatement(statement);
    statement.direction = Direction::HOST_TO_EQUIPMENT;
    validator.HandleStatement(statement);
    EXPECT_EQ(reasons, std::vector<std::string>{"no definition of S5F1 sent by the host in the library"});
    // One sent both ways is held to a definition of either.
    FormatTree both;
    FormatReader bothReader(both);
    (void)bothReader.ReadFormatBytes("S5F1W\r\n//@ reply optional; direction both\r\n<U4  ALID>.\r\n");
    reasons.clear();
    SmlValidator eitherWay(
        both.GetRootNode(), [&](const ValidationFinding& f) { reasons.push_back(f.reason); }, &both.Rules());
    eitherWay.HandleStatement(statement);
    EXPECT_EQ(reasons, std::vector<std::string>{});
    // A definition alike another but for its rules is held beside it, not
    // folded into it.
    EXPECT_TRUE(Reasons("S5F1W\r\n<U4  ALID>.\r\n" + library, "S5F1 <U4 1>.").empty());
}

} // namespace
} // namespace tqf
