#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

#include <random>
#include <vector>

namespace tqf::test {
namespace {

// Labels of every kind the layout treats differently: short, wrapping at
// spaces, one long word, empty, and multi-byte characters (Hangul, and an
// emoji outside the 16-bit range).
std::string RandomLabel(std::mt19937& random) {
    static const std::vector<std::string> pieces = {"S1F1",  "<L[2]>", "<A  name>", "word ", "averyveryverylongword",
                                                    "한글 ", "😀",      "fi",        "x",     " "};
    const int kind = static_cast<int>(random() % 10);
    if (kind == 0) {
        return "";
    }
    const int count = kind < 6 ? 1 : static_cast<int>(random() % 12);
    std::string label;
    for (int i = 0; i < count; ++i) {
        label += pieces[random() % pieces.size()];
    }
    return label;
}

// Every node of the document, in document order, collapsed ones included.
std::vector<FormatNode*> AllNodes(FormatNode* root) {
    std::vector<FormatNode*> nodes;
    FormatNode* node = root->FirstChild();
    while (node != nullptr) {
        nodes.push_back(node);
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = node->Parent() == root ? nullptr : node->Parent();
        }
        if (node != nullptr) {
            node = node->NextSibling();
        }
    }
    return nodes;
}

// The plain search over the reference rectangles.
FormatNode* ReferenceHit(FormatNode* root, const ReferenceTreePainter& reference, QPoint point) {
    FormatNode* node = root->FirstChild();
    while (node != nullptr) {
        const auto found = reference.rects.find(node);
        if (found != reference.rects.end() && found->second.Contains(point.x(), point.y())) {
            return node;
        }
        if (node->IsExpanded() != 0 && node->FirstChild() != nullptr) {
            node = node->FirstChild();
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = node->Parent() == root ? nullptr : node->Parent();
        }
        if (node != nullptr) {
            node = node->NextSibling();
        }
    }
    return nullptr;
}

class Editor {
public:
    Editor(TreeViewHarness& h, unsigned seed) : h_(h), random_(seed) {}

    void Build(int messages) {
        for (int i = 0; i < messages; ++i) {
            AddMessage();
            for (int k = 0; k < 6; ++k) {
                AddItem();
            }
        }
    }

    // One random change of the kinds the view is told about.
    void Step() {
        const std::vector<FormatNode*> nodes = AllNodes(h_.Root());
        switch (random_() % 11) {
        case 0:
            AddMessage();
            break;
        case 1:
        case 2:
            AddItem();
            break;
        case 3:
            if (!nodes.empty()) {
                // Kept for undo, or gone for good.
                if (random_() % 2 == 0) {
                    (void)h_.Tree().DeleteAny(Pick(nodes));
                } else {
                    TreeSurgery::DeleteNode(h_.Tree(), Pick(nodes), true);
                }
            }
            break;
        case 9:
            (void)h_.Tree().Undo();
            break;
        case 10:
            (void)h_.Tree().Redo();
            break;
        case 4:
            if (!nodes.empty()) {
                h_.View().ToggleExpanded(Pick(nodes), true);
            }
            break;
        case 5:
            if (!nodes.empty()) {
                Relabel(Pick(nodes));
            }
            break;
        case 6:
            if (!nodes.empty()) {
                (void)h_.Tree().MoveDown(Pick(nodes));
            }
            break;
        case 7:
            h_.view->resize(60 + static_cast<int>(random_() % 300), 80 + static_cast<int>(random_() % 200));
            break;
        default:
            h_.View().VerticalScroll(SCROLL_THUMB_POSITION, static_cast<int>(random_() % 2000));
            break;
        }
    }

    // Paints and compares the picture, every laid-out rectangle and the hits
    // at a few points with the plain paint of the same document.
    void Check(const std::string& context) {
        const int scroll = h_.View().ScrollPosition();
        const QImage image = h_.Render();
        ReferenceTreePainter reference;
        const QImage expected = h_.Reference(image.width(), image.height(), scroll, &reference);
        ASSERT_EQ(FirstDifference(image, expected), "") << context << " scroll " << scroll;
        for (const auto& [node, rect] : reference.rects) {
            const NodeRect mine = h_.View().LaidOutRect(node);
            if (mine.bottom - mine.top != rect.bottom - rect.top) {
                ADD_FAILURE() << "height " << (mine.bottom - mine.top) << " vs " << (rect.bottom - rect.top) << " left "
                              << rect.left << " right " << rect.right << " '" << node->Label() << "'";
            }
        }
        for (const auto& [node, rect] : reference.rects) {
            ASSERT_EQ(h_.View().LaidOutRect(node), rect) << context << " label '" << node->Label() << "'";
        }
        EXPECT_EQ(h_.View().ContentHeight(), static_cast<int>(ReferenceHeight(reference)));
        for (int i = 0; i < 20; ++i) {
            const QPoint point(static_cast<int>(random_() % static_cast<unsigned>(image.width())),
                               static_cast<int>(random_() % static_cast<unsigned>(image.height())));
            ASSERT_EQ(h_.View().HitTestNode(point, h_.Root()->FirstChild()), ReferenceHit(h_.Root(), reference, point))
                << context;
        }
        // Every node is found at its place among the visible ones, a hidden one
        // nowhere (after the hits, which the layout of the paint answers).
        std::size_t row = 0;
        for (const FormatNode* node : AllNodes(h_.Root())) {
            bool visible = true;
            for (const FormatNode* above = node->Parent(); above != h_.Root(); above = above->Parent()) {
                visible = visible && above->IsExpanded() != 0;
            }
            ASSERT_EQ(h_.View().UpToDateLayout().IndexOf(node), visible ? std::optional(row) : std::nullopt) << context;
            row += visible ? 1 : 0;
        }
    }

    std::mt19937& Random() { return random_; }

private:
    long long ReferenceHeight(const ReferenceTreePainter& reference) const {
        long long height = 0;
        for (const auto& entry : reference.rects) {
            height += entry.second.bottom - entry.second.top;
        }
        return height;
    }

    FormatNode* Pick(const std::vector<FormatNode*>& nodes) { return nodes[random_() % nodes.size()]; }

    void AddMessage() {
        FormatNode* root = h_.Root();
        FormatNode* node = nullptr;
        if (root->FirstChild() == nullptr || random_() % 4 == 0) {
            node = TreeSurgery::AddChild(h_.Tree(), root, RandomLabel(random_), false);
        } else {
            std::vector<FormatNode*> messages;
            for (FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
                messages.push_back(m);
            }
            node = TreeSurgery::AddSibling(h_.Tree(), Pick(messages), RandomLabel(random_), false);
        }
        TreeSurgery::MakeMessage(h_.Tree(), node);
    }

    void AddItem() {
        std::vector<FormatNode*> parents;
        for (FormatNode* node : AllNodes(h_.Root())) {
            if (node->IsList() != 0 || (node->IsMessage() != 0 && node->FirstChild() == nullptr)) {
                parents.push_back(node);
            }
        }
        if (parents.empty()) {
            return;
        }
        FormatNode* parent = Pick(parents);
        FormatNode* node = nullptr;
        if (parent->FirstChild() != nullptr && random_() % 2 == 0) {
            std::vector<FormatNode*> children;
            for (FormatNode* c = parent->FirstChild(); c != nullptr; c = c->NextSibling()) {
                children.push_back(c);
            }
            node = TreeSurgery::AddSibling(h_.Tree(), Pick(children), RandomLabel(random_), false);
        } else {
            node = TreeSurgery::AddChild(h_.Tree(), parent, RandomLabel(random_), false);
        }
        if (node != nullptr && random_() % 2 == 0) {
            TreeSurgery::SetItemFormat(h_.Tree(), node, LIST, node->Count());
        }
    }

    // Gives a node another label through the editing operations: a message
    // other numbers, an item another description (which its label shows).
    void Relabel(FormatNode* node) {
        if (node->IsMessage() != 0) {
            const MessageFields fields{std::to_string(1 + random_() % 127), std::to_string(random_() % 256),
                                       random_() % 2 == 0, RandomLabel(random_)};
            (void)h_.Tree().UpdateMessage(node, fields);
            return;
        }
        const int format = node->IsList() != 0 ? LIST : static_cast<int>(ASCII);
        (void)h_.Tree().UpdateItem(node, {format, std::to_string(random_() % 300), false, RandomLabel(random_)});
    }

    TreeViewHarness& h_;
    std::mt19937 random_;
};

TEST(TreeLayoutCacheTest, EditedDocumentPaintsAsAFreshPaintWould) {
    for (const unsigned seed : {1U, 2U, 3U}) {
        TreeViewHarness h(220, 180);
        Editor editor(h, seed);
        editor.Build(12);
        editor.Check("built");
        for (int step = 0; step < 150; ++step) {
            editor.Step();
            // Some changes pile up over several steps before the next paint.
            if (editor.Random()() % 3 != 0) {
                editor.Check("seed " + std::to_string(seed) + " step " + std::to_string(step));
                if (::testing::Test::HasFatalFailure()) {
                    return;
                }
            }
        }
    }
}

TEST(TreeLayoutCacheTest, MessagesMovedSeveralTimesBeforeAPaintLandInTheirPlaces) {
    TreeViewHarness h(220, 400);
    std::vector<FormatNode*> messages;
    for (int i = 0; i < 8; ++i) {
        messages.push_back(h.AddMessage("S" + std::to_string(i) + "F1"));
        h.AddItem(messages.back(), "<A  " + std::to_string(i) + ">");
    }
    Editor editor(h, 5);
    editor.Check("built");
    std::mt19937 random(5);
    for (int round = 0; round < 40; ++round) {
        // A few moves of messages, some of them taken back, then a paint.
        const int moves = 1 + static_cast<int>(random() % 4);
        for (int m = 0; m < moves; ++m) {
            FormatNode* node = messages[random() % messages.size()];
            if (random() % 2 == 0) {
                (void)h.Tree().MoveDown(node);
            } else {
                (void)h.Tree().MoveUp(node);
            }
            if (random() % 4 == 0) {
                (void)h.Tree().Undo();
            }
        }
        editor.Check("round " + std::to_string(round));
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

TEST(TreeLayoutCacheTest, EmptyingALargeDocumentBeforeAPaintLeavesNothingToHit) {
    TreeViewHarness h(220, 300);
    for (int i = 0; i < 3000; ++i) {
        h.AddItem(h.AddMessage("S1F" + std::to_string(i)), "<U4>");
    }
    h.Render();
    // Message by message, as New does, without a paint in between: past a
    // point the view forgets its whole layout instead of row by row.
    while (h.Root()->FirstChild() != nullptr && h.Root()->Count() > 2) {
        TreeSurgery::DeleteNode(h.Tree(), h.Root()->FirstChild(), false);
        const int rh = h.View().RowHeight();
        for (int y = 4; y < 4 + 6 * rh; y += rh) {
            FormatNode* hit = h.View().HitTestNode(QPoint(40, y), h.Root()->FirstChild());
            // Whatever is hit is still in the document.
            if (hit != nullptr) {
                ASSERT_TRUE(h.Tree().Owns(hit));
            }
        }
    }
    FormatNode* kept = h.Root()->FirstChild();
    Editor editor(h, 9);
    editor.Check("two messages left");
    EXPECT_EQ(h.View().LaidOutRect(kept).top, 4);
}

TEST(TreeLayoutCacheTest, FontChangeAndInvalidationLayOutEverythingAgain) {
    TreeViewHarness h(200, 300);
    Editor editor(h, 7);
    editor.Build(8);
    editor.Check("built");
    h.View().SetTreeFont(12, true, false, "Tahoma");
    editor.Check("larger font");
    // A label changed without telling the view shows after Repaint.
    FormatNode* first = h.Root()->FirstChild();
    TreeSurgery::SetLabel(h.View().Tree(), first,
                          "a label that is now long enough to need more than one row of this view");
    h.View().Repaint();
    editor.Check("after Repaint");
}

TEST(TreeLayoutCacheTest, EmptyLabelsWithoutRoomDrawTheirFarConnectors) {
    // A list with no room for its label, far down the document, whose
    // sub-item has an empty label: the sub-item's line starts at the top of
    // the client area, wherever its row is, and crosses every paint.
    TreeViewHarness h(200, 150);
    for (int i = 0; i < 20; ++i) {
        h.AddMessage("S1F" + std::to_string(i));
    }
    FormatNode* message = h.AddMessage("S2F1");
    FormatNode* list = h.AddItem(message, "<L[1]>", true);
    FormatNode* empty = h.AddItem(list, "");
    for (int i = 0; i < 20; ++i) {
        h.AddMessage("S3F" + std::to_string(i));
    }
    Editor editor(h, 11);
    bool found = false;
    // The widest view where the list has no room: its sub-item's column,
    // 6 pixels left of the list's text start, lies inside the client area.
    for (int width = 90; width > 30 && !found; --width) {
        h.view->resize(width, 150);
        h.Render();
        h.Render();
        found = h.View().LaidOutRect(list) == NodeRect{} && !h.View().LaidOutRect(message).IsEmpty();
    }
    ASSERT_TRUE(found);
    const NodeRect emptyRect = h.View().LaidOutRect(empty);
    ASSERT_EQ(emptyRect.bottom - emptyRect.top, h.View().RowHeight());
    ASSERT_LT(emptyRect.left - 22, h.View().viewport()->width());
    editor.Check("stray below");
    h.View().VerticalScroll(SCROLL_THUMB_POSITION, h.View().ScrollLimit());
    editor.Check("stray above");
}

struct LayoutListener : FormatTreeListener {
    TreeLayout* layout = nullptr;
    void ShowTreeMessage(std::string_view) override {}
    void RequestRepaint() override {}
    void NodesAboutToBeDeleted(const FormatNode& node) override { layout->NodesAboutToBeDeleted(node); }
    void NodeAdded(const FormatNode& node) override { layout->NodeAdded(node); }
};
// Messages added at the end, in order or each right after the first, updated
// every few: each takes bounded steps to place, in the rows a fresh layout has;
// growth at the end never lays the whole document out anew.
TEST(TreeLayoutGrowthTest, AdditionsTakeBoundedStepsAndLandWhereAFreshLayoutPutsThem) {
    constexpr int ADDITIONS = 3000;
    constexpr int WIDTH = 300;
    for (const std::size_t pattern : {0U, 1U, 2U}) {
        for (const int batch : {1, 7, 900, 2000}) {
            LayoutListener listener;
            FormatTree tree(&listener);
            TreeLayout layout(tree);
            TreeLayout fresh(tree);
            listener.layout = &layout;
            layout.SetFont(QFont("Tahoma", 9), 16);
            fresh.SetFont(QFont("Tahoma", 9), 16);
            FormatNode* first = TreeSurgery::AddChild(tree, nullptr, "S9F9", false);
            FormatNode* after[] = {TreeSurgery::AddSibling(tree, first, "S9F8", false), first, first};
            for (int i = 0; i < ADDITIONS; ++i) {
                TreeSurgery::AddSibling(tree, first, "S9F7", false);
            }
            layout.Update(WIDTH);
            for (int i = 1; i <= ADDITIONS; ++i) {
                FormatNode* added = TreeSurgery::AddSibling(tree, after[pattern], "S1F1", false);
                after[pattern] = pattern == 2 ? first : added;
                if (i % batch == 0) {
                    layout.Update(WIDTH);
                }
            }
            layout.Update(WIDTH);
            fresh.Update(WIDTH);
            EXPECT_LE(layout.PlacementSteps(), 3U * ADDITIONS) << pattern << " batch " << batch;
            EXPECT_EQ(layout.Rebuilds() == 1U, pattern == 0 || batch <= 1024) << pattern << " batch " << batch;
            ASSERT_EQ(layout.Size(), fresh.Size()) << pattern << " batch " << batch;
            for (std::size_t r = 0; r < fresh.Size(); ++r) {
                ASSERT_EQ(layout.Entry(r).node, fresh.Entry(r).node) << pattern << " batch " << batch << " row " << r;
            }
        }
    }
}

} // namespace
} // namespace tqf::test
