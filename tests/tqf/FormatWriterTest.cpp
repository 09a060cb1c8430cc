#include "FormatWriter.h"
#include "CountingBuffer.h"
#include "ItemFormat.h"
#include "LibraryBuilder.h"
#include "StandardMessages.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

namespace tqf {
namespace {

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

class FormatWriterTest : public ::testing::Test {
protected:
    std::string FileText() const { return FormatWriter::FormatFileText(document.GetRootNode()); }

    FormatTree document;
    LibraryBuilder b{document};
};

TEST_F(FormatWriterTest, WritesTheTwoMessageExampleByteForByte) {
    b.AddMessage(1, 1, true, "Are You There");
    FormatNode* event = b.AddList(b.AddMessage(6, 11, true, "Event Report"));
    b.AddItem(event, UINT4, 1, "DATAID");
    b.AddItem(event, UINT4, 1, "CEID");
    FormatNode* reports = b.AddList(b.AddList(event));
    b.AddItem(reports, UINT4, 1, "RPTID");
    b.AddItem(reports, ASCII, OPEN_COUNT, "Lot id");

    EXPECT_EQ(FileText(), Lines({"/* TALVO SECS MESSAGE FORMAT FILE */", "", "S1F1W (Are You There).", "", "",
                                 "S6F11W (Event Report)", "<L[3]", "\t<U4  DATAID>", "\t<U4  CEID>", "\t<L[1]",
                                 "\t\t<L[2]", "\t\t\t<U4  RPTID>", "\t\t\t<A[n]  Lot id>", "\t\t>", "\t>", ">."}));

    std::ostringstream file;
    ASSERT_TRUE(FormatWriter::WriteFormatFile(document.GetRootNode(), file));
    EXPECT_EQ(file.str(), FileText());
}

TEST_F(FormatWriterTest, MessageLines) {
    b.AddMessage(1, 2, false);
    EXPECT_EQ(FileText(), Lines({"/* TALVO SECS MESSAGE FORMAT FILE */", "", "S1F2."}))
        << "no description: the bare label, no parentheses";

    b.AddItem(b.AddMessage(2, 17, true, "TIME"), ASCII, 16);
    EXPECT_EQ(FileText(),
              Lines({"/* TALVO SECS MESSAGE FORMAT FILE */", "", "S1F2.", "", "", "S2F17W (TIME)", "<A[16]>."}));
}

TEST_F(FormatWriterTest, ClosingLinesOfListsThatEndTogether) {
    // A childless list last in its parent, an open list, and a message that
    // continues after nested lists have been closed.
    FormatNode* top = b.AddList(b.AddMessage(1, 3, false));
    FormatNode* inner = b.AddList(top);
    b.AddList(b.AddList(inner));
    b.AddList(inner, true);
    b.AddItem(top, BINARY, 0, "ACK");
    EXPECT_EQ(FileText(), Lines({"/* TALVO SECS MESSAGE FORMAT FILE */", "", "S1F3", "<L[2]", "\t<L[2]", "\t\t<L[1]",
                                 "\t\t\t<L[0]>", "\t\t>", "\t\t<L[n]>", "\t>", "\t<B  ACK>", ">."}));
}

TEST_F(FormatWriterTest, ListWithoutItemsIsWrittenWhole) {
    b.AddList(b.AddMessage(1, 4, false), true);
    b.AddList(b.AddMessage(1, 5, false));
    EXPECT_EQ(FileText(),
              Lines({"/* TALVO SECS MESSAGE FORMAT FILE */", "", "S1F4", "<L[n]>.", "", "", "S1F5", "<L[0]>."}));
}

TEST_F(FormatWriterTest, NodesWithEmptyLabelsAreSkippedButNotTheirSubNodes) {
    FormatNode* list = b.AddList(b.AddMessage(1, 6, false));
    FormatNode* hidden = b.AddList(list);
    b.AddItem(hidden, UINT4, 1);
    TreeSurgery::SetLabel(document, hidden, "");
    EXPECT_EQ(FileText(),
              Lines({"/* TALVO SECS MESSAGE FORMAT FILE */", "", "S1F6", "<L[1]", "\t\t<U4>", "\t>", ">."}));
}

TEST_F(FormatWriterTest, SubtreesOfMessagesMakeUpTheWholeFile) {
    b.AddMessage(1, 1, true);
    b.AddItem(b.AddList(b.AddList(b.AddMessage(1, 2, false))), ASCII, 3);
    b.AddItem(b.AddMessage(1, 3, false), UINT2, OPEN_COUNT);
    std::string parts(FormatWriter::FILE_HEADER);
    for (const FormatNode* m = document.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        FormatWriter::AppendSubtree(m, parts);
    }
    EXPECT_EQ(parts, FileText());

    std::string one;
    FormatWriter::AppendSubtree(document.GetRootNode()->FirstChild()->NextSibling(), one);
    EXPECT_EQ(one, Lines({"", "", "S1F2", "<L[1]", "\t<L[1]", "\t\t<A[3]>", "\t>", ">."}));
}

TEST_F(FormatWriterTest, LastChildAndNodeDepth) {
    FormatNode* message = b.AddMessage(1, 1, false);
    FormatNode* list = b.AddList(message);
    FormatNode* first = b.AddItem(list, UINT4, 1);
    FormatNode* inner = b.AddList(list);
    FormatNode* deep = b.AddItem(inner, ASCII, 1);

    EXPECT_EQ(FormatWriter::LastChild(list), inner);
    EXPECT_EQ(FormatWriter::LastChild(first), nullptr);
    EXPECT_EQ(FormatWriter::LastChild(nullptr), nullptr);
    EXPECT_EQ(FormatWriter::NodeDepth(message), 0);
    EXPECT_EQ(FormatWriter::NodeDepth(list), 1);
    EXPECT_EQ(FormatWriter::NodeDepth(first), 2);
    EXPECT_EQ(FormatWriter::NodeDepth(deep), 3);
}

// Accepts nothing: every write fails.
class FailingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(FormatWriterTest, ReportsAStreamThatDoesNotTakeTheBytes) {
    b.AddMessage(1, 1, false);
    FailingBuffer buffer;
    std::ostream file(&buffer);
    EXPECT_FALSE(FormatWriter::WriteFormatFile(document.GetRootNode(), file));
}

TEST_F(FormatWriterTest, DeepNestingIsWrittenWithoutRecursion) {
    // Every line is indented by its depth, so this file holds DEPTH * DEPTH
    // tabs (ten gigabytes): it is counted, not kept.
    constexpr std::size_t DEPTH = 100'000;
    FormatNode* list = b.AddList(b.AddMessage(1, 1, false));
    for (std::size_t i = 1; i < DEPTH; ++i) {
        list = b.AddList(list);
    }
    b.AddItem(list, UINT1, 1);
    CountingBuffer counter;
    std::ostream file(&counter);
    ASSERT_TRUE(FormatWriter::WriteFormatFile(document.GetRootNode(), file));
    const std::size_t header = FormatWriter::FILE_HEADER.size() + std::string_view("\r\n\r\nS1F1\r\n").size();
    const std::size_t listLines = DEPTH * std::string_view("<L[1]\r\n").size();
    const std::size_t closingLines = DEPTH * std::string_view("\r\n>").size();
    const std::size_t leaf = std::string_view("<U1>.\r\n").size();
    EXPECT_EQ(counter.Count(), header + listLines + closingLines + leaf + DEPTH * DEPTH);
    const std::string tail = "\r\n\t\t>\r\n\t>\r\n>.\r\n";
    EXPECT_EQ(counter.Tail().substr(counter.Tail().size() - tail.size()), tail);
}

TEST_F(FormatWriterTest, IndentationAndClosingLinesFollowTheDepth) {
    constexpr int DEPTH = 50;
    FormatNode* list = b.AddList(b.AddMessage(1, 1, false));
    for (int i = 1; i < DEPTH; ++i) {
        list = b.AddList(list);
    }
    b.AddItem(list, UINT1, 1);
    std::string expected = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1\r\n";
    for (int i = 0; i < DEPTH; ++i) {
        expected += std::string(static_cast<std::size_t>(i), '\t') + "<L[1]\r\n";
    }
    expected += std::string(DEPTH, '\t') + "<U1>";
    for (int i = DEPTH - 1; i >= 0; --i) {
        expected += "\r\n" + std::string(static_cast<std::size_t>(i), '\t') + ">";
    }
    expected += ".\r\n";
    EXPECT_EQ(FileText(), expected);
}

TEST(FileSizeBoundTest, TheFileSizeBoundIsNeverBelowTheFileAndNotFarAbove) {
    FormatTree standard;
    BuildStandardMessages(standard);
    FormatTree deep;
    {
        LibraryBuilder b(deep);
        FormatNode* list = b.AddList(b.AddMessage(1, 1, true, "deep"));
        for (int i = 0; i < 300; ++i) {
            list = b.AddList(list);
        }
        b.AddItem(list, ASCII, OPEN_COUNT, "inner");
        b.AddItem(b.AddMessage(1, 2, false), UINT1, 1);
    }
    FormatTree empty;
    for (const FormatTree* tree : {&standard, &deep, &empty}) {
        const std::uint64_t written = FormatWriter::FormatFileText(tree->GetRootNode()).size();
        const std::uint64_t bound = FormatWriter::FileSizeBound(tree->GetRootNode());
        EXPECT_GE(bound, written);
        EXPECT_LE(bound, written * 2);
    }
}

} // namespace
} // namespace tqf
