#include "FormatTreeView.h"

#include "Decimal.h"
#include "FocusMark.h"
#include "Labels.h"
#include "MulDiv.h"
#include "TahomaFont.h"
#include "TreeAccessible.h"
#include "TreeContextMenu.h"
#include "TreeNavigation.h"
#include "TreePainter.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <limits>
#include <utility>

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

void FormatTreeView::Listener::NodesAboutToBeDeleted(const FormatNode& subtreeRoot) {
    ++view_.shapeGeneration_;
    view_.ForgetNodes(subtreeRoot);
}

void FormatTreeView::Listener::NodeAdded(const FormatNode& node) {
    ++view_.shapeGeneration_;
    view_.layout_.NodeAdded(node);
}

void FormatTreeView::Listener::StructureChanged(const FormatNode& parent) {
    ++view_.shapeGeneration_;
    // A fixed list is relabelled with its new count, which may change its
    // rows.
    view_.layout_.NodeChanged(&parent);
}

void FormatTreeView::Listener::NodeChanged(const FormatNode& node) { view_.layout_.NodeChanged(&node); }

// Only what moved is placed again at the next paint, which for a message
// among thousands is far less than placing all of them.
void FormatTreeView::Listener::NodeMoved(const FormatNode& node) {
    ++view_.shapeGeneration_;
    view_.layout_.NodeMoved(&node);
}

// ---- Construction ----

FormatTreeView::FormatTreeView(Prompts& prompts, QWidget* parent)
    : QAbstractScrollArea(parent), prompts_(prompts), layout_(tree_) {
    // The view draws its own frame; the whole widget but the bar is client
    // area.
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A click or Tab gives the tree the focus for its keys, so the keyboard
    // alone reaches every row. The viewport hands the focus on to the view,
    // and setting its policy sets the view's too, so the view's comes last.
    viewport()->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setRange(0, 0);
    // A notch of the wheel over the bar moves as far as one over the rows.
    verticalScrollBar()->installEventFilter(this);
    SetTreeFont(DEFAULT_POINT_SIZE, false, false, DEFAULT_FACE);
    TreeAccessible::Install();
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
    // character, without kerning, and drawn without smoothing. Unsmoothed
    // glyphs need whole-pixel advances: with the fractional advances of a
    // lightly hinted font, each glyph lands on a rounded position and the
    // gaps between letters come out uneven ("VER Y"). Full hinting fits the
    // glyphs and their advances to the pixel grid, as the small sizes of a
    // screen font are meant to be drawn.
    font.setKerning(false);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
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
    tree_.SetNodeColor(node, color);
    if (repaint) {
        Redraw();
    }
}

void FormatTreeView::ToggleExpanded(FormatNode* node, bool repaint) {
    if (node == nullptr) {
        return;
    }
    tree_.SetExpanded(node, !node->IsExpanded());
    layout_.ExpansionChanged(node);
    if (repaint) {
        Redraw();
    }
    TreeAccessible::NotifyExpansion(*this, node);
}

void FormatTreeView::Repaint() {
    layout_.InvalidateAll();
    ShowScrollBarAhead();
    viewport()->update();
}

void FormatTreeView::Redraw() { viewport()->update(); }

// ---- Deletion ----

void FormatTreeView::ForgetNodes(const FormatNode& subtreeRoot) {
    if (FormatTree::IsWithin(highlightedNode_, &subtreeRoot)) {
        // A node taken out may come back by an undo, not highlighted.
        SetNodeColor(highlightedNode_, textColor_, false);
    }
    if (FormatTree::IsWithin(KeyNode(), &subtreeRoot)) {
        placeTaker_ = tree_.Mutable(TreeNavigation::PlaceTakerOf(subtreeRoot));
        // Once, however many nodes go meanwhile (a document emptied goes
        // message by message).
        if (!placeTakerAnnounced_) {
            placeTakerAnnounced_ = true;
            QMetaObject::invokeMethod(this, &FormatTreeView::AnnouncePlaceTaker, Qt::QueuedConnection);
        }
    }
    layout_.NodesAboutToBeDeleted(subtreeRoot);
    emit NodesAboutToBeDeleted(&subtreeRoot);
}

void FormatTreeView::AnnouncePlaceTaker() {
    placeTakerAnnounced_ = false;
    if (selectedNode_ == nullptr && placeTaker_ != nullptr && hasFocus()) {
        TreeAccessible::NotifyFocused(*this, placeTaker_);
    }
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
    painter.SetRules(&tree_.Rules());
    QImage image = painter.Paint(width, height, scroll);
    drawnRects_.Take(painter.DrawnRects());
    paintScroll_ = scroll;
    paintWidth_ = width;
    if (ShowsFocusMark()) {
        const std::optional<RowPlacement> row = layout_.Find(VisibleChosenNode());
        const NodeRect nodeRect = row ? TreePainter::ClientRect(*row, scroll, width) : NodeRect{};
        FocusMark::Draw(image,
                        nodeRect.IsEmpty() ? FocusMark::InsideFrame(width, height) : FocusMark::AroundNode(nodeRect));
    }

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

void FormatTreeView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    if (frozen_) {
        // Room the last image does not cover shows the background.
        painter.fillRect(viewport()->rect(), ToQColor(backgroundColor_));
        painter.drawImage(0, 0, lastImage_);
        return;
    }
    lastImage_ = RenderImage();
    painter.drawImage(0, 0, lastImage_);
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

void FormatTreeView::scrollContentsBy(int /*dx*/, int /*dy*/) {
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

bool FormatTreeView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

// ---- Keeping the layout up to date ----

// A document about to be laid out anew whose messages alone overflow the
// client area gets its scroll bar first, so that every label is measured once,
// at the width it keeps, rather than again once the bar shows.
void FormatTreeView::ShowScrollBarAhead() {
    if (scrollBarShown_ || !layout_.AwaitsRebuild() || rowHeight_ <= 0) {
        return;
    }
    const int height = ClientSize().height();
    const int wanted = (height - SCROLL_RANGE_EXTRA) / rowHeight_ + 1;
    const int messages = TreeNavigation::CountMessages(tree_.GetRootNode(), wanted);
    if (messages < wanted) {
        return;
    }
    const int before = contentHeight_;
    contentHeight_ = messages * rowHeight_;
    UpdateScrollBar();
    // A message takes at least a row only while its label has room.
    if (ClientSize().width() - TreeLayout::MARGIN - TreeLayout::TextLeft(1) <= 0) {
        contentHeight_ = before;
        UpdateScrollBar();
    }
}

void FormatTreeView::BringLayoutUpToDate() {
    ShowScrollBarAhead();
    // Showing or hiding the scroll bar changes the client width, which may
    // break labels anew; a few rounds settle it.
    constexpr int MAX_ROUNDS = 3;
    for (int round = 0; round < MAX_ROUNDS; ++round) {
        const int width = ClientSize().width();
        layout_.Update(width);
        const int total = static_cast<int>(std::min(layout_.TotalHeight(), MAX_CONTENT_HEIGHT));
        if (total != contentHeight_) {
            contentHeight_ = total;
            UpdateScrollBar();
        }
        if (ClientSize().width() == width) {
            return;
        }
    }
}

const TreeLayout& FormatTreeView::UpToDateLayout() {
    BringLayoutUpToDate();
    return layout_;
}

// ---- Notifications ----

void FormatTreeView::PostNotification(void (FormatTreeView::*signal)(FormatNode*), FormatNode* node) {
    pendingNotifications_.push_back({signal, nullptr, NodeRef(tree_, node), node != nullptr});
    QMetaObject::invokeMethod(this, &FormatTreeView::DeliverNotification, Qt::QueuedConnection);
}

void FormatTreeView::PostNotification(void (FormatTreeView::*signal)()) {
    pendingNotifications_.push_back({nullptr, signal, NodeRef(tree_, nullptr), false});
    QMetaObject::invokeMethod(this, &FormatTreeView::DeliverNotification, Qt::QueuedConnection);
}

void FormatTreeView::DeliverNotification() {
    if (pendingNotifications_.empty()) {
        return;
    }
    const PendingNotification next = std::move(pendingNotifications_.front());
    pendingNotifications_.pop_front();
    if (next.Dropped()) {
        return;
    }
    if (next.signal != nullptr) {
        emit(this->*next.signal)(next.node);
    } else {
        emit(this->*next.plainSignal)();
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
        PostNotification(&FormatTreeView::MoveUpRequested, selectedNode_);
        break;
    case ID_TREE_MOVE_DOWN:
        PostNotification(&FormatTreeView::MoveDownRequested, selectedNode_);
        break;
    case ID_TREE_RULES:
        // The window runs the dialog; the view knows no dialogs of its own.
        if (selectedNode_ != nullptr) {
            PostNotification(&FormatTreeView::RulesRequested, selectedNode_);
        }
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
    PostNotification(&FormatTreeView::TreeChanged);
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
    PostNotification(&FormatTreeView::TreeChanged);
}

void FormatTreeView::DeleteSelectedNode() {
    FormatNode* target = selectedNode_;
    if (target == nullptr) {
        return;
    }
    const bool wasMessage = target->IsMessage();
    (void)tree_.DeleteAny(target);
    Redraw();
    if (wasMessage) {
        PostNotification(&FormatTreeView::MessageDeleted);
    }
    PostNotification(&FormatTreeView::TreeChanged);
    selectedNode_ = nullptr;
    highlightedNode_ = nullptr;
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
