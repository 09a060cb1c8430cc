// Choosing a node from outside the tree (as Find does), and moving through
// the tree with the keyboard. Keys and clicks go to the view's top-level
// window, so that Qt's focus handling picks the receiver.
#include "FocusMark.h"
#include "OwnerDrawMenu.h"
#include "TreeViewTestSupport.h"

#include <QContextMenuEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace tqf::test {
namespace {

// Twenty messages; the third holds a list with three leaves, the fifth a
// collapsed list with two, the last a list with one.
struct KeyboardFixture {
    TreeViewHarness h{260, 200};
    std::vector<FormatNode*> messages;
    FormatNode* list = nullptr;
    std::vector<FormatNode*> leaves;
    FormatNode* hiddenList = nullptr;
    FormatNode* hiddenLeaf = nullptr;
    FormatNode* lastLeaf = nullptr;
    std::vector<std::pair<int, FormatNode*>> notifications;

    KeyboardFixture() {
        for (int i = 1; i <= 20; ++i) {
            messages.push_back(h.AddMessage("S1F" + std::to_string(i)));
        }
        list = h.AddItem(messages[2], "<L[3]>", true);
        for (int i = 0; i < 3; ++i) {
            leaves.push_back(h.AddItem(list, "<U4  leaf " + std::to_string(i) + ">"));
        }
        hiddenList = h.AddItem(messages[4], "<L[2]>", true);
        h.AddItem(hiddenList, "<B>");
        hiddenLeaf = h.AddItem(hiddenList, "<A>");
        h.Tree().SetExpanded(hiddenList, false);
        FormatNode* lastList = h.AddItem(messages.back(), "<L[1]>", true);
        lastLeaf = h.AddItem(lastList, "<BOOLEAN>");
        RecordNotifications(h.View(), notifications);
        h.View().Repaint();
        QWindow* window = h.View().windowHandle();
        h.View().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        h.Render();
    }

    QWindow* Window() { return h.View().windowHandle(); }
    QPoint WindowPoint(const FormatNode* node) {
        const NodeRect rect = h.View().LaidOutRect(node);
        return h.View().viewport()->mapTo(&h.View(), QPoint(rect.left + 2, rect.top + 2));
    }
    void ClickNode(const FormatNode* node) {
        QTest::mouseClick(Window(), Qt::LeftButton, Qt::NoModifier, WindowPoint(node));
        QApplication::processEvents();
        h.Render();
    }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Window(), static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
        h.Render();
    }
    FormatNode* Chosen() { return h.View().SelectedNode(); }
    // Where the node's rows lie in the client area now.
    NodeRect Shown(const FormatNode* node) {
        h.Render();
        return h.View().LaidOutRect(node);
    }
};

bool IsChosenAsByAClick(FormatTreeView& view, const FormatNode* node) {
    return view.SelectedNode() == node && view.HighlightedNode() == node && node->UsesTreeColor() == 0 &&
           node->Color() == HIGHLIGHT_COLOR;
}

TEST(TreeKeyboardTest, ChooseNodeSelectsExpandsAndCentresLikeAClick) {
    KeyboardFixture f;
    f.ClickNode(f.messages[0]);
    f.notifications.clear();

    f.h.View().ChooseNode(f.hiddenLeaf);
    EXPECT_TRUE(IsChosenAsByAClick(f.h.View(), f.hiddenLeaf));
    // The previous node loses the highlight as on a click.
    EXPECT_EQ(f.messages[0]->Color(), f.h.View().TextColor());
    EXPECT_EQ(f.hiddenList->IsExpanded(), 1);
    // Posted, like a click's: the window hears of it after the call.
    EXPECT_TRUE(f.notifications.empty());
    QApplication::processEvents();
    ASSERT_EQ(f.notifications.size(), 1U);
    EXPECT_EQ(f.notifications[0], std::make_pair(NODE_SELECTED, f.hiddenLeaf));
    // Centred: its row's middle lies in the middle of the client area, as
    // near as a whole row at the top allows.
    const NodeRect rect = f.Shown(f.hiddenLeaf);
    const int clientHeight = f.h.View().viewport()->height();
    EXPECT_LE(std::abs((rect.top + rect.bottom) / 2 - clientHeight / 2), f.h.View().RowHeight() / 2 + 1) << rect.top;
    EXPECT_TRUE(f.h.View().HitTestNode(QPoint(rect.left + 1, rect.top + 1), f.h.Root()) == f.hiddenLeaf);

    // Near the ends the view scrolls only as far as it can.
    f.h.View().ChooseNode(f.messages[0]);
    EXPECT_EQ(f.h.View().ScrollPosition(), 0);
    f.h.View().ChooseNode(f.lastLeaf);
    EXPECT_EQ(f.h.View().ScrollPosition(), f.h.View().ScrollLimit());
    EXPECT_GT(f.h.View().ScrollLimit(), 0);
    EXPECT_LE(f.Shown(f.lastLeaf).bottom, clientHeight);

    // A node of another document, or none, changes nothing.
    TreeViewHarness other;
    FormatNode* stranger = other.AddMessage("S9F9");
    f.h.View().ChooseNode(stranger);
    f.h.View().ChooseNode(nullptr);
    EXPECT_EQ(f.Chosen(), f.lastLeaf);
}

TEST(TreeKeyboardTest, ArrowsHomeEndAndPagesMoveThroughVisibleRowsChoosingEachNode) {
    KeyboardFixture f;
    f.ClickNode(f.messages[2]);
    ASSERT_TRUE(f.h.View().hasFocus()) << "a click gives the tree the focus";
    f.notifications.clear();

    f.Press(Qt::Key_Down);
    EXPECT_TRUE(IsChosenAsByAClick(f.h.View(), f.list));
    f.Press(Qt::Key_Down);
    f.Press(Qt::Key_Down);
    f.Press(Qt::Key_Down);
    f.Press(Qt::Key_Down);
    EXPECT_EQ(f.Chosen(), f.messages[3]);
    f.Press(Qt::Key_Down);
    f.Press(Qt::Key_Down);
    // The collapsed list's sub-items are passed over.
    EXPECT_EQ(f.Chosen(), f.hiddenList);
    f.Press(Qt::Key_Down);
    EXPECT_EQ(f.Chosen(), f.messages[5]);
    f.Press(Qt::Key_Up);
    f.Press(Qt::Key_Up);
    EXPECT_EQ(f.Chosen(), f.messages[4]);
    // Each move told the window, in order.
    ASSERT_EQ(f.notifications.size(), 10U);
    EXPECT_EQ(f.notifications.back(), std::make_pair(NODE_SELECTED, f.messages[4]));

    f.Press(Qt::Key_End);
    EXPECT_EQ(f.Chosen(), f.lastLeaf);
    EXPECT_GT(f.h.View().ScrollPosition(), 0);
    EXPECT_EQ(f.Shown(f.lastLeaf).bottom, f.h.View().viewport()->height()) << "the last row is brought into view";
    const std::size_t before = f.notifications.size();
    f.Press(Qt::Key_Down);
    EXPECT_EQ(f.Chosen(), f.lastLeaf);
    EXPECT_EQ(f.notifications.size(), before) << "nothing moves past the last row";
    f.Press(Qt::Key_Home);
    EXPECT_EQ(f.Chosen(), f.messages[0]);
    EXPECT_EQ(f.h.View().ScrollPosition(), 0);

    // A page is the client height: from the first row to the row that lies
    // that far below it, which is then in view.
    const int clientHeight = f.h.View().viewport()->height();
    f.Press(Qt::Key_PageDown);
    const FormatNode* paged = f.Chosen();
    const NodeRect pagedRect = f.Shown(paged);
    EXPECT_NE(paged, f.messages[0]);
    EXPECT_GE(pagedRect.top, 0);
    EXPECT_LE(pagedRect.bottom, clientHeight);
    const FormatNode* expected =
        f.h.View().HitTestNode(QPoint(pagedRect.left + 1, pagedRect.top + 1), f.h.Root()->FirstChild());
    EXPECT_EQ(paged, expected);
    f.Press(Qt::Key_PageUp);
    EXPECT_EQ(f.Chosen(), f.messages[0]);
}

TEST(TreeKeyboardTest, LeftAndRightCollapseExpandAndClimb) {
    KeyboardFixture f;
    f.ClickNode(f.leaves[1]);
    f.Press(Qt::Key_Left);
    EXPECT_EQ(f.Chosen(), f.list) << "a leaf goes to its parent";
    f.Press(Qt::Key_Left);
    EXPECT_EQ(f.list->IsExpanded(), 0);
    EXPECT_EQ(f.Chosen(), f.list) << "collapsing keeps the node";
    f.Press(Qt::Key_Down);
    EXPECT_EQ(f.Chosen(), f.messages[3]);
    f.Press(Qt::Key_Up);
    f.Press(Qt::Key_Right);
    EXPECT_EQ(f.list->IsExpanded(), 1);
    EXPECT_EQ(f.Chosen(), f.list);
    f.Press(Qt::Key_Right);
    EXPECT_EQ(f.Chosen(), f.leaves[0]);
    f.Press(Qt::Key_Right);
    EXPECT_EQ(f.Chosen(), f.leaves[0]) << "a leaf has nothing to expand";
    f.Press(Qt::Key_Left);
    f.Press(Qt::Key_Left);
    f.Press(Qt::Key_Left);
    EXPECT_EQ(f.Chosen(), f.messages[2]);
    f.Press(Qt::Key_Left);
    EXPECT_EQ(f.Chosen(), f.messages[2]) << "a message has no parent to go to";
}

TEST(TreeKeyboardTest, FocusMarkShowsOnlyAfterKeysAndCoversNoLaidOutPixelOfTheNode) {
    KeyboardFixture f;
    f.ClickNode(f.messages[1]);
    ASSERT_TRUE(f.h.View().hasFocus());
    // Focused by the mouse: the paint is the plain one.
    EXPECT_FALSE(f.h.View().ShowsFocusMark());
    EXPECT_EQ(f.h.RenderAndCompare(), "");

    f.Press(Qt::Key_Down);
    ASSERT_TRUE(f.h.View().ShowsFocusMark());
    const QImage marked = f.h.Render();
    const QImage plain = f.h.Reference();
    const NodeRect rect = f.h.View().LaidOutRect(f.messages[2]);
    const NodeRect frame = FocusMark::AroundNode(rect);
    // Inverted dots on the frame, nothing changed anywhere else.
    int dots = 0;
    for (int y = 0; y < marked.height(); ++y) {
        for (int x = 0; x < marked.width(); ++x) {
            const bool onFrame = ((x == frame.left || x == frame.right) && y >= frame.top && y <= frame.bottom) ||
                                 ((y == frame.top || y == frame.bottom) && x >= frame.left && x <= frame.right);
            if (Pixel(marked, x, y) == Pixel(plain, x, y)) {
                continue;
            }
            ASSERT_TRUE(onFrame) << x << ", " << y;
            EXPECT_EQ(Pixel(marked, x, y), Pixel(plain, x, y) ^ 0xFFFFFFU);
            ++dots;
        }
    }
    EXPECT_GT(dots, (frame.right - frame.left) / 2);
    EXPECT_EQ(frame.left, rect.left - 1);

    // Losing the focus takes the mark away.
    f.h.View().clearFocus();
    EXPECT_FALSE(f.h.View().ShowsFocusMark());
    EXPECT_EQ(f.h.RenderAndCompare(), "");
}

TEST(TreeKeyboardTest, MenuKeyAndShiftF10OpenTheMenuOfTheChosenNodeOnce) {
    KeyboardFixture f;
    f.ClickNode(f.messages[3]);
    f.Press(Qt::Key_Down);
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                                         std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        // Closes every menu that opens and counts it, so that a second menu
        // would be counted rather than left waiting.
        std::size_t opened = 0;
        QString title;
        QTimer closer;
        closer.setInterval(5);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* menu = qobject_cast<OwnerDrawMenu*>(QApplication::activePopupWidget())) {
                ++opened;
                title = menu->ItemTexts().value(0);
                menu->close();
            }
        });
        closer.start();
        QTest::keyClick(f.Window(), key, modifiers);
        // The platform's own context-menu event for the key asks for the
        // same menu and opens no second one.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1),
                                f.h.View().viewport()->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(f.h.View().viewport(), &event);
        QTest::qWait(100);
        EXPECT_EQ(opened, 1U) << key;
        // Without the key first, the platform's event opens the menu itself.
        QApplication::sendEvent(f.h.View().viewport(), &event);
        QTest::qWait(100);
        closer.stop();
        EXPECT_EQ(opened, 2U) << key;
        EXPECT_EQ(title, QStringLiteral("S1F5")) << key;
        EXPECT_EQ(f.Chosen(), f.messages[4]);
        EXPECT_TRUE(IsChosenAsByAClick(f.h.View(), f.messages[4]));
    }
}

} // namespace
} // namespace tqf::test
