#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <utility>
#include <vector>

namespace tqf {

// A stream buffer that hands what it is given to write in large pieces, and
// keeps the error of the first write that failed: after it nothing more is
// written. write takes (data, size) and returns Error{} on success; each
// platform's safe writer passes its own call to the system.
template <typename Error, typename Write> class ChunkedWriteBuffer : public std::streambuf {
public:
    ChunkedWriteBuffer(Write write, std::size_t chunkBytes) : write_(std::move(write)), buffer_(chunkBytes) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

    Error LastError() const { return error_; }
    std::uint64_t Written() const { return written_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        if (count < static_cast<std::streamsize>(buffer_.size())) {
            return std::streambuf::xsputn(data, count);
        }
        // Large pieces go out directly, without a copy.
        return Drain() && Put(data, static_cast<std::size_t>(count)) ? count : 0;
    }

    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        if (error_ != Error{}) {
            return false;
        }
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return Put(buffer_.data(), size);
    }

    bool Put(const char* data, std::size_t size) {
        error_ = write_(data, size);
        if (error_ != Error{}) {
            return false;
        }
        written_ += size;
        return true;
    }

    Write write_;
    std::vector<char> buffer_;
    Error error_{};
    std::uint64_t written_ = 0;
};

} // namespace tqf
