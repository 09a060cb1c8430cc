#include "FormatTreeView.h"

#include "FocusMark.h"
#include "TreeAccessible.h"
#include "TreeContextMenu.h"
#include "TreeNavigation.h"
#include "TreePainter.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <optional>

namespace tqf {

// The tree's input: the mouse and its hit-testing, choosing a node, and the
// keyboard.

// ---- Hit-testing and the mouse ----

NodeRect FormatTreeView::LaidOutRect(const FormatNode* node) const {
    if (const std::optional<RowPlacement> row = layout_.Find(node)) {
        return TreePainter::ClientRect(*row, paintScroll_, paintWidth_);
    }
    return drawnRects_.Of(node);
}

FormatNode* FormatTreeView::HitTestNode(QPoint point, FormatNode* from) const {
    const FormatNode* root = tree_.GetRootNode();
    if (from == nullptr) {
        return nullptr;
    }
    if (from == root) {
        from = root->FirstChild();
    }
    if (from == root->FirstChild()) {
        // From the first message every visible node is searched, and laid-out
        // rows never overlap: the row at the point's height is the only one
        // that can hold it.
        const std::int64_t contentY = static_cast<std::int64_t>(point.y()) - MARGIN + paintScroll_;
        const std::size_t index = layout_.FirstEndingAfter(contentY);
        if (index >= layout_.Size()) {
            return nullptr;
        }
        const RowPlacement row = layout_.At(index);
        if (row.node == nullptr || row.top > contentY ||
            !TreePainter::ClientRect(row, paintScroll_, paintWidth_).Contains(point.x(), point.y())) {
            return nullptr;
        }
        // A node under a node collapsed since the last paint is not searched.
        for (const FormatNode* n = row.node->Parent(); n != nullptr && n != root; n = n->Parent()) {
            if (!n->IsExpanded()) {
                return nullptr;
            }
        }
        return tree_.Mutable(row.node);
    }
    // From any other node: the node, its visible descendants, then its
    // following siblings with theirs, in that order.
    const FormatNode* stop = from->Parent();
    FormatNode* node = from;
    while (node != nullptr) {
        if (LaidOutRect(node).Contains(point.x(), point.y())) {
            return node;
        }
        if (node->IsExpanded() && node->FirstChild() != nullptr) {
            node = node->FirstChild();
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = node->Parent();
            if (node == stop) {
                node = nullptr;
            }
        }
        if (node != nullptr) {
            node = node->NextSibling();
        }
    }
    return nullptr;
}

bool FormatTreeView::OnLeftButton(QPoint point, bool doubleClick) {
    FormatNode* root = GetRootNode();
    if (!doubleClick && root->Count() == 0) {
        return true;
    }
    if (highlightedNode_ != nullptr) {
        SetNodeColor(highlightedNode_, textColor_, true);
    }
    FormatNode* hit = root->FirstChild() != nullptr ? HitTestNode(point, root->FirstChild()) : nullptr;
    if (hit == nullptr) {
        return false;
    }
    PostNotification(&FormatTreeView::NodeSelected, hit);
    if (doubleClick) {
        ToggleExpanded(hit, true);
    }
    SetNodeColor(hit, HIGHLIGHT_COLOR, true);
    highlightedNode_ = hit;
    selectedNode_ = hit;
    placeTaker_ = nullptr;
    TreeAccessible::NotifyChosen(*this, hit);
    return true;
}

void FormatTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !OnLeftButton(event->position().toPoint(), false)) {
        QAbstractScrollArea::mouseReleaseEvent(event);
    }
}

void FormatTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !OnLeftButton(event->position().toPoint(), true)) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
    }
}

void FormatTreeView::SelectForContextMenu(QPoint clientPos) {
    if (highlightedNode_ != nullptr) {
        SetNodeColor(highlightedNode_, textColor_, true);
    }
    FormatNode* root = GetRootNode();
    if (root->FirstChild() == nullptr) {
        selectedNode_ = nullptr;
        return;
    }
    selectedNode_ = HitTestNode(clientPos, root->FirstChild());
    placeTaker_ = nullptr;
    if (selectedNode_ != nullptr) {
        SetNodeColor(selectedNode_, HIGHLIGHT_COLOR, true);
        highlightedNode_ = selectedNode_.Get();
        TreeAccessible::NotifyChosen(*this, selectedNode_);
    }
}

void FormatTreeView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // The menu key: the menu of the chosen node, not of the node under
        // the mouse. Some platforms follow the key, which the view has
        // handled already, with this event of their own.
        if (!menuKeyEcho_) {
            RequestKeyboardMenu();
        }
        menuKeyEcho_ = false;
        return;
    }
    SelectForContextMenu(viewport()->mapFromGlobal(event->globalPos()));
    if (selectedNode_ != nullptr) {
        // The row painted as chosen is the one the panels show, as after a
        // click: the menu's commands work on it.
        PostNotification(&FormatTreeView::NodeSelected, selectedNode_);
    }
    const std::optional<int> command = TreeContextMenu::Exec(selectedNode_, treeFont_, this, event->globalPos());
    if (command) {
        RunCommand(*command);
    }
}

// ---- Choosing a node, and the keyboard ----

void FormatTreeView::RevealNode(const FormatNode* node, bool centre) {
    BringLayoutUpToDate();
    const std::optional<RowPlacement> row = layout_.Find(node);
    if (!row) {
        return;
    }
    std::int64_t position = std::clamp<std::int64_t>(
        TreeNavigation::RevealPosition(*row, ClientSize().height(), ScrollPosition(), centre, MARGIN), 0,
        ScrollLimit());
    if (centre) {
        // A row centred stays in view when the rows above it move down to
        // the next whole row at the top.
        position = TreeNavigation::AlignToRow(layout_, position, *row, ClientSize().height(), MARGIN, ScrollLimit());
    }
    ScrollTo(static_cast<int>(position));
}

void FormatTreeView::ExpandAbove(const FormatNode* node) {
    const FormatNode* root = GetRootNode();
    for (FormatNode* above = node->Parent(); above != nullptr && above != root; above = above->Parent()) {
        if (!above->IsExpanded()) {
            ToggleExpanded(above, false);
        }
    }
}

void FormatTreeView::Choose(FormatNode* node, bool centre) {
    if (highlightedNode_ != nullptr) {
        SetNodeColor(highlightedNode_, textColor_, true);
    }
    ExpandAbove(node);
    PostNotification(&FormatTreeView::NodeSelected, node);
    SetNodeColor(node, HIGHLIGHT_COLOR, true);
    highlightedNode_ = node;
    selectedNode_ = node;
    placeTaker_ = nullptr;
    RevealNode(node, centre);
    TreeAccessible::NotifyChosen(*this, node);
}

void FormatTreeView::ChooseNode(FormatNode* node) {
    if (node == nullptr || node == GetRootNode() || !tree_.Owns(node)) {
        return;
    }
    Choose(node, true);
}

bool FormatTreeView::ShowsFocusMark() const { return keyboardCues_ && hasFocus(); }

FormatNode* FormatTreeView::VisibleChosenNode() const {
    const FormatNode* root = tree_.GetRootNode();
    FormatNode* shown = KeyNode();
    for (FormatNode* above = shown != nullptr ? shown->Parent() : nullptr; above != nullptr && above != root;
         above = above->Parent()) {
        if (!above->IsExpanded()) {
            shown = above;
        }
    }
    return shown;
}

FormatNode* FormatTreeView::MoveTarget(int key) {
    BringLayoutUpToDate();
    const std::size_t rows = layout_.Size();
    if (rows == 0) {
        return nullptr;
    }
    const std::optional<std::size_t> at = layout_.IndexOf(VisibleChosenNode());
    const std::size_t target = TreeNavigation::RowForKey(layout_, at, key, ClientSize().height());
    return tree_.Mutable(layout_.At(target).node);
}

void FormatTreeView::CollapseOrClimb() {
    FormatNode* node = VisibleChosenNode();
    if (node == nullptr) {
        return;
    }
    if (node->IsExpanded() && node->FirstChild() != nullptr) {
        ToggleExpanded(node, true);
        RevealNode(node, false);
    } else if (node->Parent() != nullptr && node->Parent() != GetRootNode()) {
        Choose(node->Parent(), false);
    }
}

void FormatTreeView::ExpandOrDescend() {
    FormatNode* node = VisibleChosenNode();
    if (node == nullptr || node->FirstChild() == nullptr) {
        return;
    }
    if (!node->IsExpanded()) {
        ToggleExpanded(node, true);
        RevealNode(node, false);
    } else {
        Choose(node->FirstChild(), false);
    }
}

void FormatTreeView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        keyboardCues_ = true;
        menuKeyEcho_ = true;
        RequestKeyboardMenu();
        event->accept();
        return;
    }
    menuKeyEcho_ = false;
    if (modifiers != Qt::NoModifier) {
        event->ignore();
        return;
    }
    switch (key) {
    case Qt::Key_Left:
        CollapseOrClimb();
        break;
    case Qt::Key_Right:
        ExpandOrDescend();
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (FormatNode* target = MoveTarget(key); target != nullptr && target != selectedNode_) {
            Choose(target, false);
        } else if (target != nullptr) {
            // Already chosen: at the first or last row, nothing moves, but
            // the node is brought into view.
            RevealNode(target, false);
        }
        break;
    default:
        event->ignore();
        return;
    }
    keyboardCues_ = true;
    Redraw();
    event->accept();
}

void FormatTreeView::focusInEvent(QFocusEvent* event) {
    // Arriving by the keyboard shows where the keys will act at once.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
        keyboardCues_ = true;
    }
    QAbstractScrollArea::focusInEvent(event);
    Redraw();
    // A reader hears the chosen row on arriving, after Qt has announced the
    // tree itself, which it does once this event has been handled.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus() && selectedNode_ != nullptr) {
                TreeAccessible::NotifyChosen(*this, selectedNode_);
            }
        },
        Qt::QueuedConnection);
}

void FormatTreeView::focusOutEvent(QFocusEvent* event) {
    keyboardCues_ = false;
    QAbstractScrollArea::focusOutEvent(event);
    Redraw();
}

void FormatTreeView::RequestKeyboardMenu() {
    // Opened after the key's event has ended, once however often it is
    // asked for meanwhile.
    if (keyboardMenuPending_) {
        return;
    }
    keyboardMenuPending_ = true;
    QMetaObject::invokeMethod(this, &FormatTreeView::OpenKeyboardMenu, Qt::QueuedConnection);
}

void FormatTreeView::OpenKeyboardMenu() {
    FormatNode* chosen = selectedNode_;
    if (chosen != nullptr && highlightedNode_ != chosen) {
        // A click on empty space took the highlight away but kept the
        // selection; the menu is for that node, so it is shown as such again.
        if (highlightedNode_ != nullptr) {
            SetNodeColor(highlightedNode_, textColor_, true);
        }
        SetNodeColor(chosen, HIGHLIGHT_COLOR, true);
        highlightedNode_ = chosen;
    }
    QPoint at(MARGIN, MARGIN);
    if (chosen != nullptr && chosen == VisibleChosenNode()) {
        RevealNode(chosen, false);
        if (const std::optional<RowPlacement> row = layout_.Find(chosen)) {
            const NodeRect rect = TreePainter::ClientRect(*row, ScrollPosition(), ClientSize().width());
            // Where a right click on the node's first row would open it.
            at = QPoint(rect.left, std::min(rect.top + rowHeight_, rect.bottom));
        }
    }
    const std::optional<int> command =
        TreeContextMenu::Exec(selectedNode_, treeFont_, this, viewport()->mapToGlobal(at));
    keyboardMenuPending_ = false;
    if (command) {
        RunCommand(*command);
    }
}

} // namespace tqf
