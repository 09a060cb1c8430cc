// Find and the tree's keyboard, driven through the top-level windows: keys
// and clicks go to the QWindow, so that Qt's shortcuts, focus and hit-testing
// pick the receiver as they do for a user.
#include "EditorWindowTest.h"

#include "FindDialog.h"
#include "FormatTree.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "TreeSurgery.h"

#include <QMenu>
#include <QPushButton>
#include <QWindow>

#include <algorithm>

#include <string>

namespace tqf {
namespace {

class FindWindowTest : public EditorWindowTest {
protected:
    void SetUp() override {
        EditorWindowTest::SetUp();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        // A library of a few messages, two of them S6F11; the second S6F11
        // holds a collapsed list with the item to find.
        s1f1 = AddMessage(1, 1, true, "ARE YOU THERE");
        s6f11 = AddMessage(6, 11, true, "EVENT REPORT");
        for (int i = 0; i < 30; ++i) {
            AddMessage(2, 100 + i, false, "FILLER");
        }
        again = AddMessage(6, 11, false, "EVENT REPORT AGAIN");
        list = AddItem(again, LIST, 0, "");
        AddItem(list, UINT4, 1, "DATAID");
        lotId = AddItem(list, ASCII, OPEN_COUNT, "LOT ID");
        Tree().Tree().SetExpanded(list, false);
        Tree().Repaint();
        Settle();
    }

    FormatNode* AddMessage(int stream, int function, bool reply, const std::string& description) {
        FormatTree& tree = Tree().Tree();
        FormatNode* node = last == nullptr
                               ? TreeSurgery::AddChild(tree, nullptr, MakeMessageLabel(stream, function, reply), false)
                               : TreeSurgery::AddSibling(tree, last, MakeMessageLabel(stream, function, reply), false);
        TreeSurgery::MakeMessage(Tree().Tree(), node);
        TreeSurgery::SetDescription(Tree().Tree(), node, description);
        last = node;
        return node;
    }

    FormatNode* AddItem(FormatNode* parent, int format, int count, const std::string& description) {
        FormatNode* node = TreeSurgery::AppendSubNode(Tree().Tree(), parent,
                                                      MakeItemLabel(format, count, count == OPEN_COUNT, description));
        TreeSurgery::SetItemFormat(Tree().Tree(), node, format, count);
        TreeSurgery::SetDescription(Tree().Tree(), node, description);
        return node;
    }

    QWindow* MainWindow() { return dialog->windowHandle(); }
    FindDialog& Finder() { return dialog->Finder(); }
    QWindow* FindWindow() { return Finder().windowHandle(); }

    void Press(QWindow* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window, key, modifiers);
        Settle();
    }
    // Types into the focused control of the window, key by key.
    void TypeInto(QWindow* window, const QString& text) {
        for (const QChar c : text) {
            QTest::keyClick(window, c.toLatin1());
        }
        Settle();
    }
    void ReplaceFindText(const QString& text) {
        ClickIn(Finder().findChild<QLineEdit*>(QStringLiteral("findText")));
        Press(FindWindow(), Qt::Key_A, Qt::ControlModifier);
        TypeInto(FindWindow(), text);
    }
    // A click on a child of a window, at its centre, in window coordinates.
    void ClickIn(QWidget* child) {
        QWidget* top = child->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          child->mapTo(top, child->rect().center()));
        Settle();
    }
    // A click on a node's text in the tree, as the user clicks it.
    void ClickNodeInWindow(const FormatNode* node) {
        Tree().viewport()->repaint();
        const NodeRect rect = Tree().LaidOutRect(node);
        ASSERT_FALSE(rect.IsEmpty()) << node->Label();
        QTest::mouseClick(MainWindow(), Qt::LeftButton, Qt::NoModifier,
                          Tree().viewport()->mapTo(dialog.get(), QPoint(rect.left + 2, rect.top + 2)));
        Settle();
    }
    QPushButton* FindButton(const char* name) { return Finder().findChild<QPushButton*>(QLatin1String(name)); }

    // Chosen as a click chooses: the window's current node, the view's
    // selection and highlight, and the node shown inside the client area.
    void ExpectChosen(const FormatNode* node) {
        EXPECT_EQ(Commands().CurrentNode(), node) << node->Label();
        EXPECT_EQ(Tree().SelectedNode(), node);
        EXPECT_EQ(Tree().HighlightedNode(), node);
        EXPECT_EQ(node->Color(), HIGHLIGHT_COLOR);
        Tree().viewport()->repaint();
        const NodeRect rect = Tree().LaidOutRect(node);
        EXPECT_GE(rect.top, 0) << node->Label();
        EXPECT_LE(rect.bottom, Tree().viewport()->height()) << node->Label();
    }

    FormatNode* last = nullptr;
    FormatNode* s1f1 = nullptr;
    FormatNode* s6f11 = nullptr;
    FormatNode* again = nullptr;
    FormatNode* list = nullptr;
    FormatNode* lotId = nullptr;
};

TEST_F(FindWindowTest, CtrlFOpensFindAndFindNextChoosesEachDefinitionAsAClick) {
    ClickNodeInWindow(s1f1);
    Press(MainWindow(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(Finder().isVisible());
    EXPECT_EQ(Finder().windowTitle(), QStringLiteral("Find"));
    EXPECT_FALSE(FindButton("findNext")->isEnabled()) << "nothing to find yet";

    TypeInto(FindWindow(), QStringLiteral("s6 f11"));
    Press(FindWindow(), Qt::Key_Return);
    ExpectChosen(s6f11);
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("6"));
    EXPECT_EQ(Text(IDC_FUNCTION), QStringLiteral("11"));
    EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION), QStringLiteral("EVENT REPORT"));
    EXPECT_EQ(s1f1->Color(), Tree().TextColor()) << "the previous node loses the highlight";
    EXPECT_EQ(Finder().StatusText(), QString());

    ClickIn(FindButton("findNext"));
    ExpectChosen(again);
    EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION), QStringLiteral("EVENT REPORT AGAIN"));
    ClickIn(FindButton("findNext"));
    ExpectChosen(s6f11);
    EXPECT_EQ(Finder().StatusText(), QString::fromLatin1(MSG_WRAPPED_TO_TOP));
    ClickIn(FindButton("findPrevious"));
    ExpectChosen(again);
    EXPECT_EQ(Finder().StatusText(), QString::fromLatin1(MSG_WRAPPED_TO_BOTTOM));
    // Enter goes on finding, whichever button was clicked last.
    ClickIn(FindButton("findNext"));
    ExpectChosen(s6f11);
    Press(FindWindow(), Qt::Key_Return);
    ExpectChosen(again);
    ASSERT_TRUE(Finder().isVisible());

    // Nothing matches: said so, and nothing changes.
    ReplaceFindText(QStringLiteral("NO SUCH THING"));
    Press(FindWindow(), Qt::Key_Return);
    EXPECT_EQ(Finder().StatusText(), QString::fromLatin1(MSG_NOT_FOUND));
    ExpectChosen(again);
    EXPECT_TRUE(prompts.messages.isEmpty()) << "the dialog says it, no box";

    ClickIn(FindButton("findClose"));
    EXPECT_FALSE(Finder().isVisible());
}

TEST_F(FindWindowTest, TextInACollapsedListIsExpandedScrolledToAndShownInTheItemPanel) {
    Press(MainWindow(), Qt::Key_F, Qt::ControlModifier);
    TypeInto(FindWindow(), QStringLiteral("lot id"));
    Press(FindWindow(), Qt::Key_Return);
    EXPECT_EQ(list->IsExpanded(), 1);
    ExpectChosen(lotId);
    EXPECT_GT(Tree().ScrollPosition(), 0) << "the item lies far below the first rows";
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("LOT ID"));
    EXPECT_EQ(Formats()->currentIndex(), ASCII);
    // The window's own handling of a selection: the message created last
    // loses its highlight as on a click.
    EXPECT_EQ(Commands().LastCreatedNode(), nullptr);
}

TEST_F(FindWindowTest, F3AndShiftF3RepeatTheLastSearchFromTheMainWindow) {
    // Before any search F3 opens the dialog.
    Press(MainWindow(), Qt::Key_F3);
    ASSERT_TRUE(Finder().isVisible());
    TypeInto(FindWindow(), QStringLiteral("EVENT"));
    Press(FindWindow(), Qt::Key_Escape);
    EXPECT_FALSE(Finder().isVisible());
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));

    Press(MainWindow(), Qt::Key_F3);
    ExpectChosen(s6f11);
    Press(MainWindow(), Qt::Key_F3);
    ExpectChosen(again);
    Press(MainWindow(), Qt::Key_F3, Qt::ShiftModifier);
    ExpectChosen(s6f11);
    EXPECT_EQ(QApplication::focusWidget(), &Tree());
    EXPECT_TRUE(dialog->Notice().isEmpty());
    Press(MainWindow(), Qt::Key_F3, Qt::ShiftModifier);
    ExpectChosen(again);
    EXPECT_EQ(dialog->Notice(), QStringLiteral("Search wrapped"));
    Press(MainWindow(), Qt::Key_F3);
    ExpectChosen(s6f11);
    Press(MainWindow(), Qt::Key_F3);
    ExpectChosen(again);
    EXPECT_TRUE(dialog->Notice().isEmpty()) << "this search did not wrap";
    EXPECT_TRUE(prompts.messages.isEmpty());

    // With the dialog closed, a box says that nothing matched.
    Finder().findChild<QLineEdit*>(QStringLiteral("findText"))->setText(QStringLiteral("NO SUCH THING"));
    Press(MainWindow(), Qt::Key_F3);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QString::fromLatin1(MSG_NOT_FOUND)});
    ExpectChosen(again);
}

TEST(FindPlacementTest, TheDialogStandsBesideTheWindowElseBesideTheTreeAndNeverOverTheTree) {
    const QRect screen(0, 0, 1600, 900);
    const QRect dialog(0, 0, 400, 120);
    const std::pair<QRect, QPoint> cases[] = {
        {{100, 100, 700, 600}, {800, 100}},  // room on the right
        {{1000, 100, 600, 600}, {600, 100}}, // on the left
        {{100, 100, 1400, 600}, {100, 700}}, // below
        {{100, 300, 1400, 600}, {100, 180}}, // above
        {{0, 0, 1600, 900}, {420, 40}},      // no room outside: beside the tree
        {{-300, 0, 1900, 900}, {120, 40}},   // the tree's left part off the screen
    };
    for (const auto& [window, expected] : cases) {
        const QRect tree(window.left() + 20, window.top() + 40, 400, window.height() - 80);
        const QRect placed(FindDialog::Placement(dialog, window, tree, screen), dialog.size());
        EXPECT_EQ(placed.topLeft(), expected);
        EXPECT_TRUE(screen.contains(placed) && !tree.intersects(placed));
    }
    EXPECT_EQ(FindDialog::Placement(dialog, screen, screen, screen), QPoint(1200, 780));
}

TEST_F(FindWindowTest, TheWindowMenuOffersFind) {
    std::unique_ptr<QMenu> menu(dialog->CreateWindowMenu());
    const QList<QAction*> actions = menu->actions();
    const auto find = std::find_if(actions.begin(), actions.end(),
                                   [](const QAction* action) { return action->text() == QStringLiteral("Find..."); });
    ASSERT_NE(find, actions.end());
    EXPECT_EQ(actions.back()->text(), QString::fromUtf8("TQF 정보(&A)..."));
    (*find)->trigger();
    EXPECT_TRUE(Finder().isVisible());
}

TEST_F(FindWindowTest, TheTreeTakesTheFocusByClickAndByTabAndMovesWithTheKeys) {
    // Tab runs through the window's controls and stops in the tree too.
    int stops = 0;
    for (int i = 0; i < 40; ++i) {
        Press(MainWindow(), Qt::Key_Tab);
        stops += QApplication::focusWidget() == &Tree() ? 1 : 0;
    }
    EXPECT_GE(stops, 1);

    ClickNodeInWindow(s6f11);
    ASSERT_EQ(QApplication::focusWidget(), &Tree());
    ExpectChosen(s6f11);
    Press(MainWindow(), Qt::Key_Down);
    ExpectChosen(Tree().GetRootNode()->FirstChild()->NextSibling()->NextSibling());
    // The last row is the collapsed list of the last message.
    Press(MainWindow(), Qt::Key_End);
    ExpectChosen(list);
    EXPECT_EQ(Formats()->currentIndex(), LIST);
    Press(MainWindow(), Qt::Key_Up);
    ExpectChosen(again);
    Press(MainWindow(), Qt::Key_Right);
    ExpectChosen(list);
    Press(MainWindow(), Qt::Key_Right);
    EXPECT_EQ(list->IsExpanded(), 1);
    ExpectChosen(list);
    Press(MainWindow(), Qt::Key_End);
    ExpectChosen(lotId);
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("LOT ID"));
    Press(MainWindow(), Qt::Key_Home);
    ExpectChosen(s1f1);
    EXPECT_EQ(Tree().ScrollPosition(), 0);
    // Enter and Escape still do nothing in the main window.
    Press(MainWindow(), Qt::Key_Return);
    Press(MainWindow(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    ExpectChosen(s1f1);
}

} // namespace
} // namespace tqf
