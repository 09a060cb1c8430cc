#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QMetaObject>

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

namespace tqf {

class FormatNode;
class FormatTreeView;
class TreeRowAccessible;

// How screen readers and other assistive tools see the tree view: a tree
// table of one column whose rows are its visible rows (the nodes whose
// parents are all expanded), in the order they are drawn, whether scrolled
// into view or not. The table lets a reader ask for the rows it shows, by
// row number, instead of walking them all.
//
// A row's interface is made when a tool asks for it. Only the rows asked for
// last are kept (and the chosen one), so that reading a large library row by
// row takes no more memory at its end than at its start; a row asked for
// again after it was dropped is made anew, under a new id (see DeleteRows).
class TreeAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    // How many row interfaces are kept: some screens of rows.
    static constexpr std::size_t KEPT_ROWS = 256;

    explicit TreeAccessible(FormatTreeView* view);
    ~TreeAccessible() override;
    TreeAccessible(const TreeAccessible&) = delete;
    TreeAccessible& operator=(const TreeAccessible&) = delete;

    // Makes Qt ask this class for the interface of every FormatTreeView;
    // once per program, however often it is called.
    static void Install();

    // Tells assistive tools that node became the chosen row: its selection,
    // and its focus while the view has the keyboard focus. Nothing is done
    // while no tool listens.
    static void NotifyChosen(FormatTreeView& view, const FormatNode* node);
    // Tells them that the keys act on node's row, which is not chosen: the
    // row that took the place of the chosen node deleted.
    static void NotifyFocused(FormatTreeView& view, const FormatNode* node);
    // Tells them that node was expanded or collapsed.
    static void NotifyExpansion(FormatTreeView& view, const FormatNode* node);

    FormatTreeView* View() const;

    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The table: one column, a row per visible node. The chosen node's row
    // is the one selected row; selecting a row chooses its node as a click
    // does, and a row cannot be unselected but by choosing another.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return selectedCellCount(); }
    int columnCount() const override { return 1; }
    int rowCount() const override { return childCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int column) override;
    bool unselectRow(int row) override;
    bool unselectColumn(int column) override;
    // The rows follow the view's layout by themselves.
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // The row of a visible node; none for a node that is not shown (under a
    // collapsed node, or not in the document).
    QAccessibleInterface* RowOf(const FormatNode* node) const;
    static TreeAccessible* ListenedTree(FormatTreeView& view, const FormatNode* node);
    // The row index of a visible node, or -1.
    int RowIndexOf(const FormatNode* node) const;
    // Where node stands among the sub-nodes of its parent: position from 1,
    // and how many there are.
    struct SiblingPlace {
        int position = 0;
        int count = 0;
    };
    SiblingPlace PlaceOf(const FormatNode* node) const;
    // How many row interfaces are alive.
    std::size_t KeptRowCount() const { return recent_.size(); }

private:
    struct KeptRow {
        // The node the row was made for, as the key it is found by: never
        // followed, as the row's own reference goes with the node.
        const FormatNode* key = nullptr;
        QAccessible::Id id = 0;
    };
    // The sub-nodes of one parent and their positions.
    struct SiblingPositions {
        const FormatNode* parent = nullptr;
        QHash<const FormatNode*, int> positions;
        int count = 0;
    };

    // The row of a node known to be visible.
    QAccessibleInterface* RowOfVisible(const FormatNode* node) const;
    void DropOldestRows() const;
    // Drops the rows of subtreeRoot and everything below it.
    void ForgetRows(const FormatNode* subtreeRoot);
    void ForgetAllRows();
    // Qt hands out ids in increasing order and comes back to a freed one only
    // after some two thousand million more: a reader that kept the id of a
    // deleted row is told it is gone, never handed another row.
    static void DeleteRows(const std::vector<QAccessible::Id>& ids);

    // The kept rows, the one asked for last first, and where each stands.
    mutable std::list<KeptRow> recent_;
    mutable QHash<const FormatNode*, std::list<KeptRow>::iterator> kept_;
    // The positions of the sub-nodes of the parents asked about last, valid
    // while the document's shape is that of placesGeneration_.
    mutable std::list<SiblingPositions> places_;
    mutable std::uint64_t placesGeneration_ = 0;
    QMetaObject::Connection deletion_;
};

} // namespace tqf
