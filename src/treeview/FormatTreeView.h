#pragma once

#include "FormatTree.h"
#include "Prompts.h"
#include "TreeMessages.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <string>

namespace tqf {

// The custom-drawn, scrollable tree on the left of the main window. It owns
// the document (a FormatTree) and offers its node operations to the editor.
class FormatTreeView : public QAbstractScrollArea, private FormatTreeListener {
    Q_OBJECT

public:
    explicit FormatTreeView(Prompts& prompts, QWidget* parent = nullptr);
    ~FormatTreeView() override;

    // The document and its node operations.
    FormatTree& Tree() { return tree_; }
    FormatNode* GetRootNode() { return tree_.GetRootNode(); }

    // Appearance. The setters return the view so that calls can be chained;
    // they do not repaint.
    virtual FormatTreeView& SetTreeFont(int pointSize, bool bold, bool italic, const std::string& faceName);
    virtual FormatTreeView& SetTreeTextColor(ColorRef color);
    void SetNodeColor(FormatNode* node, ColorRef color, bool repaint);
    void ToggleExpanded(FormatNode* node, bool repaint);

    // Invalidates the whole client area; one paint follows.
    void Repaint();

    // Runs one of the view's commands (TreeCommand), as its menu does.
    void RunCommand(int commandId);

    FormatNode* SelectedNode() const { return selectedNode_; }
    FormatNode* HighlightedNode() const { return highlightedNode_; }
    ColorRef TextColor() const { return textColor_; }
    ColorRef LineColor() const { return lineColor_; }
    ColorRef BackgroundColor() const { return backgroundColor_; }
    bool ShowLines() const { return showLines_; }
    int RowHeight() const { return rowHeight_; }
    int ContentHeight() const { return contentHeight_; }

    // The node under a client point as of the last paint, searching from the
    // given node, its visible descendants and following siblings; or none.
    FormatNode* HitTestNode(QPoint point, FormatNode* from) const;

    // Paints the client area into an image of its size at device pixel ratio
    // 1, exactly as the screen shows it.
    QImage RenderImage();

signals:
    // One of the TreeMessage notifications, with its node where it has one.
    // Connect with Qt::QueuedConnection.
    void TreeNotification(int message, tqf::FormatNode* node);

    // subtreeRoot and everything under it is about to be deleted: holders of
    // node references clear the ones that point into it. Delivered directly.
    void NodesAboutToBeDeleted(const tqf::FormatNode* subtreeRoot);

private:
    // FormatTreeListener
    void ShowTreeMessage(std::string_view text) override;
    void RequestRepaint() override;
    void NodesAboutToBeDeleted(const FormatNode& subtreeRoot) override;

    Prompts& prompts_;
    FormatTree tree_;
    FormatNode* selectedNode_ = nullptr;
    FormatNode* highlightedNode_ = nullptr;
    ColorRef textColor_ = Rgb(0, 0, 0);
    ColorRef lineColor_ = Rgb(128, 128, 128);
    ColorRef backgroundColor_ = Rgb(255, 255, 255);
    bool showLines_ = true;
    int rowHeight_ = 0;
    int contentHeight_ = 0;
};

} // namespace tqf
