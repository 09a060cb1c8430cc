#include "DocumentDump.h"
#include "FormatReader.h"
#include "FormatWriter.h"
#include "RoundTripCheck.h"
#include "RuleText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

namespace tqf {
namespace {

// A library with rules of every kind, in the form the writer gives them:
// the dictionary after the header, each node's rules after its line.
const std::string WITH_RULES = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n"
                               "//@ dictionary CEID: formats U4 U1 U2 U8 I1 I2 I4 I8 A\r\n"
                               "//@ dictionary \"Lot id\": count ..32\r\n"
                               "\r\n"
                               "S1F1W (ARE YOU THERE).\r\n"
                               "//@ reply optional; direction H->E\r\n"
                               "\r\n"
                               "\r\n"
                               "S6F11W (EVENT REPORT)\r\n"
                               "//@ direction E->H\r\n"
                               "<L[3]\r\n"
                               "//@ count ..3; optional\r\n"
                               "\t<U4  DATAID>\r\n"
                               "\t<U1  ACK>\r\n"
                               "//@ values 0 1 3..63 \"On\" \"a\\\"\\x2A/\"\r\n"
                               "\t<L[1]\r\n"
                               "\t\t<A[n]  LOT ID>\r\n"
                               "//@ values \"LOT\"\r\n"
                               "\t>\r\n"
                               ">.\r\n"
                               "\r\n"
                               "\r\n"
                               "S2F41W\r\n"
                               "<U4  RCMD>.\r\n"
                               "//@ formats U4 A; what is this\r\n";

std::string WithoutRuleLines(const std::string& text) {
    std::string kept;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!RuleText::IsRuleLine(line)) {
            kept += line + "\n";
        }
    }
    return kept;
}

TEST(RuleFileTest, RulesComeBackByteForByteAndReadAsTheFileWithoutThem) {
    for (const std::uintmax_t threshold : {std::uintmax_t{1} << 30, std::uintmax_t{0}}) {
        FormatTree document;
        FormatReader reader(document);
        // Read beside the building too, where the lines meet the nodes late.
        reader.SetPipelineThreshold(threshold);
        const ReadResult result = reader.ReadFormatBytes(WITH_RULES);
        ASSERT_EQ(result.messagesRead, 3u);
        ASSERT_EQ(result.warnings.size(), 1u);
        EXPECT_EQ(result.warnings[0].line, 25u);
        EXPECT_EQ(result.warnings[0].column, 19u);
        EXPECT_EQ(FormatWriter::FormatFileText(document.GetRootNode(), &document.Rules()), WITH_RULES);
        const RoundTripReport report = RoundTripCheck::CheckRoundTrip(document.GetRootNode(), &document.Rules());
        EXPECT_TRUE(report.Ok());
        EXPECT_EQ(report.text.Str(), WITH_RULES);
        EXPECT_EQ(FormatWriter::FileSize(document.GetRootNode(), &document.Rules()), WITH_RULES.size());
        EXPECT_GE(FormatWriter::FileSizeBound(document.GetRootNode(), &document.Rules()), WITH_RULES.size());

        FormatTree plain;
        FormatReader plainReader(plain);
        (void)plainReader.ReadFormatBytes(WithoutRuleLines(WITH_RULES));
        EXPECT_EQ(DumpDocument(document.GetRootNode()), DumpDocument(plain.GetRootNode()));
        EXPECT_TRUE(plain.Rules().Empty());
    }
}

// The check before a save holds the rules read back against those written:
// rules that would come back otherwise make their message a problem, a
// dictionary entry that would, the check's failure.
TEST(RuleFileTest, TheRoundTripCheckComparesRules) {
    FormatTree document;
    ASSERT_TRUE(FormatReader(document).ReadFormatBytes(WITH_RULES).Complete());
    FormatNode* s6f11 = document.GetRootNode()->FirstChild()->NextSibling();
    NodeRules upsideDown;
    upsideDown.count = CountRange{5, 3};
    document.SetReadRules(s6f11->FirstChild()->FirstChild(), upsideDown);
    RoundTripReport report = RoundTripCheck::CheckRoundTrip(document.GetRootNode(), &document.Rules());
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].label, "S6F11W");
    EXPECT_EQ(report.problems[0].reason,
              "the rules of <U4  DATAID> come back as a line that cannot be read: //@ count 5..3");
    document.SetReadRules(s6f11->FirstChild()->FirstChild(), NodeRules());
    EXPECT_TRUE(RoundTripCheck::CheckRoundTrip(document.GetRootNode(), &document.Rules()).Ok());
    NodeRules emptyRange;
    emptyRange.values = {{9, 1}};
    document.SetReadDictionaryRules("ALID", emptyRange);
    report = RoundTripCheck::CheckRoundTrip(document.GetRootNode(), &document.Rules());
    EXPECT_EQ(report.failure, "the rules of the dictionary's ALID come back as a line that cannot be read: "
                              "//@ dictionary ALID: values 9..1");
}

TEST(RuleFileTest, EachLineGoesToTheNodeItFollows) {
    FormatTree document;
    FormatReader reader(document);
    (void)reader.ReadFormatBytes(WITH_RULES);
    const RuleBook& rules = document.Rules();
    const FormatNode* s1f1 = document.GetRootNode()->FirstChild();
    const FormatNode* s6f11 = s1f1->NextSibling();
    const FormatNode* list = s6f11->FirstChild();
    const FormatNode* ack = list->FirstChild()->NextSibling();
    const FormatNode* lot = ack->NextSibling()->FirstChild();
    ASSERT_NE(rules.Of(s1f1), nullptr);
    EXPECT_TRUE(rules.Of(s1f1)->replyOptional);
    EXPECT_EQ(rules.Of(s6f11)->direction, Direction::EQUIPMENT_TO_HOST);
    EXPECT_EQ(rules.Of(list)->count, (CountRange{0, 3}));
    EXPECT_EQ(rules.Of(list->FirstChild()), nullptr);
    EXPECT_EQ(rules.Of(ack)->values, (std::vector<ValueRange>{{0, 0}, {1, 1}, {3, 63}}));
    // Texts keep their case, though the reader reads everything else in capitals.
    EXPECT_EQ(rules.Of(ack)->texts, (std::vector<std::string>{"On", "a\"*/"}));
    EXPECT_EQ(rules.Of(lot)->texts, std::vector<std::string>{"LOT"});
    EXPECT_EQ(rules.EffectiveFor(lot), rules.Of(lot));
    EXPECT_EQ(rules.ForName("lot ID")->count, (CountRange{0, 32}));
    const FormatNode* rcmd = s6f11->NextSibling()->FirstChild();
    EXPECT_EQ(rules.Of(rcmd)->unreadLines, std::vector<std::string>{"//@ formats U4 A; what is this"});
    EXPECT_EQ(rules.Of(s1f1)->line, 6u);
}

TEST(RuleFileTest, LinesThatBelongToNoMessageAreReported) {
    FormatTree document;
    FormatReader reader(document);
    const ReadResult result = reader.ReadFormatBytes("//@ optional\r\n//@ ???\r\nS1F1 (A <B).\r\n//@ optional\r\n"
                                                     "S1F2\r\n<U4\r\n//@ optional\r\n");
    ASSERT_EQ(result.warnings.size(), 4u);
    EXPECT_EQ(result.warnings[0].line, 1u);
    EXPECT_EQ(result.warnings[1].line, 2u);
    EXPECT_EQ(result.warnings[2].line, 4u);
    EXPECT_EQ(result.warnings[3].line, 7u);
    // The unreadable line at the head stays there.
    EXPECT_EQ(FormatWriter::FormatFileText(document.GetRootNode(), &document.Rules()),
              "/* TALVO SECS MESSAGE FORMAT FILE */\r\n//@ ???");
}

// A line that begins //@ but opens or closes a "/*" comment may carry
// statement text, which the reader reads in capitals as any other.
TEST(RuleFileTest, LinesThatTouchABlockCommentAreReadAsAnyOther) {
    using namespace std::string_literals;
    const std::string cases[] = {
        "S1F1W\r\n//@ direction E->H\r\0\0\0\0/* c */\r\n<u1>.\r\n"s,
        "S1F1W /* c\r\n//@ d\r*/ <u1 ack>.\r\n"s,
        "S1F1W\r\n<L[1]\r\n//@ dir/* TALVO c */\r\n<u1>>.\r\n"s,
        "S1F1W\r\n//@ dir\r/* talvo\r\n*/ <u1 x>.\r\n"s,
        "S1F1W /* c\r\n//@ x */ <a[1] lot>.\r\n",
        "S1F1W\r\n<L[1] /* c\r\n//@ d */ <u1 ack> >.\r\n",
        "S1F1W\r\n//@ direction E->H\r/* c */ <b[2] id>.\r\n",
        "S1F1W\r\n//@ d /* c */\r\n<a lot>.\r\n",
    };
    for (const std::string& text : cases) {
        std::string upper = text;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        for (const std::uintmax_t threshold : {std::uintmax_t{1} << 30, std::uintmax_t{0}}) {
            FormatTree asWritten;
            FormatTree inCapitals;
            FormatReader reader(asWritten);
            FormatReader capitalReader(inCapitals);
            reader.SetPipelineThreshold(threshold);
            capitalReader.SetPipelineThreshold(threshold);
            const ReadResult read = reader.ReadFormatBytes(text);
            const ReadResult capitalRead = capitalReader.ReadFormatBytes(upper);
            EXPECT_EQ(read.messagesRead, capitalRead.messagesRead) << text;
            EXPECT_EQ(DumpDocument(asWritten.GetRootNode()), DumpDocument(inCapitals.GetRootNode())) << text;
            EXPECT_TRUE(asWritten.Rules().Empty()) << text;
        }
    }
}

TEST(RuleFileTest, EveryLineWrittenIsShortAndOpensNoComment) {
    NodeRules rules;
    rules.formats = {UINT1, UINT2, UINT4, UINT8, INT1, INT2, INT4, INT8, ASCII, BINARY, BOOLEAN, JIS8, FLOAT4};
    for (std::int64_t v = 0; v < 200; ++v) {
        rules.values.push_back({v * 1000000000000, v * 1000000000000 + 5});
        rules.texts.push_back(std::string((MAX_RULE_TEXT_BYTES - 2) / 4, static_cast<char>(v % 2 == 0 ? '*' : '/')));
    }
    rules.count = CountRange{1, CountRange::NO_MAX};
    rules.optional = true;
    const std::string name((MAX_RULE_NAME_BYTES - 2) / 4, '\x80');
    const std::vector<std::string> lines = RuleText::Lines(rules, name);
    NodeRules back;
    for (const std::string& line : lines) {
        EXPECT_LT(line.size(), 250u);
        EXPECT_EQ(line.find("/*"), std::string::npos);
        EXPECT_EQ(line.find("*/"), std::string::npos);
        RuleText::Parsed parsed = RuleText::Parse(line);
        ASSERT_TRUE(parsed.read) << parsed.reason << ": " << line;
        EXPECT_EQ(parsed.name, name);
        RuleText::Merge(back, std::move(parsed.rules));
    }
    EXPECT_EQ(back, rules);
}

TEST(RuleFileTest, UnreadableLinesSayWhereAndWhy) {
    const struct {
        const char* line;
        std::size_t column;
    } cases[] = {
        {"//@ formats U4 X9", 16},
        {"//@ formats U4 u4", 16},
        {"//@ count 5..2", 11},
        {"//@ count -1", 11},
        {"//@ values 1..", 12},
        {"//@ values \"open", 12},
        {"//@ values \"\\q\"", 13},
        {"//@ direction up", 15},
        {"//@ sometimes", 5},
        {"//@ optional;", 14},
        {"//@ dictionary X: reply optional", 5},
        {"//@ dictionary X formats A", 5},
    };
    for (const auto& c : cases) {
        const RuleText::Parsed parsed = RuleText::Parse(c.line);
        EXPECT_FALSE(parsed.read) << c.line;
        EXPECT_EQ(parsed.column, c.column) << c.line << ": " << parsed.reason;
        EXPECT_FALSE(parsed.reason.empty());
    }
}

} // namespace
} // namespace tqf
