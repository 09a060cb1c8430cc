#include "LineReader.h"

#include "ByteOrderMark.h"
#include "ByteSearch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tqf {

namespace {

// How much is read from the stream at a time.
constexpr std::size_t READ_CHUNK_SIZE = std::size_t{64} * 1024;

// Upper-cases the letters a to z, eight bytes at a time: for each byte, bit 7
// of the sums below tells whether it lies in 'a' to 'z' (bytes of 128 and
// more never do), and such a byte loses its 0x20 bit.
void UpperCaseLetters(char* text, std::size_t size) {
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t LOW_SEVEN_BITS = 0x7F * ONES;
    constexpr std::uint64_t HIGH_BITS = 0x80 * ONES;
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= size; i += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, text + i, sizeof word);
        const std::uint64_t low = word & LOW_SEVEN_BITS;
        const std::uint64_t atLeastA = low + (128 - 'a') * ONES;
        const std::uint64_t aboveZ = low + (127 - 'z') * ONES;
        const std::uint64_t lower = ~word & (atLeastA ^ aboveZ) & HIGH_BITS;
        if (lower != 0) {
            word ^= lower >> 2;
            std::memcpy(text + i, &word, sizeof word);
        }
    }
    for (; i < size; ++i) {
        if (text[i] >= 'a' && text[i] <= 'z') {
            text[i] = static_cast<char>(text[i] - 'a' + 'A');
        }
    }
}

} // namespace

LineReader::LineReader(std::istream& in, LetterCase letterCase) : in_(in), letterCase_(letterCase) {}

void LineReader::Refill() {
    // Only the unfinished line is kept; it moves to the front once, and a line
    // longer than a chunk then grows in place, so every byte moves at most once.
    if (begin_ > 0) {
        buffer_.erase(0, begin_);
        scanned_ -= begin_;
        begin_ = 0;
    }
    const std::size_t kept = buffer_.size();
    // The buffer grows by doubling, but never far past the line limit: a
    // line without end (a large file of zeros) stops at the limit
    // instead of taking all memory on the way.
    if (buffer_.capacity() < kept + READ_CHUNK_SIZE) {
        const std::size_t cap = std::max(lineLimit_, lineLimit_ + READ_CHUNK_SIZE + 1);
        buffer_.reserve(std::min(std::max(buffer_.capacity() * 2, kept + READ_CHUNK_SIZE), cap));
    }
    buffer_.resize(kept + READ_CHUNK_SIZE);
    in_.read(buffer_.data() + kept, static_cast<std::streamsize>(READ_CHUNK_SIZE));
    const auto got = static_cast<std::size_t>(in_.gcount());
    buffer_.resize(kept + got);
    if (letterCase_ == LetterCase::UPPER) {
        UpperCaseLetters(buffer_.data() + kept, got);
    }
    if (got < READ_CHUNK_SIZE || !in_) {
        atEnd_ = true;
        failed_ = in_.bad();
    }
}

bool LineReader::NextAfterRefill(std::span<char>& line) {
    while (true) {
        char* data = buffer_.data();
        const std::size_t size = buffer_.size();
        const char* lf = scanned_ < size ? FindNearByte(data + scanned_, size - scanned_, '\n') : nullptr;
        if (lf != nullptr) {
            const auto end = static_cast<std::size_t>(lf - data);
            std::size_t lineEnd = end;
            if (lineEnd > begin_ && data[lineEnd - 1] == '\r') {
                --lineEnd;
            }
            line = std::span<char>(data + begin_, lineEnd - begin_);
            begin_ = end + 1;
            scanned_ = begin_;
            sawLineFeed_ = true;
            return true;
        }
        scanned_ = size;
        if (size - begin_ > lineLimit_) {
            tooLong_ = true;
            return false;
        }
        if (atEnd_) {
            // An input without any LF, all of it still here, has its lines
            // ended by CR.
            const void* cr = sawLineFeed_ || begin_ >= size ? nullptr : std::memchr(data + begin_, '\r', size - begin_);
            if (cr != nullptr) {
                const auto end = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
                line = std::span<char>(data + begin_, end - begin_);
                begin_ = end + 1;
                return true;
            }
            if (begin_ < size) {
                line = std::span<char>(data + begin_, size - begin_);
                begin_ = size;
                return true;
            }
            return false;
        }
        Refill();
        if (!started_) {
            started_ = true;
            const ByteOrderMark mark =
                ByteOrderMark::Of(std::string_view(buffer_.data(), std::min<std::size_t>(buffer_.size(), 4)));
            begin_ = mark.skip;
            scanned_ = begin_;
            refusedEncoding_ = mark.refused;
            if (!refusedEncoding_.empty()) {
                atEnd_ = true;
                begin_ = scanned_ = buffer_.size();
                return false;
            }
        }
    }
}

} // namespace tqf
