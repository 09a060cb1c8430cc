#pragma once

#include "ByteSearch.h"
#include "Decimal.h"
#include "DropExplainer.h"
#include "FormatReader.h"
#include "MarkedLines.h"
#include "RuleAttacher.h"
#include "RuleText.h"
#include "StatementNotes.h"
#include "StatementPipe.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The reading half of FormatReader: the statement rules applied line by
// line, and what they need. Included by FormatReader.cpp alone, so that the
// calls of each line stay inlined.

namespace tqf {

inline constexpr std::size_t NOT_FOUND = std::string_view::npos;

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

inline bool IsBracket(char c) { return c == '<' || c == '[' || c == '>' || c == ']'; }

// Copies size bytes from text to out sixteen at a time: both may be
// overrun by up to fifteen bytes, out where BatchText::Room left room, text
// where MarkedLines keeps the input's next bytes.
inline void CopyInSixteens(char* out, const char* text, std::size_t size) {
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
inline void AppendWithoutBracketSpacings(BatchText& out, const char* text, std::size_t size, char before, char after,
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
inline std::string TrimmedOriginal(const StatementBatch& batch, const CollectedStatement& statement,
                                   std::size_t& trimmed) {
    const std::string original = batch.Original(statement);
    trimmed = 0;
    while (trimmed < original.size() && IsSpace(original[trimmed])) {
        ++trimmed;
    }
    return std::string(TrimSpace(original));
}

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
        if (!inBlockComment_ && RuleText::IsRuleLine(line)) {
            NoteRuleLine(line, lineNumber);
        }
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
    // A rule line: a comment to the statement rules, kept with the node it
    // follows, which is told by the "<" collected so far.
    [[gnu::noinline, gnu::cold]] void NoteRuleLine(std::string_view line, std::size_t lineNumber) {
        const char* const data = batch_->text.data();
        const std::size_t size = batch_->text.size();
        for (std::size_t at = std::max(scanned_, start_); at < size; ++at) {
            opens_ += data[at] == '<' ? 1 : 0;
            sawText_ = sawText_ || !IsSpace(data[at]);
        }
        scanned_ = size;
        RuleAttacher::Line rule{lineNumber, std::string(line), statementsEnded_, opens_};
        if (!sawText_) {
            // Between statements: the rule follows the last one.
            rule.statement = statementsEnded_ == 0 ? RuleAttacher::NO_STATEMENT : statementsEnded_ - 1;
            rule.item = RuleAttacher::LAST_NODE;
        }
        reader_.ruleLines_.push_back(std::move(rule));
    }

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
            ++statementsEnded_;
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
        scanned_ = start_;
        opens_ = 0;
        sawText_ = false;
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
    // For rule lines: the statements handed on, and how far the statement
    // under way has been looked at, the "<" and whether any text was seen.
    std::size_t statementsEnded_ = 0;
    std::size_t scanned_ = 0;
    std::size_t opens_ = 0;
    bool sawText_ = false;
    std::size_t commentLine_ = 0; // where the open block comment starts
    std::size_t commentColumn_ = 0;
    std::size_t hiddenLines_ = 0; // lines it has hidden since
};

} // namespace tqf
