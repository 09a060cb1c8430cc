#include "DocumentDump.h"
#include "FormatReader.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "LibraryBuilder.h"
#include "RoundTripCheck.h"
#include "StandardMessages.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqf {
namespace {

// Writes original and reads the file into copy.
ReadResult WriteAndRead(const FormatTree& original, FormatTree& copy) {
    FormatReader reader(copy);
    return reader.ReadFormatBytes(FormatWriter::FormatFileText(original.GetRootNode()));
}

std::vector<std::string> ProblemLabels(const RoundTripReport& report) {
    std::vector<std::string> labels;
    for (const RoundTripProblem& p : report.problems) {
        labels.push_back(p.label);
    }
    return labels;
}

TEST(RoundTripTest, TheStandardLibraryComesBackUnchanged) {
    FormatTree original;
    BuildStandardMessages(original);
    FormatTree copy;
    const ReadResult result = WriteAndRead(original, copy);
    EXPECT_TRUE(result.dropped.empty());
    EXPECT_EQ(DumpDocument(copy.GetRootNode()), DumpDocument(original.GetRootNode()));
    EXPECT_EQ(FormatWriter::FormatFileText(copy.GetRootNode()), FormatWriter::FormatFileText(original.GetRootNode()));
    const RoundTripReport report = RoundTripCheck::CheckRoundTrip(original.GetRootNode());
    EXPECT_TRUE(report.Ok());
    EXPECT_EQ(report.text.Str(), FormatWriter::FormatFileText(original.GetRootNode()))
        << "the text checked is the one saved";
}

TEST(RoundTripTest, WhatTheFormatDoesNotKeep) {
    FormatTree original;
    LibraryBuilder b(original);
    FormatNode* list = b.AddList(b.AddMessage(6, 11, true, "Event Report"));
    b.AddItem(list, ASCII, OPEN_COUNT, "Lot id");
    b.AddItem(list, UINT4, 0, "zero");
    b.AddItem(list, VARIANT, 5, "five");
    b.AddItem(list, VARIANT, OPEN_COUNT, "open");
    // A list whose description is still in its label: added with a
    // description and never given an item.
    FormatNode* described = TreeSurgery::AppendSubNode(original, list, MakeItemLabel(LIST, 0, false, "header"));
    TreeSurgery::SetItemFormat(original, described, LIST, described->Count());
    TreeSurgery::SetDescription(original, described, "header");

    FormatTree copy;
    const ReadResult result = WriteAndRead(original, copy);
    EXPECT_TRUE(result.dropped.empty());
    EXPECT_EQ(DumpDocument(copy.GetRootNode()), "S6F11W 'EVENT REPORT'\n"
                                                "  <L[5]> #5 list\n"
                                                "    <A[n]  LOT ID> #-1 'LOT ID'\n"
                                                "    <U4  ZERO> #1 'ZERO'\n"
                                                "    <VARIANT  FIVE> #0 'FIVE'\n"
                                                "    <VARIANT  OPEN> #0 'OPEN'\n"
                                                "    <L[0]> #0 list\n");
    EXPECT_TRUE(RoundTripCheck::CheckRoundTrip(original.GetRootNode()).Ok())
        << "none of these counts as a change of the library";
}

TEST(RoundTripTest, DescriptionsThatBreakTheirStatementAreNamed) {
    FormatTree original;
    LibraryBuilder b(original);
    b.AddMessage(1, 1, true, "fine");
    b.AddItem(b.AddMessage(1, 2, false, "VER. 2"), ASCII, 1); // ends at the "."
    b.AddMessage(1, 3, false);
    b.AddItem(b.AddList(b.AddMessage(1, 4, false)), ASCII, 1, "A>B"); // ">" ends the item early
    b.AddItem(b.AddMessage(1, 5, false), ASCII, 2, "a [b] c");        // brackets in a description
    b.AddItem(b.AddMessage(1, 6, false), ASCII, 1, "x // y");         // the rest is a comment, "." included,
    b.AddMessage(1, 7, false, "joined");                              // so this one joins it
    b.AddItem(b.AddMessage(1, 8, false), ASCII, 1, "/* open");        // comments out what follows
    b.AddMessage(1, 9, false, "swallowed");
    b.AddMessage(-1, 1, false); // "S-1" does not read back

    const RoundTripReport report = RoundTripCheck::CheckRoundTrip(original.GetRootNode());
    EXPECT_EQ(ProblemLabels(report),
              (std::vector<std::string>{"S1F2", "S1F4", "S1F5", "S1F6", "S1F7", "S1F8", "S1F9", "S-1F1"}));
    for (const RoundTripProblem& p : report.problems) {
        EXPECT_FALSE(p.reason.empty()) << p.label;
        EXPECT_EQ(p.message->Label(), p.label);
    }
}

TEST(RoundTripTest, ChangedFieldsAreNamed) {
    FormatTree original;
    LibraryBuilder b(original);
    b.AddItem(b.AddMessage(2, 1, false), UINT4, -7);                      // reads back as 1
    b.AddItem(b.AddMessage(2, 2, false, " kept "), ASCII, 1, " trimmed"); // item descriptions are trimmed
    FormatNode* wrongCount = b.AddList(b.AddMessage(2, 3, false));
    b.AddItem(wrongCount, BINARY, 1);
    TreeSurgery::SetItemFormat(original, wrongCount, wrongCount->Format(), 4); // label and count disagree
    FormatNode* lower = b.AddMessage(2, 4, false);
    b.AddItem(lower, INT2, 3, "mixed Case");
    TreeSurgery::SetLabel(original, lower, "s2f4"); // letter case aside

    const RoundTripReport report = RoundTripCheck::CheckRoundTrip(original.GetRootNode());
    EXPECT_EQ(ProblemLabels(report), (std::vector<std::string>{"S2F1", "S2F2", "S2F3"}));
    EXPECT_EQ(report.text.Str(), FormatWriter::FormatFileText(original.GetRootNode()));
}

TEST(RoundTripTest, AnEmptyDocumentHasNoProblems) {
    FormatTree original;
    const RoundTripReport report = RoundTripCheck::CheckRoundTrip(original.GetRootNode());
    EXPECT_TRUE(report.Ok());
    EXPECT_EQ(report.text.Str(), FormatWriter::FormatFileText(original.GetRootNode()));
}

} // namespace
} // namespace tqf
