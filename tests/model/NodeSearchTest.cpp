#include "NodeSearch.h"
#include "FormatTree.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "TextArena.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tqf {
namespace {

// A small library:
//   S1F1W            "ARE YOU THERE"
//   S6F11W           "EVENT REPORT"
//     <L[2]>
//       <U4  DATAID>
//       <L[1]>        (collapsed)
//         <A[n]  lot id>
//   S2F41            "HOST COMMAND"
//   S6F11            "Event report again"
//     <U4[3]  ids>
class NodeSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        s1f1 = Message(1, 1, true, "ARE YOU THERE");
        s6f11 = Message(6, 11, true, "EVENT REPORT");
        list = Item(s6f11, LIST, 0, false, "");
        dataId = Item(list, UINT4, 1, false, "DATAID");
        inner = Item(list, LIST, 0, false, "");
        lotId = Item(inner, ASCII, OPEN_COUNT, true, "lot id");
        tree.SetExpanded(inner, false);
        s2f41 = Message(2, 41, false, "HOST COMMAND");
        again = Message(6, 11, false, "Event report again");
        ids = Item(again, UINT4, 3, false, "ids");
    }

    FormatNode* Message(int stream, int function, bool reply, const std::string& description) {
        FormatNode* root = tree.GetRootNode();
        FormatNode* last = root->FirstChild();
        while (last != nullptr && last->NextSibling() != nullptr) {
            last = last->NextSibling();
        }
        const std::string label = MakeMessageLabel(stream, function, reply);
        FormatNode* node = last == nullptr ? TreeSurgery::AddChild(tree, nullptr, label, false)
                                           : TreeSurgery::AddSibling(tree, last, label, false);
        TreeSurgery::MakeMessage(tree, node);
        TreeSurgery::SetDescription(tree, node, description);
        return node;
    }

    FormatNode* Item(FormatNode* parent, int format, int count, bool open, const std::string& description) {
        FormatNode* node = TreeSurgery::AppendSubNode(tree, parent, MakeItemLabel(format, count, open, description));
        TreeSurgery::SetItemFormat(tree, node, format, count);
        TreeSurgery::SetDescription(tree, node, description);
        return node;
    }

    // Every node Find Next visits from current until it comes back.
    std::vector<FormatNode*> Cycle(const std::string& text, FormatNode* current, bool forward) {
        const NodeSearch search(text);
        std::vector<FormatNode*> found;
        for (int i = 0; i < 10; ++i) {
            const SearchResult result = forward ? search.FindNext(tree.GetRootNode(), current)
                                                : search.FindPrevious(tree.GetRootNode(), current);
            if (result.node == nullptr) {
                break;
            }
            found.push_back(result.node);
            current = result.node;
        }
        return found;
    }

    FormatTree tree;
    FormatNode* s1f1 = nullptr;
    FormatNode* s6f11 = nullptr;
    FormatNode* list = nullptr;
    FormatNode* dataId = nullptr;
    FormatNode* inner = nullptr;
    FormatNode* lotId = nullptr;
    FormatNode* s2f41 = nullptr;
    FormatNode* again = nullptr;
    FormatNode* ids = nullptr;
};

TEST(NodeSearchQuery, MessageLabelFormsAreRecognised) {
    for (const char* text : {"S6F11", "s6f11", "S6F11W", "6 11", "S6 F11", " s6 f 11 w ", "6F11", "S06F011"}) {
        const NodeSearch search(text);
        EXPECT_TRUE(search.IsMessageLabel()) << text;
        EXPECT_EQ(search.Stream(), 6) << text;
        EXPECT_EQ(search.Function(), 11) << text;
    }
    for (const char* text : {"611", "S6", "S6F", "F11", "S6F11X", "S6F11WW", "6 11 12", "LOT ID", "<U4", "S-6F11"}) {
        EXPECT_FALSE(NodeSearch(text).IsMessageLabel()) << text;
    }
    // A number far too long for any message is read without overflowing.
    const NodeSearch huge("S99999999999999999999999F1");
    EXPECT_TRUE(huge.IsMessageLabel());
    EXPECT_GT(huge.Stream(), 1'000'000'000);
}

TEST(NodeSearchQuery, TextIsFoundAnywhereInLabelOrDescriptionInEitherCase) {
    struct Case {
        const char* text;
        const char* label;
        const char* description;
        bool found;
    };
    const Case cases[] = {
        {"aab", "<A>", "xaaab", true},          // a partial match just before the real one
        {"AAB", "<A>", "xaAaB", true},          // both sides in mixed case
        {"ids>", "<U4[3]  ids>", "", true},     // at the very end of the label
        {"<u4", "<U4[3]  ids>", "", true},      // at the very start
        {"ids!", "<U4[3]  ids>", "ids", false}, // longer than what is there
        {"lot  id", "<A>", "lot id", false},    // blanks count as typed
        {"9", "<A[9]>", "", true},
        {"[9", "<A[90]>", "", true},
    };
    for (const Case& c : cases) {
        FormatTree document;
        FormatNode& node = *TreeSurgery::AddChild(document, nullptr, c.label, false);
        TreeSurgery::SetDescription(document, &node, c.description);
        EXPECT_EQ(NodeSearch(c.text).Matches(node), c.found) << c.text << " in " << c.label << " / " << c.description;
    }
}

TEST(NodeSearchQuery, MatchCaseAndWholeWordNarrowTheTextSearch) {
    const std::tuple<const char*, const char*, SearchOptions, bool> cases[] = {
        {"lot", "LOT ID", {true, false}, false},          // the case must match
        {"LOT", "a LOT ID", {true, false}, true},         // the exact case
        {"lot", "PILOT ID", {false, true}, false},        // inside a longer word
        {"lot", "PILOT lot_id LOT", {false, true}, true}, // the last one stands alone
        {"id", "\xEB\x86\x92id", {false, true}, false},   // a letter of another script too
        {"[9", "<A[9]>", {false, true}, true},            // its own bracket is no word end
        {"ID", "lot ID", {true, true}, true},
    };
    for (const auto& [text, description, options, found] : cases) {
        FormatTree document;
        FormatNode& node = *TreeSurgery::AddChild(document, nullptr, "<A>", false);
        TreeSurgery::SetDescription(document, &node, description);
        EXPECT_EQ(NodeSearch(text, options).Matches(node), found) << text << " in " << description;
    }
}

TEST_F(NodeSearchTest, MessageLabelFindsEachDefinitionInOrderWithAndWithoutReply) {
    for (const char* text : {"S6F11", "s6f11", "S6F11W", "6 11", "S6 F11"}) {
        EXPECT_EQ(Cycle(text, nullptr, true),
                  (std::vector<FormatNode*>{s6f11, again, s6f11, again, s6f11, again, s6f11, again, s6f11, again}))
            << text;
    }
    // From an item the next definition is the next message, and the item's
    // own message comes round last.
    const NodeSearch search("S6F11");
    EXPECT_EQ(search.FindNext(tree.GetRootNode(), lotId).node, again);
    const SearchResult wrapped = search.FindNext(tree.GetRootNode(), ids);
    EXPECT_EQ(wrapped.node, s6f11);
    EXPECT_TRUE(wrapped.wrapped);
    // The label form never finds an item, even one whose text holds it.
    TreeSurgery::SetDescription(tree, dataId, "S6F11");
    EXPECT_FALSE(search.Matches(*dataId));
    EXPECT_EQ(NodeSearch("S9F9").FindNext(tree.GetRootNode(), s1f1).node, nullptr);
}

TEST_F(NodeSearchTest, TextFindsLabelsAndDescriptionsIgnoringCaseAcrossCollapsedLists) {
    // "LOT ID" lies in a description under a collapsed list.
    SearchResult result = NodeSearch("LOT ID").FindNext(tree.GetRootNode(), s1f1);
    EXPECT_EQ(result.node, lotId);
    EXPECT_FALSE(result.wrapped);
    // "<U4" is found in labels, in document order.
    EXPECT_EQ(Cycle("<u4", s1f1, true),
              (std::vector<FormatNode*>{dataId, ids, dataId, ids, dataId, ids, dataId, ids, dataId, ids}));
    // A list relabelled with its count keeps its description in the field
    // only; it is found all the same.
    TreeSurgery::SetDescription(tree, list, "MDLN block");
    EXPECT_EQ(NodeSearch("mdln").FindNext(tree.GetRootNode(), nullptr).node, list);
    // Messages by their descriptions, mixed case on either side.
    EXPECT_EQ(Cycle("event REPORT", nullptr, true).front(), s6f11);
    EXPECT_EQ(Cycle("event REPORT", s6f11, true).front(), again);
    // Bytes beyond ASCII compare as they are.
    TreeSurgery::SetDescription(tree, ids, "\xEB\x86\x92\xEC\x9D\x80 id");
    EXPECT_EQ(NodeSearch("\xEB\x86\x92").FindNext(tree.GetRootNode(), nullptr).node, ids);
}

TEST_F(NodeSearchTest, WrapsAroundAndReportsIt) {
    const NodeSearch search("DATAID");
    SearchResult result = search.FindNext(tree.GetRootNode(), s2f41);
    EXPECT_EQ(result.node, dataId);
    EXPECT_TRUE(result.wrapped);
    // The only match is the current node: found again after a full round.
    result = search.FindNext(tree.GetRootNode(), dataId);
    EXPECT_EQ(result.node, dataId);
    EXPECT_TRUE(result.wrapped);
    result = search.FindPrevious(tree.GetRootNode(), dataId);
    EXPECT_EQ(result.node, dataId);
    EXPECT_TRUE(result.wrapped);
    // With no current node nothing is passed over.
    result = search.FindNext(tree.GetRootNode(), nullptr);
    EXPECT_EQ(result.node, dataId);
    EXPECT_FALSE(result.wrapped);
}

TEST_F(NodeSearchTest, FindPreviousRunsBackwards) {
    EXPECT_EQ(Cycle("<u4", ids, false),
              (std::vector<FormatNode*>{dataId, ids, dataId, ids, dataId, ids, dataId, ids, dataId, ids}));
    SearchResult result = NodeSearch("<U4").FindPrevious(tree.GetRootNode(), lotId);
    EXPECT_EQ(result.node, dataId);
    EXPECT_FALSE(result.wrapped);
    result = NodeSearch("<U4").FindPrevious(tree.GetRootNode(), list);
    EXPECT_EQ(result.node, ids);
    EXPECT_TRUE(result.wrapped);
    // A message comes before its items: from an item, its own message is the
    // previous definition; from the message, the one before.
    EXPECT_EQ(NodeSearch("S6F11").FindPrevious(tree.GetRootNode(), ids).node, again);
    result = NodeSearch("S6F11").FindPrevious(tree.GetRootNode(), again);
    EXPECT_EQ(result.node, s6f11);
    EXPECT_FALSE(result.wrapped);
    result = NodeSearch("S6F11").FindPrevious(tree.GetRootNode(), s6f11);
    EXPECT_EQ(result.node, again);
    EXPECT_TRUE(result.wrapped);
    // With no current node the search starts at the end.
    result = NodeSearch("S6F11").FindPrevious(tree.GetRootNode(), nullptr);
    EXPECT_EQ(result.node, again);
    EXPECT_FALSE(result.wrapped);
}

TEST_F(NodeSearchTest, NothingFoundInAnEmptyOrUnmatchedDocument) {
    for (const char* text : {"", "NOWHERE", "S127F255"}) {
        const NodeSearch search(text);
        EXPECT_EQ(search.FindNext(tree.GetRootNode(), s6f11).node, nullptr) << text;
        EXPECT_EQ(search.FindPrevious(tree.GetRootNode(), s6f11).node, nullptr) << text;
    }
    FormatTree empty;
    EXPECT_EQ(NodeSearch("S1F1").FindNext(empty.GetRootNode(), nullptr).node, nullptr);
    EXPECT_EQ(NodeSearch("x").FindPrevious(empty.GetRootNode(), nullptr).node, nullptr);
}

TEST(NodeSearchLongDocument, WalksLongChainsAndDeepNestingWithoutRecursion) {
    // Many messages and one very deep list: a recursive walk would exhaust
    // the stack.
    FormatTree tree;
    constexpr int MESSAGES = 20'000;
    constexpr int DEPTH = 100'000;
    FormatNode* last = TreeSurgery::AddChild(tree, nullptr, MakeMessageLabel(1, 1, false), false);
    TreeSurgery::MakeMessage(tree, last);
    FormatNode* deepMessage = last;
    FormatNode* parent = deepMessage;
    for (int i = 0; i < DEPTH; ++i) {
        parent = TreeSurgery::AddChild(tree, parent, ListLabel(0), false);
        TreeSurgery::SetItemFormat(tree, parent, LIST, parent->Count());
    }
    TreeSurgery::SetDescription(tree, parent, "bottom");
    for (int i = 1; i < MESSAGES; ++i) {
        last = TreeSurgery::AddSibling(tree, last, MakeMessageLabel(2, i % 200, false), false);
        TreeSurgery::MakeMessage(tree, last);
    }
    TreeSurgery::SetDescription(tree, last, "the end");
    EXPECT_EQ(NodeSearch("THE END").FindNext(tree.GetRootNode(), deepMessage).node, last);
    EXPECT_EQ(NodeSearch("BOTTOM").FindPrevious(tree.GetRootNode(), last).node, parent);
    const SearchResult result = NodeSearch("BOTTOM").FindNext(tree.GetRootNode(), last);
    EXPECT_EQ(result.node, parent);
    EXPECT_TRUE(result.wrapped);
}

} // namespace
} // namespace tqf
