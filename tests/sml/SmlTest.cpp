#include "Decimal.h"
#include "DocumentDump.h"
#include "FormatReader.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "LibraryBuilder.h"
#include "SmlMerge.h"
#include "SmlReader.h"
#include "SmlWriter.h"
#include "StandardMessages.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace tqf {
namespace {

struct Imported {
    SmlReadResult result;
    std::string document;
    std::string tqf; // the library as its format file
};

Imported Import(const std::string& sml) {
    FormatTree document;
    SmlReader reader(document);
    Imported imported{reader.ReadSmlBytes(sml), DumpDocument(document.GetRootNode()), {}};
    imported.tqf = FormatWriter::FormatFileText(document.GetRootNode(), &document.Rules());
    return imported;
}

std::string Format(const ReadDiagnostic& d) {
    return std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.reason;
}

// The bytes Save writes after a format file is opened: what normalize gives.
std::string Normalize(const std::string& tqf) {
    FormatTree document;
    FormatReader reader(document);
    const ReadResult result = reader.ReadFormatBytes(tqf);
    EXPECT_TRUE(result.dropped.empty());
    return FormatWriter::FormatFileText(document.GetRootNode());
}

struct StyleCase {
    const char* name;
    std::string sml;
    std::string document;
};

TEST(SmlReaderTest, TheStylesOfManualsAndLibraries) {
    const StyleCase cases[] = {
        {"bare header", "S1F1.", "S1F1\n"},
        {"W apart", "S1F1 W.", "S1F1W\n"},
        {"W attached, lower case", "s1f1w.", "S1F1W\n"},
        {"quoted header", "'S1F1' W.", "S1F1W\n"},
        {"name and quoted header", "AreYouThere: 'S1F1' W.", "S1F1W 'AREYOUTHERE'\n"},
        {"name without space", "Online:S1F2\n<L>.", "S1F2 'ONLINE'\n  <L[0]> #0 list\n"},
        {"comments everywhere",
         "// a library\n/* of one\n message */ S6F11 W // event report\n<L[2] // body\n  <U4 DATAID> /* x */\n"
         "  <A>  // lot id\n>.\n",
         "S6F11W 'EVENT REPORT'\n  <L[2]> #2 list\n    <U4[n]  DATAID> #-1 'DATAID'\n    <A[n]  LOT ID> #-1 "
         "'LOT ID'\n"},
        {"list forms", "S1F3 <L[2] <L 1 <U4 5>> <L[n] <U1> <U1>>>.",
         "S1F3\n  <L[2]> #2 list\n    <L[1]> #1 list\n      <U4> #1\n    <L[n]> #-1 list\n      <U1[n]> #-1\n"
         "      <U1[n]> #-1\n"},
        {"values give counts", "S2F1 <L <A \"MODEL-7\"> <A 'v1.02' \"x\"> <J 'ﾃｽﾄ'> <U2 0x10 0b11 7> <F8 1.5e-3>>.",
         "S2F1\n  <L[5]> #5 list\n    <A[7]> #7\n    <A[6]> #6\n    <J8[3]> #3\n    <U2[3]> #3\n    <F8> #1\n"},
        {"bracket counts win", "S2F3 <L[2] <A[40] MDLN> <B[2] 0x01>>.",
         "S2F3\n  <L[2]> #2 list\n    <A[40]  MDLN> #40 'MDLN'\n    <B[2]> #2\n"},
        {"spellings", "S2F5 <L <ASCII> <JIS8> <BINARY> <Boolean T FALSE> <BOOL> <I8 -1> <V> <F4>>.",
         "S2F5\n  <L[8]> #8 list\n    <A[n]> #-1\n    <J8[n]> #-1\n    <B[n]> #-1\n    <BOOLEAN[2]> #2\n"
         "    <BOOLEAN[n]> #-1\n    <I8> #1\n    <VARIANT> #0\n    <F4[n]> #-1\n"},
        {"tags of the export", "S1F4 <L // [n]\n  <A> // [VARIANT] SV\n  <U4[0]> // [n] ID\n>.",
         "S1F4\n  <L[n]> #-1 list\n    <VARIANT  SV> #0 'SV'\n    <U4[n]  ID> #-1 'ID'\n"},
        {"item comment after the end", "S1F16 <B[1]>. // OFLACK", "S1F16\n  <B  OFLACK> #1 'OFLACK'\n"},
        {"CR LF and tabs", "S1F1\r\n\t<L[1]\r\n\t\t<A>\r\n\t>.\r\n", "S1F1\n  <L[1]> #1 list\n    <A[n]> #-1\n"},
        {"UTF-8 mark", "\xEF\xBB\xBFS1F1 W.", "S1F1W\n"},
        {"counts drivers do not print", "S1F4 <L [...] <L[n] <U1 [N] 1 2>> <A [...] 'x'> <B [len] 0x01>>.",
         "S1F4\n  <L[n]> #-1 list\n    <L[n]> #-1 list\n      <U1[n]> #-1\n    <A[n]> #-1\n    <B[n]> #-1\n"},
        {"a library's layout", "S1F2\n<l [2]\n  <u1 [1] 1 >\n  <BOOLEAN [2] 0x01 0x00 >\n>\n.\n",
         "S1F2\n  <L[2]> #2 list\n    <U1> #1\n    <BOOLEAN[2]> #2\n"},
    };
    for (const StyleCase& c : cases) {
        const Imported imported = Import(c.sml);
        EXPECT_EQ(imported.document, c.document) << c.name;
        EXPECT_TRUE(imported.result.dropped.empty()) << c.name << ": " << Format(imported.result.dropped.front());
    }
}

TEST(SmlReaderTest, WhatCannotBeReadIsReportedWithItsPlaceAndTheRestIsRead) {
    const std::string sml = "S1F1.\n"
                            "S1F2 <QQ 1>.\n"         // 2
                            "S1F3 <U4 1 2.\n"        // 3
                            "S1F4 <L[2] <A>.\n"      // 4
                            "S1F5 <A \"open>.\n"     // 5
                            "S1F6 <U4AUTO [1]>.\n"   // 6
                            "S1F7 junk.\n"           // 7
                            "X1F8.\n"                // 8
                            "S1F9 <U4 <A>>.\n"       // 9
                            "S1F10 <A[2 x>.\n"       // 10
                            "S1F11 <U4>>.\n"         // 11
                            "S0F12.\n"               // 12
                            "S1F13.\n"               // 13
                            "S-1F15.\n"              // 14
                            "if (SV > 3) S1F1.\n"    // 15
                            "S1F16 <L <NOW[16]>>.\n" // 16
                            "S1F14 <L[1]\n<A>\n";    // 17
    const Imported imported = Import(sml);
    EXPECT_EQ(imported.document, "S1F1\nS1F13\n");
    std::vector<std::string> dropped;
    for (const ReadDiagnostic& d : imported.result.dropped) {
        dropped.push_back(Format(d));
    }
    EXPECT_EQ(dropped, (std::vector<std::string>{
                           "2:7: S1F2: unknown item format QQ",
                           "3:6: S1F3: item not closed: > missing before .",
                           "4:15: S1F4: list not closed before .",
                           "5:9: S1F5: text not closed",
                           "6:7: S1F6: simulator macro U4AUTO",
                           "7:6: S1F7: expected < or . after the header, not \"j\"",
                           "8:1: header has no stream number",
                           "9:6: S1F9: item not closed: > missing before the next <",
                           "10:9: S1F10: [ without ]",
                           "11:11: S1F11: > without <",
                           "12:1: stream 0 on a message without items: a .TQF file cannot keep it",
                           "14:2: header has no stream number",
                           "15:1: rule statement if (...) is not a message",
                           "16:11: S1F16: simulator macro NOW",
                           "17:7: S1F14: list not closed at end of file",
                       }));
}

// A file with CR LF ends, or with CR alone, has its lines where LF puts them.
TEST(SmlReaderTest, PlacesAreTheSameWhateverEndsTheLines) {
    for (const char* lineEnd : {"\n", "\r\n", "\r"}) {
        const std::string end = lineEnd;
        const Imported imported = Import("S1F1." + end + "// note" + end + end + "S1F3 <QQ>." + end);
        ASSERT_EQ(imported.result.dropped.size(), 1U) << end.size();
        EXPECT_EQ(Format(imported.result.dropped.front()), "4:7: S1F3: unknown item format QQ") << end.size();
    }
}

TEST(SmlReaderTest, WhatTheFormatCannotHoldIsChangedAndReported) {
    const Imported imported = Import("S1F1 W.  // Ver.2\n"
                                     "S1F2 <L[3] DATA\n"
                                     "  <A[2] \"ab\"> // lot <1> [x] a//b /*c*/\n"
                                     ">.\n"
                                     "S1F3 <U4 1> <U4 2>.\n"
                                     "S1F4 <U4[99999999999]>.\n"
                                     "S1F5.\n/* never closed\n\n");
    EXPECT_EQ(imported.document, "S1F1W 'VER,2'\nS1F2\n  <L[1]> #1 list\n    <A[2]  LOT (1) (X) A/ /B / *C* /> #2 "
                                 "'LOT (1) (X) A/ /B / *C* /'\nS1F3\n  <U4> #1\nS1F4\n  <U4[2147483647]> #2147483647\n"
                                 "S1F5\n");
    std::vector<std::string> changed;
    for (const ReadDiagnostic& d : imported.result.changed) {
        changed.push_back(Format(d));
    }
    EXPECT_EQ(changed, (std::vector<std::string>{
                           "1:1: description \"Ver.2\" made safe as \"Ver,2\"",
                           "2:6: list name \"DATA\" left out: a .TQF file keeps no list names",
                           "2:6: list declares 3 items and holds 1: its count is 1",
                           "3:3: description \"lot <1> [x] a//b /*c*/\" made safe as \"lot (1) (x) a/ /b / *c* /\"",
                           "5:13: second item of the message left out: a message holds one item",
                       }));
    ASSERT_EQ(imported.result.warnings.size(), 2U);
    EXPECT_EQ(Format(imported.result.warnings[0]),
              "6:10: number 99999999999 beyond the 32-bit range, read as 2147483647");
    EXPECT_EQ(Format(imported.result.warnings[1]),
              "8:1: block comment not closed: it hides 2 lines to the end of the file");
    EXPECT_EQ(imported.result.valuesDropped, 3U) << "the values of the item left out count too";
}

struct CountCase {
    std::string sml;
    std::string label;   // of the item in the format file
    std::string changed; // the one change reported, if any
    std::string counts;  // as ChangeCounts gives them
};

TEST(SmlReaderTest, CountsAFormatFileCannotKeepBecomeOpenAndAreReported) {
    const std::string open = " (1 count made open)";
    const std::string values = " (1 count set to its values)";
    const CountCase cases[] = {
        {"S1F1 <U1[0]>.", "<U1[n]>", "1:6: count 0 cannot be kept by a .TQF file: the count is open", open},
        {"S1F1 <I4[-2]>.", "<I4[n]>", "1:6: count -2 cannot be kept by a .TQF file: the count is open", open},
        {"S1F1 <A \"\">.", "<A[n]>", "1:6: empty value cannot be kept by a .TQF file: the count is open", open},
        {"S1F1 <A>.", "<A[n]>", "", ""},
        {"S1F1 <A[1]>.", "<A>", "", ""},
        // A comment that starts like a tag where the export writes none is a
        // description: the format and the count stay.
        {"S1F1 <A \"X\">. // [VARIANT] V", "<A  (VARIANT) V>",
         "1:6: description \"[VARIANT] V\" made safe as \"(VARIANT) V\"", " (1 description made safe)"},
        {"S1F1 <U1[2]>. // [n] ACKC10", "<U1[2]  (N) ACKC10>",
         "1:6: description \"[n] ACKC10\" made safe as \"(n) ACKC10\"", " (1 description made safe)"},
        {"S1F1 <U1[0]>. // [n] OLD EXPORT", "<U1[n]  OLD EXPORT>", "", ""},
        // Values that contradict the count win; a text's count is at most.
        {"S1F1 <A[1] 'MDLN'>.", "<A[4]>", "1:6: count 1 but 4 characters given: the count is 4", values},
        {"S1F1 <B[1] 1 2>.", "<B[2]>", "1:6: count 1 but 2 bytes given: the count is 2", values},
        {"S1F1 <U4[2] 7>.", "<U4>", "1:6: count 2 but 1 value given: the count is 1", values},
        {"S1F1 <A[8] 'MDLN'>.", "<A[8]>", "", ""},
        {"S1F1 <U4[2]>.", "<U4[2]>", "", ""},
    };
    for (const CountCase& c : cases) {
        const Imported imported = Import(c.sml);
        EXPECT_NE(imported.tqf.find("\r\n" + c.label + "."), std::string::npos) << c.sml << imported.tqf;
        ASSERT_EQ(imported.result.changed.size(), c.changed.empty() ? 0U : 1U) << c.sml;
        if (!c.changed.empty()) {
            EXPECT_EQ(Format(imported.result.changed[0]), c.changed);
        }
        EXPECT_EQ(SmlReader::ChangeCounts(imported.result), c.counts);
    }
}

TEST(SmlReaderTest, SafeDescriptionsReadBackFromAFormatFile) {
    std::mt19937 random(11);
    const std::string alphabet = "AB .<>[]/*()W";
    for (int round = 0; round < 300; ++round) {
        std::string description;
        for (int i = static_cast<int>(random() % 12); i > 0; --i) {
            description += alphabet[random() % alphabet.size()];
        }
        SmlReader::MakeDescriptionSafe(description);
        FormatTree document;
        LibraryBuilder builder(document);
        FormatNode* message = builder.AddMessage(1, 1, false, description);
        builder.AddItem(builder.AddList(message), UINT4, 2, description);
        FormatTree back;
        FormatReader reader(back);
        const ReadResult result = reader.ReadFormatBytes(FormatWriter::FormatFileText(document.GetRootNode()));
        ASSERT_EQ(result.messagesRead, 1U) << description;
        EXPECT_EQ(back.GetRootNode()->FirstChild()->Description(), description) << description;
        EXPECT_EQ(back.GetRootNode()->FirstChild()->FirstChild()->FirstChild()->Description(), description)
            << description;
    }
}

// A library of random shapes, with every format, open and fixed counts and
// descriptions in capitals, as a format file reads them back.
void BuildRandomLibrary(FormatTree& document, int messages, std::uint32_t seed) {
    std::mt19937 random(seed);
    LibraryBuilder builder(document);
    const auto word = [&random] {
        std::string text;
        for (int i = static_cast<int>(random() % 3); i >= 0; --i) {
            text += static_cast<char>('A' + random() % 26);
            text += random() % 4 == 0 ? " " : "";
        }
        // Some in parentheses with spaces inside, which a message's
        // description keeps at its ends.
        const bool parenthesised = random() % 4 == 0;
        return (parenthesised ? "( " : "") + std::string(TrimSpace(text)) + (parenthesised ? " )" : "");
    };
    for (int m = 0; m < messages; ++m) {
        FormatNode* message =
            builder.AddMessage(static_cast<std::int32_t>(random() % 127 + 1), static_cast<std::int32_t>(random() % 256),
                               random() % 2 == 0, random() % 2 == 0 ? word() : std::string());
        if (random() % 5 == 0) {
            continue;
        }
        struct Pending {
            FormatNode* parent;
            int depth;
        };
        std::vector<Pending> pending{{message, 0}};
        while (!pending.empty()) {
            const Pending p = pending.back();
            pending.pop_back();
            const int items = p.parent == message ? 1 : static_cast<int>(random() % 4);
            for (int i = 0; i < items; ++i) {
                if (p.depth < 3 && random() % 3 == 0) {
                    pending.push_back({builder.AddList(p.parent, random() % 4 == 0), p.depth + 1});
                    continue;
                }
                const int format = static_cast<int>(random() % 17);
                const int kind = format == 0 || format == 1 || format == 16 ? VARIANT : format;
                const std::int32_t count = random() % 3 == 0 ? OPEN_COUNT : static_cast<std::int32_t>(random() % 5);
                builder.AddItem(p.parent, kind, count, random() % 2 == 0 ? word() : std::string());
            }
        }
    }
}

TEST(SmlReaderTest, ACancelCheckStopsTheImportBetweenStatements) {
    std::string sml;
    for (int i = 0; i < 100; ++i) {
        sml += "S1F" + std::to_string(i) + " <L[1] <U4 1>>.\n";
    }
    FormatTree document;
    SmlReader reader(document);
    int asked = 0;
    reader.SetCancelCheck([&] { return ++asked == 40; });
    const SmlReadResult result = reader.ReadSmlBytes(sml);
    EXPECT_EQ(result.status, ReadStatus::CANCELLED);
    EXPECT_EQ(result.messagesRead, 39U);
    EXPECT_EQ(reader.BytesRead(), sml.find("\nS1F39 ")) << "up to the end of the last statement read";
}

TEST(SmlReaderTest, AWideTextIsRefusedWithItsEncoding) {
    const Imported imported = Import(std::string("\xFF\xFES\x00"
                                                 "1\x00",
                                                 6));
    EXPECT_EQ(imported.result.status, ReadStatus::OPEN_FAILED);
    EXPECT_NE(imported.result.errorText.find("UTF-16"), std::string::npos);
}

TEST(SmlRoundTripTest, FormatFileToSmlAndBackGivesTheSameBytes) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        FormatTree built;
        BuildRandomLibrary(built, 60, seed);
        const std::string tqf = Normalize(FormatWriter::FormatFileText(built.GetRootNode()));
        FormatTree opened;
        FormatReader reader(opened);
        (void)reader.ReadFormatBytes(tqf);
        const std::string sml = SmlWriter::SmlText(opened.GetRootNode());

        const Imported imported = Import(sml);
        EXPECT_TRUE(imported.result.dropped.empty()) << seed;
        EXPECT_TRUE(imported.result.changed.empty()) << seed;
        EXPECT_EQ(Normalize(imported.tqf), tqf) << seed;

        // And from that SML through a format file back to the same SML.
        FormatTree reopened;
        FormatReader again(reopened);
        (void)again.ReadFormatBytes(imported.tqf);
        EXPECT_EQ(SmlWriter::SmlText(reopened.GetRootNode()), sml) << seed;
    }
}

TEST(SmlRoundTripTest, TheStandardMessages) {
    FormatTree document;
    BuildStandardMessages(document);
    const std::string tqf = Normalize(FormatWriter::FormatFileText(document.GetRootNode()));
    EXPECT_EQ(Normalize(Import(SmlWriter::SmlText(document.GetRootNode())).tqf), tqf);
}

TEST(SmlWriterTest, ItemsWithoutValuesAndTheirComments) {
    FormatTree document;
    LibraryBuilder builder(document);
    builder.AddMessage(1, 1, true, "ARE YOU THERE");
    FormatNode* report = builder.AddMessage(6, 11, true);
    FormatNode* body = builder.AddList(report);
    builder.AddItem(body, UINT4, 1, "DATAID");
    FormatNode* open = builder.AddList(body, true);
    builder.AddItem(open, ASCII, OPEN_COUNT, "LOT ID");
    builder.AddItem(open, VARIANT, 0);
    builder.AddList(body);
    builder.AddItem(builder.AddMessage(1, 16, false), JIS8, 3);
    EXPECT_EQ(SmlWriter::SmlText(document.GetRootNode()), std::string(SmlWriter::FILE_COMMENT) +
                                                              "\nS1F1 W.  // ARE YOU THERE\n"
                                                              "\nS6F11 W\n"
                                                              "<L[3]\n"
                                                              "  <U4[1]>  // DATAID\n"
                                                              "  <L  // [n]\n"
                                                              "    <A>  // LOT ID\n"
                                                              "    <A>  // [VARIANT]\n"
                                                              "  >\n"
                                                              "  <L[0]>\n"
                                                              ">.\n"
                                                              "\nS1F16\n"
                                                              "<J[3]>.\n");
}

} // namespace
} // namespace tqf

namespace tqf {
namespace {

// A library with every kind of rule, on a message without items, a scalar
// message item, lists and a VARIANT, a line no one can read, and the
// dictionary.
const std::string RULED_LIBRARY = "//@ dictionary CEID: formats U4 U1 A\n"
                                  "//@ dictionary ACKC6: formats B; count 1; values 0 1..63\n"
                                  "S1F1W (ARE YOU THERE).\n//@ reply optional; direction H->E\n//@ ZIP\n"
                                  "S1F2\n<L[2]\n//@ count ..2; optional\n\t<A[20] MDLN>\n"
                                  "//@ values \"PRB-1\" \"x\\\"Y\"\n\t<A SOFTREV>\n>.\n"
                                  "S6F11W\n//@ direction E->H\n<L[4]\n\t<U4 DATAID>\n//@ formats U4 U1 I4; count 1\n"
                                  "\t<U4 CEID>\n\t<VARIANT SV>\n//@ formats U4 A\n\t<L[n]\n//@ ZAP 3\n"
                                  "\t\t<U1>\n//@ values 0 1 3..63\n\t>\n>.\n"
                                  "S6F12\n<B ACKC6>.\n//@ formats B\n";

std::string WithRules(const FormatTree& document) {
    return FormatWriter::FormatFileText(document.GetRootNode(), &document.Rules());
}

// to-sml writes rules as comments that from-sml reads back as they were,
// and a merge of messages each alone keeps them too.
TEST(SmlRoundTripTest, RulesComeBackThroughSml) {
    FormatTree library;
    ASSERT_TRUE(FormatReader(library).ReadFormatBytes(RULED_LIBRARY).Complete());
    const std::string tqf = WithRules(library);
    ASSERT_NE(tqf.find("//@ ZAP 3"), std::string::npos);
    const std::string sml = SmlWriter::SmlText(library.GetRootNode(), &library.Rules());
    EXPECT_NE(sml.find("<U4[1]>  // DATAID //@ formats U4 U1 I4; count 1\n"), std::string::npos) << sml;
    FormatTree imported;
    const SmlReadResult read = SmlReader(imported).ReadSmlBytes(sml);
    ASSERT_EQ(read.warnings.size(), 2U);
    EXPECT_EQ(Format(read.warnings.back()), "20:14: rule comment not read (unknown rule: ZAP); kept as it is written");
    EXPECT_EQ(WithRules(imported), tqf) << sml;
    FormatTree merged;
    (void)SmlMerge::Merge(imported.GetRootNode(), merged, &imported.Rules());
    EXPECT_EQ(WithRules(merged), tqf);
}

// Rule comments stand on their node's line, after its description, or on a
// line of their own after it; between statements only the dictionary's.
TEST(SmlReaderTest, RuleComments) {
    const Imported imported = Import("//@ dictionary rptid: formats u4\n//@ count 2\nS1F3 W // ask //@ reply optional\n"
                                     "<L  //@ count 1..3\n  <U4 SVID> // //@ formats U4 A\n  //@ values 1 2\n> .\n");
    std::vector<std::string> warnings;
    for (const ReadDiagnostic& warning : imported.result.warnings) {
        warnings.push_back(Format(warning));
    }
    EXPECT_EQ(warnings, std::vector<std::string>{"2:1: rule comment belongs to no message or item; left out"});
    EXPECT_EQ(imported.tqf.substr(imported.tqf.find("S1F3")),
              "S1F3W (ASK)\r\n//@ reply optional\r\n<L[1]\r\n//@ count 1..3\r\n\t<U4[n]  SVID>\r\n"
              "//@ formats U4 A; values 1 2\r\n>.\r\n");
    EXPECT_EQ(imported.tqf.find("//@ dictionary rptid: formats U4\r\n"), 38U) << imported.tqf;
}

} // namespace
} // namespace tqf
