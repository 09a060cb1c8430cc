#pragma once

#include "Document.h"
#include "DrawnRects.h"
#include "FormatTree.h"
#include "NodeRect.h"
#include "Prompts.h"
#include "TreeCommands.h"
#include "TreeLayout.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>

#include <cstdint>
#include <deque>
#include <string>

namespace tqf {

// The codes of the vertical scroll bar's requests. Each has a fixed number,
// so that a code passed around as a plain int always names the same request.
enum ScrollCode : int {
    SCROLL_LINE_UP = 0,
    SCROLL_LINE_DOWN = 1,
    SCROLL_PAGE_UP = 2,
    SCROLL_PAGE_DOWN = 3,
    SCROLL_THUMB_POSITION = 4,
    SCROLL_THUMB_TRACK = 5,
    SCROLL_TO_TOP = 6,
    SCROLL_TO_BOTTOM = 7,
    SCROLL_END = 8,
};

// The custom-drawn, scrollable tree on the left of the main window. It owns
// the document (a FormatTree) and offers its node operations to the editor.
//
// Layout (line breaks and row positions) is kept between paints and brought up
// to date at the next paint; painting draws only the rows that meet the client
// area. Every change of the document goes through Tree(), whose listener tells
// the layout what changed.
class FormatTreeView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Horizontal step from one tree level to the next.
    static constexpr int INDENT = TreeLayout::INDENT;
    // Top offset of the first row, and right margin of every row.
    static constexpr int MARGIN = TreeLayout::MARGIN;
    // Added to the height of "X" to give the height of one row.
    static constexpr int ROW_PADDING = 4;
    // What the scroll range adds to the content height: the range's top is
    // contentHeight + 8, which leaves a little blank space below the last
    // row when the view is scrolled to its end.
    static constexpr int SCROLL_RANGE_EXTRA = 8;
    // One notch of a mouse wheel.
    static constexpr int WHEEL_NOTCH = 120;
    static constexpr int DEFAULT_POINT_SIZE = 9;
    static constexpr const char* DEFAULT_FACE = "Tahoma";
    static constexpr ColorRef DEFAULT_TEXT_COLOR = Rgb(0, 0, 0);
    static constexpr ColorRef DEFAULT_LINE_COLOR = Rgb(128, 128, 128);
    static constexpr ColorRef DEFAULT_BACKGROUND_COLOR = Rgb(255, 255, 255);
    // The filter of the background picture's file dialog.
    static constexpr const char* PICTURE_FILTER = "Bitmap Files (*.bmp)|*.bmp||";

    explicit FormatTreeView(Prompts& prompts, QWidget* parent = nullptr);
    ~FormatTreeView() override;

    // The document, and its tree with the node operations.
    Document& Doc() { return document_; }
    FormatTree& Tree() { return tree_; }
    FormatNode* GetRootNode() { return tree_.GetRootNode(); }

    // Appearance. The setters return the view so that calls can be chained;
    // they do not repaint.
    virtual FormatTreeView& SetTreeFont(int pointSize, bool bold, bool italic, const std::string& faceName);
    virtual FormatTreeView& SetTreeTextColor(ColorRef color);
    FormatTreeView& SetLineColor(ColorRef color);
    FormatTreeView& SetBackgroundColor(ColorRef color);
    void SetNodeColor(FormatNode* node, ColorRef color, bool repaint);
    void ToggleExpanded(FormatNode* node, bool repaint);

    // Invalidates the whole client area; one paint follows, which lays out the
    // whole document again first.
    void Repaint();

    // While frozen, a paint shows the tree as it was last drawn, without
    // laying out the document: one being read is laid out once, when the
    // read is over (Repaint), not again at every paint while it grows.
    void SetFrozen(bool frozen) { frozen_ = frozen; }

    // The whole document is about to be deleted: its layout goes at once
    // instead of row by row as each message goes.
    void ForgetLayout() { layout_.ForgetAll(); }

    // Invalidates the whole client area without laying anything out again:
    // for changes of colour only.
    void Redraw();

    // Makes node the chosen node exactly as a click on it does (the
    // selection, the highlight, the notification to the window), expands the
    // nodes above it and scrolls it into view, centred where the view can.
    // A node of another document, or none, changes nothing.
    void ChooseNode(FormatNode* node);

    // Scrolls node's row into view, no further than needed, without choosing
    // it: for a node the window made and marks itself.
    void ShowNodeRow(const FormatNode* node) { RevealNode(node, false); }

    // The layout as the next paint would find it, with the scroll bar fitted
    // to it: for those who read rows between paints, such as screen readers.
    const TreeLayout& UpToDateLayout();

    // Counts the changes of the document's shape (nodes added, deleted or
    // moved), so that what is worked out from the shape can be kept until
    // it changes.
    std::uint64_t ShapeGeneration() const { return shapeGeneration_; }

    // True while the view draws its focus mark: it has the focus and the
    // keyboard has been used in it since it took the focus.
    bool ShowsFocusMark() const;

    // Runs one of the view's commands (TreeCommand), as its menu does.
    void RunCommand(int commandId);

    // Lets the user choose a bitmap file for the background; a file that is
    // not a bitmap leaves no picture.
    void ChooseBackgroundPicture(bool repaint);

    // What a right click at a client point does before the menu opens: removes
    // the highlight, selects the node under the point (or none) and highlights
    // it.
    void SelectForContextMenu(QPoint clientPos);

    // A request of the vertical scroll bar (ScrollCode); thumbPosition counts
    // for the two thumb codes only.
    void VerticalScroll(int code, int thumbPosition = 0);
    int ScrollPosition() const;
    // The greatest scroll position: contentHeight + 9 - H while the bar is
    // shown, 0 while it is hidden.
    int ScrollLimit() const;

    FormatNode* SelectedNode() const { return selectedNode_; }
    // Where the keys act: the chosen node, or while none is chosen the row
    // that took the place of the chosen node deleted last; none when
    // neither is in the document.
    FormatNode* KeyNode() const { return selectedNode_ != nullptr ? selectedNode_.Get() : placeTaker_.Get(); }
    FormatNode* HighlightedNode() const { return highlightedNode_; }
    ColorRef TextColor() const { return textColor_; }
    ColorRef LineColor() const { return lineColor_; }
    ColorRef BackgroundColor() const { return backgroundColor_; }
    bool ShowLines() const { return showLines_; }
    int RowHeight() const { return rowHeight_; }
    int ContentHeight() const { return contentHeight_; }
    const QFont& TreeFont() const { return treeFont_; }
    // The font as the font chooser is given it.
    FontChoice TreeFontChoice() const;
    // The pixel height the font was made with (the font description's height
    // is its negative).
    int FontPixelHeight() const { return fontPixelHeight_; }
    const QImage& BackgroundPicture() const { return backgroundPicture_; }

    // Where the last paint laid out a node, in client pixels: the rows of its
    // label from the text start to the right margin; (0, 0, 0, 0) for a label
    // without room. For a node the last paint did not lay out (hidden, or
    // added since), where that paint drew it, or empty.
    NodeRect LaidOutRect(const FormatNode* node) const;
    // Where the last paint drew a node, or empty.
    NodeRect DrawnRect(const FormatNode* node) const { return drawnRects_.Of(node); }

    // The node under a client point as of the last paint, searching from the
    // given node, its visible descendants and following siblings; or none.
    FormatNode* HitTestNode(QPoint point, FormatNode* from) const;

    // Paints the client area into an image of its size at device pixel ratio
    // 1, exactly as the screen shows it. This is the paint: it lays out,
    // writes the rect field of every node whose rows meet the client area, and
    // updates the content height and the scroll bar.
    QImage RenderImage();

signals:
    // The notifications to the window. The view emits each from a queued
    // invocation, after its own event has finished, so any connection type
    // sees it late enough; one whose node is deleted before it is delivered
    // is dropped.
    // A click, or a key, chose node.
    void NodeSelected(tqf::FormatNode* node);
    // The menu's "Delete Node" removed a message.
    void MessageDeleted();
    // The menu asks to move node before or after its sibling.
    void MoveUpRequested(tqf::FormatNode* node);
    void MoveDownRequested(tqf::FormatNode* node);
    // The menu changed the document.
    void TreeChanged();
    // The menu asks for the rules of node, which the window edits.
    void RulesRequested(tqf::FormatNode* node);

    // subtreeRoot and everything under it is about to be deleted: holders of
    // node references clear the ones that point into it. Delivered directly.
    void NodesAboutToBeDeleted(const tqf::FormatNode* subtreeRoot);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // How the document talks back to the view.
    class Listener final : public FormatTreeListener {
    public:
        explicit Listener(FormatTreeView& view) : view_(view) {}
        void ShowTreeMessage(std::string_view text) override;
        void RequestRepaint() override;
        void NodesAboutToBeDeleted(const FormatNode& subtreeRoot) override;
        void NodeAdded(const FormatNode& node) override;
        void StructureChanged(const FormatNode& parent) override;
        void NodeChanged(const FormatNode& node) override;
        void NodeMoved(const FormatNode& node) override;

    private:
        FormatTreeView& view_;
    };

    struct PendingNotification {
        void (FormatTreeView::*signal)(FormatNode*) = nullptr;
        void (FormatTreeView::*plainSignal)() = nullptr;
        NodeRef node;
        bool hadNode = false;
        // Its node left the document before it was delivered.
        bool Dropped() const { return hadNode && node == nullptr; }
    };

    void PostNotification(void (FormatTreeView::*signal)(FormatNode*), FormatNode* node);
    void PostNotification(void (FormatTreeView::*signal)());
    void DeliverNotification();
    void ForgetNodes(const FormatNode& subtreeRoot);
    // Tells a reader, once the deletion is over, which row the keys act on.
    void AnnouncePlaceTaker();
    // Shows the refusal of an editing operation; true when it was refused.
    bool Refused(const EditResult& result);
    void UpdateScrollBar();
    void ScrollTo(int position);
    // Lays out the document as it is now and fits the scroll bar to it, as
    // the next paint would, so that rows can be found and scrolled to.
    void BringLayoutUpToDate();
    void ShowScrollBarAhead();
    // Scrolls a laid-out node into view: centred, or by as little as needed.
    void RevealNode(const FormatNode* node, bool centre);
    void ExpandAbove(const FormatNode* node);
    // What a click on node does, then the nodes above it are expanded and it
    // is scrolled into view.
    void Choose(FormatNode* node, bool centre);
    // The chosen node, or the nearest node above it that is shown when it
    // lies under a collapsed node; none when nothing is chosen.
    FormatNode* VisibleChosenNode() const;
    // The node a move key leads to from the chosen node, or none.
    FormatNode* MoveTarget(int key);
    // Left and Right: collapse or go to the parent, expand or go to the
    // first sub-node.
    void CollapseOrClimb();
    void ExpandOrDescend();
    // The menu key and Shift+F10: the context menu for the chosen node, once
    // per request however many events ask for it.
    void RequestKeyboardMenu();
    void OpenKeyboardMenu();
    // A left-button release or double click; false when the default handling
    // is to run.
    bool OnLeftButton(QPoint point, bool doubleClick);
    void AddListItem();
    void AddSubItem();
    void DeleteSelectedNode();
    void ChooseMemberColor(ColorRef& member);
    void ChooseTreeFont();
    QSize ClientSize() const;

    Prompts& prompts_;
    Listener listener_{*this};
    Document document_{&listener_};
    FormatTree& tree_{document_.Tree()};
    TreeLayout layout_;
    NodeRef selectedNode_{tree_};
    NodeRef highlightedNode_{tree_};
    // The row that took the place of the chosen node when it was deleted.
    // A deletion chooses nothing and leaves the panels empty; the keys go
    // on from this row, and a reader hears it as the focused row, until a
    // node is chosen.
    NodeRef placeTaker_{tree_};
    bool placeTakerAnnounced_ = false;
    ColorRef textColor_ = DEFAULT_TEXT_COLOR;
    ColorRef lineColor_ = DEFAULT_LINE_COLOR;
    ColorRef backgroundColor_ = DEFAULT_BACKGROUND_COLOR;
    bool showLines_ = true;
    QImage backgroundPicture_;
    // The picture stretched to the client size of the last paint.
    QImage stretchedPicture_;
    bool frozen_ = false;
    // What the last paint showed, shown again while frozen.
    QImage lastImage_;
    int fontPointSize_ = DEFAULT_POINT_SIZE;
    bool fontBold_ = false;
    bool fontItalic_ = false;
    std::string fontFace_ = DEFAULT_FACE;
    int fontPixelHeight_ = 0;
    QFont treeFont_;
    int rowHeight_ = 0;
    int contentHeight_ = 0;
    bool updatingScrollBar_ = false;
    bool scrollBarShown_ = false;
    int wheelRemainder_ = 0;
    // The keyboard has been used in the view since it took the focus; the
    // focus mark shows only then, as the platform hides focus cues from
    // users of the mouse.
    bool keyboardCues_ = false;
    // A context menu asked for by the keyboard is about to open or open.
    bool keyboardMenuPending_ = false;
    // The menu key or Shift+F10 was the last key; a keyboard context-menu
    // event that follows is the platform's echo of it.
    bool menuKeyEcho_ = false;
    // The scroll position and client width of the last paint, which place the
    // laid-out rows in client pixels for hit-testing.
    int paintScroll_ = 0;
    int paintWidth_ = 0;
    DrawnRects drawnRects_{tree_};
    std::deque<PendingNotification> pendingNotifications_;
    std::uint64_t shapeGeneration_ = 0;
};

} // namespace tqf
