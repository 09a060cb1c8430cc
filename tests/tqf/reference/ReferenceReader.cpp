#include "ReferenceReader.h"

#include "BracketSpacing.h"
#include "ByteOrderMark.h"
#include "Decimal.h"
#include "DropExplainer.h"
#include "LineReader.h"
#include "StatementNotes.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

namespace tqf::reference {

namespace {

std::string_view TrimTrailingSpace(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr std::size_t NOT_FOUND = std::string_view::npos;

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

// The reader's table of item codes, letter case aside: a format, or VARIANT
// for the words that stand for one; -1 for any other text. "L" is the code of
// a list, which is no item of its own.
std::int32_t FormatOfCode(std::string_view code) {
    static const std::map<std::string, std::int32_t, std::less<>> CODES{
        {"L", LIST},          {"B", BINARY},        {"BOOL", BOOLEAN},
        {"BOOLEAN", BOOLEAN}, {"A", ASCII},         {"J", JIS8},
        {"J8", JIS8},         {"I1", INT1},         {"I2", INT2},
        {"I4", INT4},         {"I8", INT8},         {"U1", UINT1},
        {"U2", UINT2},        {"U4", UINT4},        {"U8", UINT8},
        {"F4", FLOAT4},       {"F8", FLOAT8},       {"V", VARIANT},
        {"VAR", VARIANT},     {"VARIANT", VARIANT}, {"UNDEFINED", VARIANT},
    };
    std::string capitals(code);
    for (char& c : capitals) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    const auto found = CODES.find(capitals);
    return found == CODES.end() ? -1 : found->second;
}

// A number as a "%d" conversion reads it from the front of text: white space,
// a sign, then digits; kept as the nearest end of the 32-bit range when it
// lies beyond.
struct Number {
    bool read = false; // there were digits
    std::int32_t value = 0;
    bool beyond = false; // the digits, sign aside, make more than INT32_MAX
};

Number ReadNumber(std::string_view text) {
    while (!text.empty() && std::string_view(" \t\n\v\f\r").find(text.front()) != std::string_view::npos) {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    constexpr std::uint64_t CAP = std::uint64_t{1} << 40; // far past either end of the range
    std::uint64_t digits = 0;
    Number number;
    for (; !text.empty() && text.front() >= '0' && text.front() <= '9'; text.remove_prefix(1)) {
        number.read = true;
        digits = std::min(CAP, digits * 10 + static_cast<std::uint64_t>(text.front() - '0'));
    }
    constexpr auto MOST = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    number.beyond = digits > MOST;
    if (negative) {
        number.value = digits > MOST ? std::numeric_limits<std::int32_t>::min() : -static_cast<std::int32_t>(digits);
    } else {
        number.value = static_cast<std::int32_t>(std::min(digits, MOST));
    }
    return number;
}

std::string WithoutAngles(std::string_view item) {
    std::string text;
    for (const char c : item) {
        if (c != '<' && c != '>') {
            text += c;
        }
    }
    return text;
}

// One non-list item, "<" to ">": its format, count and description, read in
// the steps of the item header rule. count comes in as it was at the "<".
// False when the item cannot be read.
bool ReadItem(std::string_view item, std::int32_t& format, std::int32_t& count, std::string& description,
              bool& clamped) {
    const std::string text = WithoutAngles(item);
    const std::size_t square = text.find('[');
    const std::size_t squareEnd = text.find(']');
    const bool hasSquare = square != std::string::npos;
    if (hasSquare != (squareEnd != std::string::npos)) {
        return false;
    }
    if (!hasSquare) {
        count = 1;
        const std::size_t space = text.find(' ');
        format = FormatOfCode(std::string_view(text).substr(0, space));
        description = space == std::string::npos ? "" : std::string(TrimSpace(std::string_view(text).substr(space)));
        return format >= 0;
    }
    const std::string_view code = TrimTrailingSpace(std::string_view(text).substr(0, square));
    format = FormatOfCode(code);
    if (format < 0) {
        return false;
    }
    std::string_view rest = std::string_view(text).substr(code.size());
    const std::string_view counted = rest.substr(0, rest.find(']') + 1);
    rest.remove_prefix(counted.size());
    if (counted == "[N]" || counted == "[n]") {
        count = OPEN_COUNT;
    } else if (counted.front() == '[') {
        if (const Number number = ReadNumber(counted.substr(1)); number.read) {
            count = number.value;
            clamped = number.value == std::numeric_limits<std::int32_t>::max() ||
                      number.value == std::numeric_limits<std::int32_t>::min();
        }
    }
    description = std::string(TrimSpace(rest));
    return true;
}

// The item body, taken from the front one step at a time: "<L" opens a list,
// "<" an item, ">" closes a list, "[" skips to its "]", anything else is
// passed over.
bool ScanBody(std::string_view rest, ParseTree& tree) {
    while (!rest.empty() && !tree.Overflowed()) {
        if (rest.starts_with("<L>")) {
            tree.OpenList(false);
            tree.CloseList();
            rest.remove_prefix(3);
        } else if (rest.starts_with("<L[")) {
            const std::size_t end = rest.find(']', 3);
            if (end == std::string_view::npos) {
                return false;
            }
            const std::string_view inside = TrimSpace(rest.substr(3, end - 3));
            tree.OpenList(inside == "N" || inside == "n" || ReadNumber(inside).value == OPEN_COUNT);
            rest.remove_prefix(end + 1);
        } else if (rest.starts_with("<L")) {
            tree.OpenList(false);
            rest.remove_prefix(2);
        } else if (rest.front() == '<') {
            const std::size_t end = rest.find('>');
            if (end == std::string_view::npos) {
                return false;
            }
            std::int32_t format = -1;
            std::int32_t count = 0;
            std::string description;
            bool clamped = false;
            if (!ReadItem(rest.substr(0, end + 1), format, count, description, clamped)) {
                return false;
            }
            rest.remove_prefix(end + 1);
            if (format == VARIANT) {
                tree.AddVariant(description);
                continue;
            }
            tree.numberClamped = tree.numberClamped || clamped;
            if (format != LIST) {
                tree.AddItem(format, count, description);
            }
        } else if (rest.front() == '>') {
            tree.CloseList();
            rest.remove_prefix(1);
        } else if (rest.front() == '[') {
            const std::size_t end = rest.find(']');
            if (end == std::string_view::npos) {
                return false;
            }
            rest.remove_prefix(end + 1);
        } else {
            rest.remove_prefix(1);
        }
    }
    return !tree.Overflowed();
}
} // namespace

// Where accepted statements go: each is built into the document as soon
// as it is read.
class StatementSink {
public:
    StatementSink(ParseTree& tree, MessageBuilder& builder) : tree_(tree), builder_(builder) {}
    // The tree the next statement is read into.
    ParseTree& Tree() { return tree_; }
    // The statement in Tree() is a message.
    void Accept() { builder_.BuildMessage(tree_); }

private:
    ParseTree& tree_;
    MessageBuilder& builder_;
};

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
    // The comment rules, the first that fits: "/*" and "*/" both on the line
    // leave out what lies from the one to the other; "/*" alone opens a
    // comment that hides the rest of the line and the lines after it; "*/"
    // closes such a comment; any other line within one is hidden whole, and
    // "//" cuts off the rest of a line outside one. False when nothing is
    // left of the line.
    bool RemoveComments(std::string_view& line) {
        enum class Rule { LEAVE_OUT, OPEN, CLOSE, OTHER };
        const std::size_t opening = line.find("/*");
        const std::size_t closing = line.find("*/");
        Rule rule = Rule::OTHER;
        if (opening != std::string_view::npos) {
            rule = closing != std::string_view::npos ? Rule::LEAVE_OUT : Rule::OPEN;
        } else if (closing != std::string_view::npos && inBlockComment_) {
            rule = Rule::CLOSE;
        }
        switch (rule) {
        case Rule::LEAVE_OUT:
            joined_ = std::string(line.substr(0, opening)) + std::string(line.substr(closing + 2));
            joinedGap_ = {opening, closing + 2 - opening};
            line = joined_;
            break;
        case Rule::OPEN:
            inBlockComment_ = true;
            commentLine_ = lineNumber_;
            commentColumn_ = opening + 1;
            hiddenLines_ = 0;
            line.remove_suffix(line.size() - opening);
            break;
        case Rule::CLOSE:
            inBlockComment_ = false;
            line.remove_prefix(closing + 2);
            break;
        case Rule::OTHER:
            if (inBlockComment_) {
                ++hiddenLines_;
                return false;
            }
            line = line.substr(0, line.find("//"));
            break;
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
        } else if (hasText) {
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
        pieces_.push_back({statement_.size(), lineNumber_, ColumnOf(part.data())});
        // A part of the line joined around a comment continues after it.
        if (part.data() >= joined_.data() && part.data() < joined_.data() + joined_.size()) {
            const auto at = static_cast<std::size_t>(part.data() - joined_.data());
            if (at < joinedGap_.first && at + part.size() > joinedGap_.first) {
                pieces_.push_back(
                    {statement_.size() + joinedGap_.first - at, lineNumber_, joinedGap_.first + joinedGap_.second + 1});
            }
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
    : builder_(document, std::move(onMessage)) {}

ReadResult ReferenceReader::ReadFormatBytes(std::string_view bytes) {
    ReadResult result;
    std::istringstream in{std::string(bytes)};
    StatementSink sink(tree_, builder_);
    StatementCollector collector(*this, result, sink);
    LineReader lines(in, LineReader::LetterCase::UPPER);
    std::span<char> line;
    std::size_t lineNumber = 0;
    while (lines.Next(line)) {
        ++lineNumber;
        collector.HandleLine(std::string_view(line.data(), line.size()), lineNumber);
    }
    collector.Finish(lineNumber);
    if (!lines.RefusedEncoding().empty()) {
        result = ReadResult{};
        result.status = ReadStatus::OPEN_FAILED;
        result.errorText = ByteOrderMark::RefusalReason(lines.RefusedEncoding());
    } else if (lines.Failed()) {
        result.status = ReadStatus::READ_FAILED;
        result.errorText = "the file could not be read to its end";
    }
    return result;
}

bool ReferenceReader::ParseCollected(std::string& text, std::uint32_t spacings, ParseTree& tree) {
    BracketSpacing::NormaliseBracketsInPlace(text, spacings);
    // A tree serves statement after statement; it starts each one empty. It
    // keeps the statement, which its items' texts point into.
    tree.Clear();
    const std::string_view statement = tree.AdoptStatement(text);
    if (!ParseMessageHeader(statement, tree)) {
        return false;
    }
    const std::size_t firstOpen = statement.find('<');
    if (firstOpen == std::string::npos) {
        return tree.stream != 0;
    }
    return ScanBody(statement.substr(firstOpen), tree);
}

bool ReferenceReader::ParseMessageHeader(std::string_view text, ParseTree& tree) {
    text = TrimSpace(text);
    if (text.empty()) {
        return false;
    }
    std::string_view header = TrimTrailingSpace(text.substr(0, text.find('<')));
    if (header.find('S') == std::string_view::npos || header.find('F') == std::string_view::npos) {
        return false;
    }
    // Characters are taken from the front one at a time until none is left.
    while (!header.empty()) {
        const char first = header.front();
        header.remove_prefix(1);
        if (first == ' ') {
            // The rest is the description, in parentheses or not.
            std::string_view description = TrimSpace(header);
            if (description.starts_with('(')) {
                description.remove_prefix(1);
            }
            if (description.ends_with(')')) {
                description.remove_suffix(1);
            }
            tree.description.assign(description);
            return true;
        }
        if (first == 'S' || first == 'F') {
            const Number number = ReadNumber(header);
            if (!number.read) {
                return false;
            }
            (first == 'S' ? tree.stream : tree.function) = number.value;
            tree.numberClamped = tree.numberClamped || number.beyond;
        } else if (first == 'W') {
            if (tree.replyRequired != 0) {
                return false;
            }
            tree.replyRequired = 1;
        } else if (first != '\'' && !(first >= '0' && first <= '9')) {
            return false;
        }
    }
    return true;
}

} // namespace tqf::reference
