#include "TreeAccessible.h"

#include "AccessibleEvents.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "TreeRowAccessible.h"

#include <QWidget>

#include <algorithm>
#include <limits>
#include <vector>

namespace tqf {

namespace {

// Up to this many known rows, the rows of a deleted sub-tree are found by
// asking each known row whether it lies in it; beyond, by walking the
// sub-tree, which then costs less.
constexpr std::size_t SCAN_KNOWN_ROWS_BELOW = 64;

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

int TreeAccessible::childCount() const { return ClampToInt(View()->UpToDateLayout().Size()); }

QAccessibleInterface* TreeAccessible::child(int index) const {
    const TreeLayout& layout = View()->UpToDateLayout();
    if (index < 0 || static_cast<std::size_t>(index) >= layout.Size()) {
        return nullptr;
    }
    return RowOf(layout.Entry(static_cast<std::size_t>(index)).node);
}

QAccessibleInterface* TreeAccessible::RowOf(const FormatNode* node) const {
    if (node == nullptr || !View()->UpToDateLayout().IndexOf(node)) {
        return nullptr;
    }
    if (const auto found = rows_.find(node); found != rows_.end()) {
        return QAccessible::accessibleInterface(found->second);
    }
    auto* row = new TreeRowAccessible(View(), node);
    rows_.emplace(node, QAccessible::registerAccessibleInterface(row));
    return row;
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
    return RowOf(view->SelectedNode());
}

TreeAccessible::SiblingPlace TreeAccessible::PlaceOf(const FormatNode* node) const {
    if (node == nullptr || node->Parent() == nullptr) {
        return {};
    }
    const std::uint64_t generation = View()->ShapeGeneration();
    if (generation != placesGeneration_) {
        places_.clear();
        placesGeneration_ = generation;
    }
    if (const auto found = places_.find(node); found != places_.end()) {
        return found->second;
    }
    // All the parent's sub-nodes at once, so that a reader going through
    // thousands of messages walks their chain once, not once per message.
    std::vector<const FormatNode*> siblings;
    for (const FormatNode* sibling = node->Parent()->FirstChild(); sibling != nullptr;
         sibling = sibling->NextSibling()) {
        siblings.push_back(sibling);
    }
    const int count = ClampToInt(siblings.size());
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        places_[siblings[i]] = SiblingPlace{ClampToInt(i + 1), count};
    }
    return places_[node];
}

void TreeAccessible::ForgetRows(const FormatNode* subtreeRoot) {
    if (rows_.empty()) {
        return;
    }
    if (subtreeRoot->Parent() == nullptr) {
        ForgetAllRows();
        return;
    }
    std::vector<const FormatNode*> gone;
    if (rows_.size() < SCAN_KNOWN_ROWS_BELOW) {
        for (const auto& [node, id] : rows_) {
            if (FormatTree::IsWithin(node, subtreeRoot)) {
                gone.push_back(node);
            }
        }
    } else {
        // Many rows are known: look up the nodes of the sub-tree instead,
        // walked without recursion.
        for (const FormatNode* node = subtreeRoot; node != nullptr;) {
            if (rows_.contains(node)) {
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
    for (const FormatNode* node : gone) {
        const QAccessible::Id id = rows_.at(node);
        rows_.erase(node);
        if (auto* row = static_cast<TreeRowAccessible*>(QAccessible::accessibleInterface(id))) {
            row->Forget();
            QAccessible::deleteAccessibleInterface(id);
        }
    }
}

void TreeAccessible::ForgetAllRows() {
    for (const auto& [node, id] : rows_) {
        (void)node;
        QAccessible::deleteAccessibleInterface(id);
    }
    rows_.clear();
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
    static_cast<TreeRowAccessible*>(row)->AnnounceChange(node->IsExpanded() != 0 ? QStringLiteral("expanded")
                                                                                 : QStringLiteral("collapsed"));
}

} // namespace tqf
