#include "MessageBuilder.h"
#include "CountingBuffer.h"
#include "DocumentDump.h"
#include "FormatReader.h"
#include "FormatWriter.h"
#include "ItemFormat.h"
#include "LibraryBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqf {
namespace {

class MessageBuilderTest : public ::testing::Test {
protected:
    std::string Read(const std::string& text) {
        FormatReader reader(document);
        ReadResult result = reader.ReadFormatBytes(text);
        EXPECT_TRUE(result.Complete());
        return DumpDocument(document.GetRootNode());
    }

    FormatTree document;
};

TEST_F(MessageBuilderTest, ListsAreRelabelledFromTheirItems) {
    EXPECT_EQ(Read("S6F11W (REPORT) <L[5] <U4 DATAID> <L[9] <A[N] LOT>>>."), "S6F11W 'REPORT'\n"
                                                                             "  <L[2]> #2 list\n"
                                                                             "    <U4  DATAID> #1 'DATAID'\n"
                                                                             "    <L[1]> #1 list\n"
                                                                             "      <A[n]  LOT> #-1 'LOT'\n");
}

TEST_F(MessageBuilderTest, OpenListsKeepTheirOpenCountWithAnyNumberOfItems) {
    EXPECT_EQ(Read("S1F3 <L[N] <U4> <U4> <L[N]>>."), "S1F3\n"
                                                     "  <L[n]> #-1 list\n"
                                                     "    <U4> #1\n"
                                                     "    <U4> #1\n"
                                                     "    <L[n]> #-1 list\n");
}

TEST_F(MessageBuilderTest, ItemLabelsFollowTheLabelRules) {
    EXPECT_EQ(Read("S1F1 <L <VARIANT[7] VALUE> <V[N]> <A[0]> <A[1] ONE> <B[2]> <J8[N] KANJI> <L[0] HEADER>>."),
              "S1F1\n"
              "  <L[7]> #7 list\n"
              "    <VARIANT  VALUE> #0 'VALUE'\n"
              "    <VARIANT> #0\n"
              "    <A> #0\n"
              "    <A  ONE> #1 'ONE'\n"
              "    <B[2]> #2\n"
              "    <J8[n]  KANJI> #-1 'KANJI'\n"
              "    <L[0]> #0 list\n");
}

TEST_F(MessageBuilderTest, MessagesGoToTheEndWithoutAnyCheck) {
    LibraryBuilder existing(document);
    existing.AddMessage(5, 1, true, "FIRST");
    EXPECT_EQ(Read("S2F1.\nS1F1.\nS2F1.\nS200F300 <U4>.\nF1 (S).\n"), "S5F1W 'FIRST'\n"
                                                                      "S2F1\n"
                                                                      "S1F1\n"
                                                                      "S2F1\n"
                                                                      "S200F300\n"
                                                                      "  <U4> #1\n"
                                                                      "S-1F1 'S'\n");
    EXPECT_EQ(document.GetRootNode()->Count(), 6);
}

TEST_F(MessageBuilderTest, CallsBackAfterEachMessage) {
    std::vector<std::string> seen;
    FormatReader reader(document, [&](FormatNode& message) {
        seen.push_back(message.Label().str() + " " + std::to_string(document.GetRootNode()->Count()) + " " +
                       std::to_string(message.Count()));
    });
    ReadResult result = reader.ReadFormatBytes("S1F1.\nS1F2 <L <A>>.\nJUNK.\nS1F3W.\n");
    EXPECT_EQ(seen, (std::vector<std::string>{"S1F1 1 0", "S1F2 2 1", "S1F3W 3 0"}));
    EXPECT_EQ(result.messagesRead, 3U);
    EXPECT_EQ(result.messageLines, (std::vector<std::size_t>{1, 2, 4}));
}

TEST_F(MessageBuilderTest, BuildsFromAParseTreeDirectly) {
    ParseTree tree;
    tree.stream = 7;
    tree.function = 3;
    tree.replyRequired = 1;
    tree.description = "Send";
    tree.OpenList(false);
    tree.AddAscii(OPEN_COUNT, "Ppid");
    tree.AddBinary(OPEN_COUNT, "");
    MessageBuilder builder(document);
    FormatNode* message = builder.BuildMessage(tree);
    ASSERT_EQ(message, document.GetRootNode()->FirstChild());
    EXPECT_EQ(DumpDocument(document.GetRootNode()), "S7F3W 'Send'\n"
                                                    "  <L[2]> #2 list\n"
                                                    "    <A[n]  Ppid> #-1 'Ppid'\n"
                                                    "    <B[n]> #-1\n");
    EXPECT_EQ(message->IsMessage(), 1);
    EXPECT_EQ(message->FirstChild()->Format(), LIST);
    EXPECT_EQ(message->FirstChild()->FirstChild()->Format(), ASCII);
}

TEST_F(MessageBuilderTest, DeepNestingReadsBuildsAndWritesWithoutRecursion) {
    constexpr int DEPTH = 100'000;
    std::string text = "S1F1 ";
    for (int i = 0; i < DEPTH; ++i) {
        text += "<L";
    }
    text += "<U1 LEAF>";
    text += std::string(DEPTH, '>');
    text += '.';
    FormatReader reader(document);
    ReadResult result = reader.ReadFormatBytes(text);
    ASSERT_EQ(result.messagesRead, 1U);

    int depth = 0;
    const FormatNode* node = document.GetRootNode()->FirstChild()->FirstChild();
    for (; node->FirstChild() != nullptr; node = node->FirstChild()) {
        EXPECT_EQ(node->Label(), "<L[1]>");
        ++depth;
    }
    EXPECT_EQ(depth, DEPTH);
    EXPECT_EQ(node->Label(), "<U1  LEAF>");
    // The file holds DEPTH * DEPTH tabs, so it is counted, not kept.
    CountingBuffer counter;
    std::ostream file(&counter);
    ASSERT_TRUE(FormatWriter::WriteFormatFile(document.GetRootNode(), file));
    EXPECT_GT(counter.Count(), static_cast<std::size_t>(DEPTH) * DEPTH);
    EXPECT_EQ(counter.Tail().substr(counter.Tail().size() - 8), "\t>\r\n>.\r\n");
}

TEST_F(MessageBuilderTest, LongListsAreBuiltInOrder) {
    constexpr int ITEMS = 20'000;
    std::string text = "S1F1 <L";
    for (int i = 0; i < ITEMS; ++i) {
        text += "<U4 " + std::to_string(i) + ">";
    }
    text += ">.";
    FormatReader reader(document);
    ASSERT_EQ(reader.ReadFormatBytes(text).messagesRead, 1U);
    const FormatNode* list = document.GetRootNode()->FirstChild()->FirstChild();
    EXPECT_EQ(list->Count(), ITEMS);
    int i = 0;
    for (const FormatNode* item = list->FirstChild(); item != nullptr; item = item->NextSibling(), ++i) {
        ASSERT_EQ(item->Description(), std::to_string(i));
    }
    EXPECT_EQ(i, ITEMS);
}

} // namespace
} // namespace tqf
