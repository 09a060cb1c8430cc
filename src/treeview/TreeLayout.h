#pragma once

#include "FormatNode.h"
#include "FormatTree.h"
#include "NodeRef.h"
#include "RowSequence.h"
#include "TextMeasurer.h"

#include <QFont>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tqf {

// Where one laid-out node lies, in content pixels: y 0 is the top of the first
// row, x 0 the client area's left edge.
struct RowPlacement {
    const FormatNode* node = nullptr;
    std::int64_t top = 0;
    std::int32_t height = 0;
    std::int32_t depth = 0; // a message has depth 1
};

// Nodes noted for the next update of a layout, each held by a reference that
// the tree clears when its node leaves: a node deleted meanwhile is passed
// over, and nobody has to remember to drop it.
class PendingNodes {
public:
    explicit PendingNodes(FormatTree& tree) : tree_(tree) {}

    void Insert(const FormatNode* node);
    void Clear() { refs_.clear(); }
    // The nodes noted that are still in the tree.
    std::vector<const FormatNode*> Nodes() const;

private:
    FormatTree& tree_;
    // By the node's address when noted: a node made later at the address of
    // one deleted takes its entry.
    std::unordered_map<const FormatNode*, NodeRef> refs_;
};

// The layout of the tree view: every visible node (the root's descendants
// whose ancestors are all expanded) in document order, with the rows its label
// is broken into and the pixels they take. It is kept between paints and
// brought up to date by Update, which the paint calls; between two updates it
// describes the document as the last paint saw it, which is what hit-testing
// needs.
//
// Changes are noted as they happen and worked off in Update, touching only
// the nodes they concern: added nodes, deleted ones (at once, so that no
// deleted node is ever reached), changed labels, expanded or collapsed nodes,
// relinked sub-nodes. A change of font or width measures every node again.
class TreeLayout {
public:
    static constexpr int INDENT = 16;
    static constexpr int MARGIN = 4;

    explicit TreeLayout(FormatTree& tree);

    void SetFont(const QFont& font, int rowHeight);
    int RowHeight() const { return rowHeight_; }
    const TextMeasurer& Measurer() const { return measurer_; }

    // Notes of changes, worked off by the next Update.
    void InvalidateAll();
    // Forgets nothing of the document's shape, but every node's rows.
    void InvalidateMeasures() { remeasure_ = true; }
    void NodeAdded(const FormatNode& node);
    void NodeChanged(const FormatNode* node);
    void ExpansionChanged(const FormatNode* node);
    void ChildrenReordered(const FormatNode* parent);
    // node has been relinked to another place under the same parent. For a
    // message only its own rows move; under a list, the list's sub-nodes are
    // placed again as for ChildrenReordered.
    void NodeMoved(const FormatNode* node);
    // Forgets subtreeRoot and everything below it (for the root: everything
    // below it) at once. The rows they took stay until the next Update, so
    // that the rows below keep their places until then; but once many rows
    // are forgotten (a document emptied message by message), or for the
    // root, the whole layout is forgotten and made anew at the next Update.
    void NodesAboutToBeDeleted(const FormatNode& subtreeRoot);
    // Drops every row at once; the next update lays out the document anew.
    void ForgetAll();

    // Brings the layout up to date for a client area clientWidth wide.
    void Update(int clientWidth);
    // True while the next Update lays out the whole document anew.
    bool AwaitsRebuild() const { return rebuild_; }
    // How many steps from node to node all updates so far have taken to
    // find where added or moved nodes go; it shows how the cost of additions
    // grows with their number.
    std::uint64_t PlacementSteps() const { return placementSteps_; }
    // How often the whole document was laid out anew.
    std::uint64_t Rebuilds() const { return rebuilds_; }
    int ClientWidth() const { return clientWidth_; }

    std::int64_t TotalHeight() const { return rows_.TotalHeight(); }
    std::size_t Size() const { return rows_.Size(); }
    RowPlacement At(std::size_t index) const;
    // The row at index without its position, which At has to add up.
    const RowEntry& Entry(std::size_t index) const { return rows_.At(index); }
    std::optional<std::size_t> IndexOf(const FormatNode* node) const { return rows_.IndexOf(node); }
    std::optional<RowPlacement> Find(const FormatNode* node) const;
    // The first row whose pixels end below content y, or Size().
    std::size_t FirstEndingAfter(std::int64_t y) const { return rows_.FirstEndingAfter(y); }

    // The left edge of a node's text at a depth.
    static int TextLeft(int depth) { return depth * INDENT; }
    // The first character of every row of a node's label after the first;
    // empty for a label of one row.
    const std::vector<std::int32_t>& RowStarts(const FormatNode* node) const;

    // True while a visible node has an empty label and no room for text; such
    // nodes draw their connectors far from their rows, so the paint then draws
    // every node's connectors instead of those near the client area.
    bool HasStrayConnectors() const { return !strays_.empty(); }

private:
    // What a node at a depth takes: its pixels and, for more than one row,
    // where its rows start.
    std::int32_t Measure(const FormatNode* node, std::int32_t depth);
    void Forget(const FormatNode* node);
    bool IsStray(const FormatNode* node, std::int32_t depth) const;
    void Rebuild();
    void Remeasure();
    // Appends top (unless it is the root) and its visible descendants.
    void AppendVisibleSubtree(const FormatNode* top, std::int32_t depth, std::vector<RowEntry>& out);
    // Hands each row of top (unless it is the root) and of its visible
    // descendants to visit, in document order, measured.
    template <class Visit> void WalkVisibleSubtree(const FormatNode* top, std::int32_t depth, const Visit& visit);
    void InsertSubtree(std::size_t index, const FormatNode* top, std::int32_t depth);
    // Removes the rows of the descendants of the node at index.
    void EraseDescendants(std::size_t index);
    std::int32_t DepthOf(const FormatNode* node) const;
    void ApplyReorder(const FormatNode* parent);
    void ApplyExpansion(const FormatNode* node);
    // Lays out every node added since the last update, in runs: added
    // siblings next to each other go in together, before the laid-out node
    // that follows the last of them. Each added node is looked at a bounded
    // number of times, so that the cost grows with the additions, not with
    // their square, however additions and updates interleave.
    void ApplyAdditions();
    // From node, which is not laid out, the first node in document order
    // after its sub-tree that is laid out or about to be (in starts); none at
    // the end of the document.
    const FormatNode* NextPlaced(const FormatNode* node, const std::unordered_set<const FormatNode*>& starts);
    void ApplyMessageMoves();
    // Where the rows of node, which are not laid out, belong: right before
    // the first laid-out node that follows node's sub-tree in document order.
    std::size_t InsertionIndex(const FormatNode* node);
    void ApplyChange(const FormatNode* node);
    void DropPendingWithin(const FormatNode& subtreeRoot);

    const FormatNode* root_;
    TextMeasurer measurer_;
    int rowHeight_ = 0;
    int clientWidth_ = -1;
    // Only messages are in the table of rows: the table stays small and
    // quick to build for a large document, and any node is found from its
    // message within that message's rows.
    static constexpr std::int32_t MESSAGE_DEPTH = 1;
    RowSequence rows_{MESSAGE_DEPTH};
    std::unordered_map<const FormatNode*, std::vector<std::int32_t>> rowStarts_;
    std::unordered_set<const FormatNode*> strays_;

    // The document's shape is unknown: walk it all again.
    bool rebuild_ = true;
    // Font or width changed: measure every laid-out node again.
    bool remeasure_ = false;
    std::vector<const FormatNode*> added_; // in the order they were added
    // How many of them went anywhere but after the last message.
    std::size_t addedInside_ = 0;
    std::uint64_t placementSteps_ = 0;
    std::uint64_t rebuilds_ = 0;
    std::unordered_set<const FormatNode*> addedSet_;
    // Additions are kept by address: there may be as many as rows, and
    // NodesAboutToBeDeleted drops those that leave.
    PendingNodes changed_;
    PendingNodes toggled_;
    PendingNodes reordered_;
    PendingNodes movedMessages_;
};

} // namespace tqf
