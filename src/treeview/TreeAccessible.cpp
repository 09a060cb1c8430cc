#include "TreeAccessible.h"

#include "AccessibleEvents.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "TreePainter.h"

#include <QAccessibleActionInterface>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <QWindow>

#include <limits>
#include <vector>

namespace tqf {

namespace {

// The words a reader says after a row's label, such as "level 1, 3 of 40".
constexpr const char* PLACE_FORMAT = "level %1, %2 of %3";
// Joins the place and a message's description, which its label lacks.
constexpr const char* PLACE_AND_DESCRIPTION_FORMAT = "%1, %2";
// Up to this many known rows, the rows of a deleted sub-tree are found by
// asking each known row whether it lies in it; beyond, by walking the
// sub-tree, which then costs less.
constexpr std::size_t SCAN_KNOWN_ROWS_BELOW = 64;

QString FromBytes(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

int DepthOf(const FormatNode* node) {
    int depth = 0;
    for (const FormatNode* above = node->parent; above != nullptr; above = above->parent) {
        ++depth;
    }
    return depth;
}

int ClampToInt(std::size_t value) {
    return static_cast<int>(std::min<std::size_t>(value, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

// One row of the tree: a node as the reader sees it. It holds the node only
// while the node is in the document; the tree's interface deletes it when the
// node goes.
class TreeRowAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TreeRowAccessible(FormatTreeView* view, const FormatNode* node) : view_(view), node_(node) {}

    bool isValid() const override { return view_ != nullptr && node_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ != nullptr ? view_->window()->windowHandle() : nullptr; }

    QAccessibleInterface* parent() const override { return Tree(); }
    QAccessibleInterface* child(int index) const override {
        (void)index;
        return nullptr;
    }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        (void)child;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        (void)x;
        (void)y;
        return nullptr;
    }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return QString();
        }
        switch (t) {
        case QAccessible::Name:
            return FromBytes(node_->label);
        case QAccessible::Description:
            return Description();
        default:
            return QString();
        }
    }
    void setText(QAccessible::Text t, const QString& text) override {
        // Rows are renamed by editing their node in the panels, never here.
        (void)t;
        (void)text;
    }

    QRect rect() const override {
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

    QAccessible::Role role() const override { return QAccessible::TreeItem; }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        const bool chosen = view_->SelectedNode() == node_;
        state.selected = chosen;
        state.focused = chosen && view_->hasFocus();
        if (node_->firstChild != nullptr) {
            state.expandable = true;
            state.expanded = node_->expanded != 0;
            state.collapsed = node_->expanded == 0;
        }
        const QRect shown = rect();
        const QRect client(view_->viewport()->mapToGlobal(QPoint(0, 0)), view_->viewport()->size());
        state.offscreen = !shown.intersects(client);
        state.invisible = shown.isEmpty() && state.offscreen;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface) {
            return static_cast<QAccessibleActionInterface*>(this);
        }
        return nullptr;
    }

    // Press chooses the row as a click does; toggle expands or collapses a
    // row that has sub-nodes.
    QStringList actionNames() const override {
        QStringList names{pressAction()};
        if (isValid() && node_->firstChild != nullptr) {
            names << toggleAction();
        }
        return names;
    }
    QString localizedActionDescription(const QString& name) const override {
        if (name == pressAction()) {
            return QStringLiteral("Choose");
        }
        if (name == toggleAction()) {
            return isValid() && node_->expanded != 0 ? QStringLiteral("Collapse") : QStringLiteral("Expand");
        }
        return QString();
    }
    void doAction(const QString& name) override {
        if (!isValid()) {
            return;
        }
        // The node is the view's own; the view changes it only through its
        // operations.
        FormatNode* node = const_cast<FormatNode*>(node_);
        if (name == pressAction()) {
            view_->ChooseNode(node);
        } else if (name == toggleAction() && node->firstChild != nullptr) {
            view_->ToggleExpanded(node, true);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        (void)name;
        return QStringList();
    }

    const FormatNode* Node() const { return node_; }
    FormatTreeView* View() const { return view_.data(); }
    void Forget() { node_ = nullptr; }

private:
    TreeAccessible* Tree() const {
        if (view_ == nullptr) {
            return nullptr;
        }
        return static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(view_.data()));
    }

    QString Description() const {
        const TreeAccessible* tree = Tree();
        if (tree == nullptr) {
            return QString();
        }
        const TreeAccessible::SiblingPlace place = tree->PlaceOf(node_);
        const QString where =
            QString::fromLatin1(PLACE_FORMAT).arg(DepthOf(node_)).arg(place.position).arg(place.count);
        // An item's label holds its description; a message's does not.
        if (node_->isMessage != 0 && !node_->description.empty()) {
            return QString::fromLatin1(PLACE_AND_DESCRIPTION_FORMAT).arg(where, FromBytes(node_->description));
        }
        return where;
    }

    QPointer<FormatTreeView> view_;
    const FormatNode* node_;
};

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
    if (node == nullptr || node->parent == nullptr) {
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
    for (const FormatNode* sibling = node->parent->firstChild; sibling != nullptr; sibling = sibling->nextSibling) {
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
    if (subtreeRoot->parent == nullptr) {
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
            if (node->firstChild != nullptr) {
                node = node->firstChild;
                continue;
            }
            while (node != subtreeRoot && node->nextSibling == nullptr) {
                node = node->parent;
            }
            node = node == subtreeRoot ? nullptr : node->nextSibling;
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

void TreeAccessible::NotifyChosen(FormatTreeView& view, const FormatNode* node) {
    if (!AccessibleEvents::Listening() || node == nullptr) {
        return;
    }
    auto* tree = static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(&view));
    QAccessibleInterface* row = tree != nullptr ? tree->RowOf(node) : nullptr;
    if (row == nullptr) {
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
    if (!AccessibleEvents::Listening() || node == nullptr) {
        return;
    }
    auto* tree = static_cast<TreeAccessible*>(QAccessible::queryAccessibleInterface(&view));
    QAccessibleInterface* row = tree != nullptr ? tree->RowOf(node) : nullptr;
    if (row == nullptr) {
        return;
    }
    QAccessible::State changed;
    changed.expanded = true;
    changed.collapsed = true;
    QAccessibleStateChangeEvent event(row, changed);
    AccessibleEvents::Send(event);
}

} // namespace tqf
