#pragma once

#include "NodeText.h"

#include <cassert>
#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace tqf {

class BlockSupply;

// The storage of a document's texts: blocks of bytes filled one text after
// another. A text is never freed on its own; the arena forgets texts all at
// once, back to a mark or entirely, and a text stays where it was stored
// until then, however many blocks are added after it. Small texts thus cost
// no allocation of their own and a million of them a few hundred blocks.
//
// One thread at a time may use or move an arena; it takes no locks.
class TextArena {
public:
    // The size of an ordinary block; a text longer than that gets a block of
    // its own size.
    static constexpr std::size_t BLOCK_BYTES = 64u * 1024u;
    // A text's size must fit a NodeText.
    static constexpr std::size_t MAX_TEXT_BYTES = UINT32_MAX;

    TextArena() = default;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;
    TextArena(TextArena&& other) noexcept;
    TextArena& operator=(TextArena&& other) noexcept;
    ~TextArena() = default;

    // Copies text; an empty text takes no bytes. Throws std::length_error for
    // a text longer than MAX_TEXT_BYTES.
    NodeText Store(std::string_view text);

    // For a writer that composes a text in place: at least `bytes` writable
    // bytes at the arena's end...
    char* Room(std::size_t bytes) {
        // Most texts fit the block being filled.
        if (!blocks_.empty() && bytes <= blocks_[current_].size - used_) {
            roomAsked_ = bytes;
            return blocks_[current_].bytes + used_;
        }
        return RoomInNewBlock(bytes);
    }
    // ...and then the first `bytes` of them (bytes <= what Room was asked)
    // become a text. Room and Commit come in pairs, with nothing stored in
    // between.
    NodeText Commit(std::size_t bytes) {
        assert(bytes <= roomAsked_ && "Commit takes no more than Room gave");
        roomAsked_ = 0;
        if (bytes == 0) {
            return {};
        }
        const char* text = blocks_[current_].bytes + used_;
        used_ += bytes;
        return NodeText(text, static_cast<std::uint32_t>(bytes));
    }

    // A place in the arena: the texts stored before it, and those after it.
    struct Mark {
        std::size_t block = 0;
        std::size_t offset = 0;
    };
    Mark Here() const { return {current_, used_}; }
    // Forgets every text stored after mark (their bytes are used again); the
    // texts stored before it stay as they are.
    void RollBack(Mark mark);
    // Forgets every text; keeps at most one ordinary block for reuse.
    void Clear();
    // Gives back the blocks that hold only texts stored before mark, once
    // nothing uses them; the texts after it stay where they are.
    void ForgetBefore(Mark mark);
    // Gives back the empty blocks that a roll-back keeps for reuse.
    void ReleaseSpare();

    // Bytes of texts stored (including ones no node uses any more).
    std::size_t BytesUsed() const { return usedBefore_ + used_; }
    // Bytes of blocks held.
    std::size_t BytesHeld() const { return bytesHeld_; }

    // While set, new blocks are the large ones of supply: for a document
    // filled with a great many texts at once.
    void SetSupply(BlockSupply* supply) { supply_ = supply; }

private:
    struct Block {
        Block() = default;
        Block(char* blockBytes, std::size_t blockSize, bool fromSupply)
            : bytes(blockBytes), size(blockSize), supplied(fromSupply) {}
        Block(Block&& other) noexcept
            : bytes(std::exchange(other.bytes, nullptr)), size(other.size), used(other.used), supplied(other.supplied) {
        }
        Block& operator=(Block&& other) noexcept;
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        ~Block();

        char* bytes = nullptr;
        std::size_t size = 0;
        // How much of it texts take; kept for the blocks before the current
        // one, so that a roll-back can count what stays.
        std::size_t used = 0;
        bool supplied = false; // a BlockSupply block, freed as one
    };
    char* RoomInNewBlock(std::size_t bytes);
    // A block of at least `bytes`.
    Block NewBlock(std::size_t bytes);

    // Makes the current block one with `bytes` free, moving on to the next
    // block (reused when it is large enough) if this one has too few.
    void MakeRoom(std::size_t bytes);

    std::vector<Block> blocks_;
    // The block being filled, and how much of it is filled; blocks after it
    // are kept empty for reuse after a roll-back.
    std::size_t current_ = 0;
    std::size_t used_ = 0;
    // What texts take in the blocks before the current one.
    std::size_t usedBefore_ = 0;
    std::size_t bytesHeld_ = 0;
    // What the last Room asked for, so that Commit can check its promise.
    std::size_t roomAsked_ = 0;
    BlockSupply* supply_ = nullptr;
};

} // namespace tqf
