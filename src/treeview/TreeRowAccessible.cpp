#include "TreeRowAccessible.h"

#include "AccessibleEvents.h"
#include "FormatNode.h"
#include "FormatTreeView.h"
#include "TreeAccessible.h"
#include "TreePainter.h"

#include <QWidget>
#include <QWindow>

#include <string_view>

namespace tqf {

namespace {

// The words a reader says after a row's label, such as "level 1, 3 of 40".
constexpr const char* PLACE_FORMAT = "level %1, %2 of %3";
// Joins the place and a message's description, which its label lacks.
constexpr const char* PLACE_AND_DESCRIPTION_FORMAT = "%1, %2";

QString FromBytes(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

int DepthOf(const FormatNode* node) {
    int depth = 0;
    for (const FormatNode* above = node->Parent(); above != nullptr; above = above->Parent()) {
        ++depth;
    }
    return depth;
}

} // namespace

TreeRowAccessible::TreeRowAccessible(FormatTreeView* view, FormatNode* node) : view_(view), node_(view->Tree(), node) {}

QWindow* TreeRowAccessible::window() const { return view_ != nullptr ? view_->window()->windowHandle() : nullptr; }

QAccessibleInterface* TreeRowAccessible::parent() const { return Tree(); }

QAccessibleInterface* TreeRowAccessible::child(int index) const {
    (void)index;
    return nullptr;
}

int TreeRowAccessible::indexOfChild(const QAccessibleInterface* child) const {
    (void)child;
    return -1;
}

QAccessibleInterface* TreeRowAccessible::childAt(int x, int y) const {
    (void)x;
    (void)y;
    return nullptr;
}

QString TreeRowAccessible::text(QAccessible::Text t) const {
    if (!isValid()) {
        return QString();
    }
    switch (t) {
    case QAccessible::Name:
        return FromBytes(node_->Label());
    case QAccessible::Description:
        return announcing_.isEmpty() ? Description() : announcing_ + QStringLiteral(", ") + Description();
    default:
        return QString();
    }
}

void TreeRowAccessible::setText(QAccessible::Text t, const QString& text) {
    // Rows are renamed by editing their node in the panels, never here.
    (void)t;
    (void)text;
}

QRect TreeRowAccessible::rect() const {
    TreeAccessible* tree = Tree();
    if (tree == nullptr) {
        return QRect();
    }
    FormatTreeView* view = tree->View();
    const std::optional<RowPlacement> row = view->UpToDateLayout().Find(node_);
    if (!row) {
        return QRect();
    }
    const QWidget* client = view->viewport();
    const NodeRect r = TreePainter::ClientRect(*row, view->ScrollPosition(), client->width());
    return QRect(client->mapToGlobal(QPoint(r.left, r.top)), QSize(r.right - r.left, r.bottom - r.top));
}

QAccessible::State TreeRowAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = true;
    state.focusable = true;
    state.selected = isSelected();
    state.focused = view_->KeyNode() == node_.Get() && view_->hasFocus();
    if (node_->FirstChild() != nullptr) {
        state.expandable = true;
        state.expanded = node_->IsExpanded();
        state.collapsed = !node_->IsExpanded();
    }
    const QRect shown = rect();
    const QRect client(view_->viewport()->mapToGlobal(QPoint(0, 0)), view_->viewport()->size());
    state.offscreen = !shown.intersects(client);
    state.invisible = shown.isEmpty() && state.offscreen;
    return state;
}

void* TreeRowAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ActionInterface) {
        return static_cast<QAccessibleActionInterface*>(this);
    }
    if (type == QAccessible::TableCellInterface) {
        return static_cast<QAccessibleTableCellInterface*>(this);
    }
    return nullptr;
}

QStringList TreeRowAccessible::actionNames() const {
    QStringList names{pressAction()};
    if (isValid() && node_->FirstChild() != nullptr) {
        names << toggleAction();
    }
    return names;
}

QString TreeRowAccessible::localizedActionDescription(const QString& name) const {
    if (name == pressAction()) {
        return QStringLiteral("Choose");
    }
    if (name == toggleAction()) {
        return isValid() && node_->IsExpanded() ? QStringLiteral("Collapse") : QStringLiteral("Expand");
    }
    return QString();
}

void TreeRowAccessible::doAction(const QString& name) {
    if (!isValid()) {
        return;
    }
    FormatNode* node = node_.Get();
    if (name == pressAction()) {
        view_->ChooseNode(node);
    } else if (name == toggleAction() && node->FirstChild() != nullptr) {
        view_->ToggleExpanded(node, true);
    }
}

QStringList TreeRowAccessible::keyBindingsForAction(const QString& name) const {
    (void)name;
    return QStringList();
}

void TreeRowAccessible::AnnounceChange(const QString& said) {
    // The bridge reads the description while the event is sent.
    announcing_ = said;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    AccessibleEvents::Send(event);
    announcing_.clear();
}

bool TreeRowAccessible::isSelected() const { return isValid() && view_->SelectedNode() == node_.Get(); }

int TreeRowAccessible::rowIndex() const {
    const TreeAccessible* tree = Tree();
    return tree != nullptr && isValid() ? tree->RowIndexOf(node_) : -1;
}

QAccessibleInterface* TreeRowAccessible::table() const { return Tree(); }

TreeAccessible* TreeRowAccessible::Tree() const {
    if (view_ == nullptr) {
        return nullptr;
    }
    return static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(view_.data()));
}

QString TreeRowAccessible::Description() const {
    const TreeAccessible* tree = Tree();
    if (tree == nullptr) {
        return QString();
    }
    const TreeAccessible::SiblingPlace place = tree->PlaceOf(node_);
    const QString where = QString::fromLatin1(PLACE_FORMAT).arg(DepthOf(node_)).arg(place.position).arg(place.count);
    // An item's label holds its description; a message's does not.
    if (node_->IsMessage() && !node_->Description().empty()) {
        return QString::fromLatin1(PLACE_AND_DESCRIPTION_FORMAT).arg(where, FromBytes(node_->Description()));
    }
    return where;
}

} // namespace tqf
