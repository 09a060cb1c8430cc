#include "SmlValidator.h"
#include "FormatReader.h"
#include "FormatWriter.h"
#include "LibraryLines.h"
#include "SmlMerge.h"
#include "SmlReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
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

// Definitions alike are held once; the one a message passes and the one it
// comes closest to are found among many.
TEST(SmlValidatorTest, ManyDefinitionsOfOneMessage) {
    std::string library;
    for (int line = 1; line <= 30; ++line) {
        library += line == 25      ? "S6F1 <L[2] <U4> <I2>>.\n"
                   : line == 30    ? "S6F1 <L[2] <U4> <U2>>.\n"
                   : line % 2 == 0 ? "S6F1 <L[2] <A> <U1>>.\n"
                                   : "S6F1W <L[2] <A> <U1>>.\n";
    }
    library += "S6F1 <L[2] <A> <U1>>.\nS6F2 <L[2] <A> <U1>>.\n";
    FormatTree document;
    const Checked checked = Check(library, "S6F1 <L <U4 1> <U2 2>>.\nS6F1 <L <U4 1> <F4 1>>.", document);
    EXPECT_EQ(checked.findings, std::vector<std::string>{"2:16 S6F1 item 1.2: I2 expected, got F4 @25"});
    EXPECT_EQ(checked.passed, 1U);
    EXPECT_EQ(SmlValidator(document.GetRootNode(), {}).Definitions(), 5U);
}

TEST(SmlValidatorTest, FindingsAlikeAreGroupedWhereTheyCameFirst) {
    FormatTree library;
    ASSERT_TRUE(FormatReader(library).ReadFormatBytes("S1F1W <U4>.").Complete());
    std::vector<ValidationFinding> findings;
    SmlValidator validator(library.GetRootNode(), [&](const ValidationFinding& f) { findings.push_back(f); });
    (void)validator.CheckBytes(
        "S9F9.\nS1F1 <U4 1>.\nS1F1 W <U4 1 2>.\nS9F9.\nS1F1 W <U4 1 2>.\nS1F1 <U4 1>.\nS1F1 W <U4 1 2 3>.\n");
    std::vector<std::string> groups;
    for (const FindingGroup& group : GroupFindings(findings)) {
        groups.push_back(std::to_string(group.first.line) + " " + group.first.reason + " x" +
                         std::to_string(group.count));
    }
    EXPECT_EQ(groups, (std::vector<std::string>{"1 no definition of S9F9 in the library x2",
                                                "2 reply expected (W), got none x2", "3 1 value expected, got 2 x2",
                                                "7 1 value expected, got 3 x1"}));
}

TEST(SmlValidatorTest, UnreadableMessagesFailAndTheRestIsChecked) {
    const Checked checked = Check("S1F1W.\nS1F2.", "S1F1 W.\nS1F2 <QQ 1>.\nS1F2.\n");
    EXPECT_EQ(checked.findings, std::vector<std::string>{"2:7 : S1F2: unknown item format QQ"});
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
    // Its own name: test programs of other builds may run at the same time.
    const std::string path = ::testing::TempDir() + "/pieces-" + std::to_string(std::random_device{}()) + ".sml";
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

// A statement of random shape in the notations drivers and manuals write,
// counts declared or not, right or wrong, values given or not.
std::string RandomStatement(std::mt19937& random) {
    static const std::vector<std::string> CODES = {"A",  "J",  "B",  "Boolean", "U1", "u2", "U4", "U8", "I1",
                                                   "I2", "I4", "I8", "F4",      "F8", "V",  "L",  "L",  "l"};
    const auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const auto bracket = [&] {
        const std::size_t kind = pick(5);
        return kind == 0   ? std::string(" [...]")
               : kind == 1 ? "[n]"
               : kind == 2 ? "[" + std::to_string(pick(4)) + "]"
                           : "";
    };
    std::string text = "S" + std::to_string(1 + pick(3)) + "F" + std::to_string(pick(3)) + (pick(2) == 0 ? " W" : "");
    const std::function<void(int)> item = [&](int depth) {
        const std::string& code = CODES[pick(depth < 3 ? CODES.size() : CODES.size() - 3)];
        text += "\n<" + code + bracket() + (pick(3) == 0 ? " lotId" : "");
        for (std::size_t i = code == "V" ? 3 : pick(4); i < 3; ++i) {
            if (code == "L" || code == "l") {
                item(depth + 1);
            } else if (code == "A" || code == "J") {
                text += " '" + std::string(pick(4), 'x') + "'";
            } else {
                text += code == "Boolean" ? " 0x01" : code == "B" ? " 0x0F" : " " + std::to_string(pick(99));
            }
        }
        text += pick(3) == 0 ? " > // Temp.<C>\n" : " >";
    };
    if (pick(6) != 0) {
        item(0);
    }
    return text + "\n.\n";
}

// The library from-sml makes of a file accepts every message of it, and a
// format file gives it back as it was written.
TEST(SmlValidatorTest, AFileValidatesAgainstTheLibraryMadeOfIt) {
    std::mt19937 random(41);
    int ruled = 0;
    for (int round = 0; round < 40; ++round) {
        std::string sml;
        for (int i = 0; i < 30; ++i) {
            sml += RandomStatement(random);
        }
        FormatTree imported;
        const SmlReadResult read = SmlReader(imported).ReadSmlBytes(sml);
        ASSERT_TRUE(read.dropped.empty()) << read.dropped.front().line << ": " << read.dropped.front().reason << sml;
        FormatTree library;
        const std::string written = FormatWriter::FormatFileText(imported.GetRootNode());
        ASSERT_TRUE(FormatReader(library).ReadFormatBytes(written).Complete());
        EXPECT_EQ(FormatWriter::FormatFileText(library.GetRootNode()), written);
        std::vector<std::string> findings;
        SmlValidator validator(library.GetRootNode(), [&](const ValidationFinding& f) {
            findings.push_back(std::to_string(f.line) + " " + f.itemPath + ": " + f.reason);
        });
        ASSERT_TRUE(validator.CheckBytes(sml).Complete());
        EXPECT_EQ(findings, std::vector<std::string>{}) << sml;
        EXPECT_EQ(validator.Passed(), 30U);
        // And so does its merge, one definition for each stream and
        // function, with the rules it infers, as its file gives them back.
        FormatTree merged;
        (void)SmlMerge::Merge(library.GetRootNode(), merged, &library.Rules());
        FormatTree mergedRead;
        const std::string mergedText = FormatWriter::FormatFileText(merged.GetRootNode(), &merged.Rules());
        ASSERT_TRUE(FormatReader(mergedRead).ReadFormatBytes(mergedText).Complete());
        SmlValidator mergedValidator(
            mergedRead.GetRootNode(),
            [&](const ValidationFinding& f) {
                findings.push_back(std::to_string(f.line) + " " + f.itemPath + ": " + f.reason);
            },
            &mergedRead.Rules());
        ASSERT_TRUE(mergedValidator.CheckBytes(sml).Complete());
        EXPECT_EQ(findings, std::vector<std::string>{}) << sml << mergedText;
        EXPECT_LE(mergedValidator.Definitions(), 18U); // streams, functions, an item or none
        ruled += mergedRead.Rules().HasNodeRules() ? 1 : 0;
    }
    EXPECT_EQ(ruled, 40); // the merge's rules were held against the messages
}

// The text kept with a message the library lacks, added on its own, makes
// what importing the whole file makes of it, in SML and in a log.
TEST(SmlValidatorTest, TheTextOfAMessageWithoutDefinitionAddsWhatTheImportMakes) {
    std::mt19937 random(42);
    std::string sml;
    for (int i = 0; i < 30; ++i) {
        sml += RandomStatement(random);
    }
    const std::string log = "09:00 [MSG] () S1F3Query: 'S1F3' W /* Dir=2 */\n <L [2]\n <U4 [1] 6 > /* VID */\n"
                            " <A [0] > // Lot\n >\n.\n09:01 [DEBUG] SxFy=S1F4, t=3\n"
                            "09:02 [MSG] Sent by Host S2F41 W <L <A 'GO'> <L[n]>> . // remote\n";
    for (const std::string& text : {sml, log}) {
        FormatTree whole;
        const SmlReadResult read = SmlReader(whole).ReadSmlBytes(text);
        FormatTree none;
        FormatTree added;
        SmlValidator validator(none.GetRootNode(), [&](const ValidationFinding& f) {
            SmlReader reader(added);
            reader.SetOptions({.log = read.readAsLog});
            EXPECT_TRUE(f.noDefinition);
            EXPECT_EQ(reader.AddSmlBytes(f.statement).messagesRead, 1U) << f.statement;
        });
        ASSERT_TRUE(validator.CheckBytes(text).Complete());
        EXPECT_EQ(validator.Failed(), read.messagesRead);
        EXPECT_EQ(FormatWriter::FormatFileText(added.GetRootNode()), FormatWriter::FormatFileText(whole.GetRootNode()));
    }
    FormatTree document;
    EXPECT_FALSE(SmlReader(document).AddSmlBytes("\xFF\xFE S1F1 W.").Complete());
    EXPECT_EQ(document.GetRootNode()->Count(), 0) << "a text not read whole adds nothing";
}

TEST(SmlMergeTest, OneDefinitionAcceptsWhatEachDid) {
    FormatTree library;
    ASSERT_TRUE(FormatReader(library)
                    .ReadFormatBytes("S1F2 <L[0]>.\nS1F2 (ONLINE) <L[2] <A[3]> <A[4]>>.\nS1F3W <L[2] <U4> <U4>>.\n"
                                     "S1F3 <L[1] <U4>>.\nS1F3W <L[1] <U4>>.\nS6F11W <L[2] <U4> <A[5]>>.\n"
                                     "S6F11W <L[2] <U4> <L[2] <U2> <F4>>>.\nS6F11W <L[2] <U4> <L[2] <U2> <F4>>>.\n"
                                     "S1F4\n//@ direction H->E\n<U4>.\nS1F4\n//@ direction E->H\n<U4[2]>.\n"
                                     "S1F4\n//@ direction H->E\n<U4[3]>.\n")
                    .Complete());
    FormatTree merged;
    EXPECT_EQ(
        SmlMerge::Merge(library.GetRootNode(), merged, &library.Rules()),
        (std::vector<std::string>{"S1F2: 2 messages in one definition, counts that vary made open",
                                  "S1F3W: 3 messages in one definition, counts that vary made open",
                                  "S6F11W: 3 messages in one definition, formats that vary allowed by a rule",
                                  "S1F4 sent by the host: 2 messages in one definition, counts that vary made open",
                                  "S1F3: sent with W and without: its reply is optional"}));
    // The format seen most often is the item's own; sizes that vary are a
    // range, up to the longest for a text; a message keeps its direction.
    EXPECT_EQ(FormatWriter::FormatFileText(merged.GetRootNode(), &merged.Rules()).substr(40),
              "S1F2 (ONLINE)\r\n<L[n]\r\n//@ count ..2\r\n\t<A[n]>\r\n//@ count ..4\r\n>.\r\n\r\n\r\n"
              "S1F3W\r\n//@ reply optional\r\n<L[n]\r\n//@ count 1..2\r\n\t<U4>\r\n>.\r\n\r\n\r\n"
              "S6F11W\r\n<L[2]\r\n\t<U4>\r\n\t<L[2]\r\n//@ formats L A; count ..5\r\n\t\t<U2>\r\n\t\t<F4>\r\n"
              "\t>\r\n>.\r\n\r\n\r\nS1F4\r\n//@ direction H->E\r\n<U4[n]>.\r\n//@ count 1..3\r\n\r\n\r\n"
              "S1F4\r\n//@ direction E->H\r\n<U4[2]>.\r\n");
    EXPECT_EQ(SmlMerge::Duplicates(library.GetRootNode()),
              (std::vector<std::string>{"S1F2 defined 2 times (2 structures); --merge makes one definition of them",
                                        "S1F3 defined 3 times (3 structures); --merge makes one definition of them",
                                        "S1F4 defined 3 times (3 structures); --merge makes one definition of them",
                                        "S6F11 defined 3 times (2 structures); --merge makes one definition of them"}));
}

// Made up in the shapes drivers write: prefixes, comments after headers,
// other traffic between statements, CR LF, a Latin-1 byte.
const std::string LOG =
    "2021/03/04 09:12:05: [DEBUG] (OnEvent@MainForm) SxFy=S1F3, ticket=77\r\n"                    // 1
    "2021/03/04 09:12:05: [MSG] (SendPrimary@Common) [S1F3] Sent by Host\r\n"                     // 2
    "2021/03/04 09:12:05: [MSG] () S1F3Query: 'S1F3' W /* Name=Query Header=[00 81 03] */\r\n"    // 3
    "    <L [2]\r\n        <U4 [1] 1001 > /* VID */\r\n        <U4 [1] 1002 >\r\n     >\r\n.\r\n" // 4-8
    "2021/03/04 09:12:05: [MSG] () SSD: 'S1F4' /* Name=Data Dir=1 */\n"                           // 9
    "    <L [...]\n        <U1 [1] 2 >\n        <A [0] >\n     >\n.\n"                            // 10-14
    "<Attrs><Attr NAME=\"Temp\">25\xB0"
    "C</Attr></Attrs>\n"                                                       // 15
    "2021-03-04 09:12:01,130 INFO  [9] - SECS. S6F11: 'S6F11' W /* Dir=2 */\n" // 16
    "  <L [2]\n    <U4 [1] 40001 >\n    <A [6] 'LOT-07' >\n  >\n.\n"           // 17-21
    "2021-03-04 09:12:01,131 INFO  [9] - Received S1F1 W\n"                    // 22
    "  <L [0] >\n.\n";                                                         // 23-24

TEST(SmlValidatorTest, ALogIsReadAtItsHeadersWithItsOwnPlaces) {
    struct Statements : SmlStatementHandler {
        std::vector<std::string> seen;
        void HandleStatement(const SmlStatement& s) override {
            seen.push_back(std::to_string(s.line) + ":" + std::to_string(s.column) + " S" + std::to_string(s.stream) +
                           "F" + std::to_string(s.function) + " " + std::to_string(static_cast<int>(s.direction)) +
                           " " + std::to_string(s.items.size()));
        }
        void HandleUnreadable(const ReadDiagnostic& d) override { seen.push_back("unreadable " + d.reason); }
    } statements;
    FormatTree unused;
    SmlReader reader(unused);
    reader.SetStatementHandler(&statements);
    const SmlReadResult result = reader.ReadSmlBytes(LOG);
    EXPECT_TRUE(result.readAsLog);
    EXPECT_EQ(result.linesSkipped, 3U);
    const int host = static_cast<int>(Direction::HOST_TO_EQUIPMENT);
    const int equipment = static_cast<int>(Direction::EQUIPMENT_TO_HOST);
    EXPECT_EQ(statements.seen, (std::vector<std::string>{"3:31 S1F3 " + std::to_string(host) + " 3",
                                                         "9:31 S1F4 " + std::to_string(equipment) + " 3",
                                                         "16:43 S6F11 " + std::to_string(host) + " 3",
                                                         "22:46 S1F1 " + std::to_string(equipment) + " 1"}));
    // A mismatch is placed in the log's own lines.
    const Checked checked = Check("S1F3W <L[2] <U4> <U2>>.\nS1F4 <L[n] <U1> <A>>.\nS6F11W <L[2] <U4> <A[9]>>.\n"
                                  "S1F1W <L[0]>.",
                                  LOG);
    EXPECT_EQ(checked.findings, std::vector<std::string>{"6:9 S1F3W item 1.2: U2 expected, got U4 @1"});
    // Read as SML, a log gives one unreadable statement after another.
    SmlImportOptions log;
    log.log = true;
    FormatTree a;
    FormatTree b;
    SmlReader forced(a);
    forced.SetOptions(log);
    EXPECT_EQ(forced.ReadSmlBytes(LOG.substr(LOG.find("S1F3Query"))).messagesRead, 4U);
    EXPECT_EQ(SmlReader(b).ReadSmlBytes(LOG.substr(LOG.find("S1F3Query"))).messagesRead, 1U);
}

// A log read in pieces finds what its whole text gives, wherever the pieces
// end: between a header and its items, amid other traffic.
TEST(SmlValidatorTest, ALogReadInPiecesGivesWhatItsWholeTextGives) {
    const std::string block = LOG.substr(0, LOG.find("2021-03-04"));
    const std::string header = block.substr(block.find("2021/03/04 09:12:05: [MSG] () S1F3Query"));
    const std::size_t headerLine = header.find('\n') + 1;
    // The first piece read is a mebibyte: its last line is a header.
    constexpr std::size_t PIECE = std::size_t{1} << 20;
    std::string text;
    while (text.size() + block.size() < PIECE - 200) {
        text += block;
    }
    text += std::string(PIECE - text.size() - headerLine - 1, '#') + "\n" + header;
    for (int i = 0; text.size() < (std::size_t{3} << 20); ++i) {
        text += block + std::string(static_cast<std::size_t>(i % 7), '#') + "\n";
    }
    const std::string path = ::testing::TempDir() + "/log-" + std::to_string(std::random_device{}()) + ".log";
    std::ofstream(path, std::ios::binary) << text;
    FormatTree library;
    ASSERT_TRUE(FormatReader(library).ReadFormatBytes("S1F3W <L[2] <U4> <U2>>.\nS1F4 <L[n] <U1>>.").Complete());
    std::vector<std::string> whole;
    std::vector<std::string> pieces;
    SmlValidator a(library.GetRootNode(), [&](const ValidationFinding& f) {
        whole.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + f.reason);
    });
    SmlValidator b(library.GetRootNode(), [&](const ValidationFinding& f) {
        pieces.push_back(std::to_string(f.line) + ":" + std::to_string(f.column) + f.reason);
    });
    const SmlReadResult readWhole = a.CheckBytes(text);
    const SmlReadResult readInPieces = b.CheckFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(readInPieces.linesSkipped, readWhole.linesSkipped);
    EXPECT_GT(readWhole.linesSkipped, 10000U);
    EXPECT_EQ(std::pair(b.Passed(), b.Failed()), std::pair(a.Passed(), a.Failed()));
    EXPECT_GT(a.Failed(), 5000U);
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
