#include "TextArena.h"

#include "BlockSupply.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <utility>

namespace tqf {

TextArena::TextArena(TextArena&& other) noexcept
    : blocks_(std::move(other.blocks_)), current_(std::exchange(other.current_, 0)),
      used_(std::exchange(other.used_, 0)), usedBefore_(std::exchange(other.usedBefore_, 0)),
      bytesHeld_(std::exchange(other.bytesHeld_, 0)), roomAsked_(std::exchange(other.roomAsked_, 0)),
      supply_(std::exchange(other.supply_, nullptr)) {
    other.blocks_.clear();
}

TextArena& TextArena::operator=(TextArena&& other) noexcept {
    if (this != &other) {
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
        current_ = std::exchange(other.current_, 0);
        used_ = std::exchange(other.used_, 0);
        usedBefore_ = std::exchange(other.usedBefore_, 0);
        bytesHeld_ = std::exchange(other.bytesHeld_, 0);
        roomAsked_ = std::exchange(other.roomAsked_, 0);
        supply_ = std::exchange(other.supply_, nullptr);
    }
    return *this;
}

TextArena::Block& TextArena::Block::operator=(Block&& other) noexcept {
    if (this != &other) {
        Block old(std::move(*this));
        bytes = std::exchange(other.bytes, nullptr);
        size = other.size;
        used = other.used;
        supplied = other.supplied;
    }
    return *this;
}

TextArena::Block::~Block() {
    if (bytes == nullptr) {
        return;
    }
    if (supplied) {
        BlockSupply::DeleteBlock(reinterpret_cast<std::byte*>(bytes));
    } else {
        delete[] bytes;
    }
}

TextArena::Block TextArena::NewBlock(std::size_t bytes) {
    if (supply_ != nullptr && bytes <= BlockSupply::BLOCK_BYTES) {
        std::byte* block = supply_->Take();
        block = block != nullptr ? block : BlockSupply::NewBlock();
        return Block(reinterpret_cast<char*>(block), BlockSupply::BLOCK_BYTES, true);
    }
    const std::size_t size = std::max(BLOCK_BYTES, bytes);
    return Block(new char[size], size, false);
}

NodeText TextArena::Store(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    char* out = Room(text.size());
    std::memcpy(out, text.data(), text.size());
    return Commit(text.size());
}

char* TextArena::RoomInNewBlock(std::size_t bytes) {
    if (bytes > MAX_TEXT_BYTES) {
        throw std::length_error("a text of a node is limited to 4 GiB - 1 bytes");
    }
    roomAsked_ = bytes;
    if (bytes == 0 && blocks_.empty()) {
        // Nothing will be written; there only has to be a place to point at.
        static char nowhere[1];
        return nowhere;
    }
    MakeRoom(bytes);
    return blocks_[current_].bytes + used_;
}

void TextArena::MakeRoom(std::size_t bytes) {
    std::size_t next = 0;
    if (!blocks_.empty()) {
        if (blocks_[current_].size - used_ >= bytes) {
            return;
        }
        // The rest of this block stays unused: texts are never split.
        blocks_[current_].used = used_;
        usedBefore_ += used_;
        next = current_ + 1;
    }
    if (next == blocks_.size()) {
        blocks_.push_back(NewBlock(bytes));
        bytesHeld_ += blocks_.back().size;
    } else if (blocks_[next].size < bytes) {
        // A block kept from before a roll-back, too small for this text.
        bytesHeld_ -= blocks_[next].size;
        blocks_[next] = NewBlock(bytes);
        bytesHeld_ += blocks_[next].size;
    }
    current_ = next;
    used_ = 0;
}

void TextArena::RollBack(Mark mark) {
    if (blocks_.empty()) {
        assert(mark.block == 0 && mark.offset == 0);
        return;
    }
    assert((mark.block < current_ || (mark.block == current_ && mark.offset <= used_)) &&
           "a mark of this arena, not yet rolled back past");
    if (mark.block == current_) {
        used_ = mark.offset;
        return;
    }
    for (std::size_t i = mark.block; i < current_; ++i) {
        usedBefore_ -= blocks_[i].used;
        blocks_[i].used = 0;
    }
    current_ = mark.block;
    used_ = mark.offset;
}

void TextArena::ForgetBefore(Mark mark) {
    assert(mark.block <= current_ && "a mark of this arena, not yet rolled back past");
    if (blocks_.empty() || mark.block == 0) {
        return;
    }
    // The block the mark lies in holds texts of both sides: it stays.
    for (std::size_t i = 0; i < mark.block; ++i) {
        usedBefore_ -= blocks_[i].used;
        bytesHeld_ -= blocks_[i].size;
    }
    blocks_.erase(blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(mark.block));
    current_ -= mark.block;
}

void TextArena::ReleaseSpare() {
    while (blocks_.size() > current_ + 1) {
        bytesHeld_ -= blocks_.back().size;
        blocks_.pop_back();
    }
}

void TextArena::Clear() {
    // One ordinary block is enough to start the next document without an
    // allocation; a block made for one large text is not worth keeping.
    const auto kept = std::find_if(blocks_.begin(), blocks_.end(),
                                   [](const Block& block) { return !block.supplied && block.size == BLOCK_BYTES; });
    if (kept != blocks_.end()) {
        Block block = std::move(*kept);
        block.used = 0;
        blocks_.clear();
        blocks_.push_back(std::move(block));
        bytesHeld_ = BLOCK_BYTES;
    } else {
        blocks_.clear();
        bytesHeld_ = 0;
    }
    current_ = 0;
    used_ = 0;
    usedBefore_ = 0;
    roomAsked_ = 0;
}

} // namespace tqf
