#include "FormatReader.h"

#include "BlockSupply.h"
#include "ByteOrderMark.h"
#include "ByteSearch.h"
#include "Decimal.h"
#include "DropExplainer.h"
#include "InputFile.h"
#include "ItemFormat.h"
#include "ItemParser.h"
#include "MarkedLines.h"
#include "MemoryBudget.h"
#include "StatementNotes.h"
#include "StatementPipe.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <new>
#include <streambuf>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tqf {

namespace {

// A read-only stream buffer over bytes that are already in memory.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(std::string_view bytes) {
        // The get area is only read from; streambuf merely wants non-const pointers.
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }
};

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string_view TrimTrailingSpace(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr std::size_t NOT_FOUND = std::string_view::npos;

constexpr auto LARGEST_INT32 = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());

// What the statement rules need to know of a line.
struct LineMarks {
    std::size_t lastDot = NOT_FOUND;
    std::size_t lastClose = NOT_FOUND;
    bool hasOpen = false;
    bool hasSlash = false; // "/*", "*/" and "//" all need one

    static LineMarks Of(std::string_view line) {
        LineMarks marks;
        const char* data = line.data();
        const std::size_t size = line.size();
#ifdef __SSE2__
        // Sixteen bytes at a time: a line is mostly plain bytes, and each
        // question is a comparison of all sixteen at once.
        const __m128i dot = _mm_set1_epi8('.');
        const __m128i close = _mm_set1_epi8('>');
        const __m128i open = _mm_set1_epi8('<');
        const __m128i slash = _mm_set1_epi8('/');
        std::uint32_t opens = 0;
        std::uint32_t slashes = 0;
        for (std::size_t at = 0; at < size; at += 16) {
            const std::size_t left = size - at;
            const std::uint32_t inLine = FirstBytesMask(left);
            const __m128i bytes = LoadSixteen(data + at, left);
            const std::uint32_t dots =
                inLine & static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dot)));
            const std::uint32_t closes =
                inLine & static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, close)));
            opens |= inLine & static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, open)));
            slashes |= inLine & static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, slash)));
            if (dots != 0) {
                marks.lastDot = at + 31 - static_cast<std::size_t>(__builtin_clz(dots));
            }
            if (closes != 0) {
                marks.lastClose = at + 31 - static_cast<std::size_t>(__builtin_clz(closes));
            }
        }
        marks.hasOpen = opens != 0;
        marks.hasSlash = slashes != 0;
#else
        for (std::size_t at = 0; at < size; ++at) {
            const char c = data[at];
            marks.lastDot = c == '.' ? at : marks.lastDot;
            marks.lastClose = c == '>' ? at : marks.lastClose;
            marks.hasOpen = marks.hasOpen || c == '<';
            marks.hasSlash = marks.hasSlash || c == '/';
        }
#endif
        return marks;
    }
};

} // namespace

// Where collected statements go: the batch the next statement is collected
// into, and what happens to it once it is complete.
class StatementSink {
public:
    StatementSink() = default;
    StatementSink(const StatementSink&) = delete;
    StatementSink& operator=(const StatementSink&) = delete;
    virtual ~StatementSink() = default;

    // The batch the statements are collected into.
    virtual StatementBatch& Batch() = 0;
    // The batch's last statement is complete. False when reading has to stop.
    virtual bool Collected() = 0;
    // Every statement has been read.
    virtual void Finish() {}
};

namespace {

// Builds each statement as soon as it is collected, on the reading thread.
class BuildingSink final : public StatementSink {
public:
    explicit BuildingSink(std::function<bool(const StatementBatch&)> build) : build_(std::move(build)) {}
    StatementBatch& Batch() override { return batch_; }
    bool Collected() override {
        const bool more = build_(batch_);
        batch_.Clear();
        return more;
    }

private:
    std::function<bool(const StatementBatch&)> build_;
    StatementBatch batch_;
};

// How many blocks of storage are made ready ahead of the building: a batch
// of statements needs far less than one. The reader, which has more time to
// spare, makes more ready; not many more, since those left over when the
// building ends were made for nothing.
constexpr std::size_t BLOCKS_AHEAD = 2;
constexpr std::size_t BLOCKS_AHEAD_OF_READER = 4;
// Below this size a file's document takes a block or two, which the building
// asks for when it needs them: blocks made ready ahead would mostly go back
// unused, each costing a pass over its pages and another to lend them back.
constexpr std::uintmax_t SUPPLY_FROM_BYTES = std::uintmax_t{1} << 20;

// Thrown on the reading thread when the building thread has stopped.
struct BuildingStopped {};

// Passes the statements collected to the building thread in batches.
class PipeSink final : public StatementSink {
public:
    // supply: the storage to make ready while waiting, if any.
    PipeSink(StatementPipe& pipe, BlockSupply* supply) : pipe_(pipe), supply_(supply), batch_(Take()) {}
    StatementBatch& Batch() override { return *batch_; }
    bool Collected() override {
        if (batch_->Full()) {
            pipe_.PutFull(batch_);
            // Time this thread would spend waiting for the building goes
            // into making storage ready for it, a block at a time: where
            // fresh memory is slow to come by, a block can take longer than
            // the building of every batch waiting, and the reader goes back
            // to reading as soon as it can.
            while (supply_ != nullptr && !pipe_.EmptyReady() && supply_->AddBlock(BLOCKS_AHEAD_OF_READER)) {
            }
            batch_ = Take();
        }
        return true;
    }
    void Finish() override {
        if (!batch_->statements.empty()) {
            pipe_.PutFull(batch_);
        } else {
            pipe_.PutEmpty(batch_);
        }
        batch_ = nullptr;
    }

private:
    StatementBatch* Take() {
        StatementBatch* batch = pipe_.TakeEmpty();
        if (batch == nullptr) {
            throw BuildingStopped{};
        }
        batch->Clear();
        return batch;
    }

    StatementPipe& pipe_;
    BlockSupply* supply_;
    StatementBatch* batch_;
};

bool IsBracket(char c) { return c == '<' || c == '[' || c == '>' || c == ']'; }

// Copies size bytes from text to out sixteen at a time: both may be
// overrun by up to fifteen bytes, out where BatchText::Room left room, text
// where MarkedLines keeps the input's next bytes.
void CopyInSixteens(char* out, const char* text, std::size_t size) {
#ifdef __SSE2__
    for (std::size_t at = 0; at < size; at += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)));
    }
#else
    std::memcpy(out, text, size);
#endif
}

// Appends the size bytes at text to out without the spaces next to a
// bracket: taking out one space beside each bracket, pass by pass, takes the space of
// a run of spaces that their bracket touches, so a run loses one space for
// each bracket at its ends, which is the same as losing every space that
// touches a bracket. before and after are the bytes around text ('\0' for
// none). The offsets of the spaces left out, counted from offset, go to
// removed.
void AppendWithoutBracketSpacings(BatchText& out, const char* text, std::size_t size, char before, char after,
                                  std::size_t offset, std::vector<std::size_t>& removed) {
    std::size_t from = 0; // the first byte not yet appended
#ifdef __SSE2__
    const __m128i space = _mm_set1_epi8(' ');
    const auto brackets = [](__m128i bytes) {
        const __m128i any = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>'))),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('[')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(']'))));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(any));
    };
    std::uint32_t bracketBefore = IsBracket(before) ? 1U : 0U; // the byte before the window
    for (std::size_t at = 0; at < size; at += 16) {
        const std::size_t left = size - at;
        const __m128i bytes = LoadSixteen(text + at, left);
        const std::uint32_t inText = FirstBytesMask(left);
        const std::uint32_t bracket = brackets(bytes) & inText;
        // The byte after the window's last byte of text.
        const char next = left > 16 ? text[at + 16] : after;
        const std::uint32_t nextBracket = IsBracket(next) ? 1U << (std::min<std::size_t>(left, 16) - 1) : 0U;
        const std::uint32_t touching = (bracket << 1) | bracketBefore | (bracket >> 1) | nextBracket;
        std::uint32_t remove =
            touching & inText & static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, space)));
        bracketBefore = (bracket >> 15) & 1U;
        while (remove != 0) {
            const std::size_t r = at + static_cast<std::size_t>(__builtin_ctz(remove));
            remove &= remove - 1;
            out.append(text + from, r - from);
            removed.push_back(offset + r);
            from = r + 1;
        }
    }
#else
    for (std::size_t r = 0; r < size; ++r) {
        if (text[r] == ' ' &&
            (IsBracket(r > 0 ? text[r - 1] : before) || IsBracket(r + 1 < size ? text[r + 1] : after))) {
            out.append(text + from, r - from);
            removed.push_back(offset + r);
            from = r + 1;
        }
    }
#endif
    out.append(text + from, size - from);
}

// A statement as it was in the file, trimmed; trimmed tells how many bytes
// of white space its front lost.
std::string TrimmedOriginal(const StatementBatch& batch, const CollectedStatement& statement, std::size_t& trimmed) {
    const std::string original = batch.Original(statement);
    trimmed = 0;
    while (trimmed < original.size() && IsSpace(original[trimmed])) {
        ++trimmed;
    }
    return std::string(TrimSpace(original));
}

} // namespace

// The state of one run over a file: the statement being collected and
// whether a "/*" comment is open across lines.
class StatementCollector {
public:
    StatementCollector(FormatReader& reader, ReadResult& ending, StatementSink& sink)
        : reader_(reader), ending_(ending), sink_(sink), batch_(&sink.Batch()) {}

    // line has its letters in capitals already. False when reading has to stop.
    bool HandleLine(std::string_view line, std::size_t lineNumber) {
        rawLine_ = line;
        lineNumber_ = lineNumber;
        if (line.empty()) {
            hiddenLines_ += inBlockComment_ ? 1 : 0;
            return true;
        }
        LineMarks marks = LineMarks::Of(line);
        if (marks.hasSlash) {
            if (!RemoveComments(line)) {
                return true;
            }
            marks = LineMarks::Of(line);
        } else if (inBlockComment_) {
            ++hiddenLines_;
            return true;
        }
        return Collect(line, marks, lineNumber);
    }

    // A whole line without "." or "/" that no comment hides, the most common
    // line of a statement: appended as HandleLine would, the spaces to leave
    // out found by lines' marks. begin is the line's offset in lines.Data().
    bool HandlePlainLine(std::string_view line, std::size_t begin, std::size_t lineNumber, const MarkedLines& lines) {
        rawLine_ = line;
        lineNumber_ = lineNumber;
        NoteSwallowedHeader(line, true);
        std::size_t kept = 0;
        if (!BeginPart(line, 1, kept)) {
            return false;
        }
        StatementBatch& batch = *batch_;
        char* const out = batch.text.Room(kept);
        std::size_t written = 0;
        std::size_t from = 0; // the first byte of the line not yet copied
        if (kept > 0) {
            // Before the line comes the last byte collected, not a line end.
            if (line.front() == ' ' && IsBracket(lastByte_)) {
                batch.removedSpaces.push_back(collected_);
                from = 1;
            }
            const std::size_t last = (begin + kept - 1) / MarkedLines::WORD_BYTES;
            for (std::size_t w = (begin + from) / MarkedLines::WORD_BYTES; from < kept && w <= last; ++w) {
                std::uint64_t remove = lines.BracketSpaces(begin + from, kept - from, w);
                while (remove != 0) {
                    const std::size_t r =
                        w * MarkedLines::WORD_BYTES + static_cast<std::size_t>(__builtin_ctzll(remove)) - begin;
                    remove &= remove - 1;
                    CopyInSixteens(out + written, line.data() + from, r - from);
                    written += r - from;
                    batch.removedSpaces.push_back(collected_ + r);
                    from = r + 1;
                }
            }
            CopyInSixteens(out + written, line.data() + from, kept - from);
            written += kept - from;
        }
        batch.text.Grow(written);
        EndPart(line);
        return true;
    }

    bool InBlockComment() const { return inBlockComment_; }

    void Finish(std::size_t lastLine) {
        StatementBatch& batch = sink_.Batch();
        EndRun();
        CollectedStatement pending;
        pending.collected = start_;
        pending.begin = start_;
        pending.size = batch.text.size() - start_;
        pending.removedBegin = removedStart_;
        pending.removedEnd = batch.removedSpaces.size();
        std::size_t trimmed = 0;
        const std::string original = TrimmedOriginal(batch, pending, trimmed);
        if (!original.empty()) {
            ending_.dropped.push_back({lastLine, true});
            StatementFinding finding = DropExplainer::ExplainUnterminated(original);
            ending_.dropReasons.push_back(StatementDiagnostic(batch.pieces, piecesStart_, batch.pieces.size(),
                                                              lineNumber_, finding.offset + trimmed,
                                                              std::move(finding.reason)));
        }
        if (inBlockComment_) {
            ending_.warnings.push_back({commentLine_, commentColumn_,
                                        "block comment not closed: it hides " + std::to_string(hiddenLines_) +
                                            (hiddenLines_ == 1 ? " line" : " lines") + " to the end of the file"});
        }
        batch.text.resize(start_);
        batch.pieces.resize(piecesStart_);
        batch.removedSpaces.resize(removedStart_);
        batch.notes.resize(notesStart_);
    }

    // The place in the file of a byte of a statement, by its offset in the
    // statement as collected; line is where the statement ended.
    static ReadDiagnostic StatementDiagnostic(const std::vector<StatementPiece>& pieces, std::size_t begin,
                                              std::size_t end, std::size_t line, std::size_t offset,
                                              std::string reason) {
        ReadDiagnostic diagnostic{line, 1, std::move(reason)};
        const auto first = pieces.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = pieces.begin() + static_cast<std::ptrdiff_t>(end);
        const auto after = std::upper_bound(
            first, last, offset, [](std::size_t at, const StatementPiece& piece) { return at < piece.offset; });
        if (after != first) {
            const StatementPiece& piece = *(after - 1);
            diagnostic.line = piece.line;
            diagnostic.column = piece.column + (offset - piece.offset);
        }
        return diagnostic;
    }

private:
    // Removes the comment parts of line; false when nothing is left of it.
    bool RemoveComments(std::string_view& line) {
        const std::size_t open = line.find("/*");
        const std::size_t close = line.find("*/");
        if (open != std::string_view::npos && close != std::string_view::npos) {
            joined_.assign(line.substr(0, open));
            joined_.append(line.substr(close + 2));
            joinedGap_ = {open, close + 2 - open};
            line = joined_;
        } else if (open != std::string_view::npos) {
            inBlockComment_ = true;
            commentLine_ = lineNumber_;
            commentColumn_ = open + 1;
            hiddenLines_ = 0;
            line = line.substr(0, open);
        } else if (close != std::string_view::npos && inBlockComment_) {
            line = line.substr(close + 2);
            inBlockComment_ = false;
        } else {
            if (inBlockComment_) {
                ++hiddenLines_;
                return false;
            }
            if (const std::size_t slashes = line.find("//"); slashes != std::string_view::npos) {
                line = line.substr(0, slashes);
            }
        }
        return !line.empty();
    }

    bool Collect(std::string_view line, const LineMarks& marks, std::size_t lineNumber) {
        NoteSwallowedHeader(line);
        if (marks.lastDot == NOT_FOUND) {
            Append(line);
            return !reader_.textTooLong_;
        }
        if (marks.hasOpen || marks.lastClose != NOT_FOUND) {
            // A "." before the line's last ">" is ordinary text, for example
            // inside a description.
            if (marks.lastClose == NOT_FOUND || marks.lastDot < marks.lastClose) {
                Append(line);
                return !reader_.textTooLong_;
            }
        }
        // The statement ends here: its text runs to the line's first "." after
        // any leading ones, and the rest of the line is dropped.
        const std::size_t runStart = line.find_first_not_of('.');
        if (runStart != NOT_FOUND) {
            const std::size_t runEnd = line.find('.', runStart);
            Append(line.substr(runStart, runEnd - runStart));
            if (std::optional<StatementFinding> ignored = StatementNotes::IgnoredAfterEnd(line, runEnd)) {
                Note(line, std::move(*ignored));
            }
        }
        if (reader_.textTooLong_) {
            return false;
        }
        return EndStatement(lineNumber);
    }

    // A line that starts with a message header, while a statement holds
    // text: the message is swallowed. Looked at further only when the line
    // starts with an "S" after tabs and spaces, which a line inside a
    // statement seldom does. readable: at least sixteen bytes past the
    // line's start may be read, as MarkedLines keeps them, so that its first
    // bytes are looked at together.
    void NoteSwallowedHeader(std::string_view line, bool readable = false) {
        if (collected_ == 0) {
            return;
        }
        std::size_t front = 0;
#ifdef __SSE2__
        if (readable) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data()));
            const auto is = [&bytes](char a, char b) {
                return static_cast<std::uint32_t>(_mm_movemask_epi8(
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(a)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(b)))));
            };
            const std::uint32_t other = ~is('\t', ' ');
            const std::uint32_t first = other & (0U - other); // the first byte that is no blank
            if ((is('S', '\'') & first) != 0 && static_cast<std::size_t>(__builtin_ctz(first)) < line.size()) {
                NoteHeaderAtFront(line);
            }
            if ((first & 0xFFFFU) != 0) {
                return;
            }
            front = 16; // sixteen blanks: on byte by byte
        }
#endif
        while (front < line.size() && (line[front] == '\t' || line[front] == ' ')) {
            ++front;
        }
        if (front < line.size() && (line[front] == 'S' || line[front] == '\'')) {
            NoteHeaderAtFront(line);
        }
    }

    // The rest of NoteSwallowedHeader, apart, so that the look at every
    // line stays small enough to be inlined.
    [[gnu::noinline, gnu::cold]] void NoteHeaderAtFront(std::string_view line) {
        std::optional<StatementFinding> header = StatementNotes::SwallowedHeader(line);
        if (!header) {
            return;
        }
        const std::string_view collected(batch_->text.data() + start_, batch_->text.size() - start_);
        if (std::ranges::all_of(collected, IsSpace)) {
            return;
        }
        Note(line, std::move(*header));
    }

    // Notes a finding at an offset of the line handed to Collect.
    void Note(std::string_view line, StatementFinding&& finding) {
        batch_->notes.push_back({lineNumber_, ColumnOf(line.data() + finding.offset), std::move(finding.reason)});
    }

    // A space held back at the end of the last part, whose neighbour after
    // it is now known to be none or next, is kept or left out.
    void EndRun(char next = '\0') {
        if (!heldSpace_) {
            return;
        }
        heldSpace_ = false;
        StatementBatch& batch = *batch_;
        if (IsBracket(beforeHeld_) || IsBracket(next)) {
            batch.removedSpaces.push_back(collected_ - 1);
        } else {
            batch.text += ' ';
        }
    }

    // Trims the statement and hands it on.
    bool EndStatement(std::size_t lineNumber) {
        EndRun();
        StatementBatch& batch = sink_.Batch();
        const char* const data = batch.text.data();
        std::size_t end = batch.text.size();
        while (end > start_ && IsSpace(data[end - 1])) {
            --end;
        }
        std::size_t begin = start_;
        while (begin < end && IsSpace(data[begin])) {
            ++begin;
        }
        if (begin == end) {
            // Nothing but white space: no statement at all.
            batch.text.resize(start_);
            batch.pieces.resize(piecesStart_);
            batch.removedSpaces.resize(removedStart_);
            batch.notes.resize(notesStart_);
        } else {
            CollectedStatement statement;
            statement.collected = start_;
            statement.begin = begin;
            statement.size = end - begin;
            statement.line = lineNumber;
            statement.piecesBegin = piecesStart_;
            statement.piecesEnd = batch.pieces.size();
            statement.removedBegin = removedStart_;
            statement.removedEnd = batch.removedSpaces.size();
            statement.notesBegin = notesStart_;
            statement.notesEnd = batch.notes.size();
            batch.text.resize(end);
            batch.statements.push_back(statement);
        }
        const bool more = begin == end || sink_.Collected();
        // The next statement starts in whatever batch the sink holds now.
        batch_ = &sink_.Batch();
        StatementBatch& next = *batch_;
        start_ = next.text.size();
        piecesStart_ = next.pieces.size();
        removedStart_ = next.removedSpaces.size();
        notesStart_ = next.notes.size();
        collected_ = 0;
        lastByte_ = '\0';
        return more;
    }

    // Appends a part of a line to the statement, without the spaces that
    // touch a bracket.
    void Append(std::string_view part) {
        if (part.empty()) {
            return;
        }
        std::size_t kept = 0;
        if (!BeginPart(part, ColumnOf(part.data()), kept)) {
            return;
        }
        StatementBatch& batch = *batch_;
        // A part of the line joined around a comment continues after it.
        if (part.data() >= joined_.data() && part.data() < joined_.data() + joined_.size()) {
            const auto at = static_cast<std::size_t>(part.data() - joined_.data());
            if (at < joinedGap_.first && at + part.size() > joinedGap_.first) {
                batch.pieces.push_back(
                    {collected_ + joinedGap_.first - at, lineNumber_, joinedGap_.first + joinedGap_.second + 1});
            }
        }
        AppendWithoutBracketSpacings(batch.text, part.data(), kept, lastByte_, heldSpace_ ? ' ' : '\0', collected_,
                                     batch.removedSpaces);
        EndPart(part);
    }

    // Starts a part of a line (not empty) that begins at column: false, and
    // the reading stopped, when the statement would grow past the text
    // limit. Otherwise the part's piece is recorded, a space held from the
    // part before is settled, and a space at the part's end is held for the
    // byte after it, in the next part; kept is how many bytes go in now.
    bool BeginPart(std::string_view part, std::size_t column, std::size_t& kept) {
        if (part.size() > reader_.textLimit_ - std::min(collected_, reader_.textLimit_)) {
            reader_.StopAsTooLong();
            return false;
        }
        batch_->pieces.push_back({collected_, lineNumber_, column});
        EndRun(part.front());
        kept = part.size();
        if (part.back() == ' ') {
            heldSpace_ = true;
            beforeHeld_ = kept >= 2 ? part[kept - 2] : lastByte_;
            --kept;
        }
        return true;
    }

    // Ends the part begun last, once its bytes are in.
    void EndPart(std::string_view part) {
        lastByte_ = part.back();
        collected_ += part.size();
    }

    // The 1-based column in the current line of a byte of the text handed to
    // Collect: a byte of the line itself, or of the line joined around a
    // comment.
    std::size_t ColumnOf(const char* byte) const {
        if (byte >= rawLine_.data() && byte <= rawLine_.data() + rawLine_.size()) {
            return static_cast<std::size_t>(byte - rawLine_.data()) + 1;
        }
        const auto joined = static_cast<std::size_t>(byte - joined_.data());
        return (joined < joinedGap_.first ? joined : joined + joinedGap_.second) + 1;
    }

    FormatReader& reader_;
    ReadResult& ending_;
    StatementSink& sink_;
    StatementBatch* batch_;        // the sink's batch, where the statement under way is collected
    std::size_t start_ = 0;        // where the statement under way starts in the batch's text
    std::size_t piecesStart_ = 0;  // and its first piece
    std::size_t removedStart_ = 0; // and its first space left out
    std::size_t notesStart_ = 0;   // and its first note
    std::size_t collected_ = 0;    // bytes collected into it, the spaces left out included
    char lastByte_ = '\0';         // the last byte collected
    bool heldSpace_ = false;       // its last byte is a space not yet appended
    char beforeHeld_ = '\0';       // the byte before that space
    std::string joined_;
    bool inBlockComment_ = false;
    std::string_view rawLine_;
    std::size_t lineNumber_ = 0;
    std::pair<std::size_t, std::size_t> joinedGap_{}; // where joined_ left out a comment, and how much
    std::size_t commentLine_ = 0;                     // where the open block comment starts
    std::size_t commentColumn_ = 0;
    std::size_t hiddenLines_ = 0; // lines it has hidden since
};

FormatReader::FormatReader(FormatTree& document, MessageCallback onMessage)
    : document_(document), onMessage_(std::move(onMessage)), builder_(document), textLimit_(LibraryMemoryBudget()) {}

std::size_t FormatReader::DefaultNodeLimit() {
    // At most this much memory per node: the node, its texts in a typical
    // library, and what the tree view keeps of it.
    constexpr std::size_t BYTES_PER_NODE = 256;
    return LibraryMemoryBudget() / BYTES_PER_NODE;
}

void FormatReader::StopAsTooLong() {
    textTooLong_ = true;
    tooLargeReason_ = "a statement of the library is longer than " + std::to_string(textLimit_) +
                      " bytes, more than a quarter of the memory this program may use can hold";
}

void FormatReader::CountDocumentNodes() {
    if (nodesCounted_) {
        return;
    }
    // The document may hold messages already; they count too.
    std::vector<const FormatNode*> pending{document_.GetRootNode()};
    while (!pending.empty()) {
        const FormatNode* node = pending.back();
        pending.pop_back();
        for (const FormatNode* c = node->FirstChild(); c != nullptr; c = c->NextSibling()) {
            ++nodeCount_;
            pending.push_back(c);
        }
    }
    nodesCounted_ = true;
}

ReadResult FormatReader::ReadFormatFile(const std::filesystem::path& path) {
    ReadResult result;
    InputFile file;
    if (!file.Open(path)) {
        result.status = ReadStatus::OPEN_FAILED;
        result.errorText = file.Error();
        return result;
    }
    result = Read(file.Stream(), file.Size());
    result.identity = file.Identity();
    if (result.status == ReadStatus::READ_FAILED && !file.Error().empty()) {
        result.errorText = file.Error();
    }
    return result;
}

ReadResult FormatReader::ReadFormatBytes(std::string_view bytes) {
    MemoryBuffer buffer(bytes);
    std::istream in(&buffer);
    return Read(in, bytes.size());
}

ReadResult FormatReader::ReadFormatFile(std::istream& in) { return Read(in, 0); }

ReadResult FormatReader::ReadFormatStream(std::istream& in, std::uintmax_t expectedSize) {
    return Read(in, expectedSize);
}

namespace {

// Adds what the reading half found at the end to what the building half found.
void AppendEnding(ReadResult& result, ReadResult&& ending) {
    result.status = ending.status;
    result.errorText = std::move(ending.errorText);
    for (std::size_t i = 0; i < ending.dropped.size(); ++i) {
        result.dropped.push_back(ending.dropped[i]);
        result.dropReasons.push_back(std::move(ending.dropReasons[i]));
    }
    for (ReadDiagnostic& warning : ending.warnings) {
        result.warnings.push_back(std::move(warning));
    }
}

} // namespace

void FormatReader::EndReading(ReadResult& result, ReadResult&& ending) const {
    if (cancelled_) {
        // Whatever the reading found after the stop counts for nothing.
        ending = ReadResult{};
        ending.status = ReadStatus::CANCELLED;
        ending.errorText = "the reading was cancelled";
    } else if (tooManyNodes_) {
        // The building stopped: what the reading found after that counts for nothing.
        ending = ReadResult{};
        ending.status = ReadStatus::TOO_LARGE;
        ending.errorText = "the library holds more than " + std::to_string(nodeLimit_) +
                           " messages and items, more than a quarter of the memory this program may use can hold";
    }
    AppendEnding(result, std::move(ending));
}

ReadResult FormatReader::Read(std::istream& in, std::uintmax_t size) {
    ReadResult result;
    ReadResult ending;
    textTooLong_ = false;
    tooManyNodes_ = false;
    cancelled_ = false;
    bytesRead_.store(0, std::memory_order_relaxed);
    tooLargeReason_.clear();
    expectedSize_ = size;
    // Messages appended by someone else since the last read go before the new ones.
    builder_.FindLastMessage();
    try {
        CountDocumentNodes();
        if (size < pipelineThreshold_ || !ReadBesideBuilding(in, result)) {
            BuildingSink sink([this, &result](const StatementBatch& batch) { return BuildBatch(batch, result); });
            ReadStatements(in, ending, sink);
        } else {
            // ReadBesideBuilding filled ending into result's place below.
            return result;
        }
    } catch (const std::bad_alloc&) {
        // Memory ran out before the limits saw it coming (other programs
        // took it meanwhile): the reading stops like a library too large.
        result.status = ReadStatus::TOO_LARGE;
        result.errorText = "there is not enough memory to read it";
        return result;
    }
    EndReading(result, std::move(ending));
    return result;
}

bool FormatReader::ReadBesideBuilding(std::istream& in, ReadResult& result) {
    // The reading thread makes the document's next blocks of storage ready
    // while it has time, so the building never waits for fresh memory.
    BlockSupply supply;
    // (A handler builds nothing, and needs none; nor does a small file.)
    const bool supplying = handler_ == nullptr && expectedSize_ >= SUPPLY_FROM_BYTES;
    struct SupplyWhileReading {
        FormatTree& document;
        SupplyWhileReading(FormatTree& tree, BlockSupply& blocks, bool building) : document(tree) {
            document.SetBlockSupply(building ? &blocks : nullptr);
        }
        ~SupplyWhileReading() { document.SetBlockSupply(nullptr); }
        SupplyWhileReading(const SupplyWhileReading&) = delete;
        SupplyWhileReading& operator=(const SupplyWhileReading&) = delete;
    } supplied(document_, supply, supplying);
    StatementPipe pipe;
    ReadResult ending;
    std::thread reading;
    try {
        reading = std::thread([this, &in, &ending, &pipe, &supply, supplying] {
            std::exception_ptr error;
            try {
                PipeSink sink(pipe, supplying ? &supply : nullptr);
                ReadStatements(in, ending, sink);
            } catch (const BuildingStopped&) {
                // The builder gave up and reports why.
            } catch (...) {
                error = std::current_exception();
            }
            pipe.Close(error);
        });
    } catch (const std::system_error&) {
        return false; // no thread to be had: read on this one
    }
    {
        // However the building ends, the reading thread ends before the pipe goes.
        struct JoinReading {
            StatementPipe& pipe;
            std::thread& reading;
            ~JoinReading() {
                pipe.Cancel();
                reading.join();
            }
        } join{pipe, reading};
        while (true) {
            // Likewise here, while the reading thread is behind.
            while (supplying && !pipe.FullReady() && supply.AddBlock(BLOCKS_AHEAD)) {
            }
            StatementBatch* batch = pipe.TakeFull();
            if (batch == nullptr) {
                break;
            }
            const bool more = BuildBatch(*batch, result);
            pipe.PutEmpty(batch);
            if (!more) {
                break;
            }
        }
    }
    if (std::exception_ptr error = pipe.Error()) {
        std::rethrow_exception(error);
    }
    EndReading(result, std::move(ending));
    return true;
}

void FormatReader::ReadStatements(std::istream& in, ReadResult& ending, StatementSink& sink) {
    StatementCollector collector(*this, ending, sink);
    MarkedLines lines(in);
    lines.ExpectBytes(expectedSize_);
    lines.CountBytesInto(&bytesRead_);
    std::size_t begin = 0;
    std::size_t size = 0;
    std::size_t lineNumber = 0;
    lines.SetLineLimit(textLimit_);
    bool more = true;
    while (more && lines.Next(begin, size)) {
        ++lineNumber;
        const std::string_view line(lines.Data() + begin, size);
        more = size != 0 && !collector.InBlockComment() && !lines.HasDotOrSlash(begin, size)
                   ? collector.HandlePlainLine(line, begin, lineNumber, lines)
                   : collector.HandleLine(line, lineNumber);
    }
    if (lines.TooLong()) {
        StopAsTooLong();
    }
    if (!textTooLong_ && more) {
        collector.Finish(lineNumber);
    }
    sink.Finish();
    if (textTooLong_) {
        ending = ReadResult{};
        ending.status = ReadStatus::TOO_LARGE;
        ending.errorText = tooLargeReason_;
        return;
    }
    if (const std::string_view encoding = lines.RefusedEncoding(); !encoding.empty()) {
        ending = ReadResult{};
        ending.status = ReadStatus::OPEN_FAILED;
        ending.errorText = ByteOrderMark::RefusalReason(encoding);
        return;
    }
    if (more && lines.Failed()) {
        ending.status = ReadStatus::READ_FAILED;
        ending.errorText = "the file could not be read to its end";
    }
}

bool FormatReader::BuildBatch(const StatementBatch& batch, ReadResult& result) {
    if (cancelCheck_ && cancelCheck_()) {
        cancelled_ = true;
        return false;
    }
    for (const CollectedStatement& statement : batch.statements) {
        if (handler_ != nullptr) {
            numberClamped_ = false;
        }
        if (handler_ != nullptr ? handler_->HandleStatement(batch.Text(statement), statement.line)
                                : BuildStatement(batch.Text(statement))) {
            result.messageLines.push_back(statement.line);
            ++result.messagesRead;
            if (numberClamped_) {
                std::size_t trimmed = 0;
                const std::string original = TrimmedOriginal(batch, statement, trimmed);
                for (StatementFinding& finding : DropExplainer::FindClampedNumbers(original)) {
                    result.warnings.push_back(StatementCollector::StatementDiagnostic(
                        batch.pieces, statement.piecesBegin, statement.piecesEnd, statement.line,
                        finding.offset + trimmed, std::move(finding.reason)));
                }
            }
            if (std::optional<std::string> missing = StatementNotes::MissingNumber(lastStream_, lastFunction_);
                missing && handler_ == nullptr) {
                std::size_t trimmed = 0;
                TrimmedOriginal(batch, statement, trimmed);
                result.warnings.push_back(StatementCollector::StatementDiagnostic(batch.pieces, statement.piecesBegin,
                                                                                  statement.piecesEnd, statement.line,
                                                                                  trimmed, std::move(*missing)));
            }
            result.warnings.insert(result.warnings.end(),
                                   batch.notes.begin() + static_cast<std::ptrdiff_t>(statement.notesBegin),
                                   batch.notes.begin() + static_cast<std::ptrdiff_t>(statement.notesEnd));
            if (onMessage_ && handler_ == nullptr) {
                onMessage_(*lastMessage_);
            }
        } else if (tooManyNodes_) {
            return false;
        } else {
            result.dropped.push_back({statement.line, false});
            std::size_t trimmed = 0;
            StatementFinding finding = DropExplainer::ExplainDrop(TrimmedOriginal(batch, statement, trimmed));
            result.dropReasons.push_back(StatementCollector::StatementDiagnostic(
                batch.pieces, statement.piecesBegin, statement.piecesEnd, statement.line, finding.offset + trimmed,
                std::move(finding.reason)));
        }
    }
    return true;
}

bool FormatReader::BuildStatement(std::string_view text) {
    numberClamped_ = false;
    MessageHeader header;
    if (!ParseHeader(text, header)) {
        return false;
    }
    // The message and its items take this many nodes more at most.
    const std::size_t room = nodeCount_ < nodeLimit_ ? nodeLimit_ - nodeCount_ : 0;
    const std::size_t firstOpen = text.find('<');
    if (firstOpen == std::string_view::npos && header.stream == 0) {
        return false;
    }
    builder_.Begin(room > 0 ? room - 1 : 0);
    if (firstOpen != std::string_view::npos && !ItemParser::ParseBody(text.substr(firstOpen), builder_)) {
        tooManyNodes_ = builder_.Overflowed();
        builder_.Discard();
        return false;
    }
    const std::size_t needed = builder_.NodeCount() + 1; // the message node too
    if (needed > room) {
        tooManyNodes_ = true;
        builder_.Discard();
        return false;
    }
    nodeCount_ += needed;
    numberClamped_ = header.numberClamped || builder_.numberClamped;
    lastStream_ = header.stream;
    lastFunction_ = header.function;
    // Messages appended by someone else since are passed over, so the new
    // message still goes to the end.
    lastMessage_ = builder_.Finish(header);
    return true;
}

bool FormatReader::ParseStatement(std::string_view text) {
    StatementBatch batch;
    CountDocumentNodes();
    AppendWithoutBracketSpacings(batch.text, text.data(), text.size(), '\0', '\0', 0, batch.removedSpaces);
    if (!BuildStatement(batch.text)) {
        return false;
    }
    if (onMessage_) {
        onMessage_(*lastMessage_);
    }
    return true;
}

bool FormatReader::ParseHeader(std::string_view text, MessageHeader& header) {
    text = TrimSpace(text);
    if (text.empty()) {
        return false;
    }
    const std::string_view head = TrimTrailingSpace(text.substr(0, text.find('<')));
    if (!Contains(head, "S") || !Contains(head, "F")) {
        return false;
    }
    for (std::size_t i = 0; i < head.size(); ++i) {
        const char c = head[i];
        if (c >= '0' && c <= '9') {
            continue; // a digit of a number already read
        }
        switch (c) {
        case 'S':
        case 'F': {
            DecimalScan number = ScanDecimal(head, i + 1);
            if (!number.hasDigits) {
                return false;
            }
            (c == 'S' ? header.stream : header.function) = SaturatedInt32(number);
            header.numberClamped = header.numberClamped || number.overflow || number.magnitude > LARGEST_INT32;
            break;
        }
        case 'W':
            if (header.replyRequired == 1) {
                return false;
            }
            header.replyRequired = 1;
            break;
        case '\'':
            break;
        case ' ': {
            std::string_view description = TrimSpace(head.substr(i + 1));
            if (!description.empty() && description.front() == '(') {
                description.remove_prefix(1);
            }
            if (!description.empty() && description.back() == ')') {
                description.remove_suffix(1);
            }
            header.description = description;
            return true;
        }
        default:
            return false;
        }
    }
    return true;
}

} // namespace tqf
