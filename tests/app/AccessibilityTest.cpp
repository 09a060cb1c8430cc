// The window as a screen reader sees it through QAccessible, with the sample
// library open: the tree's rows, the check boxes and the names of the fields.
#include "AccessibleEvents.h"
#include "EditorApp.h"
#include "EditorWindowTest.h"
#include "FindDialog.h"
#include "SubItemDialog.h"
#include "WindowDriver.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSet>

#include <functional>
#include <utility>

namespace tqf {
namespace {

std::vector<std::pair<QAccessible::Event, int>> events;

// What a row said as a change of its description, when it said it.
std::vector<QString> said;

void Record(QAccessibleEvent& event) {
    events.emplace_back(event.type(), event.child());
    if (event.type() == QAccessible::DescriptionChanged) {
        said.push_back(event.accessibleInterface()->text(QAccessible::Description));
    }
}

class AccessibilityTest : public EditorWindowTest {
protected:
    void SetUp() override {
        EditorWindowTest::SetUp();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        AccessibleEvents::SetListener(Record);
        EditorApp::OpenAtStart(*dialog, QStringLiteral(TQF_EXAMPLES_DIR "/standard-messages.TQF"));
        Settle();
        ASSERT_GT(Root()->Count(), 50);
        tree = QAccessible::queryAccessibleInterface(&Tree());
        events.clear();
        said.clear();
    }
    void TearDown() override {
        AccessibleEvents::SetListener(nullptr);
        EditorWindowTest::TearDown();
    }

    // The visible nodes in document order, as the rows should list them.
    std::vector<const FormatNode*> VisibleNodes() {
        std::vector<const FormatNode*> nodes;
        std::vector<const FormatNode*> stack{Root()->FirstChild()};
        while (!stack.empty()) {
            const FormatNode* node = stack.back();
            stack.pop_back();
            if (node == nullptr) {
                continue;
            }
            nodes.push_back(node);
            stack.push_back(node->NextSibling());
            if (node->IsExpanded() != 0) {
                stack.push_back(node->FirstChild());
            }
        }
        return nodes;
    }
    int RowOf(const FormatNode* node) {
        const std::vector<const FormatNode*> nodes = VisibleNodes();
        return static_cast<int>(std::find(nodes.begin(), nodes.end(), node) - nodes.begin());
    }

    QAccessibleInterface* tree = nullptr;
};

TEST_F(AccessibilityTest, TheTreeListsEveryVisibleRowByItsLabelAndPlace) {
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->role(), QAccessible::Tree);
    EXPECT_EQ(tree->text(QAccessible::Name), QStringLiteral("Messages"));
    Tree().ToggleExpanded(Root()->FirstChild()->NextSibling(), true);
    const std::vector<const FormatNode*> nodes = VisibleNodes();
    ASSERT_EQ(tree->childCount(), static_cast<int>(nodes.size()));
    int messagePosition = 0;
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface* row = tree->child(i);
        ASSERT_NE(row, nullptr) << i;
        EXPECT_EQ(row->text(QAccessible::Name), QString::fromLocal8Bit(nodes[i]->Label().str()));
        EXPECT_EQ(tree->indexOfChild(row), i);
        EXPECT_EQ(row->parent(), tree);
        EXPECT_EQ(row->role(), QAccessible::TreeItem);
        EXPECT_EQ(row->state().expandable, nodes[i]->FirstChild() != nullptr);
        EXPECT_EQ(row->state().collapsed, nodes[i]->FirstChild() != nullptr && nodes[i]->IsExpanded() == 0);
        if (nodes[i]->IsMessage() != 0) {
            const QString expected = QStringLiteral("level 1, %1 of %2, %3")
                                         .arg(++messagePosition)
                                         .arg(Root()->Count())
                                         .arg(QString::fromLocal8Bit(nodes[i]->Description().str()));
            EXPECT_EQ(row->text(QAccessible::Description), expected);
        }
    }
    // Rows beyond the bottom of the view are there, and said to be out of it.
    EXPECT_TRUE(tree->child(tree->childCount() - 1)->state().offscreen);
    EXPECT_FALSE(tree->child(0)->state().offscreen);
    EXPECT_EQ(tree->childAt(tree->child(0)->rect().center().x(), tree->child(0)->rect().center().y()), tree->child(0));
}

TEST_F(AccessibilityTest, TheChosenRowIsSelectedFocusedAndAnnouncedHoweverItIsChosen) {
    test::WindowDriver driver(dialog.get());
    FormatNode* second = Root()->FirstChild()->NextSibling();
    const std::vector<std::pair<const char*, std::function<const FormatNode*()>>> ways{
        {"click",
         [&] {
             ClickNode(second);
             return second;
         }},
        {"key",
         [&] {
             driver.Key(Qt::Key_Down);
             return static_cast<const FormatNode*>(second->FirstChild());
         }},
        {"find",
         [&] {
             dialog->Finder().findChild<QLineEdit*>()->setText(QStringLiteral("S1F3W"));
             dialog->Finder().FindNext();
             Settle();
             return static_cast<const FormatNode*>(second->NextSibling());
         }},
        {"undo",
         [&] {
             ClickNode(second);
             prompts.answers.push_back(true);
             Click(IDC_DELETE_MESSAGE);
             events.clear();
             Commands().Undo();
             Settle();
             return static_cast<const FormatNode*>(Root()->FirstChild()->NextSibling());
         }},
    };
    for (const auto& [way, choose] : ways) {
        SCOPED_TRACE(way);
        events.clear();
        const FormatNode* chosen = choose();
        const int row = RowOf(chosen);
        ASSERT_EQ(Tree().SelectedNode(), chosen);
        EXPECT_TRUE(tree->child(row)->state().selected);
        EXPECT_EQ(tree->child(row)->state().focused, Tree().hasFocus());
        EXPECT_EQ(tree->focusChild(), Tree().hasFocus() ? tree->child(row) : nullptr);
        EXPECT_NE(std::find(events.begin(), events.end(), std::pair(QAccessible::Selection, row)), events.end());
        EXPECT_EQ(std::find(events.begin(), events.end(), std::pair(QAccessible::Focus, row)) != events.end(),
                  Tree().hasFocus());
    }
}

TEST_F(AccessibilityTest, ToggleCollapsesAndExpandsARowAndItsRowsGoAndCome) {
    QAccessibleInterface* row = tree->child(RowOf(Root()->FirstChild()->NextSibling()));
    const int expanded = tree->childCount();
    for (const bool collapsed : {true, false}) {
        row->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_EQ(row->state().collapsed, collapsed);
        EXPECT_EQ(tree->childCount(), collapsed ? expanded - 3 : expanded);
    }
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const auto& event) { return event.first == QAccessible::StateChanged; }),
              2);
    // Said again as a change of the row's description, which Qt's bridge
    // passes on where it drops the state change.
    ASSERT_EQ(said.size(), 2U);
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("collapsed, level 1, 2 of "))) << said[0].toStdString();
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("expanded, level 1, 2 of "))) << said[1].toStdString();
    EXPECT_FALSE(row->text(QAccessible::Description).startsWith(QStringLiteral("expanded")));
    row->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Tree().SelectedNode(), Root()->FirstChild()->NextSibling());
}

// Entering the tree announces the chosen row; Find, where the keyboard
// stays, tells its result through the search field's description.
TEST_F(AccessibilityTest, TheChosenRowIsHeardOnEnteringTheTreeAndFindSaysWhatItFound) {
    ClickNode(Root()->FirstChild()->NextSibling());
    dialog->Control(IDC_STREAM)->setFocus();
    events.clear();
    Tree().setFocus(Qt::TabFocusReason);
    Settle();
    EXPECT_EQ(events.back(), std::pair(QAccessible::Focus, RowOf(Root()->FirstChild()->NextSibling())));
    auto* field = dialog->Finder().findChild<QLineEdit*>();
    field->setText(QStringLiteral("S1F3W"));
    dialog->Finder().FindNext();
    const QString found = QAccessible::queryAccessibleInterface(field)->text(QAccessible::Description);
    EXPECT_TRUE(found.startsWith(QStringLiteral("S1F3W, level 1, 3 of "))) << found.toStdString();
}

TEST_F(AccessibilityTest, ARowWhoseNodeIsDeletedGoesWithIt) {
    const QAccessible::Id id = QAccessible::uniqueId(tree->child(0));
    ClickNode(Root()->FirstChild());
    prompts.answers.push_back(true);
    Click(IDC_DELETE_MESSAGE);
    EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr);
    EXPECT_EQ(tree->child(0)->text(QAccessible::Name), QString::fromLocal8Bit(Root()->FirstChild()->Label().str()));
}

TEST_F(AccessibilityTest, CheckBoxesAreCheckBoxesWithTheirState) {
    for (const auto& [id, name] : {std::pair(IDC_REPLY_REQUIRED, "Reply Required"), {IDC_NOT_FIXED, "Not Fixed"}}) {
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(Check(id));
        EXPECT_EQ(box->role(), QAccessible::CheckBox);
        EXPECT_EQ(box->text(QAccessible::Name), QString::fromLatin1(name));
        Check(id)->setEnabled(true);
        for (const bool checked : {true, false}) {
            events.clear();
            Click(id);
            EXPECT_EQ(box->state().checked, checked);
            EXPECT_EQ(std::count(events.begin(), events.end(), std::pair(QAccessible::StateChanged, -1)), 1);
        }
        Check(id)->SetCheck(1);
        EXPECT_TRUE(box->state().checked);
        box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        EXPECT_FALSE(box->state().checked);
    }
}

TEST_F(AccessibilityTest, EveryFieldIsNamedAfterItsLabelAndNoTwoButtonsShareAName) {
    const std::vector<std::pair<int, const char*>> fields{
        {IDC_STREAM, "Stream"},
        {IDC_FUNCTION, "Function"},
        {IDC_MESSAGE_DESCRIPTION, "SECS Message Description"},
        {IDC_FORMAT, "Item Format"},
        {IDC_ITEM_COUNT, "Item Count"},
        {IDC_ITEM_DESCRIPTION, "Sub Item Description"},
    };
    for (const auto& [id, name] : fields) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog->Control(id))->text(QAccessible::Name),
                  QString::fromLatin1(name));
    }
    QSet<QString> names;
    for (SkinButton* button : dialog->findChildren<SkinButton*>()) {
        const QString name = QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(Control<SkinButton>(IDC_UPDATE_ITEM)->text(), QStringLiteral("Update"));
    SubItemDialog subItems(dialog.get());
    for (const auto& [field, name] : {std::pair("countEdit", "Item Count"), {"descriptionEdit", "Description"}}) {
        QWidget* edit = subItems.findChild<QWidget*>(QString::fromLatin1(field));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name), QString::fromLatin1(name));
    }
}

TEST_F(AccessibilityTest, EachFieldAndButtonOfAGroupLiesInAPanelNamedAfterIt) {
    const std::vector<std::pair<int, QString>> fields{{IDC_STREAM, QStringLiteral("SECS Message")},
                                                      {IDC_CREATE_MESSAGE, QStringLiteral("SECS Message")},
                                                      {IDC_FORMAT, QStringLiteral("Sub Item")},
                                                      {IDC_ITEM_DESCRIPTION, QStringLiteral("Sub Item")},
                                                      {IDC_MOVE_DOWN, QStringLiteral("Node Move")}};
    for (const auto& [id, group] : fields) {
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(dialog->Control(id))->parent();
        ASSERT_NE(panel, nullptr) << id;
        EXPECT_EQ(panel->role(), QAccessible::Grouping) << id;
        EXPECT_EQ(panel->text(QAccessible::Name), group) << id;
        EXPECT_TRUE(panel->rect().contains(QAccessible::queryAccessibleInterface(dialog->Control(id))->rect())) << id;
    }
    // A click in a panel reaches its fields as before.
    QWidget* stream = dialog->Control(IDC_STREAM);
    QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      stream->mapTo(dialog.get(), stream->rect().center()));
    Settle();
    EXPECT_TRUE(stream->hasFocus());
}

} // namespace
} // namespace tqf
