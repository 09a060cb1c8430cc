// Files from unknown sources: arbitrary bytes, huge texts, huge counts of
// messages and items, brackets that never close. Reading must stay correct
// and linear; where a case once went wrong, the test is named after it.

#include "DocumentDump.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "LibraryBuilder.h"
#include "RoundTripCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tqf {
namespace {

using namespace std::string_literals;

// Sanitizers and unoptimised builds run ten to fifty times slower: there the
// largest case is smaller and nothing is timed.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQF_TEST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TQF_TEST_SANITIZED 1
#endif
#if defined(NDEBUG) && !defined(TQF_TEST_SANITIZED)
constexpr bool OPTIMISED_BUILD = true;
#else
constexpr bool OPTIMISED_BUILD = false;
#endif

constexpr std::size_t MEGABYTE = std::size_t{1} << 20;
constexpr int MANY_MESSAGES = OPTIMISED_BUILD ? 1'000'000 : 100'000;

struct Reading {
    ReadResult result;
    std::string dump;
    std::string written;
    bool roundTripOk = false;
};

Reading Read(std::string_view bytes) {
    FormatTree document;
    FormatReader reader(document);
    Reading reading{reader.ReadFormatBytes(bytes), {}, {}, false};
    reading.dump = DumpDocument(document.GetRootNode());
    reading.written = FormatWriter::FormatFileText(document.GetRootNode());
    reading.roundTripOk = RoundTripCheck::CheckRoundTrip(document.GetRootNode()).Ok();
    return reading;
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

TEST(HostileInputTest, MegabyteDescriptionsAndLinesComeBackWhole) {
    const std::string text(MEGABYTE, 'D');
    FormatTree document;
    LibraryBuilder builder(document);
    FormatNode* list = builder.AddList(builder.AddMessage(1, 1, true, text));
    builder.AddItem(list, ASCII, OPEN_COUNT, text);
    builder.AddItem(list, UINT4, 1, "AFTER");
    const std::string file = FormatWriter::FormatFileText(document.GetRootNode());
    EXPECT_TRUE(RoundTripCheck::CheckRoundTrip(document.GetRootNode()).Ok());

    const Reading reading = Read(file);
    EXPECT_EQ(reading.dump, DumpDocument(document.GetRootNode()));
    EXPECT_TRUE(reading.written == file) << "saving again writes the same bytes";
    EXPECT_TRUE(reading.roundTripOk);

    // A whole statement on one line of a megabyte: many items, no line end.
    const std::size_t items = MEGABYTE / std::string_view("<U4 X>").size();
    const Reading oneLine = Read("S1F1 <L[N]" + Repeat("<U4 X>", items) + ">.");
    ASSERT_EQ(oneLine.result.messagesRead, 1U);
    EXPECT_EQ(oneLine.dump.size(), std::string_view("S1F1\n  <L[n]> #-1 list\n").size() +
                                       items * std::string_view("    <U4  X> #1 'X'\n").size());
}

TEST(HostileInputTest, AMillionMessagesReadWriteAndCheckInLinearTime) {
    FormatTree document;
    LibraryBuilder builder(document);
    for (int i = 0; i < MANY_MESSAGES; ++i) {
        FormatNode* message = builder.AddMessage(1 + i % 127, i % 256, i % 2 == 1);
        if (i % 10 == 0) {
            builder.AddItem(message, UINT4, 1, "ID");
        }
    }
    const std::string file = FormatWriter::FormatFileText(document.GetRootNode());

    const Reading reading = Read(file);
    EXPECT_EQ(reading.result.messagesRead, static_cast<std::size_t>(MANY_MESSAGES));
    EXPECT_TRUE(reading.result.dropped.empty());
    EXPECT_TRUE(reading.written == file);
    EXPECT_TRUE(reading.roundTripOk);
}

TEST(HostileInputTest, BytesOfAnyValueStayAsTheyAre) {
    // NUL and bytes above 127 are text like any other: kept, written back,
    // and never upper-cased; only a to z are.
    const Reading reading = Read("S1F1 (A\0b).\r\nS1F2 <L[1] <A \0\x01\x7F\xFF>>.\r\n"s);
    ASSERT_EQ(reading.result.messagesRead, 2U);
    EXPECT_EQ(reading.dump, "S1F1 'A\0B'\nS1F2\n  <L[1]> #1 list\n    <A  \0\x01\x7F\xFF> #1 '\0\x01\x7F\xFF'\n"s);
    EXPECT_NE(reading.written.find("S1F1 (A\0B)."s), std::string::npos);
    EXPECT_TRUE(reading.roundTripOk);

    const Reading utf8 = Read("s1f1 (\xEC\x83\x81\xED\x83\x9C ok \xC3\xA9).");
    EXPECT_EQ(utf8.dump, "S1F1 '\xEC\x83\x81\xED\x83\x9C OK \xC3\xA9'\n");
}

TEST(HostileInputTest, LinesThatNeverEnd) {
    // Carriage returns end the lines of a file without any line feed; with
    // one, they are text, and a line holds one statement.
    const Reading crOnly = Read("S1F1.\rS1F2.\rS1F3.\r");
    EXPECT_EQ(crOnly.dump, "S1F1\nS1F2\nS1F3\n");
    EXPECT_EQ(Read("S1F1.\rS1F2.\rS1F3.\n").dump, "S1F1\n");

    // A comment that never closes takes the rest of the file.
    const Reading comment = Read("S1F1.\n/* open\n" + Repeat("S1F2.\n", MEGABYTE / 6));
    EXPECT_EQ(comment.dump, "S1F1\n");

    // A statement without its "." is dropped at the end, however long.
    const Reading unterminated = Read("S1F1 <L[N]\n" + Repeat("<U4 X>\n", MEGABYTE / 7));
    EXPECT_EQ(unterminated.result.messagesRead, 0U);
    ASSERT_EQ(unterminated.result.dropped.size(), 1U);
    EXPECT_TRUE(unterminated.result.dropped[0].unterminated);
}

TEST(HostileInputTest, BracketsThatNeverCloseOrNeverOpen) {
    // A "[" with no "]" anywhere after it, far into a long body, drops the
    // statement; the next one still reads.
    const Reading stray = Read("S1F1 <L " + Repeat("<U4> ", MEGABYTE / 5) + "[ .\nS1F2.\n");
    EXPECT_EQ(stray.dump, "S1F2\n");
    const Reading list = Read("S1F1 <L[" + std::string(MEGABYTE, '9') + ">.\nS1F3.\n");
    EXPECT_EQ(list.dump, "S1F3\n");
    const Reading item = Read("S1F1 <L <A[" + std::string(MEGABYTE, ' ') + ">.\nS1F4.\n");
    EXPECT_EQ(item.dump, "S1F4\n");

    // Lists still open at the end are complete; closers without a list to
    // close are passed over.
    // (Half a million levels: written out, every level is indented by its
    // depth, so this document is only read here.)
    const std::size_t levels = MEGABYTE / 2;
    FormatTree deep;
    FormatReader reader(deep);
    ASSERT_EQ(reader.ReadFormatBytes("S1F1 " + Repeat("<L", levels) + ">.").messagesRead, 1U);
    std::size_t depth = 0;
    for (const FormatNode* node = deep.GetRootNode()->FirstChild()->FirstChild(); node != nullptr;
         node = node->FirstChild()) {
        ++depth;
    }
    EXPECT_EQ(depth, levels);
    const Reading closers = Read("S1F1 <L <A>" + std::string(MEGABYTE, '>') + "<U4>.");
    EXPECT_EQ(closers.dump, "S1F1\n  <L[2]> #2 list\n    <A> #1\n    <U4> #1\n");

    // Spaces around brackets, a megabyte of them, are taken out pass by pass.
    const Reading spaced = Read("S1F1 <L" + Repeat(" < A > ", MEGABYTE / 7) + ">.");
    ASSERT_EQ(spaced.result.messagesRead, 1U);
    EXPECT_EQ(spaced.dump.substr(0, 36), "S1F1\n  <L[149796]> #149796 list\n    ");
}

TEST(HostileInputTest, NumbersBeyondThirtyTwoBitsKeepTheLargestThereIs) {
    const std::string huge(MEGABYTE, '9');
    const Reading header = Read("S" + huge + "F" + huge + "W.");
    EXPECT_EQ(header.dump, "S2147483647F2147483647W\n");
    const Reading negative = Read("S1F1 <L <A[-" + huge + "]> <U4[" + huge + "]>>.");
    EXPECT_EQ(negative.dump, "S1F1\n  <L[2]> #2 list\n    <A> #-2147483648\n    <U4[2147483647]> #2147483647\n");
}

TEST(HostileInputTest, NothingButLineEndsOrDots) {
    EXPECT_EQ(Read(std::string(MEGABYTE, '\n')).result.messagesRead, 0U);
    EXPECT_EQ(Read(Repeat("\r\n", MEGABYTE)).result.messagesRead, 0U);
    const Reading dots = Read(std::string(MEGABYTE, '.'));
    EXPECT_EQ(dots.result.messagesRead, 0U);
    EXPECT_TRUE(dots.result.dropped.empty()) << "an empty statement is nothing dropped";
    EXPECT_EQ(Read(Repeat(".\n", MEGABYTE)).result.messagesRead, 0U);
}

// Found by the editing fuzzer. The sub-item dialog can give a VARIANT item an
// open count, and its description may hold a "[": "<VARIANT[n]  C'[>" reads
// back, but as "<VARIANT  C'[>", since a VARIANT keeps no count, and that
// label no longer reads. The first save is sound; the save of the opened copy
// must be the one that is flagged, never a silent loss.
TEST(HostileInputTest, OpenVariantWithABracketIsFlaggedWhenItsOpenedCopyIsSaved) {
    FormatTree document;
    LibraryBuilder builder(document);
    builder.AddItem(builder.AddMessage(2, 255, true), VARIANT, OPEN_COUNT, "c'[");
    ASSERT_EQ(document.GetRootNode()->FirstChild()->FirstChild()->Label(), "<VARIANT[n]  c'[>");
    EXPECT_TRUE(RoundTripCheck::CheckRoundTrip(document.GetRootNode()).Ok());

    FormatTree opened;
    FormatReader reader(opened);
    ASSERT_EQ(reader.ReadFormatBytes(FormatWriter::FormatFileText(document.GetRootNode())).messagesRead, 1U);
    EXPECT_EQ(DumpDocument(opened.GetRootNode()), "S2F255W\n  <VARIANT  C'[> #0 'C'['\n");
    const RoundTripReport report = RoundTripCheck::CheckRoundTrip(opened.GetRootNode());
    ASSERT_EQ(report.problems.size(), 1U);
    EXPECT_EQ(report.problems[0].label, "S2F255W");
    EXPECT_EQ(Read(FormatWriter::FormatFileText(opened.GetRootNode())).result.messagesRead, 0U);
}

} // namespace
} // namespace tqf
