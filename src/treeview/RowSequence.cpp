#include "RowSequence.h"

#include "FormatNode.h"

#include <algorithm>
#include <cassert>

namespace tqf {

void RowSequence::Invalidate(std::size_t blockIndex) { prefixValid_ = std::min(prefixValid_, blockIndex); }

void RowSequence::EnsurePrefix() const {
    if (prefixValid_ >= blocks_.size()) {
        return;
    }
    std::size_t first = 0;
    std::int64_t top = 0;
    if (prefixValid_ > 0) {
        const Block& before = *blocks_[prefixValid_ - 1];
        first = before.first + before.rows.size();
        top = before.top + before.height;
    }
    for (std::size_t i = prefixValid_; i < blocks_.size(); ++i) {
        Block& block = *blocks_[i];
        block.first = first;
        block.top = top;
        first += block.rows.size();
        top += block.height;
    }
    prefixValid_ = blocks_.size();
}

void RowSequence::Renumber(std::size_t fromBlock) {
    for (std::size_t i = fromBlock; i < blocks_.size(); ++i) {
        blocks_[i]->index = i;
    }
    Invalidate(fromBlock);
}

void RowSequence::Register(Block& block, std::size_t fromOffset) {
    for (std::size_t i = fromOffset; i < block.rows.size(); ++i) {
        if (IsIndexed(block.rows[i])) {
            blockOf_.insert(block.rows[i].node, &block);
        }
    }
}

RowSequence::Position RowSequence::Locate(std::size_t index) const {
    assert(index < size_);
    EnsurePrefix();
    const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                                        [](std::size_t i, const std::unique_ptr<Block>& b) { return i < b->first; });
    const auto block = static_cast<std::size_t>(after - blocks_.begin()) - 1;
    return {block, index - blocks_[block]->first};
}

const RowEntry& RowSequence::At(std::size_t index) const {
    const Position p = Locate(index);
    return blocks_[p.block]->rows[p.offset];
}

std::int64_t RowSequence::TopOf(std::size_t index) const {
    const Position p = Locate(index);
    const Block& block = *blocks_[p.block];
    std::int64_t top = block.top;
    for (std::size_t i = 0; i < p.offset; ++i) {
        top += block.rows[i].height;
    }
    return top;
}

std::size_t RowSequence::OffsetIn(const Block& block, const FormatNode* node) {
    std::size_t i = 0;
    while (i < block.rows.size() && block.rows[i].node != node) {
        ++i;
    }
    assert(i < block.rows.size() && "a node in the table is in its block");
    return i;
}

std::optional<std::size_t> RowSequence::FindBelow(const Block& block, std::size_t offset,
                                                  const FormatNode* node) const {
    EnsurePrefix();
    const std::int32_t depth = block.rows[offset].depth;
    std::size_t i = offset + 1;
    for (std::size_t b = block.index; b < blocks_.size(); ++b, i = 0) {
        const Block& current = *blocks_[b];
        for (; i < current.rows.size(); ++i) {
            const RowEntry& row = current.rows[i];
            if (row.depth <= depth) {
                return std::nullopt;
            }
            if (row.node == node) {
                return current.first + i;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> RowSequence::IndexOf(const FormatNode* node) const {
    if (node == nullptr) {
        return std::nullopt;
    }
    // A node moves only among its siblings, so a node below the indexed depth
    // is laid out below its ancestor at that depth if at all: the one node to
    // look up.
    const FormatNode* anchor = node;
    if (indexedDepth_ != ALL_DEPTHS) {
        std::int32_t depth = 0;
        for (const FormatNode* above = node; above->Parent() != nullptr; above = above->Parent()) {
            ++depth;
        }
        for (; depth > indexedDepth_; --depth) {
            anchor = anchor->Parent();
        }
    }
    const Block* found = blockOf_.value(anchor, nullptr);
    if (found == nullptr) {
        return std::nullopt;
    }
    const std::size_t offset = OffsetIn(*found, anchor);
    if (anchor != node) {
        return FindBelow(*found, offset, node);
    }
    EnsurePrefix();
    return found->first + offset;
}

std::size_t RowSequence::FirstEndingAfter(std::int64_t y) const {
    EnsurePrefix();
    const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), y,
                                        [](std::int64_t value, const auto& b) { return value < b->top + b->height; });
    if (block == blocks_.end()) {
        return size_;
    }
    std::int64_t top = (*block)->top;
    for (std::size_t i = 0; i < (*block)->rows.size(); ++i) {
        top += (*block)->rows[i].height;
        if (top > y) {
            return (*block)->first + i;
        }
    }
    return (*block)->first + (*block)->rows.size();
}

void RowSequence::Clear() {
    blocks_.clear();
    blockOf_.clear();
    appendedIndexed_ = 0;
    size_ = 0;
    totalHeight_ = 0;
    forgotten_ = 0;
    prefixValid_ = 0;
}

RowSequence::Block& RowSequence::NewBlock() {
    auto block = std::make_unique<Block>();
    block->rows.reserve(BLOCK_ROWS);
    block->index = blocks_.size();
    blocks_.push_back(std::move(block));
    return *blocks_.back();
}

void RowSequence::Append(const RowEntry& row) {
    Block& block = blocks_.empty() || blocks_.back()->rows.size() >= BLOCK_ROWS ? NewBlock() : *blocks_.back();
    block.rows.push_back(row);
    block.height += row.height;
    totalHeight_ += row.height;
    if (row.node == nullptr) {
        ++block.forgotten;
        ++forgotten_;
    } else if (IsIndexed(row)) {
        ++appendedIndexed_;
    }
    ++size_;
    Invalidate(block.index);
}

void RowSequence::EndAppend() {
    blockOf_.reserve(static_cast<qsizetype>(appendedIndexed_));
    for (const std::unique_ptr<Block>& block : blocks_) {
        Register(*block, 0);
    }
}

void RowSequence::Assign(const std::vector<RowEntry>& rows) {
    BeginAppend();
    for (const RowEntry& row : rows) {
        Append(row);
    }
    EndAppend();
}

void RowSequence::Insert(std::size_t index, const std::vector<RowEntry>& rows) {
    assert(index <= size_);
    if (rows.empty()) {
        return;
    }
    if (blocks_.empty()) {
        Assign(rows);
        return;
    }
    if (index == size_) {
        // Rows at the end fill the last block and then new ones, each row
        // registered once: a document read at its end grows this way.
        for (const RowEntry& row : rows) {
            Append(row);
            if (IsIndexed(row)) {
                blockOf_.insert(row.node, blocks_.back().get());
            }
        }
        return;
    }
    const Position p = Locate(index);
    Block& block = *blocks_[p.block];
    block.rows.insert(block.rows.begin() + static_cast<std::ptrdiff_t>(p.offset), rows.begin(), rows.end());
    for (const RowEntry& row : rows) {
        block.height += row.height;
        totalHeight_ += row.height;
        if (row.node == nullptr) {
            ++block.forgotten;
            ++forgotten_;
        } else if (IsIndexed(row)) {
            blockOf_.insert(row.node, &block);
        }
    }
    size_ += rows.size();
    Invalidate(p.block);
    SplitIfLarge(p.block);
}

void RowSequence::SplitIfLarge(std::size_t blockIndex) {
    Block& block = *blocks_[blockIndex];
    if (block.rows.size() <= MAX_BLOCK_ROWS) {
        return;
    }
    // Cut the block into pieces of BLOCK_ROWS, keeping the first in place.
    std::vector<std::unique_ptr<Block>> pieces;
    for (std::size_t start = BLOCK_ROWS; start < block.rows.size(); start += BLOCK_ROWS) {
        auto piece = std::make_unique<Block>();
        const std::size_t end = std::min(block.rows.size(), start + BLOCK_ROWS);
        piece->rows.assign(block.rows.begin() + static_cast<std::ptrdiff_t>(start),
                           block.rows.begin() + static_cast<std::ptrdiff_t>(end));
        for (const RowEntry& row : piece->rows) {
            piece->height += row.height;
            if (row.node == nullptr) {
                ++piece->forgotten;
            }
        }
        block.height -= piece->height;
        block.forgotten -= piece->forgotten;
        Register(*piece, 0);
        pieces.push_back(std::move(piece));
    }
    block.rows.resize(BLOCK_ROWS);
    block.rows.shrink_to_fit();
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(blockIndex) + 1,
                   std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end()));
    Renumber(blockIndex);
}

void RowSequence::RemoveBlock(std::size_t blockIndex) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(blockIndex));
    Renumber(blockIndex);
}

void RowSequence::MergeIfSmall(std::size_t blockIndex) {
    if (blockIndex >= blocks_.size()) {
        return;
    }
    if (blocks_[blockIndex]->rows.empty()) {
        RemoveBlock(blockIndex);
        return;
    }
    if (blocks_[blockIndex]->rows.size() >= MIN_BLOCK_ROWS) {
        return;
    }
    // Merge into the smaller neighbour while the result stays a fair size.
    std::size_t into = blockIndex;
    std::size_t from = blockIndex + 1;
    if (blockIndex > 0 &&
        (from >= blocks_.size() || blocks_[blockIndex - 1]->rows.size() < blocks_[blockIndex + 1]->rows.size())) {
        into = blockIndex - 1;
        from = blockIndex;
    }
    if (from >= blocks_.size() || blocks_[into]->rows.size() + blocks_[from]->rows.size() > MAX_BLOCK_ROWS) {
        return;
    }
    Block& target = *blocks_[into];
    Block& source = *blocks_[from];
    const std::size_t offset = target.rows.size();
    target.rows.insert(target.rows.end(), source.rows.begin(), source.rows.end());
    target.height += source.height;
    target.forgotten += source.forgotten;
    Register(target, offset);
    RemoveBlock(from);
}

void RowSequence::Erase(std::size_t first, std::size_t last) {
    assert(first <= last && last <= size_);
    if (first == last) {
        return;
    }
    const Position start = Locate(first);
    std::size_t blockIndex = start.block;
    std::size_t offset = start.offset;
    std::size_t remaining = last - first;
    while (remaining > 0) {
        Block& block = *blocks_[blockIndex];
        const std::size_t end = std::min(block.rows.size(), offset + remaining);
        for (std::size_t i = offset; i < end; ++i) {
            const RowEntry& row = block.rows[i];
            block.height -= row.height;
            totalHeight_ -= row.height;
            if (row.node == nullptr) {
                --block.forgotten;
                --forgotten_;
            } else if (IsIndexed(row)) {
                blockOf_.remove(row.node);
            }
        }
        block.rows.erase(block.rows.begin() + static_cast<std::ptrdiff_t>(offset),
                         block.rows.begin() + static_cast<std::ptrdiff_t>(end));
        remaining -= end - offset;
        size_ -= end - offset;
        Invalidate(blockIndex);
        if (block.rows.empty()) {
            RemoveBlock(blockIndex);
        } else {
            ++blockIndex;
        }
        offset = 0;
    }
    // The blocks on either side of the cut may have become small.
    const std::size_t around = start.block;
    MergeIfSmall(std::min(around, blocks_.empty() ? 0 : blocks_.size() - 1));
    if (around > 0) {
        MergeIfSmall(around - 1);
    }
}

void RowSequence::SetHeight(std::size_t index, std::int32_t height) {
    const Position p = Locate(index);
    Block& block = *blocks_[p.block];
    RowEntry& row = block.rows[p.offset];
    block.height += height - row.height;
    totalHeight_ += height - row.height;
    row.height = height;
    Invalidate(p.block + 1);
}

void RowSequence::Forget(std::size_t index) {
    const Position p = Locate(index);
    Block& block = *blocks_[p.block];
    RowEntry& row = block.rows[p.offset];
    if (row.node == nullptr) {
        return;
    }
    if (IsIndexed(row)) {
        blockOf_.remove(row.node);
    }
    row.node = nullptr;
    ++block.forgotten;
    ++forgotten_;
}

void RowSequence::RemoveForgotten() {
    if (forgotten_ == 0) {
        return;
    }
    std::size_t i = 0;
    while (i < blocks_.size()) {
        Block& block = *blocks_[i];
        if (block.forgotten == 0) {
            ++i;
            continue;
        }
        const auto kept = std::remove_if(block.rows.begin(), block.rows.end(), [&](const RowEntry& row) {
            if (row.node == nullptr) {
                block.height -= row.height;
                totalHeight_ -= row.height;
                return true;
            }
            return false;
        });
        size_ -= static_cast<std::size_t>(block.rows.end() - kept);
        block.rows.erase(kept, block.rows.end());
        forgotten_ -= block.forgotten;
        block.forgotten = 0;
        Invalidate(i);
        if (block.rows.empty()) {
            RemoveBlock(i);
        } else {
            ++i;
        }
    }
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        MergeIfSmall(b);
    }
}

} // namespace tqf
