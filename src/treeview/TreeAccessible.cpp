#include "TreeAccessible.h"

#include "AccessibleEvents.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "TreeRowAccessible.h"

#include <QWidget>

#include <algorithm>
#include <limits>

namespace tqf {

namespace {

// Up to this many kept rows, the rows of a deleted sub-tree are found by
// asking each kept row whether it lies in it; beyond, by walking the
// sub-tree, which then costs less.
constexpr std::size_t SCAN_KEPT_ROWS_BELOW = 64;
// How many parents' sub-node positions are kept: the root's and those of
// the messages a reader goes through.
constexpr std::size_t KEPT_PARENTS = 4;

int ClampToInt(std::size_t value) {
    return static_cast<int>(std::min<std::size_t>(value, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

QAccessibleInterface* TreeFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(FormatTreeView::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType()) {
        return new TreeAccessible(static_cast<FormatTreeView*>(object));
    }
    return nullptr;
}

} // namespace

TreeAccessible::TreeAccessible(FormatTreeView* view) : QAccessibleWidget(view, QAccessible::Tree) {
    deletion_ = QObject::connect(view, &FormatTreeView::NodesAboutToBeDeleted, view,
                                 [this](const FormatNode* subtreeRoot) { ForgetRows(subtreeRoot); });
}

TreeAccessible::~TreeAccessible() {
    QObject::disconnect(deletion_);
    ForgetAllRows();
}

void TreeAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(TreeFactory);
        return true;
    }();
    (void)installed;
}

FormatTreeView* TreeAccessible::View() const { return static_cast<FormatTreeView*>(widget()); }

void* TreeAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

int TreeAccessible::childCount() const { return ClampToInt(View()->UpToDateLayout().Size()); }

QAccessibleInterface* TreeAccessible::child(int index) const {
    const TreeLayout& layout = View()->UpToDateLayout();
    if (index < 0 || static_cast<std::size_t>(index) >= layout.Size()) {
        return nullptr;
    }
    return RowOfVisible(layout.Entry(static_cast<std::size_t>(index)).node);
}

QAccessibleInterface* TreeAccessible::RowOf(const FormatNode* node) const {
    if (node == nullptr || !View()->UpToDateLayout().IndexOf(node)) {
        return nullptr;
    }
    return RowOfVisible(node);
}

QAccessibleInterface* TreeAccessible::RowOfVisible(const FormatNode* node) const {
    if (node == nullptr) {
        return nullptr;
    }
    if (const auto found = kept_.constFind(node); found != kept_.cend()) {
        recent_.splice(recent_.begin(), recent_, *found);
        return QAccessible::accessibleInterface(recent_.front().id);
    }
    FormatNode* owned = View()->Tree().Mutable(node);
    if (owned == nullptr) {
        return nullptr;
    }
    auto* row = new TreeRowAccessible(View(), owned);
    recent_.push_front(KeptRow{node, QAccessible::registerAccessibleInterface(row)});
    kept_.insert(node, recent_.begin());
    DropOldestRows();
    return row;
}

void TreeAccessible::DropOldestRows() const {
    const FormatNode* chosen = View()->KeyNode();
    bool chosenKept = false;
    while (recent_.size() > KEPT_ROWS) {
        const KeptRow oldest = recent_.back();
        if (oldest.key == chosen && !chosenKept) {
            // The row the keys act on stays: a reader comes back to it.
            recent_.splice(recent_.begin(), recent_, std::prev(recent_.end()));
            chosenKept = true;
            continue;
        }
        recent_.pop_back();
        kept_.remove(oldest.key);
        QAccessible::deleteAccessibleInterface(oldest.id);
    }
}

int TreeAccessible::RowIndexOf(const FormatNode* node) const {
    const std::optional<std::size_t> index = View()->UpToDateLayout().IndexOf(node);
    return index ? ClampToInt(*index) : -1;
}

int TreeAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* row = dynamic_cast<const TreeRowAccessible*>(child);
    if (row == nullptr || row->View() != View() || row->Node() == nullptr) {
        return -1;
    }
    return RowIndexOf(row->Node());
}

QAccessibleInterface* TreeAccessible::childAt(int x, int y) const {
    FormatTreeView* view = View();
    const QPoint client = view->viewport()->mapFromGlobal(QPoint(x, y));
    if (!view->viewport()->rect().contains(client)) {
        return nullptr;
    }
    return RowOf(view->HitTestNode(client, view->GetRootNode()));
}

QAccessibleInterface* TreeAccessible::focusChild() const {
    FormatTreeView* view = View();
    if (!view->hasFocus()) {
        return nullptr;
    }
    return RowOf(view->KeyNode());
}

// ---- The table ----

QAccessibleInterface* TreeAccessible::cellAt(int row, int column) const { return column == 0 ? child(row) : nullptr; }

int TreeAccessible::selectedCellCount() const { return RowIndexOf(View()->SelectedNode()) >= 0 ? 1 : 0; }

QList<QAccessibleInterface*> TreeAccessible::selectedCells() const {
    QAccessibleInterface* row = RowOf(View()->SelectedNode());
    return row != nullptr ? QList<QAccessibleInterface*>{row} : QList<QAccessibleInterface*>{};
}

QString TreeAccessible::columnDescription(int column) const {
    return column == 0 ? text(QAccessible::Name) : QString();
}

QString TreeAccessible::rowDescription(int row) const {
    QAccessibleInterface* cell = child(row);
    return cell != nullptr ? cell->text(QAccessible::Description) : QString();
}

QList<int> TreeAccessible::selectedRows() const {
    const int row = RowIndexOf(View()->SelectedNode());
    return row >= 0 ? QList<int>{row} : QList<int>{};
}

bool TreeAccessible::isColumnSelected(int column) const {
    (void)column;
    return false;
}

bool TreeAccessible::isRowSelected(int row) const { return row >= 0 && RowIndexOf(View()->SelectedNode()) == row; }

bool TreeAccessible::selectRow(int row) {
    const TreeLayout& layout = View()->UpToDateLayout();
    if (row < 0 || static_cast<std::size_t>(row) >= layout.Size()) {
        return false;
    }
    FormatNode* node = View()->Tree().Mutable(layout.Entry(static_cast<std::size_t>(row)).node);
    View()->ChooseNode(node);
    return node != nullptr && View()->SelectedNode() == node;
}

bool TreeAccessible::selectColumn(int column) {
    (void)column;
    return false;
}

bool TreeAccessible::unselectRow(int row) {
    // One node is always chosen; another is chosen by selecting its row.
    (void)row;
    return false;
}

bool TreeAccessible::unselectColumn(int column) {
    (void)column;
    return false;
}

void TreeAccessible::modelChange(QAccessibleTableModelChangeEvent* event) { (void)event; }

// ---- Places ----

TreeAccessible::SiblingPlace TreeAccessible::PlaceOf(const FormatNode* node) const {
    if (node == nullptr || node->Parent() == nullptr) {
        return {};
    }
    const std::uint64_t generation = View()->ShapeGeneration();
    if (generation != placesGeneration_) {
        places_.clear();
        placesGeneration_ = generation;
    }
    const FormatNode* parent = node->Parent();
    auto known = std::find_if(places_.begin(), places_.end(),
                              [parent](const SiblingPositions& siblings) { return siblings.parent == parent; });
    if (known == places_.end()) {
        // All the parent's sub-nodes at once, so that a reader going through
        // thousands of messages walks their chain once, not once per message.
        SiblingPositions siblings{parent, {}, 0};
        for (const FormatNode* sibling = parent->FirstChild(); sibling != nullptr; sibling = sibling->NextSibling()) {
            siblings.positions.insert(sibling, ++siblings.count);
        }
        places_.push_front(std::move(siblings));
        if (places_.size() > KEPT_PARENTS) {
            places_.pop_back();
        }
        known = places_.begin();
    } else if (known != places_.begin()) {
        places_.splice(places_.begin(), places_, known);
        known = places_.begin();
    }
    return SiblingPlace{known->positions.value(node, 0), known->count};
}

// ---- Deletion ----

void TreeAccessible::ForgetRows(const FormatNode* subtreeRoot) {
    if (recent_.empty()) {
        return;
    }
    if (subtreeRoot->Parent() == nullptr) {
        ForgetAllRows();
        return;
    }
    std::vector<const FormatNode*> gone;
    if (recent_.size() < SCAN_KEPT_ROWS_BELOW) {
        for (const KeptRow& row : recent_) {
            if (FormatTree::IsWithin(row.key, subtreeRoot)) {
                gone.push_back(row.key);
            }
        }
    } else {
        // Many rows are kept: look up the nodes of the sub-tree instead,
        // walked without recursion.
        for (const FormatNode* node = subtreeRoot; node != nullptr;) {
            if (kept_.contains(node)) {
                gone.push_back(node);
            }
            if (node->FirstChild() != nullptr) {
                node = node->FirstChild();
                continue;
            }
            while (node != subtreeRoot && node->NextSibling() == nullptr) {
                node = node->Parent();
            }
            node = node == subtreeRoot ? nullptr : node->NextSibling();
        }
    }
    std::vector<QAccessible::Id> ids;
    for (const FormatNode* node : gone) {
        const auto where = kept_.take(node);
        ids.push_back(where->id);
        recent_.erase(where);
    }
    DeleteRows(ids);
}

void TreeAccessible::ForgetAllRows() {
    std::vector<QAccessible::Id> ids;
    for (const KeptRow& row : recent_) {
        ids.push_back(row.id);
    }
    recent_.clear();
    kept_.clear();
    DeleteRows(ids);
}

void TreeAccessible::DeleteRows(const std::vector<QAccessible::Id>& ids) {
    for (const QAccessible::Id id : ids) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

// The tree's interface when a reader listens and node has a row in it.
TreeAccessible* TreeAccessible::ListenedTree(FormatTreeView& view, const FormatNode* node) {
    if (!AccessibleEvents::Listening() || node == nullptr) {
        return nullptr;
    }
    auto* tree = static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(&view));
    return tree != nullptr && tree->RowOf(node) != nullptr ? tree : nullptr;
}

void TreeAccessible::NotifyChosen(FormatTreeView& view, const FormatNode* node) {
    TreeAccessible* tree = ListenedTree(view, node);
    if (tree == nullptr) {
        return;
    }
    const int index = tree->RowIndexOf(node);
    QAccessibleEvent selection(&view, QAccessible::Selection);
    selection.setChild(index);
    AccessibleEvents::Send(selection);
    if (view.hasFocus()) {
        QAccessibleEvent focus(&view, QAccessible::Focus);
        focus.setChild(index);
        AccessibleEvents::Send(focus);
    }
}

void TreeAccessible::NotifyFocused(FormatTreeView& view, const FormatNode* node) {
    TreeAccessible* tree = ListenedTree(view, node);
    if (tree == nullptr) {
        return;
    }
    QAccessibleEvent focus(&view, QAccessible::Focus);
    focus.setChild(tree->RowIndexOf(node));
    AccessibleEvents::Send(focus);
}

void TreeAccessible::NotifyExpansion(FormatTreeView& view, const FormatNode* node) {
    TreeAccessible* tree = ListenedTree(view, node);
    QAccessibleInterface* row = tree != nullptr ? tree->RowOf(node) : nullptr;
    if (row == nullptr) {
        return;
    }
    QAccessible::State changed;
    changed.expanded = true;
    changed.collapsed = true;
    QAccessibleStateChangeEvent event(row, changed);
    AccessibleEvents::Send(event);
    // Qt's bridge drops this state change on its way to the bus (Qt 6.4):
    // the row says it again as a change of its description.
    static_cast<TreeRowAccessible*>(row)->AnnounceChange(node->IsExpanded() ? QStringLiteral("expanded")
                                                                            : QStringLiteral("collapsed"));
}

} // namespace tqf
