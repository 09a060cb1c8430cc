#include "ReferenceReader.h"

#include "BracketSpacing.h"
#include "ByteOrderMark.h"
#include "Decimal.h"
#include "DropExplainer.h"
#include "InputFile.h"
#include "ItemParser.h"
#include "LineReader.h"
#include "MemoryBudget.h"
#include "ReferencePipe.h"
#include "StatementNotes.h"

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

namespace tqf::reference {

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

// What a byte of a line means to the statement rules; most bytes mean
// nothing, and a table lookup tells so at once. The brackets "[" and "]"
// matter only next to a space.
enum LineByte : std::uint8_t { PLAIN, CLOSE, OPEN, DOT, SLASH, SPACE, SQUARE_OPEN, SQUARE_CLOSE, LINE_BYTE_KINDS };

constexpr std::array<std::uint8_t, 256> LINE_BYTES = [] {
    std::array<std::uint8_t, 256> table{};
    table[static_cast<unsigned char>('>')] = CLOSE;
    table[static_cast<unsigned char>('<')] = OPEN;
    table[static_cast<unsigned char>('.')] = DOT;
    table[static_cast<unsigned char>('/')] = SLASH;
    table[static_cast<unsigned char>(' ')] = SPACE;
    table[static_cast<unsigned char>('[')] = SQUARE_OPEN;
    table[static_cast<unsigned char>(']')] = SQUARE_CLOSE;
    return table;
}();

// A byte that stands for each kind.
constexpr std::array<char, LINE_BYTE_KINDS> KIND_BYTES{'x', '>', '<', '.', '/', ' ', '[', ']'};

// The bracket spacing that two neighbouring kinds of bytes form, as
// BracketSpacing::SpacingOf gives it for such bytes.
constexpr std::array<std::uint8_t, LINE_BYTE_KINDS* LINE_BYTE_KINDS> PAIR_SPACINGS = [] {
    std::array<std::uint8_t, LINE_BYTE_KINDS * LINE_BYTE_KINDS> table{};
    for (std::size_t a = 0; a < LINE_BYTE_KINDS; ++a) {
        for (std::size_t b = 0; b < LINE_BYTE_KINDS; ++b) {
            table[a * LINE_BYTE_KINDS + b] =
                static_cast<std::uint8_t>(BracketSpacing::SpacingOf(KIND_BYTES[a], KIND_BYTES[b]));
        }
    }
    return table;
}();
static_assert(BracketSpacing::SpacingOf(' ', ']') < 256, "every spacing fits a byte");

// What the statement rules need to know of a line.
struct LineMarks {
    std::size_t lastDot = NOT_FOUND;
    std::size_t lastClose = NOT_FOUND;
    bool hasOpen = false;
    bool hasSlash = false;      // "/*", "*/" and "//" all need one
    std::uint32_t spacings = 0; // as BracketSpacing::SpacingsIn gives them

    // One pass without branches on the bytes: lines are short, so a call per
    // question would cost more, and most bytes are plain.
    static LineMarks Of(std::string_view line) {
        const std::size_t size = line.size();
        std::size_t lastDot = NOT_FOUND;
        std::size_t lastClose = NOT_FOUND;
        unsigned seen = 0; // bit k: a byte of kind k occurs
        unsigned spacings = 0;
        unsigned previous = PLAIN;
        for (std::size_t i = 0; i < size; ++i) {
            const unsigned kind = LINE_BYTES[static_cast<unsigned char>(line[i])];
            spacings |= PAIR_SPACINGS[previous * LINE_BYTE_KINDS + kind];
            lastDot = kind == DOT ? i : lastDot;
            lastClose = kind == CLOSE ? i : lastClose;
            seen |= 1U << kind;
            previous = kind;
        }
        LineMarks marks;
        marks.lastDot = lastDot;
        marks.lastClose = lastClose;
        marks.hasOpen = (seen & (1U << OPEN)) != 0;
        marks.hasSlash = (seen & (1U << SLASH)) != 0;
        marks.spacings = spacings;
        return marks;
    }
};

// The item body scan as it was, one item at a time through ItemParser::ParseItemHeader.
bool ParseBodyAsBefore(std::string_view body, ParseTree& tree) {
    std::size_t pos = 0;
    const std::size_t size = body.size();
    while (pos < size && !tree.Overflowed()) {
        const char c = body[pos];
        if (c == '<') {
            std::int32_t count = 0;
            if (pos + 1 < size && body[pos + 1] == 'L') {
                const char third = pos + 2 < size ? body[pos + 2] : '\0';
                if (third == '>') {
                    tree.OpenList(false);
                    tree.CloseList();
                    pos += 3;
                    continue;
                }
                if (third == '[') {
                    std::size_t close = body.find(']', pos + 3);
                    if (close == std::string_view::npos) {
                        return false;
                    }
                    std::string_view inner = TrimSpace(body.substr(pos + 3, close - (pos + 3)));
                    if (inner == "N" || inner == "n") {
                        count = OPEN_COUNT;
                    } else {
                        count = SaturatedInt32(ScanDecimal(inner));
                    }
                    pos = close + 1;
                } else {
                    pos += 2;
                }
                tree.OpenList(count == OPEN_COUNT);
                continue;
            }
            const std::size_t close = body.find('>', pos);
            if (close == std::string_view::npos) {
                return false;
            }
            ItemHeader header;
            header.count = count;
            if (!ItemParser::ParseItemHeader(body.substr(pos, close + 1 - pos), header)) {
                return false;
            }
            pos = close + 1;
            tree.numberClamped = tree.numberClamped || (header.countClamped && header.format != VARIANT);
            tree.AddItem(header.format, header.count, header.description);
        } else if (c == '>') {
            tree.CloseList();
            ++pos;
        } else if (c == '[') {
            std::size_t close = body.find(']', pos);
            if (close == std::string_view::npos) {
                return false;
            }
            pos = close + 1;
        } else {
            ++pos;
        }
    }
    return !tree.Overflowed();
}
} // namespace

// Where accepted statements go: the tree each statement is read into, and
// what happens to it once it is a message.
class StatementSink {
public:
    StatementSink() = default;
    StatementSink(const StatementSink&) = delete;
    StatementSink& operator=(const StatementSink&) = delete;
    virtual ~StatementSink() = default;

    // The tree the next statement is read into.
    virtual ParseTree& Tree() = 0;
    // The statement in Tree() is a message.
    virtual void Accept() = 0;
    // Every statement has been read.
    virtual void Finish() {}
};

namespace {

// Builds each message as soon as it is read, on the reading thread.
class BuildingSink final : public StatementSink {
public:
    BuildingSink(ParseTree& tree, MessageBuilder& builder) : tree_(tree), builder_(builder) {}
    ParseTree& Tree() override { return tree_; }
    void Accept() override { builder_.BuildMessage(tree_); }

private:
    ParseTree& tree_;
    MessageBuilder& builder_;
};

// Thrown on the reading thread when the building thread has stopped.
struct BuildingStopped {};

// Passes the messages read to the building thread in batches.
class PipeSink final : public StatementSink {
public:
    explicit PipeSink(StatementPipe& pipe) : pipe_(pipe), batch_(Take()) {}
    ParseTree& Tree() override { return batch_->Next(); }
    void Accept() override {
        batch_->Keep();
        if (batch_->Full()) {
            pipe_.PutFull(batch_);
            batch_ = Take();
        }
    }
    void Finish() override {
        if (batch_->used > 0) {
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
        return batch;
    }

    StatementPipe& pipe_;
    StatementBatch* batch_;
};

} // namespace

// The state of one run over a file: the statement being collected and
// whether a "/*" comment is open across lines.
class StatementCollector {
public:
    StatementCollector(ReferenceReader& reader, ReadResult& result, StatementSink& sink)
        : reader_(reader), result_(result), sink_(sink) {}

    // line has its letters in capitals already.
    void HandleLine(std::string_view line, std::size_t lineNumber) {
        rawLine_ = line;
        lineNumber_ = lineNumber;
        if (line.empty()) {
            hiddenLines_ += inBlockComment_ ? 1 : 0;
            return;
        }
        LineMarks marks = LineMarks::Of(line);
        if (marks.hasSlash) {
            if (!RemoveComments(line)) {
                return;
            }
            marks = LineMarks::Of(line);
        } else if (inBlockComment_) {
            ++hiddenLines_;
            return;
        }
        Collect(line, marks, lineNumber);
    }

    void Finish(std::size_t lastLine) {
        if (!TrimSpace(statement_).empty()) {
            result_.dropped.push_back({lastLine, true});
            const std::size_t trimmed = TrimmedFront();
            StatementFinding finding = DropExplainer::ExplainUnterminated(TrimSpace(statement_));
            result_.dropReasons.push_back(Diagnostic(finding.offset + trimmed, std::move(finding.reason)));
        }
        notes_.clear();
        if (inBlockComment_) {
            result_.warnings.push_back({commentLine_, commentColumn_,
                                        "block comment not closed: it hides " + std::to_string(hiddenLines_) +
                                            (hiddenLines_ == 1 ? " line" : " lines") + " to the end of the file"});
        }
        statement_.clear();
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

    void Collect(std::string_view line, const LineMarks& marks, std::size_t lineNumber) {
        if (!TrimSpace(statement_).empty()) {
            if (std::optional<StatementFinding> header = StatementNotes::SwallowedHeader(line)) {
                notes_.push_back({lineNumber_, ColumnOf(line.data() + header->offset), std::move(header->reason)});
            }
        }
        if (marks.lastDot == NOT_FOUND) {
            Append(line, marks);
            return;
        }
        if (marks.hasOpen || marks.lastClose != NOT_FOUND) {
            // A "." before the line's last ">" is ordinary text, for example
            // inside a description.
            if (marks.lastClose == NOT_FOUND || marks.lastDot < marks.lastClose) {
                Append(line, marks);
                return;
            }
        }
        // The statement ends here: its text runs to the line's first "." after
        // any leading ones, and the rest of the line is dropped.
        const std::size_t runStart = line.find_first_not_of('.');
        if (runStart != NOT_FOUND) {
            const std::size_t runEnd = line.find('.', runStart);
            Append(line.substr(runStart, runEnd - runStart), marks);
            if (std::optional<StatementFinding> ignored = StatementNotes::IgnoredAfterEnd(line, runEnd)) {
                notes_.push_back({lineNumber_, ColumnOf(line.data() + ignored->offset), std::move(ignored->reason)});
            }
        }
        if (reader_.tooLarge_) {
            return;
        }
        const std::size_t trimmed = TrimStatement();
        const bool hasText = !statement_.empty();
        // The tree keeps the statement with the spaces next to brackets
        // removed; a report needs it as it was.
        const bool normalised = spacings_ != 0;
        if (normalised) {
            original_.assign(statement_);
        }
        ParseTree& tree = sink_.Tree();
        if (reader_.ParseCollected(statement_, spacings_, tree)) {
            if (tree.numberClamped) {
                ReportClamped(normalised ? std::string_view(original_) : tree.Statement(), trimmed);
            }
            if (std::optional<std::string> missing = StatementNotes::MissingNumber(tree.stream, tree.function)) {
                result_.warnings.push_back(Diagnostic(trimmed, std::move(*missing)));
            }
            result_.warnings.insert(result_.warnings.end(), notes_.begin(), notes_.end());
            result_.messageLines.push_back(lineNumber);
            ++result_.messagesRead;
            sink_.Accept();
        } else if (hasText && !reader_.tooLarge_) {
            result_.dropped.push_back({lineNumber, false});
            StatementFinding finding =
                DropExplainer::ExplainDrop(normalised ? std::string_view(original_) : tree.Statement());
            result_.dropReasons.push_back(Diagnostic(finding.offset + trimmed, std::move(finding.reason)));
        }
        notes_.clear();
        statement_.clear();
        spacings_ = 0;
        pieces_.clear();
    }

    void ReportClamped(std::string_view statement, std::size_t trimmed) {
        for (StatementFinding& finding : DropExplainer::FindClampedNumbers(statement)) {
            result_.warnings.push_back(Diagnostic(finding.offset + trimmed, std::move(finding.reason)));
        }
    }

    // The place in the file of a byte of the statement, by its offset in the
    // statement as collected.
    ReadDiagnostic Diagnostic(std::size_t offset, std::string reason) const {
        ReadDiagnostic diagnostic{lineNumber_, 1, std::move(reason)};
        const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                                            [](std::size_t at, const Piece& piece) { return at < piece.offset; });
        if (after != pieces_.begin()) {
            const Piece& piece = *(after - 1);
            diagnostic.line = piece.line;
            diagnostic.column = piece.column + (offset - piece.offset);
        }
        return diagnostic;
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

    // The statement's leading white space, which TrimSpace leaves out.
    std::size_t TrimmedFront() const {
        std::size_t begin = 0;
        while (begin < statement_.size() && IsSpace(statement_[begin])) {
            ++begin;
        }
        return begin;
    }

    // marks may be those of a longer text than part: a spacing too many only
    // costs the normalisation a pass.
    void Append(std::string_view part, const LineMarks& marks) {
        if (part.empty()) {
            return;
        }
        if (!statement_.empty()) {
            spacings_ |= BracketSpacing::SpacingOf(statement_.back(), part.front());
        }
        spacings_ |= marks.spacings;
        if (part.size() > reader_.textLimit_ - std::min(statement_.size(), reader_.textLimit_)) {
            reader_.StopAsTooLong();
            return;
        }
        pieces_.push_back({statement_.size(), lineNumber_, ColumnOf(part.data())});
        // A part of the line joined around a comment continues after it.
        if (part.data() >= joined_.data() && part.data() < joined_.data() + joined_.size()) {
            const auto at = static_cast<std::size_t>(part.data() - joined_.data());
            if (at < joinedGap_.first && at + part.size() > joinedGap_.first) {
                pieces_.push_back(
                    {statement_.size() + joinedGap_.first - at, lineNumber_, joinedGap_.first + joinedGap_.second + 1});
            }
        }
        // Grown by doubling, but never past the limit.
        if (const std::size_t needed = statement_.size() + part.size(); statement_.capacity() < needed) {
            statement_.reserve(std::min(std::max(statement_.capacity() * 2, needed), reader_.textLimit_));
        }
        statement_.append(part);
    }

    // Returns how many bytes were trimmed from the front.
    std::size_t TrimStatement() {
        std::size_t end = statement_.size();
        while (end > 0 && IsSpace(statement_[end - 1])) {
            --end;
        }
        statement_.resize(end);
        std::size_t begin = 0;
        while (begin < end && IsSpace(statement_[begin])) {
            ++begin;
        }
        statement_.erase(0, begin);
        return begin;
    }

    ReferenceReader& reader_;
    ReadResult& result_;
    StatementSink& sink_;
    std::string statement_;
    std::uint32_t spacings_ = 0; // bracket spacings that may occur in statement_
    std::string joined_;
    bool inBlockComment_ = false;

    // Where the text of the statement came from, for the report of a
    // statement that is dropped: one piece for each part appended.
    struct Piece {
        std::size_t offset; // in the statement as collected
        std::size_t line;
        std::size_t column;
    };
    std::vector<Piece> pieces_;
    std::vector<ReadDiagnostic> notes_; // what the statement's lines may have lost
    std::string original_;              // the statement before its brackets were normalised
    std::string_view rawLine_;
    std::size_t lineNumber_ = 0;
    std::pair<std::size_t, std::size_t> joinedGap_{}; // where joined_ left out a comment, and how much
    std::size_t commentLine_ = 0;                     // where the open block comment starts
    std::size_t commentColumn_ = 0;
    std::size_t hiddenLines_ = 0; // lines it has hidden since
};

ReferenceReader::ReferenceReader(FormatTree& document, MessageBuilder::MessageCallback onMessage)
    : builder_(document, std::move(onMessage)), document_(document), textLimit_(LibraryMemoryBudget()) {}

std::size_t ReferenceReader::DefaultNodeLimit() {
    // At most this much memory per node: the node, its texts in a typical
    // library, and what the tree view keeps of it.
    constexpr std::size_t BYTES_PER_NODE = 256;
    return LibraryMemoryBudget() / BYTES_PER_NODE;
}

void ReferenceReader::StopAsTooLong() {
    tooLarge_ = true;
    tooLargeReason_ = "a statement of the library is longer than " + std::to_string(textLimit_) +
                      " bytes, more than a quarter of the memory this program may use can hold";
}

void ReferenceReader::CountDocumentNodes() {
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

bool ReferenceReader::FitsUnderLimit(std::size_t itemNodes) {
    const std::size_t needed = itemNodes + 1; // the message node too
    if (nodeCount_ > nodeLimit_ || needed > nodeLimit_ - nodeCount_) {
        return false;
    }
    nodeCount_ += needed;
    return true;
}

ReadResult ReferenceReader::ReadFormatFile(const std::filesystem::path& path) {
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

ReadResult ReferenceReader::ReadFormatBytes(std::string_view bytes) {
    MemoryBuffer buffer(bytes);
    std::istream in(&buffer);
    return Read(in, bytes.size());
}

ReadResult ReferenceReader::ReadFormatFile(std::istream& in) { return Read(in, 0); }

ReadResult ReferenceReader::Read(std::istream& in, std::uintmax_t size) {
    ReadResult result;
    tooLarge_ = false;
    tooLargeReason_.clear();
    try {
        CountDocumentNodes();
        if (size >= pipelineThreshold_ && ReadBesideBuilding(in, result)) {
            return result;
        }
        BuildingSink sink(tree_, builder_);
        ReadStatements(in, result, sink);
    } catch (const std::bad_alloc&) {
        // Memory ran out before the limits saw it coming (other programs
        // took it meanwhile): the reading stops like a library too large.
        result.status = ReadStatus::TOO_LARGE;
        result.errorText = "there is not enough memory to read it";
    }
    return result;
}

bool ReferenceReader::ReadBesideBuilding(std::istream& in, ReadResult& result) {
    StatementPipe pipe;
    std::thread reading;
    try {
        reading = std::thread([this, &in, &result, &pipe] {
            std::exception_ptr error;
            try {
                PipeSink sink(pipe);
                ReadStatements(in, result, sink);
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
    // However the building ends, the reading thread ends before the pipe goes.
    struct JoinReading {
        StatementPipe& pipe;
        std::thread& reading;
        ~JoinReading() {
            pipe.Cancel();
            reading.join();
        }
    } join{pipe, reading};
    while (StatementBatch* batch = pipe.TakeFull()) {
        for (std::size_t i = 0; i < batch->used; ++i) {
            builder_.BuildMessage(*batch->trees[i]);
        }
        pipe.PutEmpty(batch);
    }
    if (std::exception_ptr error = pipe.Error()) {
        std::rethrow_exception(error);
    }
    return true;
}

void ReferenceReader::ReadStatements(std::istream& in, ReadResult& result, StatementSink& sink) {
    StatementCollector collector(*this, result, sink);
    LineReader lines(in, LineReader::LetterCase::UPPER);
    std::span<char> line;
    std::size_t lineNumber = 0;
    lines.SetLineLimit(textLimit_);
    while (!tooLarge_ && lines.Next(line)) {
        ++lineNumber;
        collector.HandleLine(std::string_view(line.data(), line.size()), lineNumber);
    }
    sink.Finish();
    if (lines.TooLong()) {
        StopAsTooLong();
    }
    if (tooLarge_) {
        result.status = ReadStatus::TOO_LARGE;
        result.errorText =
            tooLargeReason_.empty()
                ? "the library holds more than " + std::to_string(nodeLimit_) +
                      " messages and items, more than a quarter of the memory this program may use can hold"
                : tooLargeReason_;
        return;
    }
    collector.Finish(lineNumber);
    if (!lines.RefusedEncoding().empty()) {
        result = ReadResult{};
        result.status = ReadStatus::OPEN_FAILED;
        result.errorText = ByteOrderMark::RefusalReason(lines.RefusedEncoding());
        return;
    }
    if (lines.Failed()) {
        result.status = ReadStatus::READ_FAILED;
        result.errorText = "the file could not be read to its end";
    }
}

bool ReferenceReader::ParseStatement(std::string_view text) {
    statementCopy_.assign(text);
    CountDocumentNodes();
    if (!ParseCollected(statementCopy_, BracketSpacing::SpacingsIn(statementCopy_), tree_)) {
        return false;
    }
    builder_.BuildMessage(tree_);
    return true;
}

bool ReferenceReader::ParseCollected(std::string& text, std::uint32_t spacings, ParseTree& tree) {
    BracketSpacing::NormaliseBracketsInPlace(text, spacings);
    // A tree serves statement after statement; it starts each one empty, and
    // holds no more items than the document can still take. It keeps the
    // statement, which its items' texts point into.
    tree.Clear();
    tree.SetNodeLimit(nodeCount_ < nodeLimit_ ? nodeLimit_ - nodeCount_ - 1 : 0);
    const std::string_view statement = tree.AdoptStatement(text);
    if (!ParseMessageHeader(statement, tree)) {
        return false;
    }
    const std::size_t firstOpen = statement.find('<');
    if (firstOpen == std::string::npos) {
        if (tree.stream == 0) {
            return false;
        }
    } else if (!ParseBodyAsBefore(statement.substr(firstOpen), tree)) {
        tooLarge_ = tree.Overflowed();
        return false;
    }
    if (!FitsUnderLimit(tree.NodeCount())) {
        tooLarge_ = true;
        return false;
    }
    return true;
}

bool ReferenceReader::ParseMessageHeader(std::string_view text, ParseTree& tree) {
    text = TrimSpace(text);
    if (text.empty()) {
        return false;
    }
    const std::string_view header = TrimTrailingSpace(text.substr(0, text.find('<')));
    if (!Contains(header, "S") || !Contains(header, "F")) {
        return false;
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
        const char c = header[i];
        if (c >= '0' && c <= '9') {
            continue; // a digit of a number already read
        }
        switch (c) {
        case 'S':
        case 'F': {
            DecimalScan number = ScanDecimal(header, i + 1);
            if (!number.hasDigits) {
                return false;
            }
            (c == 'S' ? tree.stream : tree.function) = SaturatedInt32(number);
            tree.numberClamped = tree.numberClamped || number.overflow || number.magnitude > LARGEST_INT32;
            break;
        }
        case 'W':
            if (tree.replyRequired == 1) {
                return false;
            }
            tree.replyRequired = 1;
            break;
        case '\'':
            break;
        case ' ': {
            std::string_view description = TrimSpace(header.substr(i + 1));
            if (!description.empty() && description.front() == '(') {
                description.remove_prefix(1);
            }
            if (!description.empty() && description.back() == ')') {
                description.remove_suffix(1);
            }
            tree.description = std::string(description);
            return true;
        }
        default:
            return false;
        }
    }
    return true;
}

} // namespace tqf::reference
