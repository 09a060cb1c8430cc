#include "MarkedLines.h"

#include "ByteOrderMark.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tqf {

namespace {

// How much is read from the stream at a time.
constexpr std::size_t READ_CHUNK_SIZE = std::size_t{64} * 1024;

// Zeros kept past the input: a word's last bytes, and the loads of a copy
// that runs past a line, read them.
constexpr std::size_t ROOM = 2 * MarkedLines::WORD_BYTES;

} // namespace

MarkedLines::MarkedLines(std::istream& in) : in_(in), chunk_(READ_CHUNK_SIZE) {}

void MarkedLines::ExpectBytes(std::uintmax_t size) {
    // One more byte than expected, so that the first read already finds
    // the end; whole words, so that the marks need no partial word.
    const std::uintmax_t wanted = std::min<std::uintmax_t>(size, READ_CHUNK_SIZE) + 1;
    chunk_ = std::min(static_cast<std::size_t>((wanted + WORD_BYTES - 1) / WORD_BYTES * WORD_BYTES), READ_CHUNK_SIZE);
}

bool MarkedLines::NextAfterRefill(std::size_t& begin, std::size_t& size) {
    while (true) {
        // Every line end read so far has been handed out.
        if (size_ - begin_ > lineLimit_) {
            tooLong_ = true;
            return false;
        }
        if (atEnd_) {
            if (!sawLineFeed_ && !crLineEnds_ && EndLinesAtCarriageReturns()) {
                return Next(begin, size);
            }
            if (begin_ < size_) {
                begin = begin_;
                size = size_ - begin_;
                begin_ = size_;
                return true;
            }
            return false;
        }
        const std::size_t scanned = size_;
        Refill();
        if (!started_) {
            ReadByteOrderMark();
            if (!refusedEncoding_.empty()) {
                return false;
            }
        }
        // Refill moved the bytes by whole words: the unscanned ones start
        // in the same place within their word.
        const std::size_t from = scanned - dropped_;
        word_ = from / WORD_BYTES;
        pendingEnds_ = word_ < markedWords_ ? marks_[word_].lineEnds & (~std::uint64_t{0} << (from % WORD_BYTES)) : 0;
        while (pendingEnds_ == 0 && ++word_ < markedWords_) {
            pendingEnds_ = marks_[word_].lineEnds;
        }
        if (pendingEnds_ != 0) {
            return Next(begin, size);
        }
    }
}

void MarkedLines::ReadByteOrderMark() {
    started_ = true;
    const ByteOrderMark mark = ByteOrderMark::Of(std::string_view(data_.get(), std::min<std::size_t>(size_, 4)));
    begin_ = mark.skip;
    if (!mark.refused.empty()) {
        refusedEncoding_ = mark.refused;
        atEnd_ = true;
        begin_ = size_;
    }
}

bool MarkedLines::EndLinesAtCarriageReturns() {
    crLineEnds_ = true;
    // Without LF no line was handed out, so every byte is still here, and
    // MarkFrom gave no word a line end.
    bool any = false;
    for (std::size_t at = begin_; at < size_; ++at) {
        if (data_[at] == '\r') {
            marks_[at / WORD_BYTES].lineEnds |= std::uint64_t{1} << (at % WORD_BYTES);
            any = true;
        }
    }
    if (!any) {
        return false;
    }
    word_ = begin_ / WORD_BYTES;
    pendingEnds_ = marks_[word_].lineEnds & (~std::uint64_t{0} << (begin_ % WORD_BYTES));
    // Next walks the words from word_ on; the first may hold no CR.
    while (pendingEnds_ == 0 && ++word_ < markedWords_) {
        pendingEnds_ = marks_[word_].lineEnds;
    }
    return true;
}

void MarkedLines::Refill() {
    // Only the unfinished line is kept. It moves to the front by whole words,
    // so that its marks move with it; a line longer than a chunk then grows
    // in place, so every byte moves at most once.
    dropped_ = begin_ / WORD_BYTES * WORD_BYTES;
    lineEndBefore_ = dropped_ > 0 && (data_[dropped_ - 1] == '\n' || data_[dropped_ - 1] == '\r');
    if (dropped_ > 0) {
        std::memmove(data_.get(), data_.get() + dropped_, size_ - dropped_);
        const std::size_t droppedWords = dropped_ / WORD_BYTES;
        std::copy(marks_.begin() + static_cast<std::ptrdiff_t>(droppedWords),
                  marks_.begin() + static_cast<std::ptrdiff_t>(markedWords_), marks_.begin());
        size_ -= dropped_;
        begin_ -= dropped_;
    }
    const std::size_t kept = size_;
    const std::size_t chunk = chunk_;
    // The buffer grows by doubling, but never far past the line limit: a
    // line without end (a large file of zeros) stops at the limit instead of
    // taking all memory on the way.
    if (capacity_ < kept + chunk) {
        constexpr std::size_t BEYOND_LIMIT = READ_CHUNK_SIZE + WORD_BYTES;
        const std::size_t most =
            lineLimit_ > SIZE_MAX - BEYOND_LIMIT ? SIZE_MAX - BEYOND_LIMIT - ROOM : lineLimit_ + BEYOND_LIMIT;
        const std::size_t grown = std::min(std::max(capacity_ * 2, kept + chunk), most);
        auto bytes = std::make_unique_for_overwrite<char[]>(grown + ROOM);
        if (kept > 0) {
            std::memcpy(bytes.get(), data_.get(), kept);
        }
        data_ = std::move(bytes);
        capacity_ = grown;
        marks_.resize(grown / WORD_BYTES + 2);
    }
    in_.read(data_.get() + kept, static_cast<std::streamsize>(chunk));
    const auto got = static_cast<std::size_t>(in_.gcount());
    size_ = kept + got;
    if (taken_ != nullptr) {
        taken_->fetch_add(got, std::memory_order_relaxed);
    }
    std::memset(data_.get() + size_, 0, ROOM);
    KeepRuleLines(kept);
    MarkFrom(kept);
    RestoreRuleLines();
    // A stream larger than expected is read in ever larger chunks.
    chunk_ = std::min(chunk_ * 2, READ_CHUNK_SIZE);
    if (got < chunk || !in_) {
        atEnd_ = true;
        failed_ = in_.bad();
    }
}

void MarkedLines::KeepRuleLines(std::size_t from) {
    keptRuleBytes_.clear();
    const std::string_view bytes(data_.get(), size_);
    const auto keep = [this, &bytes](std::size_t start) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n", start), size_);
        // A line that opens or closes a "/*" comment is read as any other
        // line, in capitals: part of it may belong to a statement. Only a
        // line feed ends the line; a CR before it is text.
        const std::string_view whole = bytes.substr(start, std::min(bytes.find('\n', start), size_) - start);
        if (whole.find("/*") == std::string_view::npos && whole.find("*/") == std::string_view::npos) {
            keptRuleBytes_.emplace_back(start, std::string(bytes.substr(start, end - start)));
        }
        ruleLineOpen_ = end == size_;
        return end;
    };
    std::size_t at = from;
    if (ruleLineOpen_) {
        at = keep(from);
    }
    // A mark that the last read cut keeps its first bytes, which have no
    // letters, before from.
    for (std::size_t mark = bytes.find("//@", std::max(at, std::size_t{2}) - 2); mark != std::string_view::npos;
         mark = bytes.find("//@", at)) {
        at = mark + 1;
        const bool lineStart =
            mark == 0 ? !started_ || lineEndBefore_ : bytes[mark - 1] == '\n' || bytes[mark - 1] == '\r';
        if (lineStart) {
            at = keep(std::max(mark, from));
        }
    }
}

void MarkedLines::RestoreRuleLines() {
    for (const auto& [at, text] : keptRuleBytes_) {
        std::memcpy(data_.get() + at, text.data(), text.size());
    }
}

void MarkedLines::MarkFrom(std::size_t from) {
    const std::size_t words = (size_ + WORD_BYTES - 1) / WORD_BYTES;
    for (std::size_t w = from / WORD_BYTES; w < words; ++w) {
        char* bytes = data_.get() + w * WORD_BYTES;
        Marks marks{};
#ifdef __SSE2__
        // Letters a to z are the bytes that land below -102 once 0x1F is
        // added (as signed bytes); they lose their 0x20 bit.
        const __m128i toSigned = _mm_set1_epi8(0x1F);
        const __m128i lastLetter = _mm_set1_epi8(static_cast<char>(-102));
        const __m128i caseBit = _mm_set1_epi8(0x20);
        for (std::size_t part = 0; part < WORD_BYTES; part += 16) {
            __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + part));
            const __m128i lower = _mm_cmplt_epi8(_mm_add_epi8(b, toSigned), lastLetter);
            b = _mm_sub_epi8(b, _mm_and_si128(lower, caseBit));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + part), b);
            const auto mask = [b](char c) { return _mm_cmpeq_epi8(b, _mm_set1_epi8(c)); };
            const auto bits = [part](__m128i m) {
                return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(m))) << part;
            };
            marks.lineEnds |= bits(mask('\n'));
            marks.dotsAndSlashes |= bits(_mm_or_si128(mask('.'), mask('/')));
            marks.brackets |=
                bits(_mm_or_si128(_mm_or_si128(mask('<'), mask('>')), _mm_or_si128(mask('['), mask(']'))));
            marks.spaces |= bits(mask(' '));
        }
#else
        for (std::size_t i = 0; i < WORD_BYTES; ++i) {
            char& c = bytes[i];
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
            const std::uint64_t bit = std::uint64_t{1} << i;
            marks.lineEnds |= c == '\n' ? bit : 0;
            marks.dotsAndSlashes |= c == '.' || c == '/' ? bit : 0;
            marks.brackets |= c == '<' || c == '>' || c == '[' || c == ']' ? bit : 0;
            marks.spaces |= c == ' ' ? bit : 0;
        }
#endif
        sawLineFeed_ = sawLineFeed_ || marks.lineEnds != 0;
        marks_[w] = marks;
    }
    markedWords_ = words;
    // The word after the last has no marks: a neighbour that is none.
    marks_[words] = Marks{};
}

} // namespace tqf
