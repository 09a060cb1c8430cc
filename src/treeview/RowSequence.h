#pragma once

#include <QHash>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace tqf {

class FormatNode;

// One laid-out node: the pixels its rows take and its depth below the root.
// A forgotten row (a node deleted since the last layout) has no node but
// keeps its pixels until RemoveForgotten.
struct RowEntry {
    const FormatNode* node = nullptr;
    std::int32_t height = 0;
    std::int32_t depth = 0;
};

// The laid-out nodes in document order, with the content position of each.
// Rows are kept in blocks that know their total height, so that finding the
// row at a position and inserting or removing rows take time in proportion to
// a block, not to the document.
//
// Rows no deeper than the indexed depth are found through a table of their
// blocks. Below that depth a row's depth is its node's distance from the
// document's root, and the row is found from its ancestor at the indexed
// depth, by a walk of the rows after the ancestor's, which hold the
// ancestor's sub-tree and nothing else. A layout that indexes only its messages so keeps a table
// a fraction of the size of its rows and builds it in a fraction of the time,
// and finding any node costs at most the rows of one message.
class RowSequence {
public:
    // Every row is in the table; the rows may then come in any order.
    static constexpr std::int32_t ALL_DEPTHS = std::numeric_limits<std::int32_t>::max();

    explicit RowSequence(std::int32_t indexedDepth = ALL_DEPTHS) : indexedDepth_(indexedDepth) {}
    RowSequence(const RowSequence&) = delete;
    RowSequence& operator=(const RowSequence&) = delete;

    std::size_t Size() const { return size_; }
    std::int64_t TotalHeight() const { return totalHeight_; }

    const RowEntry& At(std::size_t index) const;
    // The content position of the row's top.
    std::int64_t TopOf(std::size_t index) const;
    std::optional<std::size_t> IndexOf(const FormatNode* node) const;
    bool Contains(const FormatNode* node) const { return IndexOf(node).has_value(); }
    // The first row that ends below y (top + height > y), or Size().
    std::size_t FirstEndingAfter(std::int64_t y) const;

    void Assign(const std::vector<RowEntry>& rows);
    void Clear();
    // Assign row by row, without a copy of all rows: BeginAppend empties the
    // sequence, Append adds a row after the last, and EndAppend makes the
    // rows' nodes known to IndexOf and Contains, all at once, which spares
    // the table of blocks from growing step by step.
    void BeginAppend() { Clear(); }
    void Append(const RowEntry& row);
    void EndAppend();
    void Insert(std::size_t index, const std::vector<RowEntry>& rows);
    void Erase(std::size_t first, std::size_t last);
    void SetHeight(std::size_t index, std::int32_t height);
    // Gives every row the height that measure(row) returns, in order.
    template <class Measure> void SetEveryHeight(const Measure& measure) {
        totalHeight_ = 0;
        for (const std::unique_ptr<Block>& block : blocks_) {
            block->height = 0;
            for (RowEntry& row : block->rows) {
                row.height = measure(static_cast<const RowEntry&>(row));
                block->height += row.height;
            }
            totalHeight_ += block->height;
        }
        prefixValid_ = 0;
    }
    // Drops the row's node and keeps its pixels.
    void Forget(std::size_t index);
    void RemoveForgotten();
    bool HasForgotten() const { return forgotten_ != 0; }
    std::size_t ForgottenCount() const { return forgotten_; }

private:
    // Rows per block after a split; a block is split when it holds twice as
    // many and merged with a neighbour when it falls below a quarter.
    static constexpr std::size_t BLOCK_ROWS = 256;
    static constexpr std::size_t MAX_BLOCK_ROWS = 2 * BLOCK_ROWS;
    static constexpr std::size_t MIN_BLOCK_ROWS = BLOCK_ROWS / 4;

    struct Block {
        std::vector<RowEntry> rows;
        std::int64_t height = 0;
        std::size_t forgotten = 0;
        std::size_t index = 0; // place in blocks_
        std::size_t first = 0; // index of the first row, valid up to prefixValid_
        std::int64_t top = 0;  // content position of the first row, likewise
    };

    struct Position {
        std::size_t block = 0;
        std::size_t offset = 0;
    };

    Position Locate(std::size_t index) const;
    bool IsIndexed(const RowEntry& row) const { return row.node != nullptr && row.depth <= indexedDepth_; }
    static std::size_t OffsetIn(const Block& block, const FormatNode* node);
    // The index of node among the rows of the sub-tree of the row at offset
    // in block, if it is one of them.
    std::optional<std::size_t> FindBelow(const Block& block, std::size_t offset, const FormatNode* node) const;
    void EnsurePrefix() const;
    void Invalidate(std::size_t blockIndex);
    void Renumber(std::size_t fromBlock);
    void SplitIfLarge(std::size_t blockIndex);
    void MergeIfSmall(std::size_t blockIndex);
    void RemoveBlock(std::size_t blockIndex);
    void Register(Block& block, std::size_t fromOffset);
    Block& NewBlock();

    std::vector<std::unique_ptr<Block>> blocks_;
    std::int32_t indexedDepth_;
    // The block of every laid-out node no deeper than indexedDepth_. An
    // open-addressing table, which holds many nodes in less than half the
    // memory of a node-based map and without an allocation per node.
    QHash<const FormatNode*, Block*> blockOf_;
    // Rows for the table appended since the sequence was emptied, for
    // EndAppend to make room for at once.
    std::size_t appendedIndexed_ = 0;
    std::size_t size_ = 0;
    std::int64_t totalHeight_ = 0;
    std::size_t forgotten_ = 0;
    // Blocks before this one have valid first and top.
    mutable std::size_t prefixValid_ = 0;
};

} // namespace tqf
