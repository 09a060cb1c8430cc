#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

namespace tqf::test {
namespace {

FormatNode* HitFromTop(TreeViewHarness& h, int x, int y) {
    return h.View().HitTestNode(QPoint(x, y), h.Root()->FirstChild());
}

TEST(TreeHitTestTest, RowsFromTextStartToTheRightMargin) {
    TreeViewHarness h(200, 150);
    FormatNode* message = h.AddMessage("S1F1");
    FormatNode* item = h.AddItem(message, "<B>");
    h.Render();
    const int rh = h.View().RowHeight();
    EXPECT_EQ(HitFromTop(h, 16, 4), message);
    EXPECT_EQ(HitFromTop(h, 195, 4 + rh - 1), message); // right of the short label
    EXPECT_EQ(HitFromTop(h, 196, 4), nullptr);          // the last margin pixels
    EXPECT_EQ(HitFromTop(h, 15, 4), nullptr);           // the box and indentation
    EXPECT_EQ(HitFromTop(h, 10, 4 + rh / 2), nullptr);
    EXPECT_EQ(HitFromTop(h, 32, 4 + rh), item);
    EXPECT_EQ(HitFromTop(h, 31, 4 + rh), nullptr);
    EXPECT_EQ(HitFromTop(h, 40, 4 + 2 * rh), nullptr); // below the last row
    EXPECT_EQ(HitFromTop(h, 40, 3), nullptr);          // above the first
    EXPECT_EQ(h.View().HitTestNode(QPoint(40, 10), nullptr), nullptr);
}

TEST(TreeHitTestTest, EveryRowOfAWrappedLabelHitsItsNode) {
    TreeViewHarness h(120, 200);
    FormatNode* wrapped = h.AddMessage("<A  a description long enough to wrap over several rows>");
    FormatNode* after = h.AddMessage("S1F2");
    h.Render();
    const NodeRect rect = h.View().LaidOutRect(wrapped);
    const int rh = h.View().RowHeight();
    const int rows = (rect.bottom - rect.top) / rh;
    ASSERT_GE(rows, 3);
    for (int r = 0; r < rows; ++r) {
        EXPECT_EQ(HitFromTop(h, 100, 4 + r * rh + rh / 2), wrapped) << "row " << r;
    }
    EXPECT_EQ(HitFromTop(h, 20, rect.bottom), after);
}

TEST(TreeHitTestTest, NodesUnderACollapsedParentCannotBeHit) {
    TreeViewHarness h(200, 150);
    FormatNode* message = h.AddMessage("S1F1");
    FormatNode* list = h.AddItem(message, "<L[1]>", true);
    FormatNode* leaf = h.AddItem(list, "<B>");
    h.Render();
    const NodeRect old = h.View().LaidOutRect(leaf);
    ASSERT_EQ(HitFromTop(h, old.left, old.top), leaf);
    h.View().ToggleExpanded(list, false);
    EXPECT_EQ(HitFromTop(h, old.left, old.top), nullptr);
    EXPECT_EQ(HitFromTop(h, 40, 4 + h.View().RowHeight()), list);
    h.Render();
    EXPECT_EQ(HitFromTop(h, old.left, old.top), nullptr);
    h.View().ToggleExpanded(message, false);
    h.Render();
    EXPECT_EQ(HitFromTop(h, 40, 4 + h.View().RowHeight()), nullptr);
}

TEST(TreeHitTestTest, NodesAddedSinceTheLastPaintAreHitOnlyAfterTheNext) {
    TreeViewHarness h(200, 150);
    FormatNode* first = h.AddMessage("S1F1");
    h.Render();
    FormatNode* second = h.AddMessage("S1F2");
    const int rh = h.View().RowHeight();
    EXPECT_EQ(HitFromTop(h, 40, 4 + rh), nullptr);
    EXPECT_EQ(h.View().LaidOutRect(second), NodeRect{});
    // A new node in front: the old rows keep their places until the paint.
    FormatNode* front = TreeSurgery::AddChild(h.Tree(), nullptr, "S9F9", false);
    EXPECT_EQ(HitFromTop(h, 40, 4), first);
    h.Render();
    EXPECT_EQ(HitFromTop(h, 40, 4), front);
    EXPECT_EQ(HitFromTop(h, 40, 4 + rh), first);
    EXPECT_EQ(HitFromTop(h, 40, 4 + 2 * rh), second);
}

TEST(TreeHitTestTest, DeletedNodesAreNeverReturnedAndRowsBelowKeepTheirPlaces) {
    TreeViewHarness h(200, 150);
    FormatNode* first = h.AddMessage("S1F1");
    h.AddItem(first, "<B>");
    FormatNode* second = h.AddMessage("S1F2");
    h.Render();
    const int rh = h.View().RowHeight();
    TreeSurgery::DeleteNode(h.Tree(), first, false);
    EXPECT_EQ(HitFromTop(h, 40, 4), nullptr);
    EXPECT_EQ(HitFromTop(h, 40, 4 + rh), nullptr);
    EXPECT_EQ(HitFromTop(h, 40, 4 + 2 * rh), second);
    h.Render();
    EXPECT_EQ(HitFromTop(h, 40, 4), second);
}

TEST(TreeHitTestTest, SearchFromALaterNodeSkipsEarlierOnes) {
    TreeViewHarness h(200, 150);
    FormatNode* first = h.AddMessage("S1F1");
    FormatNode* list = h.AddItem(first, "<L[2]>", true);
    FormatNode* a = h.AddItem(list, "<B>");
    FormatNode* b = h.AddItem(list, "<U1>");
    FormatNode* second = h.AddMessage("S1F2");
    h.Render();
    const int rh = h.View().RowHeight();
    EXPECT_EQ(h.View().HitTestNode(QPoint(60, 4), second), nullptr);
    EXPECT_EQ(h.View().HitTestNode(QPoint(60, 4 + 4 * rh), second), second);
    EXPECT_EQ(h.View().HitTestNode(QPoint(60, 4 + 3 * rh), a), b);
    // From a sub-item the search does not climb to the parent's siblings.
    EXPECT_EQ(h.View().HitTestNode(QPoint(60, 4 + 4 * rh), a), nullptr);
    EXPECT_EQ(h.View().HitTestNode(QPoint(60, 4 + rh), h.Root()), list);
}

TEST(TreeHitTestTest, ScrollingMovesTheRows) {
    TreeViewHarness h(200, 60);
    for (int i = 0; i < 20; ++i) {
        h.AddMessage("S1F" + std::to_string(i));
    }
    h.Render();
    const int rh = h.View().RowHeight();
    h.View().VerticalScroll(SCROLL_THUMB_POSITION, 5 * rh);
    // Until the next paint, the rows are where the last paint put them.
    EXPECT_EQ(HitFromTop(h, 40, 4), h.Root()->FirstChild());
    h.Render();
    const FormatNode* sixth = h.Root()->FirstChild();
    for (int i = 0; i < 5; ++i) {
        sixth = sixth->NextSibling();
    }
    EXPECT_EQ(HitFromTop(h, 40, 4), sixth);
}

} // namespace
} // namespace tqf::test
