#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPointer>

namespace tqf {

class FormatNode;
class FormatTreeView;
class TreeAccessible;

// One row of the tree: a node as a screen reader sees it. It holds the node
// only while the node is in the document; the tree's interface (TreeAccessible)
// makes it when a reader first asks for the row and forgets it when the node
// goes.
class TreeRowAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TreeRowAccessible(FormatTreeView* view, const FormatNode* node) : view_(view), node_(node) {}

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

    const FormatNode* Node() const { return node_; }
    FormatTreeView* View() const { return view_.data(); }
    // The node has left the document.
    void Forget() { node_ = nullptr; }

    // Tells a reader, as a change of the row's description, what happened
    // to it (said first, then the description), for a change the platform's
    // bridge does not pass on by itself.
    void AnnounceChange(const QString& said);

private:
    TreeAccessible* Tree() const;
    QString Description() const;

    QPointer<FormatTreeView> view_;
    const FormatNode* node_;
    // Said before the description while a change is announced.
    QString announcing_;
};

} // namespace tqf
