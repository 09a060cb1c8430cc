#include "FormatTree.h"
#include "DeferredListLabels.h"
#include "Labels.h"
#include "TreeSurgery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqf {
namespace {

// Records what the tree says and holds the four outside references that must
// never outlive their nodes.
class RecordingOwner : public FormatTreeListener {
public:
    void ShowTreeMessage(std::string_view text) override { messages.emplace_back(text); }
    void RequestRepaint() override { ++repaints; }
    void NodesAboutToBeDeleted(const FormatNode& subtreeRoot) override {
        for (FormatNode** ref : {&selectedNode, &highlightedNode, &currentNode, &lastCreatedNode}) {
            if (*ref != nullptr && FormatTree::IsWithin(*ref, &subtreeRoot)) {
                *ref = nullptr;
            }
        }
    }

    std::vector<std::string> messages;
    int repaints = 0;
    FormatNode* selectedNode = nullptr;
    FormatNode* highlightedNode = nullptr;
    FormatNode* currentNode = nullptr;
    FormatNode* lastCreatedNode = nullptr;
};

class FormatTreeTest : public ::testing::Test {
protected:
    FormatNode* AddMessage(const std::string& label) {
        FormatNode* root = tree.GetRootNode();
        FormatNode* node = nullptr;
        if (root->FirstChild() == nullptr) {
            node = TreeSurgery::AddChild(tree, nullptr, label, false);
        } else {
            FormatNode* last = root->FirstChild();
            while (last->NextSibling() != nullptr) {
                last = last->NextSibling();
            }
            node = TreeSurgery::AddSibling(tree, last, label, false);
        }
        TreeSurgery::MakeMessage(tree, node);
        return node;
    }

    FormatNode* AddList(FormatNode* parent, bool open = false) {
        FormatNode* node = TreeSurgery::AppendSubNode(tree, parent, open ? "<L[n]>" : "<L[0]>");
        TreeSurgery::SetItemFormat(tree, node, LIST, open ? OPEN_COUNT : 0);
        return node;
    }

    FormatNode* AddScalar(FormatNode* parent, int format) {
        FormatNode* node = TreeSurgery::AppendSubNode(tree, parent, MakeItemLabel(format, 1, false, ""));
        if (node != nullptr) {
            TreeSurgery::SetItemFormat(tree, node, format, 1);
        }
        return node;
    }

    static std::vector<std::string> Labels(const FormatNode* parent) {
        std::vector<std::string> labels;
        for (const FormatNode* c = parent->FirstChild(); c != nullptr; c = c->NextSibling()) {
            labels.push_back(c->Label().str());
        }
        return labels;
    }

    RecordingOwner owner;
    FormatTree tree{&owner};
};

TEST_F(FormatTreeTest, NewNodesHaveTheirCreationValues) {
    FormatNode* node = TreeSurgery::AddChild(tree, nullptr, "S1F1", false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Label(), "S1F1");
    EXPECT_EQ(node->Description(), "");
    EXPECT_EQ(node->UsesTreeColor(), 1);
    EXPECT_EQ(node->IsExpanded(), 1);
    EXPECT_EQ(node->IsList(), 0);
    EXPECT_EQ(node->IsMessage(), 0);
    EXPECT_EQ(node->Count(), 0);
    EXPECT_EQ(node->Format(), NONE);
    EXPECT_EQ(node->Parent(), tree.GetRootNode());
    EXPECT_EQ(tree.GetRootNode()->Count(), 1);
    EXPECT_EQ(tree.GetRootNode()->Label(), "");
    EXPECT_EQ(owner.repaints, 0);
}

TEST_F(FormatTreeTest, AddChildGoesInFrontAndAddSiblingRightAfter) {
    FormatNode* a = TreeSurgery::AddChild(tree, nullptr, "S1F1", true);
    FormatNode* c = TreeSurgery::AddSibling(tree, a, "S1F3", true);
    TreeSurgery::AddSibling(tree, a, "S1F2", false);
    TreeSurgery::AddChild(tree, nullptr, "S1F0", false);
    EXPECT_EQ(Labels(tree.GetRootNode()), (std::vector<std::string>{"S1F0", "S1F1", "S1F2", "S1F3"}));
    EXPECT_EQ(tree.GetRootNode()->Count(), 4);
    EXPECT_EQ(c->NextSibling(), nullptr);
    EXPECT_EQ(owner.repaints, 2);
}

TEST_F(FormatTreeTest, AMessageHoldsOneItem) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* item = AddScalar(message, ASCII);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(message->Count(), 1);

    EXPECT_EQ(TreeSurgery::AddSibling(tree, item, "<A>", false), nullptr);
    EXPECT_EQ(owner.messages, (std::vector<std::string>{"Cannot add new sub item."}));
    EXPECT_EQ(message->Count(), 1);
    EXPECT_EQ(tree.CountListChildren(message), 0);
    EXPECT_EQ(item->NextSibling(), nullptr);
}

TEST_F(FormatTreeTest, OnlyListsTakeSubItems) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* item = AddScalar(message, ASCII);
    EXPECT_EQ(TreeSurgery::AddChild(tree, item, "<U4>", false), nullptr);
    EXPECT_EQ(owner.messages, (std::vector<std::string>{"It is not a list item."}));
    EXPECT_EQ(item->FirstChild(), nullptr);
    EXPECT_EQ(item->Count(), 1);
    EXPECT_EQ(item->Label(), "<A>");
}

TEST_F(FormatTreeTest, FixedListsAreCountedAndRelabelled) {
    FormatNode* message = AddMessage("S6F11W");
    FormatNode* list = AddList(message);
    TreeSurgery::SetLabel(tree, list, "<L[0]  header>");
    FormatNode* first = AddScalar(list, UINT4);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(list->Label(), "<L[1]>") << "a list's description leaves its label";
    FormatNode* second = AddScalar(list, UINT4);
    FormatNode* third = TreeSurgery::AddSibling(tree, second, "<A>", false);
    EXPECT_EQ(list->Count(), 3);
    EXPECT_EQ(list->Label(), "<L[3]>");
    EXPECT_EQ(tree.CountListChildren(list), 3);

    TreeSurgery::DeleteNode(tree, second, true);
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Label(), "<L[2]>");
    EXPECT_EQ(first->NextSibling(), third);
    TreeSurgery::DeleteNode(tree, first, true);
    TreeSurgery::DeleteNode(tree, third, true);
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->Label(), "<L[0]>");
    EXPECT_EQ(list->FirstChild(), nullptr);
}

TEST_F(FormatTreeTest, OpenListsKeepCountAndLabel) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* list = AddList(message, true);
    FormatNode* child = AddScalar(list, BINARY);
    FormatNode* second = AddScalar(list, BINARY); // the operations themselves do not limit open lists
    EXPECT_EQ(list->Count(), OPEN_COUNT);
    EXPECT_EQ(list->Label(), "<L[n]>");
    TreeSurgery::DeleteNode(tree, child, false);
    TreeSurgery::DeleteNode(tree, second, false);
    EXPECT_EQ(list->Count(), OPEN_COUNT);
    EXPECT_EQ(list->Label(), "<L[n]>");
}

TEST_F(FormatTreeTest, DeferredListLabelsAreSetOnceWithTheFinalCount) {
    FormatNode* message = AddMessage("S6F11W");
    FormatNode* outer = AddList(message);
    FormatNode* open = nullptr;
    FormatNode* inner = nullptr;
    {
        DeferredListLabels deferred(tree);
        AddScalar(outer, UINT4);
        inner = AddList(outer);
        open = AddList(outer, true);
        AddScalar(open, ASCII);
        {
            DeferredListLabels nested(tree);
            AddScalar(inner, UINT4);
            AddScalar(inner, UINT4);
        }
        AddScalar(outer, BINARY);
        // Counted at once, labelled only when the last deferral ends.
        EXPECT_EQ(outer->Count(), 4);
        EXPECT_EQ(outer->Label(), "<L[0]>");
        EXPECT_EQ(inner->Count(), 2);
        EXPECT_EQ(inner->Label(), "<L[0]>");
    }
    EXPECT_EQ(outer->Label(), "<L[4]>");
    EXPECT_EQ(inner->Label(), "<L[2]>");
    EXPECT_EQ(open->Count(), OPEN_COUNT);
    EXPECT_EQ(open->Label(), "<L[n]>");

    // After the deferral, lists are relabelled at once again.
    AddScalar(inner, UINT4);
    EXPECT_EQ(inner->Label(), "<L[3]>");
}

TEST_F(FormatTreeTest, ListsDeletedWhileTheirLabelsWaitAreLeftAlone) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* outer = AddList(message);
    {
        DeferredListLabels deferred(tree);
        FormatNode* doomed = AddList(outer);
        AddScalar(doomed, UINT4);
        AddScalar(outer, UINT4);
        // The held-back list goes; the end of the deferral must not touch it.
        TreeSurgery::DeleteNode(tree, doomed, false);
        EXPECT_EQ(outer->Count(), 1);
    }
    EXPECT_EQ(outer->Label(), "<L[1]>");
    {
        DeferredListLabels deferred(tree);
        AddScalar(AddList(outer), UINT4);
        TreeSurgery::DeleteNode(tree, message, false);
    }
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), nullptr);
}

TEST_F(FormatTreeTest, DeletingAMessageTakesItsItemsAndKeepsTheOrder) {
    FormatNode* a = AddMessage("S1F1");
    FormatNode* b = AddMessage("S1F2");
    FormatNode* c = AddMessage("S1F3");
    FormatNode* list = AddList(b);
    AddScalar(AddList(list), UINT1);
    TreeSurgery::DeleteNode(tree, b, true);
    EXPECT_EQ(tree.GetRootNode()->Count(), 2);
    EXPECT_EQ(a->NextSibling(), c);
    TreeSurgery::DeleteNode(tree, a, true);
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), c);
    EXPECT_EQ(tree.GetRootNode()->Count(), 1);
}

TEST_F(FormatTreeTest, CountListChildrenReadsTheRealChain) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* list = AddList(message);
    AddScalar(list, UINT1);
    AddScalar(list, UINT1);
    TreeSurgery::SetItemFormat(tree, list, list->Format(), 7); // the count is not what is counted
    EXPECT_EQ(FormatTree::CountListChildren(list), 2);
    EXPECT_EQ(FormatTree::CountListChildren(message), 0);
    EXPECT_EQ(FormatTree::CountListChildren(tree.GetRootNode()), 0);
    EXPECT_EQ(FormatTree::CountListChildren(nullptr), 0);
}

TEST_F(FormatTreeTest, PreviousSibling) {
    FormatNode* a = AddMessage("S1F1");
    FormatNode* b = AddMessage("S1F2");
    FormatNode* c = AddMessage("S1F3");
    EXPECT_EQ(TreeSurgery::PreviousSibling(a), nullptr);
    EXPECT_EQ(TreeSurgery::PreviousSibling(b), a);
    EXPECT_EQ(TreeSurgery::PreviousSibling(c), b);
    EXPECT_EQ(TreeSurgery::PreviousSibling(tree.GetRootNode()), nullptr);
}

TEST_F(FormatTreeTest, MutableHandsOutOnlyNodesInTheTree) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* list = AddList(message);
    FormatTree other;
    const FormatNode* foreign = TreeSurgery::AddChild(other, nullptr, "S2F2", false);
    for (const FormatNode* own : {tree.GetRootNode(), message, list}) {
        EXPECT_EQ(tree.Mutable(own), own);
    }
    EXPECT_EQ(tree.Mutable(nullptr), nullptr);
    EXPECT_EQ(tree.Mutable(foreign), nullptr);
}

TEST_F(FormatTreeTest, AppendSubNodeAddsAtTheEnd) {
    FormatNode* message = AddMessage("S1F1");
    FormatNode* list = AddList(message);
    AddScalar(list, UINT1);
    AddScalar(list, UINT2);
    AddScalar(list, UINT4);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"<U1>", "<U2>", "<U4>"}));
    EXPECT_EQ(TreeSurgery::AppendSubNode(tree, message, "<A>"), nullptr);
    EXPECT_EQ(owner.messages.back(), "Cannot add new sub item.");
}

TEST_F(FormatTreeTest, DeletedNodesLeaveNoOutsideReference) {
    FormatNode* a = AddMessage("S1F1");
    FormatNode* b = AddMessage("S1F2");
    FormatNode* list = AddList(a);
    FormatNode* inner = AddList(list);
    FormatNode* leaf = AddScalar(inner, UINT4);

    owner.selectedNode = leaf;
    owner.highlightedNode = inner;
    owner.currentNode = list;
    owner.lastCreatedNode = b;
    TreeSurgery::DeleteNode(tree, inner, true);
    EXPECT_EQ(owner.selectedNode, nullptr);
    EXPECT_EQ(owner.highlightedNode, nullptr);
    EXPECT_EQ(owner.currentNode, list) << "a node outside the deleted sub-tree stays";
    EXPECT_EQ(owner.lastCreatedNode, b);

    owner.selectedNode = list;
    owner.highlightedNode = a;
    TreeSurgery::DeleteNode(tree, a, true);
    EXPECT_EQ(owner.selectedNode, nullptr);
    EXPECT_EQ(owner.highlightedNode, nullptr);
    EXPECT_EQ(owner.currentNode, nullptr);
    EXPECT_EQ(owner.lastCreatedNode, b);

    TreeSurgery::DeleteNode(tree, tree.GetRootNode(), false);
    EXPECT_EQ(owner.lastCreatedNode, nullptr);
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), nullptr);
}

// Messages and items are stored apart, and each kind's storage goes back to
// the system once the last of its nodes is deleted; the other kind must not
// notice (the sanitizer build catches any use of storage given back).
TEST_F(FormatTreeTest, MessagesOutliveEveryItemAndItemsEveryMessage) {
    std::vector<FormatNode*> messages;
    for (int i = 0; i < 40; ++i) {
        messages.push_back(AddMessage("S1F" + std::to_string(i)));
        AddScalar(AddList(messages.back()), UINT4);
    }
    for (FormatNode* m : messages) {
        TreeSurgery::DeleteNode(tree, m->FirstChild(), true);
    }
    for (FormatNode* m : messages) {
        TreeSurgery::SetDescription(tree, m, "KEPT " + m->Label().str());
        AddScalar(AddList(m), BINARY);
    }
    EXPECT_EQ(messages[39]->Description(), "KEPT S1F39");
    EXPECT_EQ(Labels(messages[7]->FirstChild()), std::vector<std::string>{"<B>"});

    // The last message goes while items of others stay, and the other way round.
    for (std::size_t i = 0; i + 1 < messages.size(); ++i) {
        TreeSurgery::DeleteNode(tree, messages[i], true);
    }
    FormatNode* list = messages.back()->FirstChild();
    AddScalar(list, ASCII);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"<B>", "<A>"}));
    TreeSurgery::DeleteNode(tree, messages.back(), true);
    EXPECT_EQ(tree.GetRootNode()->Count(), 0);
    AddScalar(AddList(AddMessage("S2F1")), FLOAT8);
    EXPECT_EQ(Labels(tree.GetRootNode()->FirstChild()->FirstChild()), std::vector<std::string>{"<F8>"});
}

TEST_F(FormatTreeTest, EmptyingTheDocumentMessageByMessage) {
    for (int i = 0; i < 10; ++i) {
        AddMessage("S1F" + std::to_string(i));
    }
    while (FormatNode* first = tree.GetRootNode()->FirstChild()) {
        TreeSurgery::DeleteNode(tree, first, true);
    }
    EXPECT_EQ(tree.GetRootNode()->Count(), 0);
}

TEST(FormatTreeSizeTest, MillionMessagesBuildDeleteAndDestroy) {
    constexpr int MESSAGES = 1'000'000;
    auto tree = std::make_unique<FormatTree>();
    FormatNode* last = TreeSurgery::AddChild(*tree, nullptr, "S1F1", false);
    for (int i = 1; i < MESSAGES; ++i) {
        last = TreeSurgery::AddSibling(*tree, last, "S1F1", false);
        TreeSurgery::MakeMessage(*tree, last);
    }
    EXPECT_EQ(tree->GetRootNode()->Count(), MESSAGES);
    TreeSurgery::DeleteNode(*tree, tree->GetRootNode(), false);
    EXPECT_EQ(tree->GetRootNode()->FirstChild(), nullptr);
    for (int i = 0; i < MESSAGES; ++i) {
        TreeSurgery::AddChild(*tree, nullptr, "S1F2", false);
    }
    tree.reset(); // destroying a long message list must not recurse along it
}

TEST(FormatTreeSizeTest, HundredThousandNestedListsBuildDeleteAndDestroy) {
    constexpr int DEPTH = 100'000;
    auto tree = std::make_unique<FormatTree>();
    FormatNode* message = TreeSurgery::AddChild(*tree, nullptr, "S1F1", false);
    TreeSurgery::MakeMessage(*tree, message);
    FormatNode* parent = message;
    for (int i = 0; i < DEPTH; ++i) {
        FormatNode* list = TreeSurgery::AddChild(*tree, parent, "<L[0]>", false);
        TreeSurgery::SetItemFormat(*tree, list, LIST, list->Count());
        parent = list;
    }
    EXPECT_EQ(parent->Label(), "<L[0]>");
    EXPECT_EQ(parent->Parent()->Label(), "<L[1]>");
    TreeSurgery::DeleteNode(*tree, message->FirstChild(), false);
    EXPECT_EQ(message->Count(), 0);

    parent = message;
    for (int i = 0; i < DEPTH; ++i) {
        FormatNode* list = TreeSurgery::AddChild(*tree, parent, "<L[0]>", false);
        TreeSurgery::SetItemFormat(*tree, list, LIST, list->Count());
        parent = list;
    }
    tree.reset();
}

// ---- The texts of the nodes, in the document's arena ----

class FormatTreeTextsTest : public ::testing::Test {
protected:
    FormatNode* Message(const char* stream, const char* function, const std::string& description) {
        return tree.CreateMessage({stream, function, false, description}).node;
    }

    // A library of `messages` messages with long descriptions, each holding
    // a list of two described items, then edited once each.
    void Fill(int messages) {
        const std::string padding(200, 'd');
        for (int i = 0; i < messages; ++i) {
            FormatNode* m = Message("1", "1", "message " + std::to_string(i) + padding);
            FormatNode* list = tree.AddItem(m, {LIST, "0", false, ""}).node;
            (void)tree.AddItem(list, {ASCII, "20", false, "name " + padding});
            FormatNode* last = tree.AddItem(list, {UINT4, "1", false, "id"}).node;
            ASSERT_TRUE(tree.UpdateItem(last, {UINT4, "3", false, "ids " + padding}).Done());
        }
    }

    RecordingOwner owner;
    FormatTree tree{&owner};
};

TEST_F(FormatTreeTextsTest, SettersStoreTextsWithoutARecordedStep) {
    FormatNode* m = Message("6", "11", "event");
    const std::size_t steps = TreeSurgery::History(tree).Steps();
    const std::size_t used = tree.Texts().BytesUsed();
    TreeSurgery::SetLabel(tree, m, "S6F11W");
    TreeSurgery::SetDescription(tree, m, "event report");
    EXPECT_EQ(m->Label(), "S6F11W");
    EXPECT_EQ(m->Description(), "event report");
    EXPECT_EQ(tree.Texts().BytesUsed(), used + 6 + 12);
    EXPECT_EQ(TreeSurgery::History(tree).Steps(), steps);
    EXPECT_TRUE(owner.messages.empty());

    // Texts a builder stored itself are taken as they are, not copied.
    const NodeText label = tree.Texts().Store("S6F12");
    const NodeText description = tree.Texts().Store("acknowledge");
    TreeSurgery::SetTexts(tree, m, label, description);
    EXPECT_EQ(m->Label().data(), label.data());
    EXPECT_EQ(m->Description().data(), description.data());
    EXPECT_EQ(tree.Texts().BytesUsed(), used + 6 + 12 + 5 + 11);
    // Undo takes back the creation, not the texts set since.
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_EQ(tree.GetRootNode()->FirstChild(), nullptr);
}

TEST_F(FormatTreeTextsTest, UndoAndRedoOfUpdatesGiveBackTheSameTexts) {
    FormatNode* m = Message("1", "1", "first");
    FormatNode* item = tree.AddItem(m, {ASCII, "10", false, "name"}).node;
    ASSERT_NE(item, nullptr);
    const NodeText oldMessageLabel = m->Label();
    const NodeText oldMessageDescription = m->Description();
    const NodeText oldItemLabel = item->Label();
    const NodeText oldItemDescription = item->Description();

    ASSERT_TRUE(tree.UpdateMessage(m, {"2", "3", true, "  second  "}).Done());
    ASSERT_TRUE(tree.UpdateItem(item, {UINT4, "3", false, "ids"}).Done());
    EXPECT_EQ(m->Label(), "S2F3W");
    EXPECT_EQ(m->Description(), "second");
    EXPECT_EQ(item->Label(), "<U4[3]  ids>");
    const NodeText newItemLabel = item->Label();
    const NodeText newMessageDescription = m->Description();
    const std::size_t used = tree.Texts().BytesUsed();

    ASSERT_TRUE(tree.Undo().has_value());
    ASSERT_TRUE(tree.Undo().has_value());
    EXPECT_EQ(m->Label(), "S1F1");
    EXPECT_EQ(m->Label().data(), oldMessageLabel.data());
    EXPECT_EQ(m->Description().data(), oldMessageDescription.data());
    EXPECT_EQ(item->Label().data(), oldItemLabel.data());
    EXPECT_EQ(item->Description().data(), oldItemDescription.data());
    EXPECT_EQ(item->Description(), "name");
    ASSERT_TRUE(tree.Redo().has_value());
    ASSERT_TRUE(tree.Redo().has_value());
    EXPECT_EQ(item->Label().data(), newItemLabel.data());
    EXPECT_EQ(m->Description().data(), newMessageDescription.data());
    EXPECT_EQ(tree.Texts().BytesUsed(), used);

    // An update that keeps the texts stores none.
    ASSERT_TRUE(tree.UpdateMessage(m, {"2", "3", true, "second"}).Done());
    ASSERT_TRUE(tree.UpdateItem(item, {UINT4, "3", false, "ids"}).Done());
    EXPECT_EQ(tree.Texts().BytesUsed(), used);
    EXPECT_EQ(item->Label().data(), newItemLabel.data());
}

TEST_F(FormatTreeTextsTest, AnEmptiedDocumentForgetsItsTexts) {
    Fill(300);
    const std::size_t heldFull = tree.Texts().BytesHeld();
    EXPECT_GT(heldFull, 4 * TextArena::BLOCK_BYTES);

    // As New and Open do: the document, then the history.
    TreeSurgery::DeleteNode(tree, tree.GetRootNode(), true);
    tree.ClearHistory();
    EXPECT_EQ(tree.Texts().BytesUsed(), 0u);
    EXPECT_LE(tree.Texts().BytesHeld(), TextArena::BLOCK_BYTES);
    for (int round = 0; round < 3; ++round) {
        Fill(300);
        EXPECT_EQ(tree.Texts().BytesHeld(), heldFull) << round;
        TreeSurgery::DeleteNode(tree, tree.GetRootNode(), true);
        tree.ClearHistory();
    }

    // Deleting every message by command keeps the texts while the history
    // can give the messages back; dropping the history lets them go.
    Fill(2);
    FormatNode* first = tree.GetRootNode()->FirstChild();
    ASSERT_TRUE(tree.DeleteMessage(first->NextSibling()).Done());
    ASSERT_TRUE(tree.DeleteMessage(first).Done());
    EXPECT_GT(tree.Texts().BytesUsed(), 0u);
    ASSERT_TRUE(tree.Undo().has_value());
    ASSERT_EQ(tree.GetRootNode()->FirstChild(), first);
    EXPECT_EQ(first->Description(), "message 0" + std::string(200, 'd'));
    EXPECT_EQ(first->FirstChild()->FirstChild()->NextSibling()->Description(), "ids " + std::string(200, 'd'));
    ASSERT_TRUE(tree.Redo().has_value());
    tree.ClearHistory();
    EXPECT_EQ(tree.Texts().BytesUsed(), 0u);

    // A last message deleted without a history: the same.
    Fill(1);
    tree.ClearHistory();
    EXPECT_GT(tree.Texts().BytesUsed(), 0u);
    TreeSurgery::DeleteNode(tree, tree.GetRootNode()->FirstChild(), true);
    EXPECT_EQ(tree.Texts().BytesUsed(), 0u);
}

TEST_F(FormatTreeTextsTest, ARelabelledListLeavesNoOldLabels) {
    FormatNode* m = Message("1", "1", "");
    FormatNode* list = tree.AddItem(m, {LIST, "0", false, ""}).node;
    ASSERT_NE(list, nullptr);
    const std::size_t used = tree.Texts().BytesUsed();
    for (int i = 0; i < 999; ++i) {
        ASSERT_TRUE(tree.AddListItem(list).Done());
    }
    EXPECT_EQ(list->Label(), "<L[999]>");
    EXPECT_EQ(tree.Texts().BytesUsed(), used);
    // Past the constants, the label is stored once.
    ASSERT_TRUE(tree.AddListItem(list).Done());
    EXPECT_EQ(list->Label(), "<L[1000]>");
    EXPECT_EQ(tree.Texts().BytesUsed(), used + 9);
    // Undoing and redoing the additions swaps the kept labels back and forth.
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(tree.Undo().has_value());
    }
    EXPECT_EQ(list->Label(), "<L[0]>");
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(tree.Redo().has_value());
    }
    EXPECT_EQ(list->Label(), "<L[1000]>");
    EXPECT_EQ(tree.Texts().BytesUsed(), used + 9);
}

// A reference clears itself when its node, or a node above it, leaves the
// tree, wherever it was moved to meanwhile; the others keep their nodes.
TEST(NodeRefTest, ClearsWhenItsNodeLeavesWhereverItWasMoved) {
    FormatTree tree;
    FormatNode* kept = tree.CreateMessage({"1", "1", false, ""}).node;
    FormatNode* gone = tree.CreateMessage({"2", "1", false, ""}).node;
    FormatNode* item = tree.AddItem(gone, {LIST, "0", false, ""}).node;
    std::vector<NodeRef> refs;
    for (FormatNode* node : {kept, gone, item}) {
        NodeRef ref(tree, node);
        refs.push_back(std::move(ref));
        EXPECT_EQ(ref.Get(), nullptr);
    }
    NodeRef last(tree);
    last = std::move(refs.back());
    (void)tree.DeleteMessage(gone);
    EXPECT_EQ(refs[0].Get(), kept);
    EXPECT_EQ(refs[1].Get(), nullptr);
    EXPECT_EQ(last.Get(), nullptr);
    // A node that comes back by an undo is not referred to again.
    (void)tree.Undo();
    EXPECT_EQ(refs[1].Get(), nullptr);
}

// A deletion clears exactly the references into what leaves, whether the
// sub-tree is small beside the references (looked up node by node) or large
// (each referred-to node asked); a reference pointed elsewhere goes with its
// new node only.
TEST(NodeRefTest, DeletionClearsTheReferencesIntoWhatLeavesAndNoOthers) {
    FormatTree tree;
    std::vector<FormatNode*> messages;
    std::vector<NodeRef> refs;
    for (int i = 1; i <= 6; ++i) {
        messages.push_back(tree.CreateMessage({std::to_string(i), "1", false, ""}).node);
        FormatNode* list = tree.AddItem(messages.back(), {LIST, "0", false, ""}).node;
        for (int j = 0; j < 3 * i; ++j) {
            (void)tree.AddItem(list, {ASCII, "1", false, ""});
        }
        refs.emplace_back(tree, messages.back());
        refs.emplace_back(tree, list->FirstChild()->NextSibling());
    }
    NodeRef second(tree, refs[4].Get()); // two references to one node
    NodeRef moved(tree, messages[0]);
    moved = messages[5];
    const auto cleared = [&refs] {
        std::string which;
        for (const NodeRef& ref : refs) {
            which += ref.Get() == nullptr ? 'x' : '-';
        }
        return which;
    };
    (void)tree.DeleteMessage(messages[2]); // items of the message of refs 4 and 5
    EXPECT_EQ(cleared(), "----xx------");
    EXPECT_EQ(second.Get(), nullptr);
    (void)tree.DeleteMessage(messages[0]);
    EXPECT_EQ(cleared(), "xx--xx------");
    EXPECT_EQ(moved.Get(), messages[5]);
    (void)tree.DeleteItem(refs[9].Get()); // one item among many references
    EXPECT_EQ(cleared(), "xx--xx---x--");
    (void)tree.ClearMessages();
    EXPECT_EQ(cleared(), "xxxxxxxxxxxx");
    EXPECT_EQ(moved.Get(), nullptr);
}

} // namespace
} // namespace tqf
