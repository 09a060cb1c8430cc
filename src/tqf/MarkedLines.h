#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tqf {

// Reads the lines of a format file with their letters in capitals, as
// LineReader does, and marks as it reads, in one pass over each chunk, the
// bytes the statement rules look for: line ends, "." and "/", brackets and
// spaces, one bit a byte. A line can then be asked about, and its bracket
// spacings found, a word of 64 bytes at a time instead of a byte at a time.
//
// Lines that begin with "//@" (rules, comments to the statement rules) keep
// their letters as written.
//
// A line ends at LF; a CR right before the LF is not part of it; a last line
// without LF is a line too. An input that holds CR bytes but no LF at all
// (the line ends of old Mac tools) has its lines ended by CR instead, since
// it would otherwise read as one line. A UTF-8 byte-order mark at the start
// is no part of the first line; an input that starts with the mark of UTF-16
// or UTF-32 gives no lines at all, and RefusedEncoding names it.
class MarkedLines {
public:
    explicit MarkedLines(std::istream& in);
    // The stream holds about size bytes: a small one is read into a buffer
    // of its size, not a whole chunk's (a reader is made for every short
    // text that is checked).
    void ExpectBytes(std::uintmax_t size);
    MarkedLines(const MarkedLines&) = delete;
    MarkedLines& operator=(const MarkedLines&) = delete;

    // The next line: its first byte's offset in Data() and its size, valid
    // until the next call. False at the end of the input.
    bool Next(std::size_t& begin, std::size_t& size) {
        while (pendingEnds_ == 0) {
            if (++word_ >= markedWords_) {
                return NextAfterRefill(begin, size);
            }
            pendingEnds_ = marks_[word_].lineEnds;
        }
        const std::size_t end = word_ * WORD_BYTES + static_cast<std::size_t>(__builtin_ctzll(pendingEnds_));
        pendingEnds_ &= pendingEnds_ - 1;
        begin = begin_;
        size = (end > begin_ && data_[end - 1] == '\r' ? end - 1 : end) - begin_;
        begin_ = end + 1;
        return true;
    }

    // The bytes read. At least 64 bytes past a line are readable: the rest
    // of the input or room that holds zeros.
    const char* Data() const { return data_.get(); }

    // True when one of the size bytes at begin is a "." or a "/".
    bool HasDotOrSlash(std::size_t begin, std::size_t size) const {
        if (size == 0) {
            return false;
        }
        const std::size_t end = begin + size;
        for (std::size_t w = begin / WORD_BYTES; w <= (end - 1) / WORD_BYTES; ++w) {
            if ((marks_[w].dotsAndSlashes & BitsBetween(w, begin, end)) != 0) {
                return true;
            }
        }
        return false;
    }

    // The spaces among the size bytes at begin that lie in the given word
    // of 64 bytes and touch a bracket ("<", "[", ">" or "]") in the input:
    // bit i for the byte at 64 word + i. The bytes just before begin and
    // just after the range count as neighbours too.
    std::uint64_t BracketSpaces(std::size_t begin, std::size_t size, std::size_t word) const {
        const std::uint64_t brackets = marks_[word].brackets;
        const std::uint64_t before = word > 0 ? marks_[word - 1].brackets >> 63 : 0;
        const std::uint64_t after = marks_[word + 1].brackets << 63;
        const std::uint64_t touching = (brackets << 1) | before | (brackets >> 1) | after;
        return marks_[word].spaces & touching & BitsBetween(word, begin, begin + size);
    }

    // True when reading stopped because the stream failed, not at its end.
    bool Failed() const { return failed_; }

    // The encoding the input was refused for ("UTF-16"), or empty.
    std::string_view RefusedEncoding() const { return refusedEncoding_; }

    // Lines longer than this many bytes stop the reading: Next returns false
    // and TooLong tells why. No limit unless set.
    void SetLineLimit(std::size_t bytes) { lineLimit_ = bytes; }
    bool TooLong() const { return tooLong_; }

    // Where to count the bytes taken from the stream so far, for another
    // thread to show how far the reading is; it is updated once per chunk.
    void CountBytesInto(std::atomic<std::uintmax_t>* taken) { taken_ = taken; }

    static constexpr std::size_t WORD_BYTES = 64;

private:
    // What is marked of 64 bytes of the input.
    struct Marks {
        std::uint64_t lineEnds;
        std::uint64_t dotsAndSlashes;
        std::uint64_t brackets;
        std::uint64_t spaces;
    };

    // The bits of a word for the bytes from begin to end (end > begin, and
    // the range meets the word).
    static std::uint64_t BitsBetween(std::size_t word, std::size_t begin, std::size_t end) {
        const std::size_t first = word * WORD_BYTES;
        std::uint64_t bits = ~std::uint64_t{0};
        if (begin > first) {
            bits <<= begin - first;
        }
        if (end < first + WORD_BYTES) {
            bits &= ~std::uint64_t{0} >> (first + WORD_BYTES - end);
        }
        return bits;
    }

    bool NextAfterRefill(std::size_t& begin, std::size_t& size);
    void Refill();
    // Looks at the first bytes of the input for a byte-order mark.
    void ReadByteOrderMark();
    // At the end of an input without LF: marks its CR bytes as line ends,
    // and starts handing them out; false when it holds none.
    bool EndLinesAtCarriageReturns();
    // Upper-cases and marks the bytes from the word that holds byte from to
    // the end of the input.
    void MarkFrom(std::size_t from);
    // Keeps the bytes of rule lines from byte from on, and puts them back
    // once MarkFrom has changed them.
    void KeepRuleLines(std::size_t from);
    void RestoreRuleLines();

    std::istream& in_;
    std::atomic<std::uintmax_t>* taken_ = nullptr;
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0; // not counting the room past it
    std::size_t chunk_;        // how much the next read asks for
    std::vector<Marks> marks_;
    std::size_t markedWords_ = 0; // words wholly read: a line end beyond them is not known yet
    std::size_t word_ = 0;        // the word whose line ends are being handed out
    std::uint64_t pendingEnds_ = 0;
    std::size_t begin_ = 0;   // start of the first line not handed out yet
    std::size_t dropped_ = 0; // bytes the last Refill dropped from the front
    bool atEnd_ = false;
    bool failed_ = false;
    bool started_ = false;     // the first bytes have been looked at
    bool sawLineFeed_ = false; // some LF has been marked
    bool crLineEnds_ = false;  // CR bytes are the line ends
    std::string_view refusedEncoding_;
    std::size_t lineLimit_ = static_cast<std::size_t>(-1);
    std::vector<std::pair<std::size_t, std::string>> keptRuleBytes_; // where, and what
    bool ruleLineOpen_ = false;                                      // the last rule line goes on past the bytes read
    bool lineEndBefore_ = false;                                     // the byte before the first one kept ends a line
    bool tooLong_ = false;
};

} // namespace tqf
