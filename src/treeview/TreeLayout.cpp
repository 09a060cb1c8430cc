#include "TreeLayout.h"

#include "FormatTree.h"

#include <algorithm>
#include <limits>

namespace tqf {

namespace {

// Fewer additions than this are placed one by one; more are laid out with
// the rest of the document in one walk, which is then cheaper.
constexpr std::size_t MIN_BULK_ADDITIONS = 1024;
constexpr std::size_t BULK_ADDITION_SHARE = 8;
// Once this share of the rows, and at least this many, are forgotten,
// deleting more forgets the whole layout instead: a document emptied message
// by message would otherwise pay for every row it loses, and laying out what
// is left costs no more.
constexpr std::size_t FORGET_ALL_SHARE = 16;
constexpr std::size_t MIN_FORGOTTEN_FOR_ALL = 1024;
// No node's height may come near the limits of the row positions.
constexpr std::int64_t MAX_NODE_HEIGHT = std::numeric_limits<std::int32_t>::max() / 2;

} // namespace

void PendingNodes::Insert(const FormatNode* node) {
    // The tree hands out its nodes to be changed; a reference needs one so.
    auto* changeable = const_cast<FormatNode*>(node);
    if (const auto [entry, added] = refs_.try_emplace(node, tree_, changeable); !added) {
        entry->second = changeable;
    }
}

std::vector<const FormatNode*> PendingNodes::Nodes() const {
    std::vector<const FormatNode*> nodes;
    nodes.reserve(refs_.size());
    for (const auto& [address, ref] : refs_) {
        if (ref.Get() != nullptr) {
            nodes.push_back(ref.Get());
        }
    }
    return nodes;
}

TreeLayout::TreeLayout(FormatTree& tree)
    : root_(tree.GetRootNode()), changed_(tree), toggled_(tree), reordered_(tree), movedMessages_(tree) {}

void TreeLayout::SetFont(const QFont& font, int rowHeight) {
    measurer_.SetFont(font);
    rowHeight_ = rowHeight;
    InvalidateMeasures();
}

void TreeLayout::InvalidateAll() {
    rebuild_ = true;
    added_.clear();
    addedInside_ = 0;
    addedSet_.clear();
    changed_.Clear();
    toggled_.Clear();
    reordered_.Clear();
    movedMessages_.Clear();
}

void TreeLayout::NodeAdded(const FormatNode& node) {
    if (rebuild_) {
        return;
    }
    // A message added at the end of the document is placed at the end of
    // the rows, at a cost of its own rows only, so it counts only once the
    // additions outnumber the rows laid out: a walk over the whole document
    // then costs at most twice as much as placing them, and nothing needs
    // to be kept for each of them.
    const bool atEnd = node.Parent() == root_ && node.NextSibling() == nullptr;
    const std::size_t rows = rows_.Size();
    if ((!atEnd && ++addedInside_ > std::max(MIN_BULK_ADDITIONS, rows / BULK_ADDITION_SHARE)) ||
        added_.size() >= std::max(MIN_BULK_ADDITIONS, rows)) {
        InvalidateAll();
        return;
    }
    if (addedSet_.insert(&node).second) {
        added_.push_back(&node);
    }
}

void TreeLayout::NodeChanged(const FormatNode* node) {
    if (!rebuild_ && node != nullptr && node != root_) {
        changed_.Insert(node);
    }
}

void TreeLayout::ExpansionChanged(const FormatNode* node) {
    if (rebuild_ || node == nullptr) {
        return;
    }
    if (node == root_) {
        // The root is never drawn; its messages show whatever its flag says.
        return;
    }
    toggled_.Insert(node);
}

void TreeLayout::ChildrenReordered(const FormatNode* parent) {
    if (rebuild_ || parent == nullptr) {
        return;
    }
    if (parent == root_) {
        // Every row may have moved.
        InvalidateAll();
        return;
    }
    reordered_.Insert(parent);
}

void TreeLayout::NodeMoved(const FormatNode* node) {
    if (rebuild_ || node == nullptr || node == root_ || node->Parent() == nullptr) {
        return;
    }
    if (node->Parent() == root_) {
        movedMessages_.Insert(node);
    } else {
        reordered_.Insert(node->Parent());
    }
}

void TreeLayout::Forget(const FormatNode* node) {
    if (!rowStarts_.empty()) {
        rowStarts_.erase(node);
    }
    if (!strays_.empty()) {
        strays_.erase(node);
    }
}

void TreeLayout::DropPendingWithin(const FormatNode& subtreeRoot) {
    const auto dropFrom = [&](std::unordered_set<const FormatNode*>& pending) {
        for (auto it = pending.begin(); it != pending.end();) {
            it = FormatTree::IsWithin(*it, &subtreeRoot) ? pending.erase(it) : std::next(it);
        }
    };
    dropFrom(addedSet_);
    // added_ keeps its order; entries no longer in addedSet_ are skipped and
    // never dereferenced.
}

void TreeLayout::ForgetAll() {
    rows_.Clear();
    rowStarts_.clear();
    strays_.clear();
    InvalidateAll();
}

void TreeLayout::NodesAboutToBeDeleted(const FormatNode& subtreeRoot) {
    const std::size_t forgotten = rows_.ForgottenCount();
    if (&subtreeRoot == root_ || (forgotten >= MIN_FORGOTTEN_FOR_ALL && forgotten * FORGET_ALL_SHARE > rows_.Size())) {
        // Until the next update nothing is laid out, so no row, and no
        // deleted node, can be hit.
        ForgetAll();
        return;
    }
    DropPendingWithin(subtreeRoot);
    const std::optional<std::size_t> index = rows_.IndexOf(&subtreeRoot);
    if (!index) {
        return;
    }
    // The node's laid-out descendants follow it, deeper than it.
    const std::int32_t depth = rows_.At(*index).depth;
    for (std::size_t i = *index; i < rows_.Size(); ++i) {
        const RowEntry& row = rows_.At(i);
        if (i != *index && row.depth <= depth) {
            break;
        }
        if (row.node != nullptr) {
            Forget(row.node);
            rows_.Forget(i);
        }
    }
}

bool TreeLayout::IsStray(const FormatNode* node, std::int32_t depth) const {
    return node->Label().empty() && TextLeft(depth) >= clientWidth_ - MARGIN;
}

std::int32_t TreeLayout::Measure(const FormatNode* node, std::int32_t depth) {
    if (IsStray(node, depth)) {
        strays_.insert(node);
    } else if (!strays_.empty()) {
        strays_.erase(node);
    }
    if (!rowStarts_.empty()) {
        rowStarts_.erase(node);
    }
    if (node->Label().empty()) {
        return rowHeight_;
    }
    const int available = clientWidth_ - MARGIN - TextLeft(depth);
    if (available <= 0) {
        // Rows without width: nothing of the label shows and it takes no
        // pixels.
        return 0;
    }
    if (measurer_.Fits(node->Label(), available)) {
        return rowHeight_;
    }
    const LabelText text(node->Label());
    std::vector<std::int32_t> starts = measurer_.BreakIntoRows(text, available);
    const auto rows = static_cast<std::int64_t>(starts.size());
    if (rows > 1) {
        rowStarts_[node] = std::move(starts);
    }
    return static_cast<std::int32_t>(std::min(rows * rowHeight_, MAX_NODE_HEIGHT));
}

const std::vector<std::int32_t>& TreeLayout::RowStarts(const FormatNode* node) const {
    static const std::vector<std::int32_t> oneRow;
    const auto found = rowStarts_.find(node);
    return found == rowStarts_.end() ? oneRow : found->second;
}

template <class Visit>
void TreeLayout::WalkVisibleSubtree(const FormatNode* top, std::int32_t depth, const Visit& visit) {
    // Document order without recursion: down to the first sub-node while
    // expanded, else on to the next sibling, climbing as far as needed.
    if (top != root_) {
        visit(RowEntry{top, Measure(top, depth), depth});
        if (!top->IsExpanded()) {
            return;
        }
    }
    const FormatNode* node = top->FirstChild();
    std::int32_t d = depth + 1;
    while (node != nullptr) {
        visit(RowEntry{node, Measure(node, d), d});
        if (node->IsExpanded() && node->FirstChild() != nullptr) {
            node = node->FirstChild();
            ++d;
            continue;
        }
        for (;;) {
            if (node->NextSibling() != nullptr) {
                node = node->NextSibling();
                break;
            }
            node = node->Parent();
            --d;
            if (node == top) {
                node = nullptr;
                break;
            }
        }
    }
}

void TreeLayout::AppendVisibleSubtree(const FormatNode* top, std::int32_t depth, std::vector<RowEntry>& out) {
    WalkVisibleSubtree(top, depth, [&out](const RowEntry& row) { out.push_back(row); });
}

void TreeLayout::Remeasure() {
    // The rows stay where they are in the order; only their pixels change.
    rowStarts_.clear();
    strays_.clear();
    rows_.SetEveryHeight(
        [this](const RowEntry& row) { return row.node != nullptr ? Measure(row.node, row.depth) : 0; });
    remeasure_ = false;
}

void TreeLayout::Rebuild() {
    ++rebuilds_;
    remeasure_ = false;
    rowStarts_.clear();
    strays_.clear();
    // Straight into the sequence: a copy of every row first would add to
    // what a large document takes at its peak.
    rows_.BeginAppend();
    WalkVisibleSubtree(root_, 0, [this](const RowEntry& row) { rows_.Append(row); });
    rows_.EndAppend();
    InvalidateAll();
    rebuild_ = false;
}

void TreeLayout::InsertSubtree(std::size_t index, const FormatNode* top, std::int32_t depth) {
    std::vector<RowEntry> rows;
    AppendVisibleSubtree(top, depth, rows);
    rows_.Insert(index, rows);
}

void TreeLayout::EraseDescendants(std::size_t index) {
    const std::int32_t depth = rows_.At(index).depth;
    std::size_t end = index + 1;
    while (end < rows_.Size() && rows_.At(end).depth > depth) {
        if (const FormatNode* node = rows_.At(end).node) {
            Forget(node);
        }
        ++end;
    }
    rows_.Erase(index + 1, end);
}

std::int32_t TreeLayout::DepthOf(const FormatNode* node) const {
    if (const std::optional<std::size_t> index = rows_.IndexOf(node)) {
        return rows_.At(*index).depth;
    }
    std::int32_t depth = 0;
    for (const FormatNode* n = node; n != nullptr && n != root_; n = n->Parent()) {
        ++depth;
    }
    return depth;
}

void TreeLayout::ApplyReorder(const FormatNode* parent) {
    const std::optional<std::size_t> index = rows_.IndexOf(parent);
    if (!index) {
        return;
    }
    const std::int32_t depth = rows_.At(*index).depth;
    EraseDescendants(*index);
    if (!parent->IsExpanded() || parent->FirstChild() == nullptr) {
        return;
    }
    std::vector<RowEntry> rows;
    AppendVisibleSubtree(parent, depth, rows);
    rows.erase(rows.begin()); // the parent keeps its row
    rows_.Insert(*index + 1, rows);
}

void TreeLayout::ApplyExpansion(const FormatNode* node) {
    const std::optional<std::size_t> index = rows_.IndexOf(node);
    if (!index) {
        return;
    }
    const std::int32_t depth = rows_.At(*index).depth;
    const bool shown = *index + 1 < rows_.Size() && rows_.At(*index + 1).depth > depth;
    const bool wanted = node->IsExpanded() && node->FirstChild() != nullptr;
    if (wanted && !shown) {
        std::vector<RowEntry> rows;
        AppendVisibleSubtree(node, depth, rows);
        rows.erase(rows.begin());
        rows_.Insert(*index + 1, rows);
    } else if (!wanted && shown) {
        EraseDescendants(*index);
    }
}

std::size_t TreeLayout::InsertionIndex(const FormatNode* node) {
    // Nodes that are not laid out yet (moved since the last update) are
    // passed over.
    const FormatNode* at = node;
    while (at != nullptr && at != root_) {
        ++placementSteps_;
        if (const FormatNode* next = at->NextSibling()) {
            if (const std::optional<std::size_t> found = rows_.IndexOf(next)) {
                return *found;
            }
            at = next;
        } else {
            at = at->Parent();
        }
    }
    return rows_.Size();
}

const FormatNode* TreeLayout::NextPlaced(const FormatNode* node, const std::unordered_set<const FormatNode*>& starts) {
    const FormatNode* at = node;
    while (at != nullptr && at != root_) {
        ++placementSteps_;
        if (const FormatNode* next = at->NextSibling()) {
            if (starts.contains(next) || rows_.Contains(next)) {
                return next;
            }
            at = next;
        } else {
            at = at->Parent();
        }
    }
    return nullptr;
}

void TreeLayout::ApplyAdditions() {
    // The added nodes whose rows go in now: those whose parent is laid out
    // and expanded. Nodes added below them come with their sub-trees, and
    // nodes under a collapsed one stay hidden.
    std::vector<const FormatNode*> starts;
    std::unordered_set<const FormatNode*> startSet;
    for (const FormatNode* node : added_) {
        const FormatNode* parent = node->Parent();
        if (addedSet_.count(node) == 0 || parent == nullptr || rows_.Contains(node)) {
            continue;
        }
        if (parent != root_ && (!parent->IsExpanded() || !rows_.Contains(parent))) {
            continue;
        }
        if (startSet.insert(node).second) {
            starts.push_back(node);
        }
    }
    // Each start is followed either by another start, whose rows come right
    // after its own, or by a laid-out node or the end, before which the run
    // of starts goes. Every run is placed once, from its first node.
    std::unordered_map<const FormatNode*, const FormatNode*> following;
    std::unordered_set<const FormatNode*> followers;
    following.reserve(starts.size());
    for (const FormatNode* node : starts) {
        const FormatNode* next = NextPlaced(node, startSet);
        following.emplace(node, next);
        if (next != nullptr && startSet.contains(next)) {
            followers.insert(next);
        }
    }
    std::vector<RowEntry> rows;
    for (const FormatNode* first : starts) {
        if (followers.contains(first)) {
            continue;
        }
        rows.clear();
        const FormatNode* before = first;
        // A start leaves the set once placed, so that it is never placed
        // twice.
        while (before != nullptr && startSet.erase(before) != 0) {
            const FormatNode* parent = before->Parent();
            const std::int32_t depth = parent == root_ ? 1 : rows_.At(*rows_.IndexOf(parent)).depth + 1;
            AppendVisibleSubtree(before, depth, rows);
            before = following.at(before);
        }
        const std::optional<std::size_t> index = before != nullptr ? rows_.IndexOf(before) : std::nullopt;
        rows_.Insert(index.value_or(rows_.Size()), rows);
    }
}

void TreeLayout::ApplyMessageMoves() {
    // All moved messages leave first; then each goes back right before the
    // laid-out node that follows it now. Whatever the order of the moves,
    // the messages that stayed keep their order, so each lands in its place.
    const std::vector<const FormatNode*> moved = movedMessages_.Nodes();
    for (const FormatNode* message : moved) {
        if (const std::optional<std::size_t> index = rows_.IndexOf(message)) {
            EraseDescendants(*index);
            rows_.Erase(*index, *index + 1);
        }
    }
    for (const FormatNode* message : moved) {
        InsertSubtree(InsertionIndex(message), message, 1);
    }
}

void TreeLayout::ApplyChange(const FormatNode* node) {
    if (const std::optional<std::size_t> index = rows_.IndexOf(node)) {
        rows_.SetHeight(*index, Measure(node, rows_.At(*index).depth));
    }
}

void TreeLayout::Update(int clientWidth) {
    if (clientWidth != clientWidth_) {
        clientWidth_ = clientWidth;
        InvalidateMeasures();
    }
    if (rebuild_) {
        Rebuild();
        return;
    }
    rows_.RemoveForgotten();
    ApplyMessageMoves();
    for (const FormatNode* parent : reordered_.Nodes()) {
        ApplyReorder(parent);
    }
    for (const FormatNode* node : toggled_.Nodes()) {
        ApplyExpansion(node);
    }
    ApplyAdditions();
    for (const FormatNode* node : changed_.Nodes()) {
        ApplyChange(node);
    }
    if (remeasure_) {
        Remeasure();
    }
    added_.clear();
    addedInside_ = 0;
    addedSet_.clear();
    changed_.Clear();
    toggled_.Clear();
    reordered_.Clear();
    movedMessages_.Clear();
}

RowPlacement TreeLayout::At(std::size_t index) const {
    const RowEntry& row = rows_.At(index);
    return {row.node, rows_.TopOf(index), row.height, row.depth};
}

std::optional<RowPlacement> TreeLayout::Find(const FormatNode* node) const {
    if (const std::optional<std::size_t> index = rows_.IndexOf(node)) {
        return At(*index);
    }
    return std::nullopt;
}

} // namespace tqf
