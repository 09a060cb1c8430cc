#include "SmlReader.h"

#include "BlockSupply.h"
#include "ByteOrderMark.h"
#include "Decimal.h"
#include "DropExplainer.h"
#include "InputFile.h"
#include "ItemFormat.h"
#include "MemoryBudget.h"
#include "SmlWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace tqf {

namespace {

// Whether a description holds anything that would not read back from a .TQF
// file, or blanks at an end. Most hold nothing of it, and are kept as they
// are without a copy.
bool NeedsMakingSafe(std::string_view text) {
    constexpr std::string_view SPECIAL = ".<[>]/*\r\n";
    return text.find_first_of(SPECIAL) != std::string_view::npos || TrimSpace(text).size() != text.size();
}

struct CodeEntry {
    std::string_view code;
    std::int32_t format;
};

// The item codes of SML and their usual spellings, in capitals.
constexpr std::array<CodeEntry, 35> SML_CODES{{
    {"L", LIST},        {"LIST", LIST},       {"A", ASCII},       {"ASCII", ASCII}, {"J", JIS8},
    {"J8", JIS8},       {"JIS", JIS8},        {"JIS8", JIS8},     {"B", BINARY},    {"BIN", BINARY},
    {"BINARY", BINARY}, {"BOOLEAN", BOOLEAN}, {"BOOL", BOOLEAN},  {"U1", UINT1},    {"U2", UINT2},
    {"U4", UINT4},      {"U8", UINT8},        {"UINT1", UINT1},   {"UINT2", UINT2}, {"UINT4", UINT4},
    {"UINT8", UINT8},   {"I1", INT1},         {"I2", INT2},       {"I4", INT4},     {"I8", INT8},
    {"INT1", INT1},     {"INT2", INT2},       {"INT4", INT4},     {"INT8", INT8},   {"F4", FLOAT4},
    {"F8", FLOAT8},     {"FLOAT4", FLOAT4},   {"FLOAT8", FLOAT8}, {"V", VARIANT},   {"VARIANT", VARIANT},
}};

constexpr std::size_t LONGEST_CODE = 7;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsWordByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsUpper(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Upper(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

std::optional<std::int32_t> SmlFormat(std::string_view code) {
    if (code.size() > LONGEST_CODE) {
        return std::nullopt;
    }
    for (const CodeEntry& entry : SML_CODES) {
        if (EqualsUpper(code, entry.code)) {
            return entry.format;
        }
    }
    return std::nullopt;
}

// The characters of a text in UTF-8: its bytes that do not continue one.
std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Quoted(std::string_view text) { return '"' + DropExplainer::Quote(text) + '"'; }

bool Clamped(const DecimalScan& scan) {
    constexpr std::uint64_t LARGEST = std::numeric_limits<std::int32_t>::max();
    return scan.hasDigits && (scan.overflow || scan.magnitude > LARGEST + (scan.negative ? 1 : 0));
}

// One item of a statement as SML wrote it, before it becomes a node.
struct SmlItem {
    std::int32_t format = ASCII;
    int depth = 0;
    bool open = false;          // "[n]"
    bool counted = false;       // "[k]", or a number after L
    std::int32_t count = 0;     // k
    std::size_t length = 0;     // the values: characters of texts, or how many
    std::size_t values = 0;     // the values as written
    std::size_t firstValue = 0; // where its values start among the statement's
    std::size_t items = 0;      // a list's sub-items
    bool leftOut = false;       // a second top-level item, or inside one
    std::string name;           // bare words after the code
    std::string comment;        // the // comment on the item's line
    std::size_t line = 0;
    std::size_t column = 0;
};

// Where a statement went wrong.
struct SmlError {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string reason;
    bool atEnd = false; // the input ended inside the statement
    bool ended = false; // the statement's "." has been read already
};

// One pass over the SML text, statement by statement.
class SmlParser {
public:
    SmlParser(std::string_view text, SmlReadResult& result, StatementBuilder& builder,
              const FormatReader::MessageCallback& onMessage)
        : text_(text), result_(result), builder_(builder), onMessage_(onMessage) {}

    void Run() {
        while (true) {
            owner_ = NO_OWNER;
            if (Cancelled()) {
                return;
            }
            SkipBlank();
            if (pos_ >= text_.size()) {
                break;
            }
            if (const std::optional<SmlError> error = ReadStatement()) {
                result_.dropped.push_back({error->line, error->column, error->reason});
                if (handler_ != nullptr) {
                    handler_->HandleUnreadable(result_.dropped.back());
                }
                if (error->atEnd) {
                    break;
                }
                if (!error->ended) {
                    SkipToStatementEnd();
                }
                continue;
            }
            if (handler_ != nullptr) {
                Hand();
            } else {
                Build();
            }
        }
    }

    void SetHandler(SmlStatementHandler* handler) { handler_ = handler; }
    // Where Run starts: the first line's first column.
    void StartAt(std::size_t pos) { pos_ = lineStart_ = pos; }

    // Asked before each statement; reports how far the reading is to
    // bytesRead, the text starting offset bytes into the input.
    void SetCancelCheck(const FormatReader::CancelCheck* check, std::atomic<std::uintmax_t>* bytesRead,
                        std::uintmax_t offset = 0) {
        cancelCheck_ = check;
        bytesRead_ = bytesRead;
        offset_ = offset;
    }

    // Where reading a piece of a longer text stopped: the unread rest begins
    // at pos, on line, whose first byte is at lineStart.
    struct Stop {
        std::size_t pos = 0;
        std::size_t line = 1;
        std::size_t lineStart = 0;
    };

    // Reads the statements of a piece of the text, as Run reads a whole one:
    // the piece starts at a line's start, is read from start on (line being
    // its first line) and ends at a line's end, unless it is the last. A
    // statement that reaches the end of a piece that is not the last is left
    // unread, with any warning it gave, so that it is read whole with the
    // next piece; the answer says where the unread rest begins.
    Stop RunPiece(std::size_t start, std::size_t line, bool last) {
        pos_ = start;
        line_ = line;
        lineStart_ = 0;
        while (true) {
            owner_ = NO_OWNER;
            if (Cancelled()) {
                break;
            }
            const Stop mark{pos_, line_, lineStart_};
            const std::size_t warnings = result_.warnings.size();
            const auto unfinished = [&](bool atEnd) {
                if (last || (!atEnd && pos_ < text_.size())) {
                    return false;
                }
                pos_ = mark.pos;
                line_ = mark.line;
                lineStart_ = mark.lineStart;
                result_.warnings.resize(warnings);
                return true;
            };
            SkipBlank();
            if (pos_ >= text_.size()) {
                unfinished(true);
                break;
            }
            if (const std::optional<SmlError> error = ReadStatement()) {
                if (!error->atEnd && !error->ended) {
                    SkipToStatementEnd();
                }
                if (unfinished(error->atEnd)) {
                    break;
                }
                result_.dropped.push_back({error->line, error->column, error->reason});
                if (handler_ != nullptr) {
                    handler_->HandleUnreadable(result_.dropped.back());
                }
                if (error->atEnd) {
                    break;
                }
                continue;
            }
            if (unfinished(false)) {
                break;
            }
            if (handler_ != nullptr) {
                Hand();
            } else {
                Build();
            }
        }
        return {pos_, line_, lineStart_};
    }

private:
    static constexpr std::size_t NO_OWNER = static_cast<std::size_t>(-1);
    static constexpr std::size_t HEADER_OWNER = static_cast<std::size_t>(-2);

    std::size_t Column(std::size_t pos) const { return pos - lineStart_ + 1; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

    SmlError ErrorHere(std::string reason) const { return {line_, Column(pos_), std::move(reason), AtEnd()}; }

    void NewLine() {
        ++pos_;
        ++line_;
        lineStart_ = pos_;
    }

    // White space, line ends and comments. A // comment goes to the message
    // or item that owns its line.
    void SkipBlank() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                NewLine();
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && Peek(1) == '/') {
                LineComment();
            } else if (c == '/' && Peek(1) == '*') {
                BlockComment();
            } else {
                break;
            }
        }
    }

    void LineComment() {
        const std::size_t start = pos_ + 2;
        std::size_t end = text_.find('\n', start);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        pos_ = end;
        if (owner_ == NO_OWNER || ownerLine_ != line_) {
            return;
        }
        std::string& target = owner_ == HEADER_OWNER ? messageComment_ : items_[owner_].comment;
        if (target.empty()) {
            target.assign(TrimSpace(text_.substr(start, end - start)));
        }
    }

    void BlockComment() {
        const std::size_t close = text_.find("*/", pos_ + 2);
        if (close == std::string_view::npos) {
            const auto hidden = static_cast<std::size_t>(
                std::count(text_.begin() + static_cast<std::ptrdiff_t>(pos_), text_.end(), '\n'));
            result_.warnings.push_back({line_, Column(pos_),
                                        "block comment not closed: it hides " + std::to_string(hidden) +
                                            (hidden == 1 ? " line" : " lines") + " to the end of the file"});
            pos_ = text_.size();
            return;
        }
        while (pos_ < close) {
            if (text_[pos_] == '\n') {
                NewLine();
            } else {
                ++pos_;
            }
        }
        pos_ = close + 2;
    }

    // True when only blanks or a comment follow on this line.
    bool AtLineEnd() const {
        std::size_t after = pos_;
        while (after < text_.size() && (text_[after] == ' ' || text_[after] == '\t' || text_[after] == '\r')) {
            ++after;
        }
        return after >= text_.size() || text_[after] == '\n' || text_.compare(after, 2, "//") == 0;
    }

    // After a statement that cannot be read: on to the "." that ends a line,
    // where statements end.
    void SkipToStatementEnd() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                NewLine();
            } else if (c == '/' && (Peek(1) == '/' || Peek(1) == '*')) {
                if (Peek(1) == '/') {
                    pos_ = std::min(text_.find('\n', pos_), text_.size());
                } else {
                    BlockComment();
                }
            } else if (c == '.') {
                ++pos_;
                if (AtLineEnd()) {
                    return;
                }
            } else {
                ++pos_;
            }
        }
    }

    // A decimal number, optionally signed; nothing when there are no digits.
    std::optional<DecimalScan> Number() {
        if (!IsDigit(Peek()) && !(Peek() == '-' && IsDigit(Peek(1)))) {
            return std::nullopt;
        }
        const std::size_t start = pos_;
        DecimalScan scan = ScanDecimal(text_, pos_);
        pos_ = scan.end;
        if (Clamped(scan)) {
            result_.warnings.push_back({line_, Column(start),
                                        "number " + DropExplainer::Quote(text_.substr(start, pos_ - start)) +
                                            " beyond the 32-bit range, read as " +
                                            std::to_string(SaturatedInt32(scan))});
        }
        return scan;
    }

    std::optional<SmlError> ReadStatement() {
        items_.clear();
        valueTexts_.clear();
        messageName_.clear();
        messageComment_.clear();
        statementLine_ = line_;
        statementColumn_ = Column(pos_);
        // NAME: before the header, on the header's line.
        std::size_t look = pos_;
        while (look < text_.size() && std::string_view(":<.\n'\"/").find(text_[look]) == std::string_view::npos) {
            ++look;
        }
        if (look < text_.size() && text_[look] == ':') {
            messageName_.assign(TrimSpace(text_.substr(pos_, look - pos_)));
            pos_ = look + 1;
            SkipBlank();
        }
        owner_ = HEADER_OWNER;
        ownerLine_ = line_;
        const char quote = (Peek() == '\'' || Peek() == '"') ? Peek() : '\0';
        if (quote != '\0') {
            ++pos_;
        }
        if (Upper(Peek()) != 'S') {
            return ErrorHere(AtEnd() ? "unterminated at end of file" : "header has no stream number");
        }
        ++pos_;
        // A .TQF file reads no sign in a header: numbers are digits only.
        const std::optional<DecimalScan> stream = IsDigit(Peek()) ? Number() : std::nullopt;
        if (!stream) {
            return ErrorHere("header has no stream number");
        }
        if (Upper(Peek()) != 'F') {
            return ErrorHere("header has no function number");
        }
        ++pos_;
        const std::optional<DecimalScan> function = IsDigit(Peek()) ? Number() : std::nullopt;
        if (!function) {
            return ErrorHere("header has no function number");
        }
        bool reply = false;
        if (Upper(Peek()) == 'W' && !IsWordByte(Peek(1))) {
            reply = true;
            ++pos_;
        }
        if (quote != '\0') {
            if (Peek() != quote) {
                return ErrorHere(std::string("header's ") + quote + " not closed");
            }
            ++pos_;
        }
        SkipBlank();
        if (!reply && Upper(Peek()) == 'W' && !IsWordByte(Peek(1))) {
            reply = true;
            ++pos_;
            SkipBlank();
        }
        stream_ = SaturatedInt32(*stream);
        function_ = SaturatedInt32(*function);
        reply_ = reply;
        if (Peek() == '.') {
            return EndStatement();
        }
        if (Peek() != '<') {
            return ErrorHere(AtEnd() ? "unterminated at end of file"
                                     : "expected < or . after the header, not " + Quoted(text_.substr(pos_, 1)));
        }
        return ReadItems();
    }

    // The "." that ends the statement, and a comment after it on its line.
    std::optional<SmlError> EndStatement() {
        ++pos_;
        while (Peek() == ' ' || Peek() == '\t') {
            ++pos_;
        }
        if (Peek() == '/' && Peek(1) == '/') {
            LineComment();
        }
        return std::nullopt;
    }

    std::optional<SmlError> ReadItems() {
        std::vector<std::size_t> lists; // the lists still open
        std::size_t topItems = 0;
        while (true) {
            SkipBlank();
            if (AtEnd()) {
                if (!lists.empty()) {
                    const SmlItem& list = items_[lists.front()];
                    return SmlError{list.line, list.column, "list not closed at end of file", true};
                }
                return SmlError{statementLine_, statementColumn_, "unterminated at end of file", true};
            }
            const char c = Peek();
            if (c == '<') {
                const bool leftOut = lists.empty() ? topItems++ > 0 : items_[lists.back()].leftOut;
                if (std::optional<SmlError> error = ReadItem(static_cast<int>(lists.size()), leftOut)) {
                    return error;
                }
                if (!lists.empty()) {
                    ++items_[lists.back()].items;
                }
                if (items_.back().format == LIST && !listClosed_) {
                    lists.push_back(items_.size() - 1);
                }
            } else if (c == '>') {
                if (lists.empty()) {
                    return ErrorHere("> without <");
                }
                lists.pop_back();
                ++pos_;
            } else if (c == '.' && lists.empty()) {
                return EndStatement();
            } else if (c == '.') {
                return ErrorHere("list not closed before .");
            } else {
                return ErrorHere(lists.empty() ? "expected < or . after the item, not " + Quoted(text_.substr(pos_, 1))
                                               : "unexpected " + Quoted(text_.substr(pos_, 1)) + " in a list");
            }
        }
    }

    // A word: up to white space, a bracket, a quote or a comment.
    std::string_view Word() {
        const std::size_t start = pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (IsSpace(c) || c == '<' || c == '>' || c == '"' || c == '\'' ||
                (c == '/' && (Peek(1) == '/' || Peek(1) == '*'))) {
                break;
            }
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    static bool IsValueWord(std::string_view word, std::int32_t format) {
        const char first = word.front();
        if (IsDigit(first) || ((first == '-' || first == '+' || first == '.') && word.size() > 1 &&
                               (IsDigit(word[1]) || word[1] == '.'))) {
            return true;
        }
        return format == BOOLEAN && (EqualsUpper(word, "TRUE") || EqualsUpper(word, "FALSE") ||
                                     EqualsUpper(word, "T") || EqualsUpper(word, "F"));
    }

    std::optional<SmlError> ReadItem(int depth, bool leftOut) {
        SmlItem& item = items_.emplace_back();
        item.firstValue = valueTexts_.size();
        item.depth = depth;
        item.leftOut = leftOut;
        item.line = line_;
        item.column = Column(pos_);
        owner_ = items_.size() - 1;
        ownerLine_ = line_;
        listClosed_ = false;
        ++pos_;
        SkipBlank();
        const std::size_t codeStart = pos_;
        while (pos_ < text_.size() && IsWordByte(text_[pos_])) {
            ++pos_;
        }
        const std::string_view code = text_.substr(codeStart, pos_ - codeStart);
        if (code.empty()) {
            return ErrorHere(AtEnd() ? "item not closed at end of file" : "item has no format");
        }
        const std::optional<std::int32_t> format = SmlFormat(code);
        if (!format) {
            pos_ = codeStart;
            return ErrorHere("unknown item format " + DropExplainer::Quote(code));
        }
        item.format = *format;
        SkipBlank();
        if (Peek() == '[') {
            if (std::optional<SmlError> error = ReadBracket(item)) {
                return error;
            }
            SkipBlank();
        }
        if (item.format == LIST) {
            if (!item.counted && !item.open) {
                if (const std::optional<DecimalScan> number = Number()) {
                    item.counted = true;
                    item.count = SaturatedInt32(*number);
                    SkipBlank();
                } else if (Upper(Peek()) == 'N' && !IsWordByte(Peek(1))) {
                    // "<L n ...>", as "<L k ...>" writes a fixed count.
                    item.open = true;
                    ++pos_;
                    SkipBlank();
                }
            }
            while (!AtEnd() && (IsWordByte(Peek()) || static_cast<unsigned char>(Peek()) >= 0x80)) {
                AppendName(item, Word());
                SkipBlank();
            }
            if (Peek() == '>') {
                ++pos_;
                listClosed_ = true;
            }
            return std::nullopt;
        }
        while (true) {
            SkipBlank();
            if (AtEnd()) {
                return SmlError{item.line, item.column, "item not closed at end of file", true};
            }
            const char c = Peek();
            if (c == '>') {
                ++pos_;
                return std::nullopt;
            }
            if (c == '<') {
                return SmlError{item.line, item.column, "item not closed: > missing before the next <", false};
            }
            if (c == '"' || c == '\'') {
                const std::size_t close = text_.find_first_of(c == '"' ? "\"\n" : "'\n", pos_ + 1);
                if (close == std::string_view::npos || text_[close] != c) {
                    return ErrorHere("text not closed");
                }
                const std::string_view value = text_.substr(pos_ + 1, close - pos_ - 1);
                item.length += (item.format == ASCII || item.format == JIS8) ? CharacterCount(value) : 1;
                ++item.values;
                NoteValue(value);
                pos_ = close + 1;
                continue;
            }
            const std::string_view word = Word();
            if (word.back() == '.' && AtLineEnd()) {
                // "<U4 1 2." ends the statement with the item still open.
                return SmlError{item.line, item.column, "item not closed: > missing before .", false, true};
            }
            if (IsValueWord(word, item.format)) {
                ++item.length;
                ++item.values;
                NoteValue(word);
            } else {
                AppendName(item, word);
            }
        }
    }

    // The values are kept only while a handler takes the statements, which
    // may check them.
    void NoteValue(std::string_view value) {
        if (handler_ != nullptr) {
            valueTexts_.push_back(value);
        }
    }

    static void AppendName(SmlItem& item, std::string_view word) {
        if (!item.name.empty()) {
            item.name += ' ';
        }
        item.name += word;
    }

    // "[k]" or "[n]" after the code.
    std::optional<SmlError> ReadBracket(SmlItem& item) {
        const std::size_t open = pos_;
        std::size_t close = open + 1;
        while (close < text_.size() && text_[close] != ']' && text_[close] != '>' && text_[close] != '<' &&
               text_[close] != '\n') {
            ++close;
        }
        if (close >= text_.size() || text_[close] != ']') {
            return ErrorHere("[ without ]");
        }
        const std::string_view inside = TrimSpace(text_.substr(open + 1, close - open - 1));
        if (EqualsUpper(inside, "N")) {
            item.open = true;
        } else if (!inside.empty()) {
            pos_ = open + 1;
            while (Peek() == ' ' || Peek() == '\t') {
                ++pos_;
            }
            const std::optional<DecimalScan> number = Number();
            while (Peek() == ' ' || Peek() == '\t') {
                ++pos_;
            }
            if (!number || pos_ != close) {
                pos_ = open;
                return ErrorHere("count " + Quoted(inside) + " in [ ] is not a number");
            }
            item.counted = true;
            item.count = SaturatedInt32(*number);
        }
        pos_ = close + 1;
        return std::nullopt;
    }

    void Note(SmlChange kind, std::size_t line, std::size_t column, std::string reason) {
        result_.changed.push_back({line, column, std::move(reason)});
        ++result_.changeCounts[static_cast<std::size_t>(kind)];
    }

    std::string SafeDescription(std::string text, std::size_t line, std::size_t column) {
        if (!NeedsMakingSafe(text)) {
            return text;
        }
        const std::string before = text;
        if (SmlReader::MakeDescriptionSafe(text)) {
            Note(SmlChange::DESCRIPTION, line, column, "description \"" + before + "\" made safe as \"" + text + '"');
        }
        return text;
    }

    // The tags of a comment that SmlWriter writes; what follows is the
    // description.
    struct Tags {
        bool open = false;
        bool variant = false;
        std::string_view rest;
    };

    // The export writes at most one tag: [n] on a list without a count (or
    // an item [0]), [VARIANT] on an item <A> without count or value.
    // Anywhere else a comment that starts like a tag is a description.
    static Tags ReadTags(const SmlItem& item) {
        Tags tags;
        const std::string_view comment = TrimSpace(item.comment);
        tags.rest = comment;
        const auto starts = [comment](std::string_view tag) {
            return comment.size() >= tag.size() && EqualsUpper(comment.substr(0, tag.size()), tag);
        };
        const bool bare = !item.counted && !item.open;
        // Earlier exports wrote an open item as [0] with the tag [n].
        const bool zero = item.format != LIST && item.counted && item.count == 0;
        if (((item.format == LIST && bare) || zero) && starts("[N]")) {
            tags.open = true;
            tags.rest = TrimSpace(comment.substr(SmlWriter::OPEN_TAG.size()));
        } else if (item.format == ASCII && bare && item.values == 0 && starts(SmlWriter::VARIANT_TAG)) {
            tags.variant = true;
            tags.rest = TrimSpace(comment.substr(SmlWriter::VARIANT_TAG.size()));
        }
        return tags;
    }

    void Build() {
        if (items_.empty() && stream_ == 0) {
            // A .TQF file reads such a message as nothing.
            result_.dropped.push_back(
                {statementLine_, statementColumn_, "stream 0 on a message without items: a .TQF file cannot keep it"});
            return;
        }
        // As in a format file, a message's description may stand in
        // parentheses, which keep the white space at its ends.
        std::string_view comment = TrimSpace(messageComment_);
        if (comment.size() >= 2 && comment.front() == '(' && comment.back() == ')') {
            comment = comment.substr(1, comment.size() - 2);
        }
        const std::string description =
            SafeDescription(std::string(messageName_.empty() ? comment : std::string_view(messageName_)),
                            statementLine_, statementColumn_);
        // The message is built as its items are taken, as the .TQF reader builds.
        builder_.Begin(std::numeric_limits<std::size_t>::max());
        int openDepth = 0;
        for (SmlItem& item : items_) {
            result_.valuesDropped += item.values;
            if (item.leftOut) {
                if (item.depth == 0) {
                    Note(SmlChange::ITEM_LEFT_OUT, item.line, item.column,
                         "second item of the message left out: a message holds one item");
                }
                continue;
            }
            while (openDepth > item.depth) {
                builder_.CloseList();
                --openDepth;
            }
            const Tags tags = ReadTags(item);
            const std::string_view itemDescription = item.name.empty() ? tags.rest : std::string_view(item.name);
            if (item.format == LIST) {
                if (!itemDescription.empty()) {
                    Note(SmlChange::LIST_NAME, item.line, item.column,
                         "list name " + Quoted(itemDescription) + " left out: a .TQF file keeps no list names");
                }
                const bool open = item.open || tags.open;
                if (item.counted && !open && item.count >= 0 && static_cast<std::size_t>(item.count) != item.items) {
                    Note(SmlChange::LIST_COUNT, item.line, item.column,
                         "list declares " + std::to_string(item.count) + " items and holds " +
                             std::to_string(item.items) + ": its count is " + std::to_string(item.items));
                }
                builder_.OpenList(open);
                openDepth = item.depth + 1;
                continue;
            }
            const std::string safe = SafeDescription(std::string(itemDescription), item.line, item.column);
            if (tags.variant || item.format == VARIANT) {
                builder_.AddItem(VARIANT, 0, safe);
                continue;
            }
            std::int32_t count = OPEN_COUNT;
            if (!item.open && !tags.open) {
                bool fixed = true;
                if (item.counted) {
                    count = item.count;
                } else if (item.length > 0) {
                    count = static_cast<std::int32_t>(
                        std::min<std::size_t>(item.length, std::numeric_limits<std::int32_t>::max()));
                } else {
                    count = 0;
                    fixed = item.values > 0; // empty texts only; none at all is open
                }
                // A .TQF file writes a count below 2 without brackets and
                // reads that as 1: an empty or negative count would come
                // back as one value. Open is what keeps its meaning: any
                // number of values, none among them.
                if (fixed && count <= 0) {
                    Note(SmlChange::COUNT, item.line, item.column,
                         (item.counted ? "count " + std::to_string(count) : std::string("empty value")) +
                             " cannot be kept by a .TQF file: the count is open");
                }
                if (count <= 0) {
                    count = OPEN_COUNT;
                }
            }
            if (item.format >= BINARY && item.format <= FLOAT8) {
                builder_.AddItem(item.format, count, safe);
            }
        }
        MessageHeader header;
        header.stream = stream_;
        header.function = function_;
        header.replyRequired = reply_ ? 1 : 0;
        header.description = description;
        FormatNode& message = *builder_.Finish(header);
        ++result_.messagesRead;
        if (onMessage_) {
            onMessage_(message);
        }
    }

    // The statement as it was sent, values counted, to the handler that
    // takes statements in place of the document.
    void Hand() {
        statement_.stream = stream_;
        statement_.function = function_;
        statement_.replyRequired = reply_;
        statement_.line = statementLine_;
        statement_.column = statementColumn_;
        statement_.items.clear();
        statement_.values.assign(valueTexts_.begin(), valueTexts_.end());
        for (const SmlItem& item : items_) {
            SmlStatementItem& sent = statement_.items.emplace_back();
            sent.format = item.format;
            sent.depth = item.depth;
            sent.size = item.format == LIST ? item.items : item.length;
            sent.extra = item.leftOut;
            sent.firstValue = item.firstValue;
            sent.values = item.values;
            sent.line = item.line;
            sent.column = item.column;
        }
        ++result_.messagesRead;
        handler_->HandleStatement(statement_);
    }

    // True, with the result marked, when the cancel check asks to stop.
    bool Cancelled() {
        if (bytesRead_ != nullptr) {
            bytesRead_->store(offset_ + pos_, std::memory_order_relaxed);
        }
        if (cancelCheck_ == nullptr || !*cancelCheck_ || !(*cancelCheck_)()) {
            return false;
        }
        result_.status = ReadStatus::CANCELLED;
        result_.errorText = "the reading was cancelled";
        return true;
    }

    std::string_view text_;
    SmlReadResult& result_;
    StatementBuilder& builder_;
    const FormatReader::MessageCallback& onMessage_;
    const FormatReader::CancelCheck* cancelCheck_ = nullptr;
    std::atomic<std::uintmax_t>* bytesRead_ = nullptr;
    std::uintmax_t offset_ = 0;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t lineStart_ = 0;
    // The message or item whose line a // comment describes.
    std::size_t owner_ = NO_OWNER;
    std::size_t ownerLine_ = 0;
    // The statement being read.
    std::size_t statementLine_ = 0;
    std::size_t statementColumn_ = 0;
    std::int32_t stream_ = 0;
    std::int32_t function_ = 0;
    bool reply_ = false;
    std::string messageName_;
    std::string messageComment_;
    std::vector<SmlItem> items_;
    std::vector<std::string_view> valueTexts_; // of the statement's items, in order
    bool listClosed_ = false;                  // the list just read was "<L>", closed at once
    SmlStatementHandler* handler_ = nullptr;
    SmlStatement statement_; // kept, so that its items' room is reused
};

} // namespace

SmlReader::SmlReader(FormatTree& document, FormatReader::MessageCallback onMessage)
    : document_(document), onMessage_(std::move(onMessage)), builder_(document) {}

bool SmlReader::MakeDescriptionSafe(std::string& text) {
    if (!NeedsMakingSafe(text)) {
        return false;
    }
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        switch (c) {
        case '.':
            safe += ',';
            break;
        case '<':
        case '[':
            safe += '(';
            break;
        case '>':
        case ']':
            safe += ')';
            break;
        case '/':
        case '*':
            // "//", "/*" and "*/" would start or end a comment.
            safe += c;
            if ((c == '/' && (next == '/' || next == '*')) || (c == '*' && next == '/')) {
                safe += ' ';
            }
            break;
        case '\r':
        case '\n':
            safe += ' ';
            break;
        default:
            safe += c;
            break;
        }
    }
    const std::string_view trimmed = TrimSpace(safe);
    const bool changed = trimmed != text;
    text.assign(trimmed);
    return changed;
}

namespace {

// The bytes of a UTF-8 mark at the start of front, which is left out: SML
// is 8-bit text. A UTF-16 or UTF-32 text is refused with the reason, instead
// of being read as statements that all fail.
std::optional<std::size_t> MarkToSkip(std::string_view front, SmlReadResult& result) {
    const ByteOrderMark mark = ByteOrderMark::Of(front.substr(0, std::min<std::size_t>(front.size(), 4)));
    if (mark.refused.empty()) {
        return mark.skip;
    }
    result.status = ReadStatus::OPEN_FAILED;
    result.errorText =
        "it holds " + std::string(mark.refused) + " text, and SML is read as 8-bit text: save it as UTF-8";
    return std::nullopt;
}

// An input without any LF has its lines ended by CR alone, as old Mac
// files do: each CR is read as an LF, byte for byte, so that places stay
// where they are and a // comment ends with its line.
void EndLinesAtCarriageReturns(std::string& text) { std::replace(text.begin(), text.end(), '\r', '\n'); }

} // namespace

SmlReadResult SmlReader::ReadSmlBytes(std::string_view bytes) {
    SmlReadResult result;
    const std::optional<std::size_t> skip = MarkToSkip(bytes, result);
    if (!skip) {
        return result;
    }
    std::string crEnded;
    if (bytes.find('\n') == std::string_view::npos && bytes.find('\r') != std::string_view::npos) {
        crEnded.assign(bytes);
        EndLinesAtCarriageReturns(crEnded);
        bytes = crEnded;
    }
    // Messages appended by someone else since the last read go before the new ones.
    builder_.FindLastMessage();
    SmlParser parser(bytes, result, builder_, onMessage_);
    parser.SetHandler(handler_);
    parser.SetCancelCheck(&cancelCheck_, &bytesRead_);
    parser.StartAt(*skip);
    BesideBlockSupply(bytes.size(), [&parser] { parser.Run(); });
    return result;
}

void SmlReader::BesideBlockSupply(std::uintmax_t size, const std::function<void()>& read) {
    if (handler_ != nullptr || size < BLOCKS_BESIDE_READING_BYTES) {
        read();
        return;
    }
    // A second thread makes the document's next blocks of storage ready
    // while this one reads, as for a .TQF file, so that the building seldom
    // waits for the system to clear fresh memory.
    BlockSupply supply;
    std::atomic<bool> reading{true};
    std::thread blocks;
    try {
        blocks = std::thread([&supply, &reading] {
            constexpr std::size_t BLOCKS_AHEAD = 4;
            constexpr auto PAUSE = std::chrono::microseconds(500);
            while (reading.load(std::memory_order_relaxed)) {
                if (!supply.AddBlock(BLOCKS_AHEAD)) {
                    std::this_thread::sleep_for(PAUSE);
                }
            }
        });
    } catch (const std::system_error&) {
        read(); // no thread to be had: fresh memory as it comes
        return;
    }
    struct Supplied {
        FormatTree& document;
        std::atomic<bool>& reading;
        std::thread& blocks;
        ~Supplied() {
            reading.store(false, std::memory_order_relaxed);
            blocks.join();
            document.SetBlockSupply(nullptr);
        }
    } supplied{document_, reading, blocks};
    document_.SetBlockSupply(&supply);
    read();
}

SmlReadResult SmlReader::ReadSmlStream(std::istream& in) {
    return ReadPieces([&in](char* data, std::size_t size) -> std::optional<std::size_t> {
        in.read(data, static_cast<std::streamsize>(size));
        if (in.bad()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(in.gcount());
    });
}

SmlReadResult SmlReader::ReadPieces(const std::function<std::optional<std::size_t>(char*, std::size_t)>& read) {
    // A piece is read at a time, from the start of the line where the last
    // one stopped to the end of a line: what is held does not grow with the
    // input, only with its longest statement.
    constexpr std::size_t PIECE_BYTES = std::size_t{1} << 20;
    SmlReadResult result;
    std::string piece;
    std::uintmax_t offset = 0; // of the piece's first byte in the input
    std::size_t start = 0;
    std::size_t line = 1;
    bool last = false;
    bool first = true;
    bool readAny = false;
    builder_.FindLastMessage(); // once, not for every piece
    while (!last && result.status == ReadStatus::READ) {
        // Twice as much each time a statement did not fit, so that a long
        // one is not read over and over.
        const std::size_t held = piece.size();
        if (held > LibraryMemoryBudget()) {
            result.status = ReadStatus::TOO_LARGE;
            result.errorText = "a statement is longer than " + std::to_string(LibraryMemoryBudget()) +
                               " bytes, more than a quarter of this computer's memory can hold";
            return result;
        }
        piece.resize(held + std::max(PIECE_BYTES, held));
        // A pipe gives a little at a time: the piece is filled first.
        std::size_t filled = held;
        while (filled < piece.size()) {
            const std::optional<std::size_t> got = read(piece.data() + filled, piece.size() - filled);
            if (!got) {
                result.status = ReadStatus::READ_FAILED;
                result.errorText = "the input could not be read to its end";
                return result;
            }
            if (*got == 0) {
                last = true;
                break;
            }
            filled += *got;
        }
        piece.resize(filled);
        if (first) {
            first = false;
            const std::optional<std::size_t> skip = MarkToSkip(piece, result);
            if (!skip) {
                return result;
            }
            piece.erase(0, *skip);
            offset = *skip;
        }
        const std::size_t lineEnd = last ? piece.size() : piece.rfind('\n') + 1;
        if (lineEnd == 0) {
            continue; // not one whole line yet
        }
        // A piece is read once it holds an LF, or as the last: when the
        // first to be read is the last and holds none, it is the whole input
        // and the input has no LF.
        if (!readAny && last && piece.find('\n') == std::string::npos) {
            EndLinesAtCarriageReturns(piece);
        }
        readAny = true;
        SmlParser parser(std::string_view(piece).substr(0, lineEnd), result, builder_, onMessage_);
        parser.SetHandler(handler_);
        parser.SetCancelCheck(&cancelCheck_, &bytesRead_, offset);
        const auto stop = parser.RunPiece(start, line, last);
        piece.erase(0, stop.lineStart);
        offset += stop.lineStart;
        start = stop.pos - stop.lineStart;
        line = stop.line;
    }
    return result;
}

SmlReadResult SmlReader::ReadSmlFile(const std::filesystem::path& path) {
    SmlReadResult result;
    InputFile file;
    if (!file.Open(path)) {
        result.status = ReadStatus::OPEN_FAILED;
        result.errorText = file.Error();
        return result;
    }
    // A document as large as the file would not fit the memory a library
    // may take: it is refused before it is read.
    if (handler_ == nullptr && file.Size() > LibraryMemoryBudget()) {
        result.status = ReadStatus::TOO_LARGE;
        result.errorText = "the file is larger than " + std::to_string(LibraryMemoryBudget()) +
                           " bytes, more than a quarter of this computer's memory can hold";
        return result;
    }
    // A piece at a time, like a .TQF file, rather than the whole text in
    // fresh memory that the system would have to clear first.
    BesideBlockSupply(file.Size(), [this, &file, &result] {
        result = ReadPieces([&file](char* data, std::size_t size) -> std::optional<std::size_t> {
            const std::size_t got = file.Read(data, size);
            if (!file.Error().empty()) {
                return std::nullopt;
            }
            return got;
        });
        if (result.status == ReadStatus::READ_FAILED) {
            result.errorText = "the file could not be read to its end: " + file.Error();
        }
    });
    return result;
}

std::string SmlReader::ChangeCounts(const SmlReadResult& result) {
    // What one change of each kind is called, and many.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, SML_CHANGE_KINDS> NAMES{{
        {"description made safe", "descriptions made safe"},
        {"list name left out", "list names left out"},
        {"list count set to its items", "list counts set to their items"},
        {"second item left out", "second items left out"},
        {"count made open", "counts made open"},
    }};
    std::string text;
    for (std::size_t kind = 0; kind < SML_CHANGE_KINDS; ++kind) {
        const std::size_t count = result.changeCounts[kind];
        if (count == 0) {
            continue;
        }
        text += text.empty() ? " (" : ", ";
        text += std::to_string(count) + ' ';
        text += count == 1 ? NAMES[kind].first : NAMES[kind].second;
    }
    return text.empty() ? text : text + ')';
}

} // namespace tqf
