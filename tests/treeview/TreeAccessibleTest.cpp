// The tree as a screen reader's table: rows by number, the chosen row as the
// selection, row interfaces that do not pile up, the row after a delete.
#include "TreeAccessible.h"
#include "AccessibleEvents.h"
#include "TreeCommands.h"
#include "TreeNavigation.h"
#include "TreeRowAccessible.h"
#include "TreeViewTestSupport.h"

#include <QAccessible>
#include <QTest>

#include <set>

namespace tqf::test {
namespace {

constexpr int MESSAGES = 300;

struct ReadTree : TreeViewHarness {
    std::vector<FormatNode*> messages;
    TreeAccessible* tree = nullptr;
    QAccessibleTableInterface* table = nullptr;

    ReadTree() : TreeViewHarness(300, 200) {
        for (int i = 0; i < MESSAGES; ++i) {
            messages.push_back(AddMessage("S1F" + std::to_string(i)));
        }
        Render();
        tree = static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(&View()));
        table = tree->tableInterface();
    }
    QAccessible::Id IdOfRow(int row) { return QAccessible::uniqueId(table->cellAt(row, 0)); }
};

TEST(TreeAccessibleTest, RowsAreCellsOfOneColumnAndTheChosenRowIsTheSelection) {
    ReadTree t;
    EXPECT_EQ(t.table->rowCount(), MESSAGES);
    EXPECT_EQ(t.table->cellAt(5, 1), nullptr);
    QAccessibleInterface* cell = t.table->cellAt(5, 0);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("S1F5"));
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), 5);
    EXPECT_EQ(cell->tableCellInterface()->table(), t.tree);

    EXPECT_TRUE(t.table->selectRow(5));
    EXPECT_EQ(t.View().SelectedNode(), t.messages[5]);
    EXPECT_EQ(t.table->selectedRows(), QList<int>{5});
    EXPECT_EQ(t.table->selectedCells(), QList<QAccessibleInterface*>{cell});
    EXPECT_TRUE(cell->tableCellInterface()->isSelected());
    EXPECT_TRUE(t.table->isRowSelected(5));
    EXPECT_FALSE(t.table->selectRow(MESSAGES));
}

TEST(TreeAccessibleTest, ReadingEveryRowKeepsOnlyTheLastRowsAndTheChosenOneAndNeverReusesAnId) {
    ReadTree t;
    t.table->selectRow(0);
    const QAccessible::Id chosen = t.IdOfRow(0);
    std::set<QAccessible::Id> ids;
    for (int pass = 0; pass < 2; ++pass) {
        for (int row = 1; row < MESSAGES; ++row) {
            EXPECT_TRUE(ids.insert(t.IdOfRow(row)).second) << "row " << row << " pass " << pass;
        }
    }
    EXPECT_LE(t.tree->KeptRowCount(), TreeAccessible::KEPT_ROWS);
    EXPECT_EQ(QAccessible::accessibleInterface(*ids.begin()), nullptr);
    EXPECT_EQ(QAccessible::accessibleInterface(chosen), t.table->cellAt(0, 0));
    EXPECT_EQ(t.IdOfRow(0), chosen);
}

TEST(TreeAccessibleTest, ARowDeletedWithItsNodeLeavesNoIdForTheNextRow) {
    ReadTree t;
    const QAccessible::Id last = t.IdOfRow(MESSAGES - 1);
    TreeSurgery::DeleteNode(t.Tree(), t.messages.back(), true);
    EXPECT_EQ(QAccessible::accessibleInterface(last), nullptr);
    EXPECT_NE(t.IdOfRow(0), last);
}

TEST(TreeAccessibleTest, TheRowThatTakesADeletedNodesPlaceIsItsNextSiblingElseThePreviousElseItsParent) {
    TreeViewHarness h;
    FormatNode* only = h.AddMessage("S1F1");
    FormatNode* list = h.AddItem(only, "<L[3]>", true);
    FormatNode* a = h.AddItem(list, "<A>");
    FormatNode* b = h.AddItem(list, "<B>");
    FormatNode* c = h.AddItem(list, "<C>");
    EXPECT_EQ(TreeNavigation::PlaceTakerOf(*a), b);
    EXPECT_EQ(TreeNavigation::PlaceTakerOf(*c), b);
    EXPECT_EQ(TreeNavigation::PlaceTakerOf(*list), only);
    EXPECT_EQ(TreeNavigation::PlaceTakerOf(*only), nullptr);
}

TEST(TreeAccessibleTest, AfterADeleteNothingIsChosenAndTheRowInItsPlaceIsHeardAsFocusedAndKeysGoOnFromIt) {
    ReadTree t;
    std::vector<std::pair<QAccessible::Event, int>> heard;
    AccessibleEvents::SetListener(
        [&heard](QAccessibleEvent& event) { heard.emplace_back(event.type(), event.child()); });
    t.View().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.View()));
    t.View().setFocus();
    t.View().ChooseNode(t.messages[10]);
    QCoreApplication::processEvents();
    heard.clear();
    t.View().RunCommand(ID_TREE_DELETE_NODE);
    QCoreApplication::processEvents();
    AccessibleEvents::SetListener(nullptr);

    EXPECT_EQ(t.View().SelectedNode(), nullptr);
    EXPECT_EQ(t.View().KeyNode(), t.messages[11]);
    EXPECT_EQ(heard, (std::vector<std::pair<QAccessible::Event, int>>{{QAccessible::Focus, 10}}));
    EXPECT_TRUE(t.table->cellAt(10, 0)->state().focused);
    EXPECT_EQ(t.tree->focusChild(), t.table->cellAt(10, 0));
    QTest::keyClick(t.View().windowHandle(), Qt::Key_Down);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.View().SelectedNode(), t.messages[12]);
}

} // namespace
} // namespace tqf::test
