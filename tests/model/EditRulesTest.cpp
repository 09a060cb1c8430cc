// The editing operations' rules without any window: the order of the checks,
// each refusal's text, and what a refusal leaves unchanged.
#include "EditTestSupport.h"

#include <gtest/gtest.h>

namespace tqf {
namespace {

using test::Dump;
using test::Listener;

class EditRulesTest : public ::testing::Test {
protected:
    FormatNode* Message(const char* stream, const char* function) {
        const EditResult result = tree.CreateMessage({stream, function, false, ""});
        EXPECT_TRUE(result.Done()) << result.refusal;
        return result.node;
    }

    FormatNode* Item(FormatNode* parent, int format, const char* count = "1", bool open = false,
                     const char* description = "") {
        const EditResult result = tree.AddItem(parent, {format, count, open, description});
        EXPECT_TRUE(result.Done()) << result.refusal;
        return result.node;
    }

    // Expects a refusal with the text given and no change of the document.
    template <class Edit> void ExpectRefused(const char* text, Edit edit) {
        const std::string before = Dump(tree);
        const EditResult result = edit();
        ASSERT_FALSE(result.Done());
        EXPECT_STREQ(result.refusal, text);
        EXPECT_EQ(Dump(tree), before);
    }

    Listener listener;
    FormatTree tree{&listener};
};

TEST_F(EditRulesTest, MessageNumbersAreCheckedStreamFirst) {
    ExpectRefused(MSG_INVALID_STREAM, [&] { return tree.CreateMessage({"0", "300", false, ""}); });
    ExpectRefused(MSG_INVALID_STREAM, [&] { return tree.CreateMessage({"128", "1", false, ""}); });
    ExpectRefused(MSG_INVALID_STREAM, [&] { return tree.CreateMessage({"", "1", false, ""}); });
    ExpectRefused(MSG_INVALID_STREAM, [&] { return tree.CreateMessage({"-1", "1", false, ""}); });
    ExpectRefused(MSG_INVALID_FUNCTION, [&] { return tree.CreateMessage({"1", "256", false, ""}); });
    const EditResult edge = tree.CreateMessage({"127", "255", true, "  edge  "});
    ASSERT_TRUE(edge.Done());
    EXPECT_EQ(edge.node->Label(), "S127F255W");
    EXPECT_EQ(edge.node->Description(), "edge");
    EXPECT_TRUE(tree.CreateMessage({"1", "0", false, ""}).Done());
}

TEST_F(EditRulesTest, CreatedMessagesFindTheirPlaceByEachNumberOnItsOwn) {
    Message("1", "1");
    Message("1", "3");
    FormatNode* s2f1 = Message("2", "1");
    EXPECT_EQ(test::ChildLabels(tree.GetRootNode()), (std::vector<std::string>{"S1F1", "S2F1", "S1F3"}));
    ASSERT_TRUE(tree.MoveDown(s2f1).Done());
    Message("2", "2"); // after S1F1, since 3 is greater than 2
    Message("1", "1"); // duplicates follow their equals
    EXPECT_EQ(test::ChildLabels(tree.GetRootNode()),
              (std::vector<std::string>{"S1F1", "S1F1", "S2F2", "S1F3", "S2F1"}));
    FormatTree other;
    (void)other.CreateMessage({"5", "1", false, ""});
    (void)other.CreateMessage({"1", "1", false, ""}); // never before the first
    EXPECT_EQ(test::ChildLabels(other.GetRootNode()), (std::vector<std::string>{"S5F1", "S1F1"}));
    EXPECT_EQ(tree.GetRootNode()->Count(), 5);
}

TEST_F(EditRulesTest, UpdateMessageChecksAndKeepsPlaceAndItems) {
    ExpectRefused("", [&] { return tree.UpdateMessage(nullptr, {"1", "1", false, ""}); });
    FormatNode* m = Message("1", "1");
    FormatNode* list = Item(m, LIST);
    FormatNode* leaf = Item(list, UINT4);
    ExpectRefused(MSG_NO_MESSAGE_SELECTED, [&] { return tree.UpdateMessage(nullptr, {"1", "1", false, ""}); });
    ExpectRefused(MSG_INVALID_STREAM, [&] { return tree.UpdateMessage(leaf, {"0", "999", false, ""}); });
    ExpectRefused(MSG_INVALID_FUNCTION, [&] { return tree.UpdateMessage(leaf, {"9", "999", false, ""}); });
    const EditResult result = tree.UpdateMessage(leaf, {"9", "9", true, " d "});
    ASSERT_TRUE(result.Done());
    EXPECT_EQ(result.node, m);
    EXPECT_EQ(m->Label(), "S9F9W");
    EXPECT_EQ(m->Description(), "d");
    EXPECT_EQ(m->FirstChild(), list);
}

TEST_F(EditRulesTest, AddItemChecksInItsOrder) {
    ExpectRefused(MSG_NO_NODE_SELECTED, [&] { return tree.AddItem(nullptr, {ASCII, "", false, ""}); });
    FormatNode* m = Message("1", "1");
    ExpectRefused(MSG_NO_ITEM_SELECTED, [&] { return tree.AddItem(m, {NONE, "1", false, ""}); });
    ExpectRefused(MSG_NO_ITEM_SELECTED, [&] { return tree.AddItem(m, {1, "1", false, ""}); });
    ExpectRefused(MSG_NO_ITEM_SELECTED, [&] { return tree.AddItem(m, {16, "1", false, ""}); });
    const EditResult ascii = tree.AddItem(m, {ASCII, "0", false, ""});
    EXPECT_STREQ(ascii.refusal, MSG_ASCII_ZERO_LENGTH);
    EXPECT_TRUE(ascii.focusCount);
    EXPECT_STREQ(tree.AddItem(m, {ASCII, "", false, ""}).refusal, MSG_ASCII_ZERO_LENGTH);

    FormatNode* open = Item(m, LIST, "5", true);
    EXPECT_EQ(open->Label(), "<L[n]>");
    EXPECT_EQ(open->Count(), OPEN_COUNT);
    const EditResult second = tree.AddItem(m, {LIST, "", false, ""});
    EXPECT_STREQ(second.refusal, MSG_CANNOT_ADD_SUB_ITEM);
    EXPECT_TRUE(second.listCountPreset) << "the preset comes before this check";
    Item(open, ASCII, "00");
    ExpectRefused(MSG_UNFIXED_LIST_ONE_ITEM, [&] { return tree.AddItem(open, {BOOLEAN, "1", false, ""}); });

    FormatNode* leaf = open->FirstChild();
    EXPECT_EQ(leaf->Label(), "<A>");
    EXPECT_EQ(leaf->Count(), 0);
    const EditResult notList = tree.AddItem(leaf, {UINT4, "1", false, ""});
    EXPECT_STREQ(notList.refusal, MSG_NOT_A_LIST_ITEM);
    EXPECT_TRUE(notList.dropsCurrent);
}

TEST_F(EditRulesTest, AddedItemsGetTheirLabelsAndRelabelTheirList) {
    FormatNode* m = Message("1", "1");
    FormatNode* list = Item(m, LIST, "7");
    EXPECT_EQ(list->Count(), 0) << "a new list is empty whatever the count field said";
    EXPECT_EQ(Item(list, ASCII, "100")->Label(), "<A[100]>");
    EXPECT_EQ(Item(list, BOOLEAN, "1", false, "flag")->Label(), "<BOOLEAN  flag>");
    EXPECT_EQ(list->Label(), "<L[2]>");
    EXPECT_EQ(list->Count(), 2);
}

TEST_F(EditRulesTest, UpdateItemChecksInItsOrder) {
    FormatNode* m = Message("1", "1");
    ExpectRefused(MSG_NO_ITEM_SELECTED, [&] { return tree.UpdateItem(nullptr, {LIST, "", false, ""}); });
    ExpectRefused(MSG_NO_ITEM_SELECTED, [&] { return tree.UpdateItem(m, {LIST, "", false, ""}); });
    FormatNode* list = Item(m, LIST);
    Item(list, UINT1);
    Item(list, UINT1);
    ExpectRefused(MSG_NO_ITEM_IN_LIST, [&] { return tree.UpdateItem(list, {16, "", false, ""}); });
    ExpectRefused(MSG_SUB_ITEM_EXISTS, [&] { return tree.UpdateItem(list, {UINT1, "1", false, ""}); });
    ExpectRefused(MSG_NON_FIXED_LIST_SINGLE, [&] { return tree.UpdateItem(list, {LIST, "n", true, ""}); });
    FormatNode* leaf = list->FirstChild();
    const EditResult zero = tree.UpdateItem(leaf, {ASCII, "0", false, ""});
    EXPECT_STREQ(zero.refusal, MSG_ASCII_ZERO_LENGTH);
    EXPECT_TRUE(zero.focusCount);

    // A fixed list states its real number of sub-items, whatever was typed,
    // and has no description.
    ASSERT_TRUE(tree.UpdateItem(list, {LIST, "9", false, "text"}).Done());
    EXPECT_EQ(list->Label(), "<L[2]>");
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Description(), "");
    ASSERT_TRUE(tree.DeleteItem(leaf).Done());
    ASSERT_TRUE(tree.UpdateItem(list, {LIST, "n", true, ""}).Done());
    EXPECT_EQ(list->Label(), "<L[n]>");
    EXPECT_EQ(list->Count(), OPEN_COUNT);
    FormatNode* only = list->FirstChild();
    ASSERT_TRUE(tree.UpdateItem(only, {LIST, "0", false, ""}).Done()) << "the parent is never checked";
    EXPECT_EQ(only->IsList(), 1);
}

TEST_F(EditRulesTest, DeleteAndMoveRefusals) {
    ExpectRefused(MSG_NO_ITEM_SELECTED, [&] { return tree.DeleteItem(nullptr); });
    ExpectRefused(MSG_NO_MESSAGE_SELECTED, [&] { return tree.DeleteMessage(nullptr); });
    ExpectRefused(MSG_NO_NODE_SELECTED, [&] { return tree.MoveUp(nullptr); });
    ExpectRefused(MSG_NO_NODE_SELECTED, [&] { return tree.MoveDown(nullptr); });
    FormatNode* first = Message("1", "1");
    FormatNode* second = Message("1", "2");
    FormatNode* third = Message("1", "3");
    ExpectRefused(MSG_NOT_AN_ITEM, [&] { return tree.DeleteItem(first); });
    ExpectRefused(MSG_CANNOT_MOVE_UP, [&] { return tree.MoveUp(first); });
    ExpectRefused(MSG_CANNOT_MOVE_DOWN, [&] { return tree.MoveDown(third); });
    ASSERT_TRUE(tree.MoveUp(third).Done());
    EXPECT_EQ(test::ChildLabels(tree.GetRootNode()), (std::vector<std::string>{"S1F1", "S1F3", "S1F2"}));
    ASSERT_TRUE(tree.MoveDown(first).Done());
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), third);
    FormatNode* list = Item(second, LIST);
    Item(list, UINT1);
    ASSERT_TRUE(tree.DeleteMessage(list->FirstChild()).Done()) << "an item's message goes";
    EXPECT_EQ(tree.GetRootNode()->Count(), 2);
}

TEST_F(EditRulesTest, TreeMenuAdditions) {
    ExpectRefused(MSG_NOT_SELECTED, [&] { return tree.AddListItem(nullptr); });
    ExpectRefused(MSG_NOT_SELECTED, [&] { return tree.AddSubItem(nullptr, {UINT1, "1", false, ""}); });
    FormatNode* m = Message("1", "1");
    FormatNode* list = tree.AddListItem(m).node;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Label(), "<L[0]>");
    ExpectRefused(MSG_CANNOT_ADD_NEW_ITEM, [&] { return tree.AddListItem(m); });
    ExpectRefused(MSG_CANNOT_ADD_NEW_ITEM, [&] { return tree.AddSubItem(m, {UINT1, "1", false, ""}); });

    // An open list takes any number of empty lists from "Add List Item", but
    // only one item from "Add Sub Item".
    ASSERT_TRUE(tree.UpdateItem(list, {LIST, "n", true, ""}).Done());
    ASSERT_TRUE(tree.AddListItem(list).Done());
    ASSERT_TRUE(tree.AddListItem(list).Done());
    EXPECT_EQ(list->Label(), "<L[n]>");
    ExpectRefused(MSG_ONLY_ONE_ITEM, [&] { return tree.AddSubItem(list, {UINT1, "1", false, ""}); });

    FormatNode* inner = list->FirstChild();
    ExpectRefused("", [&] { return tree.AddSubItem(inner, {NONE, "1", false, ""}); });
    const EditResult open = tree.AddSubItem(inner, {INT2, "5", true, ""});
    ASSERT_TRUE(open.Done());
    EXPECT_EQ(open.node->Label(), "<I2[n]>");
    EXPECT_EQ(open.node->Count(), OPEN_COUNT);
    const EditResult named = tree.AddSubItem(inner, {ASCII, "1", false, "name"});
    ASSERT_TRUE(named.Done());
    EXPECT_EQ(named.node->Label(), "<A  name>");
    ExpectRefused(MSG_NOT_A_LIST_ITEM, [&] { return tree.AddSubItem(named.node, {UINT1, "1", false, ""}); });
    const EditResult emptyList = tree.AddSubItem(inner, {LIST, "2", false, ""});
    ASSERT_TRUE(emptyList.Done());
    EXPECT_EQ(emptyList.node->Label(), "<L[0]>") << "a new list holds nothing, whatever count it was given";
    EXPECT_EQ(emptyList.node->Count(), 0);
    ExpectRefused(MSG_NOT_A_LIST_ITEM, [&] { return tree.AddListItem(named.node); });
    EXPECT_TRUE(listener.messages.empty()) << "editing operations show nothing themselves";
}

TEST_F(EditRulesTest, EveryChangeIsReportedToTheListener) {
    FormatNode* m = Message("1", "1");
    EXPECT_EQ(listener.added, (std::vector<const FormatNode*>{m}));
    FormatNode* list = Item(m, LIST);
    FormatNode* a = Item(list, UINT1);
    FormatNode* b = Item(list, UINT2);
    listener.changed.clear();
    ASSERT_TRUE(tree.UpdateItem(a, {UINT4, "2", false, ""}).Done());
    EXPECT_EQ(listener.changed, (std::vector<const FormatNode*>{a}));
    ASSERT_TRUE(tree.MoveDown(a).Done());
    EXPECT_EQ(listener.moved.size(), 1u);
    ASSERT_TRUE(tree.DeleteItem(b).Done());
    EXPECT_EQ(listener.deleted, (std::vector<const FormatNode*>{b}));
}

} // namespace
} // namespace tqf
