#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace tqf {

// A text of a node: a view of bytes that its document's TextArena holds, or of
// a constant text. Copying one copies the view only; the bytes stay where they
// are until the arena forgets them, so a NodeText is kept no longer than the
// document that made it.
// Four-byte aligned, so that a node's two texts take 24 bytes, not 32.
class __attribute__((packed, aligned(4))) NodeText {
public:
    constexpr NodeText() = default; // empty

    // String literals only (or other arrays that live as long as the program):
    // the text is the array without its terminating zero.
    template <std::size_t N> static constexpr NodeText Constant(const char (&text)[N]) {
        static_assert(N >= 1 && N - 1 <= UINT32_MAX, "a constant text is a string literal");
        return NodeText(text, static_cast<std::uint32_t>(N - 1));
    }

    std::string_view View() const { return {data_, size_}; }
    // Implicit on purpose: every reader of a text takes a std::string_view.
    operator std::string_view() const { return View(); }
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string str() const { return std::string(View()); }

    // The part [pos, pos + count) of this text: same storage, no bytes copied.
    // count is cut at the end of the text; pos beyond it throws
    // std::out_of_range, as std::string_view::substr does.
    NodeText Sub(std::size_t pos, std::size_t count) const {
        if (pos > size_) {
            ThrowSubBeyondEnd();
        }
        return NodeText(data_ + pos, static_cast<std::uint32_t>(count < size_ - pos ? count : size_ - pos));
    }

    friend bool operator==(const NodeText& a, std::string_view b) { return a.View() == b; }
    friend std::ostream& operator<<(std::ostream& out, const NodeText& text);

private:
    friend class TextArena;
    [[noreturn]] static void ThrowSubBeyondEnd();
    constexpr NodeText(const char* data, std::uint32_t size) : data_(data), size_(size) {}

    const char* data_ = "";
    std::uint32_t size_ = 0;
};

static_assert(sizeof(NodeText) == 12);

} // namespace tqf
