#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace tqf {

// An output stream buffer that keeps only the number of bytes written and the
// last few of them: for files far larger than a test should hold in memory.
class CountingBuffer : public std::streambuf {
public:
    static constexpr std::size_t KEPT_TAIL = 64;

    std::size_t Count() const { return count_; }
    const std::string& Tail() const { return tail_; }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const auto size = static_cast<std::size_t>(n);
        count_ += size;
        if (size >= KEPT_TAIL) {
            tail_.assign(s + size - KEPT_TAIL, KEPT_TAIL);
        } else {
            tail_.append(s, size);
            if (tail_.size() > KEPT_TAIL) {
                tail_.erase(0, tail_.size() - KEPT_TAIL);
            }
        }
        return n;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            xsputn(&ch, 1);
        }
        return traits_type::not_eof(c);
    }

private:
    std::size_t count_ = 0;
    std::string tail_;
};

} // namespace tqf
