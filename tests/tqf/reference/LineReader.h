#pragma once

#include "ByteSearch.h"

#include <cstddef>
#include <istream>
#include <span>
#include <string>
#include <string_view>

namespace tqf {

// Reads whole lines, however long, from a stream. A line ends at LF; a CR
// right before the LF is not part of it; a last line without LF is a line too.
// The lines of an input without any LF end at CR, and a byte-order mark is
// handled as MarkedLines handles it.
class LineReader {
public:
    enum class LetterCase {
        KEEP,
        UPPER, // letters a to z come out as A to Z; no other byte changes
    };

    explicit LineReader(std::istream& in, LetterCase letterCase = LetterCase::KEEP);

    // The next line, without its line end, as a view into the reader's buffer
    // that the caller may change in place; valid until the next call. False
    // at the end of the input.
    bool Next(std::span<char>& line) {
        // Nearly always the next line end is in the buffer already.
        char* data = buffer_.data();
        const std::size_t size = buffer_.size();
        if (const char* lf = scanned_ < size ? FindNearByte(data + scanned_, size - scanned_, '\n') : nullptr) {
            const auto end = static_cast<std::size_t>(lf - data);
            const std::size_t lineEnd = end > begin_ && data[end - 1] == '\r' ? end - 1 : end;
            line = std::span<char>(data + begin_, lineEnd - begin_);
            begin_ = end + 1;
            scanned_ = begin_;
            sawLineFeed_ = true;
            return true;
        }
        return NextAfterRefill(line);
    }

    // The encoding the input was refused for ("UTF-16"), or empty.
    std::string_view RefusedEncoding() const { return refusedEncoding_; }

    // True when reading stopped because the stream failed, not at its end.
    bool Failed() const { return failed_; }

    // Lines longer than this many bytes stop the reading: Next returns false
    // and TooLong tells why. No limit unless set.
    void SetLineLimit(std::size_t bytes) { lineLimit_ = bytes; }
    bool TooLong() const { return tooLong_; }

private:
    bool NextAfterRefill(std::span<char>& line);
    void Refill();

    std::istream& in_;
    LetterCase letterCase_;
    std::string buffer_;
    std::size_t begin_ = 0;   // start of the first line not handed out yet
    std::size_t scanned_ = 0; // bytes before this are known to hold no LF of that line
    bool atEnd_ = false;
    bool failed_ = false;
    bool started_ = false;     // the first bytes have been looked at
    bool sawLineFeed_ = false; // some line ended at LF
    std::string_view refusedEncoding_;
    std::size_t lineLimit_ = static_cast<std::size_t>(-1);
    bool tooLong_ = false;
};

} // namespace tqf
