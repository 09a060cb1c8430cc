#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMetaObject>

#include <cstdint>
#include <unordered_map>

namespace tqf {

class FormatNode;
class FormatTreeView;

// How screen readers and other assistive tools see the tree view: a tree
// whose children are its visible rows (the nodes whose parents are all
// expanded), in the order they are drawn, whether scrolled into view or not.
// A row's interface is made when a tool first asks for it and kept until its
// node leaves the document, so a large library costs nothing until it is
// read, and then only for the rows that were read.
class TreeAccessible : public QAccessibleWidget {
public:
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
    // Tells them that node was expanded or collapsed.
    static void NotifyExpansion(FormatTreeView& view, const FormatNode* node);

    FormatTreeView* View() const;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The row of a visible node, made on first use; none for a node that is
    // not shown (under a collapsed node, or not in the document).
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

private:
    // Drops the rows of subtreeRoot and everything below it.
    void ForgetRows(const FormatNode* subtreeRoot);
    void ForgetAllRows();

    mutable std::unordered_map<const FormatNode*, QAccessible::Id> rows_;
    // The place of every sub-node of the parents asked about, valid while
    // the document's shape is that of shapeGeneration_.
    mutable std::unordered_map<const FormatNode*, SiblingPlace> places_;
    mutable std::uint64_t placesGeneration_ = 0;
    QMetaObject::Connection deletion_;
};

} // namespace tqf
