#include "BlockText.h"

#include "BlockSupply.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tqf {

namespace {
constexpr std::size_t BLOCK = BlockSupply::BLOCK_BYTES;
} // namespace

BlockText::BlockText(BlockText&& other) noexcept
    : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)) {
    other.blocks_.clear();
}

BlockText& BlockText::operator=(BlockText&& other) noexcept {
    if (this != &other) {
        Release();
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

BlockText::~BlockText() { Release(); }

void BlockText::Release() {
    for (std::byte* block : blocks_) {
        BlockSupply::DeleteBlock(block);
    }
    blocks_.clear();
    size_ = 0;
}

void BlockText::Append(std::string_view text) {
    while (!text.empty()) {
        const std::size_t used = size_ % BLOCK;
        if (used == 0 && size_ == blocks_.size() * BLOCK) {
            blocks_.reserve(blocks_.size() + 1);
            blocks_.push_back(BlockSupply::NewBlock());
        }
        const std::size_t part = std::min(text.size(), BLOCK - used);
        std::memcpy(blocks_.back() + used, text.data(), part);
        size_ += part;
        text.remove_prefix(part);
    }
}

std::vector<std::string_view> BlockText::Pieces() const {
    std::vector<std::string_view> pieces;
    pieces.reserve(blocks_.size());
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const std::size_t bytes = std::min(BLOCK, size_ - i * BLOCK);
        pieces.emplace_back(reinterpret_cast<const char*>(blocks_[i]), bytes);
    }
    return pieces;
}

std::string BlockText::Str() const {
    std::string text;
    text.reserve(size_);
    for (const std::string_view piece : Pieces()) {
        text.append(piece);
    }
    return text;
}

bool BlockText::WriteTo(std::ostream& out) const {
    for (const std::string_view piece : Pieces()) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    }
    return static_cast<bool>(out);
}

} // namespace tqf
