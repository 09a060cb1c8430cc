#include "FormatTreeView.h"

#include "Decimal.h"
#include "Labels.h"
#include "MulDiv.h"
#include "TahomaFont.h"
#include "TreeContextMenu.h"
#include "TreePainter.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace tqf {

namespace {

constexpr int POINTS_PER_INCH = 72;
// A face name holds at most this many characters.
constexpr int MAX_FACE_NAME = 31;
// The font chooser's weights: bold is exactly this one.
constexpr int BOLD_WEIGHT = 700;
constexpr int NORMAL_WEIGHT = 400;
constexpr int TENTHS_PER_POINT = 10;
// The content height is kept far enough from the int limit that the scroll
// range's arithmetic cannot overflow.
constexpr std::int64_t MAX_CONTENT_HEIGHT = std::numeric_limits<int>::max() / 2;

QColor ToQColor(ColorRef color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

ColorRef FromQColor(const QColor& color) {
    return Rgb(static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
               static_cast<std::uint8_t>(color.blue()));
}

} // namespace

// ---- The document's callbacks ----

void FormatTreeView::Listener::ShowTreeMessage(std::string_view text) {
    view_.prompts_.ShowMessage(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void FormatTreeView::Listener::RequestRepaint() { view_.Redraw(); }

void FormatTreeView::Listener::NodesAboutToBeDeleted(const FormatNode& subtreeRoot) { view_.ForgetNodes(subtreeRoot); }

void FormatTreeView::Listener::NodeAdded(const FormatNode& node) { view_.layout_.NodeAdded(node); }

void FormatTreeView::Listener::StructureChanged(const FormatNode& parent) {
    // A fixed list is relabelled with its new count, which may change its
    // rows.
    view_.layout_.NodeChanged(&parent);
}

void FormatTreeView::Listener::NodeChanged(const FormatNode& node) { view_.layout_.NodeChanged(&node); }

// Only what moved is placed again at the next paint, which for a message
// among thousands is far less than placing all of them.
void FormatTreeView::Listener::NodeMoved(const FormatNode& node) { view_.layout_.NodeMoved(&node); }

// ---- Construction ----

FormatTreeView::FormatTreeView(Prompts& prompts, QWidget* parent)
    : QAbstractScrollArea(parent), prompts_(prompts), layout_(tree_.GetRootNode()) {
    // The view draws its own frame; the whole widget but the bar is client
    // area.
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setRange(0, 0);
    SetTreeFont(DEFAULT_POINT_SIZE, false, false, DEFAULT_FACE);
}

FormatTreeView::~FormatTreeView() = default;

// ---- Appearance ----

FormatTreeView& FormatTreeView::SetTreeFont(int pointSize, bool bold, bool italic, const std::string& faceName) {
    EnsureTahomaRegistered();
    fontPointSize_ = pointSize;
    fontBold_ = bold;
    fontItalic_ = italic;
    const QString face =
        QString::fromLocal8Bit(faceName.data(), static_cast<qsizetype>(faceName.size())).left(MAX_FACE_NAME);
    fontFace_ = face.toLocal8Bit().toStdString();
    fontPixelHeight_ = std::max(1, MulDiv(pointSize, logicalDpiY(), POINTS_PER_INCH));

    QFont font(face);
    font.setPixelSize(fontPixelHeight_);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    // Widths are measured as the labels' rows are broken: character by
    // character, without kerning, and drawn without smoothing.
    font.setKerning(false);
    font.setStyleStrategy(QFont::NoAntialias);
    treeFont_ = font;
    setFont(treeFont_);
    rowHeight_ = QFontMetrics(treeFont_).height() + ROW_PADDING;
    layout_.SetFont(treeFont_, rowHeight_);
    return *this;
}

FormatTreeView& FormatTreeView::SetTreeTextColor(ColorRef color) {
    textColor_ = color;
    return *this;
}

FormatTreeView& FormatTreeView::SetLineColor(ColorRef color) {
    lineColor_ = color;
    return *this;
}

FormatTreeView& FormatTreeView::SetBackgroundColor(ColorRef color) {
    backgroundColor_ = color;
    return *this;
}

FontChoice FormatTreeView::TreeFontChoice() const {
    FontChoice choice;
    choice.pointSizeTenths = fontPointSize_ * TENTHS_PER_POINT;
    choice.weight = fontBold_ ? BOLD_WEIGHT : NORMAL_WEIGHT;
    choice.italic = fontItalic_;
    choice.faceName = QString::fromLocal8Bit(fontFace_.data(), static_cast<qsizetype>(fontFace_.size()));
    return choice;
}

void FormatTreeView::SetNodeColor(FormatNode* node, ColorRef color, bool repaint) {
    if (node == nullptr) {
        return;
    }
    node->usesTreeColor = 0;
    node->color = color;
    if (repaint) {
        Redraw();
    }
}

void FormatTreeView::ToggleExpanded(FormatNode* node, bool repaint) {
    if (node == nullptr) {
        return;
    }
    node->expanded = node->expanded != 0 ? 0 : 1;
    layout_.ExpansionChanged(node);
    if (repaint) {
        Redraw();
    }
}

void FormatTreeView::Repaint() {
    layout_.InvalidateAll();
    viewport()->update();
}

void FormatTreeView::Redraw() { viewport()->update(); }

// ---- Deletion ----

void FormatTreeView::ForgetNodes(const FormatNode& subtreeRoot) {
    if (FormatTree::IsWithin(selectedNode_, &subtreeRoot)) {
        selectedNode_ = nullptr;
    }
    if (FormatTree::IsWithin(highlightedNode_, &subtreeRoot)) {
        // A node taken out may come back by an undo, not highlighted.
        SetNodeColor(highlightedNode_, textColor_, false);
        highlightedNode_ = nullptr;
    }
    layout_.NodesAboutToBeDeleted(subtreeRoot);
    for (PendingNotification& pending : pendingNotifications_) {
        if (pending.node != nullptr && FormatTree::IsWithin(pending.node, &subtreeRoot)) {
            pending.dropped = true;
            pending.node = nullptr;
        }
    }
    emit NodesAboutToBeDeleted(&subtreeRoot);
}

// ---- Painting and scrolling ----

QSize FormatTreeView::ClientSize() const { return viewport()->size(); }

QImage FormatTreeView::RenderImage() {
    const QSize client = ClientSize();
    const int width = client.width();
    const int height = client.height();
    layout_.Update(width);
    const int scroll = ScrollPosition();

    TreeAppearance appearance;
    appearance.textColor = textColor_;
    appearance.lineColor = lineColor_;
    appearance.backgroundColor = backgroundColor_;
    appearance.showLines = showLines_;
    if (!backgroundPicture_.isNull() && width > 0 && height > 0) {
        if (stretchedPicture_.size() != client) {
            stretchedPicture_ = backgroundPicture_.scaled(client, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                    .convertToFormat(QImage::Format_RGB32);
        }
        appearance.picture = &stretchedPicture_;
    }
    TreePainter painter(layout_, tree_.GetRootNode(), appearance);
    QImage image = painter.Paint(width, height, scroll);
    // Every node belongs to the document this view owns; the layout only
    // holds them as read-only.
    for (const auto& [node, rect] : painter.DrawnRects()) {
        const_cast<FormatNode*>(node)->rect = rect;
    }
    paintScroll_ = scroll;
    paintWidth_ = width;

    const int total = static_cast<int>(std::min(layout_.TotalHeight(), MAX_CONTENT_HEIGHT));
    if (total != contentHeight_) {
        const int old = contentHeight_;
        contentHeight_ = total;
        UpdateScrollBar();
        if ((old < height) != (total < height)) {
            viewport()->update();
        }
    }
    return image;
}

void FormatTreeView::paintEvent(QPaintEvent* event) {
    (void)event;
    const QImage image = RenderImage();
    QPainter painter(viewport());
    painter.drawImage(0, 0, image);
}

void FormatTreeView::UpdateScrollBar() {
    updatingScrollBar_ = true;
    const int height = ClientSize().height();
    QScrollBar* bar = verticalScrollBar();
    if (contentHeight_ + SCROLL_RANGE_EXTRA < height) {
        scrollBarShown_ = false;
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        bar->setRange(0, 0);
        bar->setValue(0);
    } else {
        // The range is 0 ... contentHeight + 8, both ends included, with a
        // page of H, so the greatest position is one more than their
        // difference.
        bar->setRange(0, contentHeight_ + SCROLL_RANGE_EXTRA - height + 1);
        bar->setPageStep(height);
        bar->setSingleStep(rowHeight_);
        bar->setEnabled(true);
        scrollBarShown_ = true;
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    updatingScrollBar_ = false;
}

void FormatTreeView::resizeEvent(QResizeEvent* event) {
    if (!updatingScrollBar_) {
        UpdateScrollBar();
    }
    QAbstractScrollArea::resizeEvent(event);
}

void FormatTreeView::scrollContentsBy(int dx, int dy) {
    (void)dx;
    (void)dy;
    // The next paint places every row anew; nothing is moved on screen.
    viewport()->update();
}

int FormatTreeView::ScrollPosition() const { return verticalScrollBar()->value(); }

int FormatTreeView::ScrollLimit() const { return scrollBarShown_ ? verticalScrollBar()->maximum() : 0; }

void FormatTreeView::ScrollTo(int position) {
    verticalScrollBar()->setValue(std::clamp(position, 0, ScrollLimit()));
    viewport()->update();
}

void FormatTreeView::VerticalScroll(int code, int thumbPosition) {
    const int position = ScrollPosition();
    const int page = ClientSize().height();
    const int limit = ScrollLimit();
    int next = position;
    switch (code) {
    case SCROLL_LINE_UP:
        next = std::max(position - rowHeight_, 0);
        break;
    case SCROLL_LINE_DOWN:
        next = position + rowHeight_ >= limit ? limit : position + rowHeight_;
        break;
    case SCROLL_PAGE_UP:
        next = std::max(position - page, 0);
        break;
    case SCROLL_PAGE_DOWN:
        next = position + page >= limit ? limit : position + page;
        break;
    case SCROLL_THUMB_POSITION:
    case SCROLL_THUMB_TRACK:
        next = thumbPosition;
        break;
    default:
        break;
    }
    ScrollTo(next);
}

void FormatTreeView::wheelEvent(QWheelEvent* event) {
    // One row per notch; high-resolution wheels send parts of a notch, which
    // add up.
    wheelRemainder_ += event->angleDelta().y();
    while (wheelRemainder_ >= WHEEL_NOTCH) {
        wheelRemainder_ -= WHEEL_NOTCH;
        VerticalScroll(SCROLL_LINE_UP);
    }
    while (wheelRemainder_ <= -WHEEL_NOTCH) {
        wheelRemainder_ += WHEEL_NOTCH;
        VerticalScroll(SCROLL_LINE_DOWN);
    }
    event->accept();
}

// ---- Hit-testing and the mouse ----

NodeRect FormatTreeView::LaidOutRect(const FormatNode* node) const {
    if (const std::optional<RowPlacement> row = layout_.Find(node)) {
        return TreePainter::ClientRect(*row, paintScroll_, paintWidth_);
    }
    return node != nullptr ? node->rect : NodeRect{};
}

FormatNode* FormatTreeView::HitTestNode(QPoint point, FormatNode* from) const {
    const FormatNode* root = tree_.GetRootNode();
    if (from == nullptr) {
        return nullptr;
    }
    if (from == root) {
        from = root->firstChild;
    }
    if (from == root->firstChild) {
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
        for (const FormatNode* n = row.node->parent; n != nullptr && n != root; n = n->parent) {
            if (n->expanded == 0) {
                return nullptr;
            }
        }
        return const_cast<FormatNode*>(row.node);
    }
    // From any other node: the node, its visible descendants, then its
    // following siblings with theirs, in that order.
    const FormatNode* stop = from->parent;
    const FormatNode* node = from;
    while (node != nullptr) {
        if (LaidOutRect(node).Contains(point.x(), point.y())) {
            return const_cast<FormatNode*>(node);
        }
        if (node->expanded != 0 && node->firstChild != nullptr) {
            node = node->firstChild;
            continue;
        }
        while (node != nullptr && node->nextSibling == nullptr) {
            node = node->parent;
            if (node == stop) {
                node = nullptr;
            }
        }
        if (node != nullptr) {
            node = node->nextSibling;
        }
    }
    return nullptr;
}

bool FormatTreeView::OnLeftButton(QPoint point, bool doubleClick) {
    FormatNode* root = GetRootNode();
    if (!doubleClick && root->count == 0) {
        return true;
    }
    if (highlightedNode_ != nullptr) {
        SetNodeColor(highlightedNode_, textColor_, true);
    }
    FormatNode* hit = root->firstChild != nullptr ? HitTestNode(point, root->firstChild) : nullptr;
    if (hit == nullptr) {
        return false;
    }
    PostNotification(WM_TREE_NODE_SELECTED, hit);
    if (doubleClick) {
        ToggleExpanded(hit, true);
    }
    SetNodeColor(hit, HIGHLIGHT_COLOR, true);
    highlightedNode_ = hit;
    selectedNode_ = hit;
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
    if (root->firstChild == nullptr) {
        selectedNode_ = nullptr;
        return;
    }
    selectedNode_ = HitTestNode(clientPos, root->firstChild);
    if (selectedNode_ != nullptr) {
        SetNodeColor(selectedNode_, HIGHLIGHT_COLOR, true);
        highlightedNode_ = selectedNode_;
    }
}

void FormatTreeView::contextMenuEvent(QContextMenuEvent* event) {
    SelectForContextMenu(viewport()->mapFromGlobal(event->globalPos()));
    const std::optional<int> command = TreeContextMenu::Exec(selectedNode_, treeFont_, this, event->globalPos());
    if (command) {
        RunCommand(*command);
    }
}

// ---- Notifications ----

void FormatTreeView::PostNotification(int message, FormatNode* node) {
    pendingNotifications_.push_back({message, node, false});
    QMetaObject::invokeMethod(this, &FormatTreeView::DeliverNotification, Qt::QueuedConnection);
}

void FormatTreeView::DeliverNotification() {
    if (pendingNotifications_.empty()) {
        return;
    }
    const PendingNotification next = pendingNotifications_.front();
    pendingNotifications_.pop_front();
    if (!next.dropped) {
        emit TreeNotification(next.message, next.node);
    }
}

// ---- Commands ----

void FormatTreeView::RunCommand(int commandId) {
    switch (commandId) {
    case ID_TREE_ADD_LIST_ITEM:
        AddListItem();
        break;
    case ID_TREE_ADD_SUB_ITEM:
        AddSubItem();
        break;
    case ID_TREE_DELETE_NODE:
        DeleteSelectedNode();
        break;
    case ID_TREE_MOVE_UP:
        PostNotification(WM_TREE_MOVE_UP, selectedNode_);
        break;
    case ID_TREE_MOVE_DOWN:
        PostNotification(WM_TREE_MOVE_DOWN, selectedNode_);
        break;
    case ID_TREE_SET_LINE_COLOR:
        ChooseMemberColor(lineColor_);
        break;
    case ID_TREE_SET_TEXT_COLOR:
    case ID_TREE_SET_TEXT_COLOR_2:
        ChooseMemberColor(textColor_);
        break;
    case ID_TREE_SET_BACKGROUND_COLOR:
        ChooseMemberColor(backgroundColor_);
        break;
    case ID_TREE_TOGGLE_LINES:
        showLines_ = !showLines_;
        Redraw();
        break;
    case ID_TREE_SET_FONT:
        ChooseTreeFont();
        break;
    case ID_TREE_SET_BACKGROUND_PICTURE:
        ChooseBackgroundPicture(true);
        break;
    default:
        break;
    }
}

bool FormatTreeView::Refused(const EditResult& result) {
    if (result.Done()) {
        return false;
    }
    if (*result.refusal != '\0') {
        prompts_.ShowMessage(QString::fromLatin1(result.refusal));
    }
    return true;
}

void FormatTreeView::AddListItem() {
    if (Refused(tree_.AddListItem(selectedNode_))) {
        return;
    }
    selectedNode_ = nullptr;
    Redraw();
    PostNotification(WM_TREE_CHANGED, nullptr);
}

void FormatTreeView::AddSubItem() {
    FormatNode* target = selectedNode_;
    if (Refused(FormatTree::CheckMenuTarget(target))) {
        return;
    }
    const std::optional<SubItemChoice> choice = prompts_.RunSubItemDialog(FormatTree::CountListChildren(target));
    // The dialog's loop paints but takes no input for the tree; a target
    // deleted meanwhile all the same is left alone.
    if (!choice || selectedNode_ != target) {
        return;
    }
    const ItemFields fields{choice->format, choice->countText, choice->notFixed != 0, choice->description};
    if (Refused(tree_.AddSubItem(target, fields))) {
        return;
    }
    Redraw();
    PostNotification(WM_TREE_CHANGED, nullptr);
}

void FormatTreeView::DeleteSelectedNode() {
    FormatNode* target = selectedNode_;
    if (target == nullptr) {
        return;
    }
    const bool wasMessage = target->isMessage != 0;
    (void)tree_.DeleteAny(target);
    Redraw();
    if (wasMessage) {
        PostNotification(WM_TREE_MESSAGE_DELETED, nullptr);
    }
    PostNotification(WM_TREE_CHANGED, nullptr);
    selectedNode_ = nullptr;
    highlightedNode_ = nullptr;
}

void FormatTreeView::ChooseNode(FormatNode* node) {
    FormatNode* root = GetRootNode();
    if (node == nullptr || node == root) {
        return;
    }
    if (highlightedNode_ != nullptr) {
        SetNodeColor(highlightedNode_, textColor_, true);
    }
    for (FormatNode* parent = node->parent; parent != nullptr && parent != root; parent = parent->parent) {
        if (parent->expanded == 0) {
            ToggleExpanded(parent, false);
        }
    }
    PostNotification(WM_TREE_NODE_SELECTED, node);
    SetNodeColor(node, HIGHLIGHT_COLOR, true);
    highlightedNode_ = node;
    selectedNode_ = node;
    CentreNode(node);
}

void FormatTreeView::CentreNode(const FormatNode* node) {
    const QSize client = ClientSize();
    layout_.Update(client.width());
    const int total = static_cast<int>(std::min(layout_.TotalHeight(), MAX_CONTENT_HEIGHT));
    if (total != contentHeight_) {
        contentHeight_ = total;
        UpdateScrollBar();
    }
    const std::optional<RowPlacement> row = layout_.Find(node);
    if (!row) {
        return;
    }
    const std::int64_t middle = MARGIN + row->top + row->height / 2 - client.height() / 2;
    ScrollTo(static_cast<int>(std::clamp<std::int64_t>(middle, 0, std::numeric_limits<int>::max())));
}

void FormatTreeView::ChooseMemberColor(ColorRef& member) {
    const std::optional<QColor> chosen = prompts_.ChooseColor(ToQColor(member));
    if (!chosen || !chosen->isValid()) {
        return;
    }
    member = FromQColor(*chosen);
    Redraw();
}

void FormatTreeView::ChooseTreeFont() {
    const std::optional<FontChoice> chosen = prompts_.ChooseFont(TreeFontChoice());
    if (!chosen) {
        return;
    }
    SetTreeFont(chosen->pointSizeTenths / TENTHS_PER_POINT, chosen->weight == BOLD_WEIGHT, chosen->italic,
                chosen->faceName.toLocal8Bit().toStdString());
    Redraw();
}

void FormatTreeView::ChooseBackgroundPicture(bool repaint) {
    const std::optional<QString> path = prompts_.ChooseOpenFile(QString::fromLatin1(PICTURE_FILTER), QString(), true);
    if (!path) {
        return;
    }
    // The old picture goes first; a file that does not load as a bitmap
    // leaves none.
    backgroundPicture_ = QImage();
    stretchedPicture_ = QImage();
    QImage loaded;
    if (loaded.load(*path, "BMP")) {
        backgroundPicture_ = loaded;
    }
    if (repaint) {
        Redraw();
    }
}

} // namespace tqf
