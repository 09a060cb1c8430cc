#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPointer>

#include "NodeRef.h"

namespace tqf {

class FormatNode;
class FormatTreeView;
class TreeAccessible;

// One row of the tree, the one cell of its row in the tree's table: a node as
// a screen reader sees it. It refers to the node only while the node is in
// the document; the tree's interface (TreeAccessible) makes it when a reader
// asks for the row and deletes it when the node goes or when the row has
// not been asked for in a while.
class TreeRowAccessible final : public QAccessibleInterface,
                                public QAccessibleActionInterface,
                                public QAccessibleTableCellInterface {
public:
    // node is one of view's.
    TreeRowAccessible(FormatTreeView* view, FormatNode* node);

    bool isValid() const override { return view_ != nullptr && node_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;

    QAccessibleInterface* parent() const override;
    // A row has no children: its sub-nodes are rows of the tree too.
    QAccessibleInterface* child(int index) const override;
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    // The name is the label; the description the row's level and place, and
    // for a message its description, which its label lacks.
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString& text) override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // Press chooses the row as a click does; toggle expands or collapses a
    // row that has sub-nodes.
    QStringList actionNames() const override;
    QString localizedActionDescription(const QString& name) const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

    // The cell: column 0 of its row, which it spans alone.
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override;
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

    // None once the node has left the document.
    const FormatNode* Node() const { return node_.Get(); }
    FormatTreeView* View() const { return view_.data(); }

    // Tells a reader, as a change of the row's description, what happened
    // to it (said first, then the description), for a change the platform's
    // bridge does not pass on by itself.
    void AnnounceChange(const QString& said);

private:
    TreeAccessible* Tree() const;
    QString Description() const;

    QPointer<FormatTreeView> view_;
    NodeRef node_;
    // Said before the description while a change is announced.
    QString announcing_;
};

} // namespace tqf
