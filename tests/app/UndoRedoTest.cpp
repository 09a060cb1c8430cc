// Undo and redo through the window: its keys, whichever control has the
// focus, and its own context menu; the node each step concerns becomes the
// chosen one; the unsaved-changes flag follows the history.
#include "EditorWindowTest.h"

#include "FileCommands.h"
#include "FormatTree.h"
#include "ItemFormat.h"
#include "ModalHelper.h"

#include <QMenu>
#include <QTemporaryDir>

namespace tqf {
namespace {

class UndoRedoTest : public EditorWindowTest {
protected:
    QWindow* Window() { return dialog->windowHandle(); }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(Window(), key, modifiers);
        Settle();
    }
    void UndoKey() { Key(Qt::Key_Z, Qt::ControlModifier); }
    void RedoKey() { Key(Qt::Key_Y, Qt::ControlModifier); }

    // Right-clicks the window's own background and picks the entry with the
    // text given, noting whether Undo and Redo were enabled.
    void PickFromWindowMenu(const QString& text) {
        OnNextModal(
            [this, text](QWidget* popup) {
                auto* menu = qobject_cast<QMenu*>(popup);
                ASSERT_NE(menu, nullptr);
                QAction* chosen = nullptr;
                for (QAction* action : menu->actions()) {
                    if (action->text() == QStringLiteral("Undo")) {
                        undoEnabled = action->isEnabled();
                    } else if (action->text() == QStringLiteral("Redo")) {
                        redoEnabled = action->isEnabled();
                    }
                    if (action->text() == text) {
                        chosen = action;
                    }
                }
                menu->close();
                if (chosen != nullptr && chosen->isEnabled()) {
                    chosen->trigger();
                }
            },
            true);
        // Left of the file frame: the window's own background.
        const QPoint free(4, 4);
        ASSERT_EQ(dialog->childAt(free), nullptr);
        QTest::mouseClick(Window(), Qt::RightButton, Qt::NoModifier, free);
        Settle();
    }

    bool undoEnabled = false;
    bool redoEnabled = false;
};

TEST_F(UndoRedoTest, KeysTakeEachCommandBackAndMakeItAgain) {
    FormatNode* message = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    ASSERT_NE(message, nullptr);
    AddItem(LIST);
    FormatNode* list = message->FirstChild();
    ASSERT_NE(list, nullptr);
    Commands().ShowNode(list);
    AddItem(UINT4, QStringLiteral("2"));
    EXPECT_EQ(list->Label(), "<L[1]>");

    // Typing focus in an edit field: the keys still act on the document.
    Edit(IDC_ITEM_DESCRIPTION)->setFocus();
    UndoKey();
    EXPECT_EQ(list->Label(), "<L[0]>");
    EXPECT_EQ(list->FirstChild(), nullptr);
    EXPECT_EQ(Commands().CurrentNode(), list) << "the list the item left is chosen";
    EXPECT_EQ(Tree().SelectedNode(), list);
    EXPECT_EQ(Tree().HighlightedNode(), list);

    RedoKey();
    ASSERT_NE(list->FirstChild(), nullptr);
    EXPECT_EQ(list->FirstChild()->Label(), "<U4[2]>");
    EXPECT_EQ(Commands().CurrentNode(), list->FirstChild());
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("2")) << "the panels show it as a click does";

    UndoKey();
    UndoKey();
    UndoKey();
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("0"));
    UndoKey(); // nothing left: no change, no box
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Root()->Count(), 1);
    EXPECT_EQ(Root()->FirstChild(), message) << "the message itself comes back";
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("1"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(UndoRedoTest, WindowMenuOffersUndoAndRedoWhenThereIsSomething) {
    PickFromWindowMenu(QStringLiteral("Undo"));
    EXPECT_FALSE(undoEnabled);
    EXPECT_FALSE(redoEnabled);

    FormatNode* first = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    FormatNode* second = CreateMessage(QStringLiteral("2"), QStringLiteral("1"));
    Commands().ShowNode(second);
    Click(IDC_MOVE_UP);
    EXPECT_EQ(Root()->FirstChild(), second);

    PickFromWindowMenu(QStringLiteral("Undo"));
    EXPECT_TRUE(undoEnabled);
    EXPECT_FALSE(redoEnabled);
    EXPECT_EQ(Root()->FirstChild(), first);
    EXPECT_EQ(Commands().CurrentNode(), second);

    PickFromWindowMenu(QStringLiteral("Redo"));
    EXPECT_TRUE(redoEnabled);
    EXPECT_EQ(Root()->FirstChild(), second);
}

TEST_F(UndoRedoTest, DeletedMessageComesBackExpandedAndInView) {
    std::vector<FormatNode*> messages;
    for (int i = 1; i <= 60; ++i) {
        messages.push_back(CreateMessage(QStringLiteral("1"), QString::number(i)));
    }
    FormatNode* target = messages[5];
    Commands().ShowNode(target);
    AddItem(LIST);
    FormatNode* list = target->FirstChild();
    Commands().ShowNode(list);
    AddItem(BOOLEAN);
    FormatNode* leaf = list->FirstChild();
    ASSERT_NE(leaf, nullptr);
    // Changed, then collapsed away and scrolled out of sight.
    Commands().ShowNode(leaf);
    ChooseFormat(UINT2);
    Click(IDC_UPDATE_ITEM);
    Tree().ToggleExpanded(target, true);
    Tree().VerticalScroll(SCROLL_TO_BOTTOM);
    Tree().VerticalScroll(SCROLL_THUMB_POSITION, Tree().ScrollLimit());
    Settle();

    UndoKey();
    EXPECT_EQ(leaf->Label(), "<BOOLEAN>");
    EXPECT_EQ(Commands().CurrentNode(), leaf);
    EXPECT_EQ(target->IsExpanded(), 1) << "its parents open";
    Tree().viewport()->repaint();
    const NodeRect rect = Tree().LaidOutRect(leaf);
    EXPECT_GT(rect.top, 0);
    EXPECT_LT(rect.bottom, Tree().viewport()->height()) << "scrolled into view";

    // A message deleted from the panel.
    Commands().ShowNode(target);
    prompts.answers = {true};
    Click(IDC_DELETE_MESSAGE);
    EXPECT_EQ(Root()->Count(), 59);
    UndoKey();
    EXPECT_EQ(Root()->Count(), 60);
    EXPECT_EQ(target->FirstChild(), list);
    EXPECT_EQ(Commands().CurrentNode(), target);
    EXPECT_EQ(Text(IDC_FUNCTION), QStringLiteral("6"));
}

TEST_F(UndoRedoTest, ModifiedFollowsTheHistoryAndNewIsAStep) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("undo.TQF"));
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.fileAnswers.push_back(path);
    dialog->Files().OnSaveAs();
    Settle();
    (void)prompts.TakeMessages();
    ASSERT_FALSE(Commands().Doc().IsModified());

    CreateMessage(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_TRUE(Commands().Doc().IsModified());
    UndoKey();
    EXPECT_FALSE(Commands().Doc().IsModified()) << "back at the saved document";
    UndoKey();
    EXPECT_TRUE(Commands().Doc().IsModified());
    RedoKey();
    EXPECT_FALSE(Commands().Doc().IsModified());

    // New empties the document after asking, as one step that Undo takes
    // back.
    CreateMessage(QStringLiteral("1"), QStringLiteral("3"));
    prompts.answers = {true};
    Click(IDC_NEW);
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_TRUE(Commands().Doc().IsModified());
    UndoKey();
    EXPECT_EQ(Root()->Count(), 2);
    EXPECT_TRUE(Commands().Doc().IsModified()) << "the saved document had one message";
}

TEST_F(UndoRedoTest, TreeMenuCommandsAreStepsToo) {
    FormatNode* message = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    ClickNode(message);
    Tree().RunCommand(ID_TREE_ADD_LIST_ITEM);
    Settle();
    ASSERT_NE(message->FirstChild(), nullptr);
    FormatNode* list = message->FirstChild();
    ClickNode(list);
    Tree().RunCommand(ID_TREE_DELETE_NODE);
    Settle();
    EXPECT_EQ(message->FirstChild(), nullptr);
    UndoKey();
    EXPECT_EQ(message->FirstChild(), list);
    UndoKey();
    EXPECT_EQ(message->FirstChild(), nullptr);
    EXPECT_EQ(Commands().CurrentNode(), message);
}

} // namespace
} // namespace tqf
