#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

#include <QScrollBar>
#include <QWheelEvent>

namespace tqf::test {
namespace {

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

void AddMessages(TreeViewHarness& h, int count) {
    for (int i = 0; i < count; ++i) {
        h.AddMessage("S1F" + std::to_string(i));
    }
}

void Wheel(FormatTreeView& view, int delta) {
    QWheelEvent event(QPointF(20, 20), view.viewport()->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &event);
}

TEST(TreeScrollTest, BarIsHiddenUntilContentAndEightPixelsReachTheClientHeight) {
    TreeViewHarness h(200, 100);
    const int rh = h.View().RowHeight();
    AddMessages(h, 3);
    const int content = 3 * rh;

    // One pixel more than content + 8: no bar, no scrolling.
    h.view->resize(200, content + 9);
    h.Render();
    EXPECT_EQ(h.View().ContentHeight(), content);
    EXPECT_EQ(h.View().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(h.View().ScrollLimit(), 0);
    h.View().VerticalScroll(SCROLL_LINE_DOWN);
    EXPECT_EQ(h.View().ScrollPosition(), 0);

    // Exactly content + 8: the bar shows, with the greatest position 1.
    h.view->resize(200, content + 8);
    h.Render();
    EXPECT_EQ(h.View().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(h.View().ScrollLimit(), content + 9 - (content + 8));
    EXPECT_EQ(h.View().verticalScrollBar()->pageStep(), content + 8);
    h.View().VerticalScroll(SCROLL_LINE_DOWN);
    EXPECT_EQ(h.View().ScrollPosition(), 1);
}

// A row chosen from elsewhere (Find, Undo) is shown whole, centred as near
// as a whole row at the top allows.
TEST(TreeScrollTest, AChosenRowIsShownWithNoRowCutAtTheTop) {
    TreeViewHarness h(200, 101);
    AddMessages(h, 40);
    FormatTreeView& view = h.View();
    const int rh = view.RowHeight();
    FormatNode* m = view.GetRootNode()->FirstChild();
    for (int i = 0; i < 40; ++i, m = m->NextSibling()) {
        view.ChooseNode(m);
        const int top = FormatTreeView::MARGIN + i * rh - view.ScrollPosition();
        EXPECT_TRUE(view.ScrollPosition() % rh == 0 || view.ScrollPosition() == view.ScrollLimit()) << i;
        EXPECT_TRUE(top >= 0 && top + rh <= view.viewport()->height()) << i;
    }
}

TEST(TreeScrollTest, LineAndPageStepsStopAtBothEnds) {
    TreeViewHarness h(200, 100);
    AddMessages(h, 30);
    h.Render();
    FormatTreeView& view = h.View();
    const int rh = view.RowHeight();
    const int height = view.viewport()->height();
    const int limit = view.ContentHeight() + 9 - height;
    ASSERT_EQ(view.ScrollLimit(), limit);

    view.VerticalScroll(SCROLL_LINE_DOWN);
    EXPECT_EQ(view.ScrollPosition(), rh);
    view.VerticalScroll(SCROLL_PAGE_DOWN);
    EXPECT_EQ(view.ScrollPosition(), rh + height);
    view.VerticalScroll(SCROLL_PAGE_UP);
    view.VerticalScroll(SCROLL_PAGE_UP);
    EXPECT_EQ(view.ScrollPosition(), 0);
    view.VerticalScroll(SCROLL_LINE_UP);
    EXPECT_EQ(view.ScrollPosition(), 0);
    view.VerticalScroll(SCROLL_THUMB_TRACK, limit - 3);
    view.VerticalScroll(SCROLL_LINE_DOWN);
    EXPECT_EQ(view.ScrollPosition(), limit);
    view.VerticalScroll(SCROLL_PAGE_DOWN);
    EXPECT_EQ(view.ScrollPosition(), limit);
    view.VerticalScroll(SCROLL_THUMB_POSITION, 7);
    EXPECT_EQ(view.ScrollPosition(), 7);
    for (const int code : {SCROLL_TO_TOP, SCROLL_TO_BOTTOM, SCROLL_END}) {
        view.VerticalScroll(code);
        EXPECT_EQ(view.ScrollPosition(), 7);
    }

    // The bar's own buttons step by the same amounts.
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view.ScrollPosition(), 7 + rh);
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view.ScrollPosition(), limit);
}

TEST(TreeScrollTest, ScrolledRowsStartAtMarginMinusPosition) {
    TreeViewHarness h(200, 100);
    AddMessages(h, 30);
    h.Render();
    FormatNode* third = h.Root()->FirstChild()->NextSibling()->NextSibling();
    const int rh = h.View().RowHeight();
    h.View().VerticalScroll(SCROLL_THUMB_POSITION, 2 * rh + 1);
    const QImage image = h.Render();
    EXPECT_EQ(h.View().LaidOutRect(third).top, 4 - 1);
    EXPECT_EQ(FirstDifference(image, h.Reference()), "");
}

TEST(TreeScrollTest, WheelMovesOneRowPerNotch) {
    TreeViewHarness h(200, 100);
    AddMessages(h, 30);
    h.Render();
    FormatTreeView& view = h.View();
    const int rh = view.RowHeight();
    Wheel(view, -120);
    EXPECT_EQ(view.ScrollPosition(), rh);
    Wheel(view, -240);
    EXPECT_EQ(view.ScrollPosition(), 3 * rh);
    // Parts of a notch add up; a change of direction cancels them.
    Wheel(view, 60);
    EXPECT_EQ(view.ScrollPosition(), 3 * rh);
    Wheel(view, 60);
    EXPECT_EQ(view.ScrollPosition(), 2 * rh);
    Wheel(view, 0);
    EXPECT_EQ(view.ScrollPosition(), 2 * rh);
    for (int i = 0; i < 10; ++i) {
        Wheel(view, 120);
    }
    EXPECT_EQ(view.ScrollPosition(), 0);
}

TEST(TreeScrollTest, ShrinkingContentPullsThePositionBackAndHidingResetsIt) {
    TreeViewHarness h(200, 100);
    AddMessages(h, 30);
    h.Render();
    FormatTreeView& view = h.View();
    view.VerticalScroll(SCROLL_THUMB_POSITION, view.ScrollLimit());
    for (int i = 0; i < 10; ++i) {
        TreeSurgery::DeleteNode(h.Tree(), h.Root()->FirstChild(), true);
    }
    h.Render();
    EXPECT_EQ(view.ScrollPosition(), view.ScrollLimit());
    EXPECT_EQ(view.ScrollLimit(), view.ContentHeight() + 9 - view.viewport()->height());
    while (h.Root()->Count() > 1) {
        TreeSurgery::DeleteNode(h.Tree(), h.Root()->FirstChild(), true);
    }
    h.Render();
    EXPECT_EQ(view.ScrollPosition(), 0);
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(TreeScrollTest, CrossingTheClientHeightPaintsOnceMore) {
    TreeViewHarness h(200, 100);
    PaintCounter counter;
    h.view->viewport()->installEventFilter(&counter);
    QApplication::processEvents();

    AddMessages(h, 30); // from nothing to more than the client height
    counter.paints = 0;
    h.view->viewport()->repaint();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2);

    h.AddMessage("S9F9"); // taller still: no crossing
    counter.paints = 0;
    h.view->viewport()->repaint();
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    h.view->viewport()->removeEventFilter(&counter);
}

} // namespace
} // namespace tqf::test
