// Undo and redo of every editing operation, the saved state, and the
// history's bounds.
#include "DeferredListLabels.h"
#include "EditTestSupport.h"
#include "Labels.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

namespace tqf {
namespace {

using test::Dump;

class EditHistoryTest : public ::testing::Test {
protected:
    FormatNode* Message(const char* stream, const char* function) {
        return tree.CreateMessage({stream, function, false, ""}).node;
    }
    FormatNode* Item(FormatNode* parent, int format, const char* count = "1") {
        return tree.AddItem(parent, {format, count, false, ""}).node;
    }

    test::Listener listener;
    FormatTree tree{&listener};
};

// Each command once on the same document: undo gives back the document before
// it exactly, redo the one after it, and the node to show is the right one.
TEST_F(EditHistoryTest, EachCommandIsOneStepBothWays) {
    FormatNode* m1 = Message("1", "1");
    FormatNode* m2 = Message("1", "2");
    FormatNode* list = Item(m1, LIST);
    FormatNode* a = Item(list, UINT1);
    FormatNode* b = Item(list, ASCII, "10");
    // A label the relabelling would not give back by itself.
    TreeSurgery::SetLabel(tree, list, "<L[2]  kept as it was>");

    struct Case {
        const char* name;
        std::function<EditResult()> edit;
        FormatNode* shownAfterUndo;
    };
    const std::vector<Case> cases = {
        {"create message",
         [&] {
             return tree.CreateMessage({"1", "9", true, "x"});
         },
         m2},
        {"update message",
         [&] {
             return tree.UpdateMessage(b, {"7", "7", false, "d"});
         },
         m1},
        {"delete message", [&] { return tree.DeleteMessage(m2); }, m2},
        {"add item",
         [&] {
             return tree.AddItem(list, {INT8, "3", false, "z"});
         },
         list},
        {"update item",
         [&] {
             return tree.UpdateItem(b, {BINARY, "4", false, "e"});
         },
         b},
        {"delete item", [&] { return tree.DeleteItem(a); }, a},
        {"add list item", [&] { return tree.AddListItem(list); }, list},
        {"add sub item",
         [&] {
             return tree.AddSubItem(list, {FLOAT4, "n", true, ""});
         },
         list},
        {"move up", [&] { return tree.MoveUp(b); }, b},
        {"move down", [&] { return tree.MoveDown(m1); }, m1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = Dump(tree);
        ASSERT_TRUE(c.edit().Done());
        const std::string after = Dump(tree);
        ASSERT_NE(before, after);
        const std::optional<FormatNode*> undone = tree.Undo();
        ASSERT_TRUE(undone.has_value());
        EXPECT_EQ(Dump(tree), before);
        EXPECT_EQ(*undone, c.shownAfterUndo);
        ASSERT_TRUE(tree.Redo().has_value());
        EXPECT_EQ(Dump(tree), after);
        ASSERT_TRUE(tree.Undo().has_value());
        EXPECT_EQ(Dump(tree), before);
    }
}

TEST_F(EditHistoryTest, ADeletedMessageComesBackItselfWithItsItems) {
    FormatNode* m = Message("1", "1");
    FormatNode* list = Item(m, LIST);
    FormatNode* leaf = Item(list, UINT4);
    ASSERT_TRUE(tree.DeleteMessage(leaf).Done());
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), nullptr);
    EXPECT_EQ(listener.deleted.back(), m);
    EXPECT_EQ(tree.Undo(), std::optional<FormatNode*>(m));
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), m);
    EXPECT_EQ(m->FirstChild(), list);
    EXPECT_EQ(list->FirstChild(), leaf);
    EXPECT_EQ(listener.added.back(), m);
}

TEST_F(EditHistoryTest, UndoingTheOnlyMessageLeavesNothingToShow) {
    Message("1", "1");
    EXPECT_EQ(tree.Undo(), std::optional<FormatNode*>(nullptr));
    EXPECT_FALSE(tree.Undo().has_value());
    EXPECT_FALSE(tree.CanUndo());
    EXPECT_TRUE(tree.CanRedo());
}

TEST_F(EditHistoryTest, ANewEditDropsWhatCouldBeRedone) {
    FormatNode* m = Message("1", "1");
    Item(m, LIST);
    ASSERT_TRUE(tree.Undo().has_value());
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 2u);
    Message("2", "2");
    EXPECT_FALSE(tree.CanRedo());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 1u);
}

TEST_F(EditHistoryTest, SavedStateIsReachedOnlyByUndoAndRedo) {
    Message("1", "1");
    tree.MarkSaved();
    EXPECT_TRUE(tree.AtSavedState());
    FormatNode* m = Message("1", "2");
    EXPECT_FALSE(tree.AtSavedState());
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_TRUE(tree.AtSavedState());
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_FALSE(tree.AtSavedState());
    ASSERT_TRUE(tree.Redo().has_value());
    EXPECT_TRUE(tree.AtSavedState());
    (void)m;
    // Another edit after the saved state was undone: it cannot come back.
    ASSERT_TRUE(tree.Undo().has_value());
    Message("3", "3");
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_FALSE(tree.AtSavedState());
}

TEST_F(EditHistoryTest, ChangesBesideTheHistoryDropIt) {
    FormatNode* m = Message("1", "1");
    tree.MarkSaved();
    TreeSurgery::AppendSubNode(tree, m, "<L[0]>");
    EXPECT_FALSE(tree.CanUndo());
    EXPECT_FALSE(tree.AtSavedState());
    Message("2", "2");
    TreeSurgery::DeleteNode(tree, tree.GetRootNode(), false);
    EXPECT_FALSE(tree.CanUndo());
}

// Messages built into a cleared document, as a read builds them, take the
// place of what the clearing took out: undo and redo swap the two whole, and
// what a read given up built goes without touching the history.
TEST_F(EditHistoryTest, ABuildAfterAClearingTakesThePlaceOfWhatItTookOut) {
    Item(Message("1", "1"), LIST);
    Message("2", "2");
    const std::string before = Dump(tree);
    ASSERT_TRUE(tree.ClearMessages().node != nullptr);
    const auto build = [&](const char* label) {
        FormatNode* built = tree.NewDetachedMessage();
        TreeSurgery::SetLabel(tree, built, label);
        tree.LinkBuiltMessage(built, nullptr);
    };
    const TextArena::Mark mark = tree.Texts().Here();
    build("S9F9");
    build("S8F8");
    ASSERT_TRUE(tree.EndsWithClearing());
    const std::string read = Dump(tree);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(tree.Undo().has_value());
        EXPECT_EQ(Dump(tree), before);
        ASSERT_TRUE(tree.Redo().has_value());
        EXPECT_EQ(Dump(tree), read);
    }
    tree.DiscardUnrecorded(mark);
    EXPECT_EQ(tree.GetRootNode()->Count(), 0);
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_EQ(Dump(tree), before);
    // Without a clearing last, a build drops the history as before.
    build("S7F7");
    EXPECT_FALSE(tree.CanUndo());
}

// Messages built while adding are one step that undo takes out whole and
// redo puts back; an addition given up leaves document and history as they were.
TEST_F(EditHistoryTest, MessagesAddedByAReadAreOneStep) {
    FormatNode* last = Message("1", "1");
    tree.MarkSaved();
    const std::string before = Dump(tree);
    const auto add = [&](const char* label) {
        FormatNode* built = tree.NewDetachedMessage();
        TreeSurgery::SetLabel(tree, built, label);
        tree.LinkBuiltMessage(built, last);
        last = built;
    };
    tree.BeginAdding();
    EXPECT_FALSE(tree.EndAdding().Done()) << "nothing added";
    tree.BeginAdding();
    add("S9F9");
    add("S8F8");
    EXPECT_EQ(tree.EndAdding().node->Label().str(), "S9F9");
    const std::string after = Dump(tree);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(tree.Undo().has_value());
        EXPECT_EQ(Dump(tree), before);
        EXPECT_TRUE(tree.AtSavedState());
        ASSERT_TRUE(tree.Redo().has_value());
        EXPECT_EQ(Dump(tree), after);
    }
    ASSERT_TRUE(tree.Undo().has_value());
    last = Message("2", "2"); // frees the added messages, out of the tree
    const std::string created = Dump(tree);
    const TextArena::Mark mark = tree.Texts().Here();
    tree.BeginAdding();
    add("S7F7");
    tree.DiscardAdding(mark);
    EXPECT_EQ(Dump(tree), created);
    EXPECT_TRUE(tree.Undo().has_value()) << "the history stays";
}

// The file's library stays so through edits, undo, redo and a new branch,
// until a clearing lies between; dropped or forgotten steps keep that.
TEST(LibraryOfFileTest, OnlyAClearingBetweenTheMarkAndNowMakesAnotherLibrary) {
    EditHistory history(nullptr);
    const auto push = [&](EditStep::Kind kind) {
        EditStep step;
        step.kind = kind;
        history.Push(step);
    };
    // e: edit, c: clear, u: undo, r: redo, m: mark, f: forget the history.
    const std::map<char, std::function<void()>> act{{'e', [&] { push(EditStep::Kind::CHANGE); }},
                                                    {'c', [&] { push(EditStep::Kind::CLEAR); }},
                                                    {'u', [&] { history.Undone(); }},
                                                    {'r', [&] { history.Redone(); }},
                                                    {'m', [&] { history.MarkLibraryOfFile(); }},
                                                    {'f', [&] { history.Clear(); }}};
    const std::string actions = "emeceuuruecfemcufc";
    const std::string ofFile = "111000101100010110";
    for (std::size_t i = 0; i < actions.size(); ++i) {
        act.at(actions[i])();
        EXPECT_EQ(history.HoldsLibraryOfFile(), ofFile[i] == '1') << i;
    }
    for (std::size_t i = 0; i <= EditHistory::MAX_STEPS; ++i) {
        push(EditStep::Kind::CHANGE); // the clearing goes, but stays made
    }
    EXPECT_FALSE(history.HoldsLibraryOfFile());
}

TEST_F(EditHistoryTest, OldestStepsGoBeyondTheStepBound) {
    FormatNode* m = Message("1", "1");
    FormatNode* list = Item(m, LIST);
    FormatNode* leaf = Item(list, UINT4);
    for (std::size_t i = 0; i < EditHistory::MAX_STEPS + 5; ++i) {
        ASSERT_TRUE(tree.UpdateItem(leaf, {UINT4, i % 2 == 0 ? "2" : "3", false, ""}).Done());
    }
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), EditHistory::MAX_STEPS);
    while (tree.Undo().has_value()) {
    }
    EXPECT_EQ(tree.GetRootNode()->Count(), 1) << "the message and its items were made by dropped steps";
    EXPECT_EQ(leaf->Label(), "<U4[2]>") << "the oldest change still held";
}

TEST_F(EditHistoryTest, OldestStepsGoBeyondTheByteBoundButTheNewestStays) {
    // What a step keeps is the nodes it holds out of the tree; their texts
    // stay in the document's arena whatever the history drops. Messages with
    // a list of `items` sub-items each are built unrecorded, then deleted.
    const auto messageWithList = [this](std::size_t items) {
        FormatNode* m = Message("1", "1");
        FormatNode* list = Item(m, LIST);
        const DeferredListLabels deferred(tree);
        FormatNode* last = TreeSurgery::AddChild(tree, list, "<U1>", false);
        for (std::size_t i = 1; i < items; ++i) {
            last = TreeSurgery::AddSibling(tree, last, "<U1>", false);
        }
        return std::pair{m, list};
    };
    const std::size_t third = EditHistory::MAX_BYTES / 3 / sizeof(FormatNode);
    std::vector<FormatNode*> messages;
    for (int i = 0; i < 4; ++i) {
        messages.push_back(messageWithList(third).first);
    }
    const auto [large, largeList] = messageWithList(EditHistory::MAX_BYTES / sizeof(FormatNode) + 1);
    for (FormatNode* m : messages) {
        ASSERT_TRUE(tree.DeleteMessage(m).Done());
    }
    EXPECT_LE(TreeSurgery::History(tree).Bytes(), EditHistory::MAX_BYTES);
    EXPECT_GE(TreeSurgery::History(tree).Bytes(), 2 * third * sizeof(FormatNode));
    EXPECT_LT(TreeSurgery::History(tree).Steps(), 4u);
    // A delete larger than the bound is still kept, alone.
    ASSERT_TRUE(tree.DeleteMessage(large).Done());
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), 1u);
    EXPECT_GT(TreeSurgery::History(tree).Bytes(), EditHistory::MAX_BYTES);
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_EQ(static_cast<std::size_t>(FormatTree::CountListChildren(largeList)),
              EditHistory::MAX_BYTES / sizeof(FormatNode) + 1);
}

// Random commands with random undo and redo: taking back every step gives the
// first document, making them again the last, and the history holds no
// reference that a dropped branch freed (the sanitizer build checks that).
TEST_F(EditHistoryTest, RandomEditsUndoAndRedoToTheirEnds) {
    for (const unsigned seed : {1U, 2U, 3U, 4U}) {
        FormatTree t;
        std::mt19937 random(seed);
        const auto all = [&t] {
            std::vector<FormatNode*> nodes;
            std::vector<FormatNode*> pending{t.GetRootNode()->FirstChild()};
            while (!pending.empty()) {
                FormatNode* n = pending.back();
                pending.pop_back();
                for (; n != nullptr; n = n->NextSibling()) {
                    nodes.push_back(n);
                    pending.push_back(n->FirstChild());
                }
            }
            return nodes;
        };
        const auto pick = [&](const std::vector<FormatNode*>& nodes) {
            return nodes.empty() ? nullptr : nodes[random() % nodes.size()];
        };
        const std::string first = Dump(t);
        for (int step = 0; step < 400; ++step) {
            const std::vector<FormatNode*> nodes = all();
            FormatNode* node = pick(nodes);
            const std::string n = std::to_string(random() % 6);
            const int format = static_cast<int>(random() % 18);
            switch (random() % 10) {
            case 0:
                (void)t.CreateMessage({std::to_string(1 + random() % 3), n, random() % 2 == 0, "m"});
                break;
            case 1:
                (void)t.AddItem(node, {format, n, random() % 4 == 0, "d"});
                break;
            case 2:
                (void)t.UpdateItem(node, {format, n, random() % 4 == 0, "u"});
                break;
            case 3:
                (void)(random() % 2 == 0 ? t.DeleteItem(node) : t.DeleteMessage(node));
                break;
            case 4:
                (void)(random() % 2 == 0 ? t.MoveUp(node) : t.MoveDown(node));
                break;
            case 5:
                (void)(random() % 2 == 0 ? t.AddListItem(node) : t.AddSubItem(node, {format, n, false, "s"}));
                break;
            case 6:
                (void)t.UpdateMessage(node, {n, n, false, "again"});
                break;
            case 7:
            case 8:
                (void)t.Undo();
                break;
            default:
                (void)t.Redo();
                break;
            }
        }
        while (t.Redo().has_value()) {
        }
        const std::string last = Dump(t);
        while (t.Undo().has_value()) {
        }
        EXPECT_EQ(Dump(t), first) << "seed " << seed;
        while (t.Redo().has_value()) {
        }
        EXPECT_EQ(Dump(t), last) << "seed " << seed;
    }
}

} // namespace
} // namespace tqf
