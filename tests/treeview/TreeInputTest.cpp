#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <utility>
#include <vector>

namespace tqf::test {
namespace {

// Records the view's notifications in the order they arrive.
struct NotificationLog {
    std::vector<std::pair<int, FormatNode*>> received;

    explicit NotificationLog(FormatTreeView& view) { RecordNotifications(view, received); }
};

struct InputFixture {
    TreeViewHarness h{240, 160};
    FormatNode* message = nullptr;
    FormatNode* list = nullptr;
    FormatNode* leaf = nullptr;
    int rh = 0;

    InputFixture() {
        message = h.AddMessage("S1F1W");
        list = h.AddItem(message, "<L[1]>", true);
        leaf = h.AddItem(list, "<B>");
        h.AddMessage("S1F2");
        EXPECT_TRUE(QTest::qWaitForWindowExposed(h.view.get()));
        h.Render();
        rh = h.View().RowHeight();
    }

    QPoint RowPoint(int row, int x = 60) const { return {x, 4 + row * rh + rh / 2}; }
    void Click(QPoint point) { QTest::mouseClick(h.view->viewport(), Qt::LeftButton, Qt::NoModifier, point); }
    // What the platform sends for a double click: press, release, double
    // click, release. (QTest's double click leaves out both releases.)
    void DoubleClick(QPoint point) {
        Click(point);
        QTest::mouseDClick(h.view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
        QTest::mouseRelease(h.view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    }
};

TEST(TreeInputTest, ClickSelectsHighlightsAndNotifiesAfterTheEvent) {
    InputFixture f;
    NotificationLog log(f.h.View());
    f.Click(f.RowPoint(1));
    // Posted, not sent: the view has finished before the window hears of it.
    EXPECT_TRUE(log.received.empty());
    EXPECT_EQ(f.h.View().SelectedNode(), f.list);
    EXPECT_EQ(f.h.View().HighlightedNode(), f.list);
    EXPECT_EQ(f.list->UsesTreeColor(), 0);
    EXPECT_EQ(f.list->Color(), HIGHLIGHT_COLOR);
    QApplication::processEvents();
    ASSERT_EQ(log.received.size(), 1U);
    EXPECT_EQ(log.received[0], std::make_pair(NODE_SELECTED, f.list));
}

TEST(TreeInputTest, ClickElsewhereRemovesTheHighlightButKeepsTheSelection) {
    InputFixture f;
    NotificationLog log(f.h.View());
    f.h.View().SetTreeTextColor(Rgb(0, 64, 128));
    f.Click(f.RowPoint(0));
    f.Click(QPoint(8, 4 + f.rh / 2)); // the message's box
    f.Click(f.RowPoint(10));          // below every row
    QApplication::processEvents();
    EXPECT_EQ(log.received.size(), 1U);
    EXPECT_EQ(f.h.View().SelectedNode(), f.message);
    EXPECT_EQ(f.h.View().HighlightedNode(), f.message);
    EXPECT_EQ(f.message->Color(), Rgb(0, 64, 128));
    EXPECT_EQ(f.message->UsesTreeColor(), 0);
    // The un-highlighted node keeps that colour when the tree's changes.
    f.h.prompts.colorAnswers.push_back(QColor(1, 2, 3));
    f.h.View().RunCommand(ID_TREE_SET_TEXT_COLOR);
    EXPECT_EQ(f.message->Color(), Rgb(0, 64, 128));
    EXPECT_EQ(f.h.View().TextColor(), Rgb(1, 2, 3));
}

TEST(TreeInputTest, DoubleClickSelectsTogglesAndSelectsAgain) {
    InputFixture f;
    NotificationLog log(f.h.View());
    f.DoubleClick(f.RowPoint(1));
    QApplication::processEvents();
    EXPECT_EQ(f.list->IsExpanded(), 0);
    ASSERT_EQ(log.received.size(), 3U);
    for (const auto& [message, node] : log.received) {
        EXPECT_EQ(message, NODE_SELECTED);
        EXPECT_EQ(node, f.list);
    }
    EXPECT_EQ(f.list->Color(), HIGHLIGHT_COLOR);
    // The leaf vanished and the next message moved up one row.
    f.h.Render();
    EXPECT_EQ(f.h.View().HitTestNode(f.RowPoint(2), f.message), f.message->NextSibling());
}

TEST(TreeInputTest, DoubleClickOnALeafTogglesAFlagThatChangesNothing) {
    InputFixture f;
    const QImage before = f.h.Render();
    f.DoubleClick(f.RowPoint(2));
    EXPECT_EQ(f.leaf->IsExpanded(), 0);
    f.h.View().SetNodeColor(f.leaf, f.h.View().TextColor(), false);
    EXPECT_EQ(FirstDifference(f.h.Render(), before), "");
}

TEST(TreeInputTest, WithoutMessagesAClickDoesNothingAndADoubleClickPostsNothing) {
    TreeViewHarness h(200, 100);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.view.get()));
    NotificationLog log(h.View());
    QTest::mouseClick(h.view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 10));
    QTest::mouseDClick(h.view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 10));
    QApplication::processEvents();
    EXPECT_TRUE(log.received.empty());
    EXPECT_EQ(h.View().SelectedNode(), nullptr);
}

TEST(TreeInputTest, RightButtonAndPressesDoNotSelect) {
    InputFixture f;
    NotificationLog log(f.h.View());
    QTest::mouseClick(f.h.view->viewport(), Qt::RightButton, Qt::NoModifier, f.RowPoint(0));
    QTest::mousePress(f.h.view->viewport(), Qt::LeftButton, Qt::NoModifier, f.RowPoint(0));
    QApplication::processEvents();
    EXPECT_TRUE(log.received.empty());
    EXPECT_EQ(f.h.View().SelectedNode(), nullptr);
    QTest::mouseRelease(f.h.view->viewport(), Qt::LeftButton, Qt::NoModifier, f.RowPoint(0));
}

TEST(TreeInputTest, NotificationOfANodeDeletedBeforeDeliveryIsDropped) {
    InputFixture f;
    NotificationLog log(f.h.View());
    QSignalSpy deletions(&f.h.View(), &FormatTreeView::NodesAboutToBeDeleted);
    f.Click(f.RowPoint(2));
    f.Click(f.RowPoint(3));
    TreeSurgery::DeleteNode(f.h.Tree(), f.list, true);
    EXPECT_EQ(deletions.count(), 1);
    EXPECT_EQ(deletions.at(0).at(0).value<const FormatNode*>(), f.list);
    QApplication::processEvents();
    ASSERT_EQ(log.received.size(), 1U);
    EXPECT_EQ(log.received[0].second, f.message->NextSibling());
}

TEST(TreeInputTest, RightClickSelectionForTheMenu) {
    InputFixture f;
    f.Click(f.RowPoint(0));
    f.h.View().SelectForContextMenu(f.RowPoint(1));
    EXPECT_EQ(f.h.View().SelectedNode(), f.list);
    EXPECT_EQ(f.h.View().HighlightedNode(), f.list);
    EXPECT_EQ(f.list->Color(), HIGHLIGHT_COLOR);
    EXPECT_EQ(f.message->Color(), f.h.View().TextColor());

    f.h.View().SelectForContextMenu(f.RowPoint(12));
    EXPECT_EQ(f.h.View().SelectedNode(), nullptr);
    EXPECT_EQ(f.h.View().HighlightedNode(), f.list);
    EXPECT_EQ(f.list->Color(), f.h.View().TextColor());

    TreeViewHarness empty(100, 100);
    empty.View().SelectForContextMenu(QPoint(30, 8));
    EXPECT_EQ(empty.View().SelectedNode(), nullptr);
}

} // namespace
} // namespace tqf::test
