#include "SmlValidator.h"
#include "FormatReader.h"
#include "FormatWriter.h"
#include "LibraryLines.h"
#include "SmlReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace tqf {
namespace {

struct Checked {
    std::vector<std::string> findings; // "LINE:COL LABEL item PATH: REASON @DEFINITION-LINE"
    std::size_t passed = 0;
    std::size_t failed = 0;
};

Checked Check(const std::string& library, const std::string& sml, FormatTree& document) {
    FormatReader reader(document);
    const ReadResult read = reader.ReadFormatBytes(library);
    const LibraryLines lines(library, document.GetRootNode(), read.messageLines);
    Checked checked;
    SmlValidator validator(document.GetRootNode(), [&](const ValidationFinding& f) {
        const FormatNode* place = f.item != nullptr ? f.item : f.definition;
        checked.findings.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + " " + f.message +
                                   (f.itemPath.empty() ? "" : " item " + f.itemPath) + ": " + f.reason +
                                   (place != nullptr ? " @" + std::to_string(lines.LineOf(place)) : ""));
    });
    EXPECT_TRUE(validator.CheckBytes(sml).Complete());
    checked.passed = validator.Passed();
    checked.failed = validator.Failed();
    EXPECT_EQ(validator.Messages(), checked.passed + checked.failed);
    return checked;
}

Checked Check(const std::string& library, const std::string& sml) {
    FormatTree document;
    return Check(library, sml, document);
}

struct RuleCase {
    const char* rule;
    const char* library;
    const char* message;
    std::vector<std::string> findings; // none: the message passes
};

TEST(SmlValidatorTest, EachRulePassesAndFails) {
    const std::vector<RuleCase> cases = {
        {"no definition", "S1F1W.", "S1F3 W.", {"1:1 S1F3W: no definition of S1F3 in the library"}},
        {"reply wanted", "S1F1W.", "S1F1.", {"1:1 S1F1: reply expected (W), got none @1"}},
        {"reply unwanted", "S1F2.", "S1F2 W.", {"1:1 S1F2W: no reply expected, got W @1"}},
        {"fixed list", "S1F2\n<L[2]\n<A[6]>\n<A[6]>\n>.", "S1F2 <L <A \"X\"> <A \"Y\">>.", {}},
        {"fixed list short",
         "S1F2\n<L[2]\n<A[6]>\n<A[6]>\n>.",
         "S1F2 <L <A \"X\">>.",
         {"1:6 S1F2 item 1: 2 items expected, got 1 @2"}},
        {"fixed list walked",
         "S1F2\n<L[2]\n<A[6]>\n<U4>\n>.",
         "S1F2 <L <A \"X\"> <A \"Y\"> <U4 1>>.",
         {"1:6 S1F2 item 1: 2 items expected, got 3 @2", "1:17 S1F2 item 1.2: U4 expected, got A @4"}},
        {"open list, one definition", "S1F3W <L[n] <U4>>.", "S1F3W <L <U4 1> <U4 2> <U4 3>>.", {}},
        {"open list, every element",
         "S1F3W <L[n] <U4>>.",
         "S1F3W <L <U4 1> <I4 2> <U4 3>>.",
         {"1:17 S1F3W item 1.2: U4 expected, got I4 @1"}},
        {"open list, empty", "S1F3W <L[n] <U4>>.", "S1F3W <L>.", {}},
        {"open list, pattern", "S2F1 <L[n] <U4> <A[4]>>.", "S2F1 <L <U4 1> <A \"a\"> <U4 2> <A 'bb'>>.", {}},
        {"open list, broken pattern",
         "S2F1 <L[n] <U4> <A[4]>>.",
         "S2F1 <L <U4 1> <A \"a\"> <A 'b'>>.",
         {"1:6 S2F1 item 1: items in groups of 2 expected, got 3 items @1",
          "1:24 S2F1 item 1.3: U4 expected, got A @1"}},
        {"open list of anything", "S2F1 <L[n]>.", "S2F1 <L <U4 1> <L <A \"b\">>>.", {}},
        {"scalar format",
         "S6F11W <L[1] <U4>>.",
         "S6F11 W <L <A \"x\">>.",
         {"1:12 S6F11W item 1.1: U4 expected, got A @1"}},
        {"list for scalar", "S6F1 <U4>.", "S6F1 <L>.", {"1:6 S6F1 item 1: U4 expected, got L @1"}},
        {"exact values", "S6F1 <U4[2]>.", "S6F1 <U4 1 2>.", {}},
        {"too few values", "S6F1 <U4[2]>.", "S6F1 <U4 1>.", {"1:6 S6F1 item 1: 2 values expected, got 1 @1"}},
        {"count 0 as 1", "S6F1 <U4[0]>.", "S6F1 <U4 7>.", {}},
        {"count 1 unwritten",
         "S6F1 <BOOLEAN>.",
         "S6F1 <BOOLEAN TRUE FALSE>.",
         {"1:6 S6F1 item 1: 1 value expected, got 2 @1"}},
        {"text up to its count", "S6F1 <A[3]>.", "S6F1 <A \"abc\">.", {}},
        {"text too long",
         "S6F1 <A[3]>.",
         "S6F1 <A \"abcd\">.",
         {"1:6 S6F1 item 1: at most 3 characters expected, got 4 @1"}},
        {"JIS-8 in characters", "S6F1 <J8[2]>.", "S6F1 <J \"\xEC\x95\x88\xEB\x85\x95\">.", {}},
        {"binary too long",
         "S6F1 <B[1]>.",
         "S6F1 <B 0x01 0x02>.",
         {"1:6 S6F1 item 1: at most 1 byte expected, got 2 @1"}},
        {"open count", "S6F1 <F4[n]>.", "S6F1 <F4 1.5 -2e3 0>.", {}},
        {"variant", "S6F1 <L[2] <VARIANT> <VARIANT>>.", "S6F1 <L <L <U1 1>> <A \"x\">>.", {}},
        {"no item defined", "S1F1W.", "S1F1 W <L>.", {"1:8 S1F1W item 1: no item expected, got L @1"}},
        {"item defined", "S1F2 <L[0]>.", "S1F2.", {"1:1 S1F2: L item expected, got none @1"}},
        {"second item", "S1F2 <U1>.", "S1F2 <U1 1> <U1 2>.", {"1:13 S1F2 item 2: a message holds one item @1"}},
        {"any definition passes", "S5F1 <U4>.\nS5F1 <A[9]>.", "S5F1 <A \"x\">.", {}},
        {"furthest definition",
         "S5F1 <L[2] <A> <U1>>.\nS5F1 <L[2] <U4> <A>>.",
         "S5F1 <L <U4 1> <U1 2>>.",
         {"1:16 S5F1 item 1.2: A expected, got U1 @2"}},
        {"nested path",
         "S6F11W\n<L[3]\n\t<U4>\n\t<U4>\n\t<L[n]\n\t\t<L[2]\n\t\t\t<U4>\n\t\t\t<A[9]>\n>\n>\n>.",
         "S6F11 W\n<L[3]\n <U4 1>\n <U4 2>\n <L\n  <L <U4 3> <A \"x\">>\n  <L <U4 4> <U4 5>>\n >\n>.",
         {"7:13 S6F11W item 1.3.2.2: A expected, got U4 @8"}},
    };
    for (const RuleCase& c : cases) {
        const Checked checked = Check(c.library, c.message);
        EXPECT_EQ(checked.findings, c.findings) << c.rule;
        EXPECT_EQ(checked.failed, c.findings.empty() ? 0U : 1U) << c.rule;
    }
}

TEST(SmlValidatorTest, UnreadableMessagesFailAndTheRestIsChecked) {
    const Checked checked = Check("S1F1W.\nS1F2.", "S1F1 W.\nS1F2 <QQ 1>.\nS1F2.\n");
    EXPECT_EQ(checked.findings, std::vector<std::string>{"2:7 : unknown item format QQ"});
    EXPECT_EQ(checked.passed, 2U);
    EXPECT_EQ(checked.failed, 1U);
}

// A library imported from a log accepts that log; one item changed in each
// of five messages gives five errors, each on its own line.
TEST(SmlValidatorTest, ALibraryImportedFromALogAcceptsIt) {
    std::string log;
    std::vector<std::size_t> changedLines;
    std::string changed;
    std::size_t line = 1;
    for (int i = 0; i < 40; ++i) {
        const std::string head =
            "S6F11 W // event " + std::to_string(i) + "\n<L[3]\n  <U4 " + std::to_string(i) + ">\n  <U2 7>\n  <L\n";
        const std::string tail = "  >\n>.\n";
        std::string body;
        for (int r = 0; r <= i % 3; ++r) {
            body += "    <A \"LOT" + std::to_string(r) + "\">\n";
        }
        log += head + body + tail;
        std::string head2 = head;
        if (i % 8 == 3) {
            head2.replace(head2.find("<U2"), 3, "<I2");
            changedLines.push_back(line + 3);
        }
        changed += head2 + body + tail;
        line += static_cast<std::size_t>(std::ranges::count(head + body + tail, '\n'));
    }
    FormatTree imported;
    SmlReader reader(imported);
    ASSERT_TRUE(reader.ReadSmlBytes(log).dropped.empty());
    SmlValidator validator(imported.GetRootNode(), [](const ValidationFinding&) { ADD_FAILURE(); });
    ASSERT_TRUE(validator.CheckBytes(log).Complete());
    EXPECT_EQ(validator.Passed(), 40U);

    std::vector<std::size_t> errorLines;
    SmlValidator strict(imported.GetRootNode(), [&](const ValidationFinding& f) { errorLines.push_back(f.line); });
    ASSERT_TRUE(strict.CheckBytes(changed).Complete());
    EXPECT_EQ(errorLines, changedLines);
    EXPECT_EQ(strict.Failed(), 5U);
}

// A file is read a piece at a time; wherever the pieces end, in a comment, a
// statement or a line of two, what is found is what the whole text gives.
TEST(SmlValidatorTest, AFileReadInPiecesGivesWhatItsWholeTextGives) {
    const std::vector<std::string> parts = {"S1F1 W.\n",
                                            "S1F1.",
                                            " S1F2 <L <A \"x\"> <U4 1>>.\n",
                                            "/* a comment\nover lines <L> S1F1. */\n",
                                            "S1F2\n<L\n <A 'MODEL'>\n <U4 7 8>\n>.\n",
                                            "S1F2 <QQ 1>.\n",
                                            "S9F9 <U4 99999999999>.\n",
                                            "// S1F1 W.\n",
                                            "S1F2 <L <A \"x\"> <U4 1.\n"};
    std::mt19937 random(32);
    std::string text = "\xEF\xBB\xBF";                  // left out by every way of reading
    constexpr std::size_t BYTES = std::size_t{3} << 20; // beyond a few pieces
    while (text.size() < BYTES) {
        text += parts[random() % parts.size()];
    }
    text += "S1F1 W <L /* never closed\n";
    const std::string path = ::testing::TempDir() + "/pieces.sml";
    std::ofstream(path, std::ios::binary) << text;
    FormatTree library;
    FormatReader reader(library);
    ASSERT_TRUE(reader.ReadFormatBytes("S1F1W.\nS1F2 <L[2] <A[9]> <U4>>.").Complete());
    std::vector<std::string> whole;
    std::vector<std::string> pieces;
    std::vector<std::string> streamed;
    const auto collect = [](std::vector<std::string>& into) {
        return [&into](const ValidationFinding& f) {
            into.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + f.itemPath + f.reason);
        };
    };
    SmlValidator fromText(library.GetRootNode(), collect(whole));
    SmlValidator fromFile(library.GetRootNode(), collect(pieces));
    const SmlReadResult a = fromText.CheckBytes(text);
    const SmlReadResult b = fromFile.CheckFile(path);
    std::istringstream stream(text);
    SmlValidator fromStream(library.GetRootNode(), collect(streamed));
    EXPECT_EQ(fromStream.CheckStream(stream).warnings, a.warnings);
    EXPECT_EQ(streamed, whole);
    // An import reads the file in pieces too, and builds what the whole text builds.
    FormatTree importedWhole;
    FormatTree importedPieces;
    const SmlReadResult c = SmlReader(importedWhole).ReadSmlBytes(text);
    const SmlReadResult d = SmlReader(importedPieces).ReadSmlFile(path);
    EXPECT_EQ(std::tie(d.dropped, d.changed, d.warnings, d.messagesRead),
              std::tie(c.dropped, c.changed, c.warnings, c.messagesRead));
    EXPECT_EQ(FormatWriter::FormatFileText(importedPieces.GetRootNode()),
              FormatWriter::FormatFileText(importedWhole.GetRootNode()));
    // Lines ended by CR alone are found at the same places, read whole or in pieces.
    std::string crText = text;
    std::replace(crText.begin(), crText.end(), '\n', '\r');
    std::ofstream(path, std::ios::binary | std::ios::trunc) << crText;
    for (const bool inPieces : {false, true}) {
        std::vector<std::string> crEnded;
        SmlValidator validator(library.GetRootNode(), collect(crEnded));
        (void)(inPieces ? validator.CheckFile(path) : validator.CheckBytes(crText));
        EXPECT_TRUE(crEnded == whole) << (inPieces ? "in pieces" : "whole");
    }
    std::remove(path.c_str());
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(b.warnings, a.warnings);
    EXPECT_EQ(std::pair(fromFile.Passed(), fromFile.Failed()), std::pair(fromText.Passed(), fromText.Failed()));
    EXPECT_GT(fromText.Failed(), 1000U);
}

TEST(SmlValidatorTest, LibraryLinesSkipCommentsAndDroppedStatements) {
    const std::string library = "/* S9F9 <L> */\nS1F1 <QQ>.\n\nS1F2 // reply\n<L[2] // list\n  /* <U4> */ <U4>\n"
                                "  <A>\n>.\nS1F3 (X)\n.\n";
    FormatTree document;
    FormatReader reader(document);
    const ReadResult read = reader.ReadFormatBytes(library);
    const LibraryLines lines(library, document.GetRootNode(), read.messageLines);
    const FormatNode* message = document.GetRootNode()->FirstChild();
    const FormatNode* list = message->FirstChild();
    EXPECT_EQ(std::vector<std::size_t>({lines.LineOf(message), lines.LineOf(list), lines.LineOf(list->FirstChild()),
                                        lines.LineOf(list->FirstChild()->NextSibling()),
                                        lines.LineOf(message->NextSibling())}),
              std::vector<std::size_t>({4, 5, 6, 7, 9}));
}

} // namespace
} // namespace tqf
