#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// A large text, such as a whole library file written in memory, held in the
// large blocks documents use. Growing it never moves what it holds, and its
// blocks, once given back, serve the next document or text without asking
// the system for fresh pages.
class BlockText {
public:
    BlockText() = default;
    explicit BlockText(std::string_view text) { Append(text); }
    BlockText(BlockText&& other) noexcept;
    BlockText& operator=(BlockText&& other) noexcept;
    BlockText(const BlockText&) = delete;
    BlockText& operator=(const BlockText&) = delete;
    ~BlockText();

    void Append(std::string_view text);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The text in order, a piece a block.
    std::vector<std::string_view> Pieces() const;
    // All of it in one string, and to a stream (false when the stream failed).
    std::string Str() const;
    bool WriteTo(std::ostream& out) const;

private:
    void Release();

    std::vector<std::byte*> blocks_;
    std::size_t size_ = 0;
};

} // namespace tqf
