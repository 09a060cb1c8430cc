#include "SmlParser.h"

#include "RuleText.h"

#include "DropExplainer.h"
#include "ItemFormat.h"
#include "Labels.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tqf::sml {

namespace {

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

std::optional<std::int32_t> SmlFormat(std::string_view code) {
    if (code.size() > LONGEST_CODE) {
        return std::nullopt;
    }
    // In capitals once, then compared whole with each spelling.
    std::array<char, LONGEST_CODE> capitals{};
    std::ranges::transform(code, capitals.begin(), Upper);
    const std::string_view upper(capitals.data(), code.size());
    for (const CodeEntry& entry : SML_CODES) {
        if (upper == entry.code) {
            return entry.format;
        }
    }
    return std::nullopt;
}

// Simulators write macros where a value goes: "<U4AUTO [1]>", "<NOW[16]>".
// They extend an item code, or take a count as an item does.
bool IsMacro(std::string_view code, char after) {
    if (after == '[') {
        return true;
    }
    return std::ranges::any_of(SML_CODES, [code](const CodeEntry& entry) {
        return code.size() > entry.code.size() && EqualsUpper(code.substr(0, entry.code.size()), entry.code);
    });
}

// The characters of a text in UTF-8: its bytes that do not continue one.
std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool Clamped(const DecimalScan& scan) {
    constexpr std::uint64_t LARGEST = std::numeric_limits<std::int32_t>::max();
    return scan.hasDigits && (scan.overflow || scan.magnitude > LARGEST + (scan.negative ? 1 : 0));
}

bool IsValueWord(std::string_view word, std::int32_t format) {
    const char first = word.front();
    if (IsDigit(first) ||
        ((first == '-' || first == '+' || first == '.') && word.size() > 1 && (IsDigit(word[1]) || word[1] == '.'))) {
        return true;
    }
    return format == BOOLEAN && (EqualsUpper(word, "TRUE") || EqualsUpper(word, "FALSE") || EqualsUpper(word, "T") ||
                                 EqualsUpper(word, "F"));
}

void AppendName(SmlItem& item, std::string_view word) {
    if (!item.name.empty()) {
        item.name += ' ';
    }
    item.name += word;
}

} // namespace

std::string Quoted(std::string_view text) { return '"' + DropExplainer::Quote(text) + '"'; }

bool NeedsMakingSafe(std::string_view text) {
    constexpr std::string_view SPECIAL = ".<[>]/*\r\n";
    return text.find_first_of(SPECIAL) != std::string_view::npos || TrimSpace(text).size() != text.size();
}

void SmlParser::AdvanceTo(std::size_t pos) {
    while (pos_ < pos) {
        if (text_[pos_] == '\n') {
            NewLine();
        } else {
            ++pos_;
        }
    }
}

SmlParser::Stop SmlParser::RunPiece(std::size_t start, std::size_t line, std::size_t lineStart, bool last) {
    pos_ = start;
    line_ = line;
    lineStart_ = lineStart;
    while (true) {
        owner_ = NO_OWNER;
        if (Cancelled()) {
            break;
        }
        if (log_ && SkipToHeader(last) != Scan::FOUND) {
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
            Report(*error);
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

void SmlParser::Report(const SmlError& error) {
    result_.dropped.push_back({error.line, error.column, InMessage(error.reason)});
    if (handler_ != nullptr) {
        handler_->HandleUnreadable(result_.dropped.back());
    }
}

std::string SmlParser::InMessage(std::string reason) const {
    if (!headerRead_) {
        return reason;
    }
    return MakeMessageLabel(stream_, function_, reply_) + ": " + reason;
}

// The steps that every item goes through are defined inline, here where
// they are used, so that the compiler may fold them into their callers: an
// import is measured against reading the .TQF file.

// White space, line ends and comments. A // comment goes to the message or
// item that owns its line.
inline void SmlParser::SkipBlank() {
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

void SmlParser::LineComment() {
    const std::size_t start = pos_ + 2;
    const std::size_t end = std::min(text_.find('\n', start), text_.size());
    pos_ = end;
    // Rules follow a "//@" mark, at the comment's start or after the
    // description; a description never holds "//", which would end it.
    // Only the comment's own line is searched, however long the text.
    constexpr std::string_view MARK = RuleText::MARK;
    const std::string_view line = text_.substr(0, end);
    std::size_t mark = start < end && text_[start] == '@' ? start - 2 : line.find(MARK, start);
    const std::size_t descriptionEnd = mark == std::string_view::npos ? end : std::max(mark, start);
    while (mark != std::string_view::npos) {
        const std::size_t from = mark + MARK.size();
        const std::size_t next = line.find(MARK, from);
        NoteRuleComment(text_.substr(from, std::min(next, end) - from), Column(mark));
        mark = next;
    }
    const std::string_view comment = text_.substr(start, descriptionEnd - start);
    if (owner_ == NO_OWNER || ownerLine_ != line_) {
        return;
    }
    std::string& target = owner_ == HEADER_OWNER ? messageComment_ : items_[owner_].comment;
    if (target.empty()) {
        target.assign(TrimSpace(comment));
    }
}

// A rule comment goes to the message or item whose line it stands on, or,
// on a line of its own, to the last one before it; between statements only
// the dictionary's are read. A check of messages reads no rules.
void SmlParser::NoteRuleComment(std::string_view rule, std::size_t column) {
    if (handler_ != nullptr) {
        return;
    }
    if (owner_ == NO_OWNER) {
        RuleText::Parsed parsed = RuleText::Parse(std::string(RuleText::MARK).append(rule));
        if (!parsed.dictionary) {
            result_.warnings.push_back({line_, column,
                                        parsed.read ? "rule comment belongs to no message or item; left out"
                                                    : "rule comment not read (" + parsed.reason + "); left out"});
            return;
        }
        FormatTree& document = builder_.Document();
        NodeRules rules = parsed.read ? std::move(parsed.rules) : NodeRules();
        if (const NodeRules* held = document.Rules().ForName(parsed.name)) {
            NodeRules more = std::move(rules);
            rules = *held;
            RuleText::Merge(rules, std::move(more));
        }
        document.SetReadDictionaryRules(parsed.name, std::move(rules));
        return;
    }
    ruleComments_.push_back({owner_, line_, column, rule});
}

void SmlParser::BlockComment() {
    const std::size_t close = text_.find("*/", pos_ + 2);
    if (close == std::string_view::npos) {
        const auto hidden =
            static_cast<std::size_t>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(pos_), text_.end(), '\n'));
        result_.warnings.push_back({line_, Column(pos_),
                                    "block comment not closed: it hides " + std::to_string(hidden) +
                                        (hidden == 1 ? " line" : " lines") + " to the end of the file"});
        pos_ = text_.size();
        return;
    }
    AdvanceTo(close);
    pos_ = close + 2;
}

// True when only blanks or a comment follow on this line.
bool SmlParser::AtLineEnd() const {
    std::size_t after = pos_;
    while (after < text_.size() && (text_[after] == ' ' || text_[after] == '\t' || text_[after] == '\r')) {
        ++after;
    }
    return after >= text_.size() || text_[after] == '\n' || text_.compare(after, 2, "//") == 0;
}

// After a statement that cannot be read: on to the "." that ends a line,
// where statements end. In a log, on to the next line, where the scan for
// the next header goes on: a line of other traffic may have cut the
// statement short.
void SmlParser::SkipToStatementEnd() {
    if (log_) {
        AdvanceTo(std::min(text_.find('\n', pos_), text_.size()));
        return;
    }
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
inline std::optional<DecimalScan> SmlParser::Number() {
    if (!IsDigit(Peek()) && !(Peek() == '-' && IsDigit(Peek(1)))) {
        return std::nullopt;
    }
    const std::size_t start = pos_;
    DecimalScan scan = ScanDecimal(text_, pos_);
    pos_ = scan.end;
    if (Clamped(scan)) {
        result_.warnings.push_back({line_, Column(start),
                                    "number " + DropExplainer::Quote(text_.substr(start, pos_ - start)) +
                                        " beyond the 32-bit range, read as " + std::to_string(SaturatedInt32(scan))});
    }
    return scan;
}

std::optional<SmlError> SmlParser::ReadStatement() {
    items_.clear();
    valueTexts_.clear();
    messageName_.clear();
    messageComment_.clear();
    ruleComments_.clear();
    headerRead_ = false;
    statementLine_ = line_;
    statementColumn_ = Column(pos_);
    statementStart_ = pos_;
    // NAME: before the header, on the header's line.
    std::size_t look = pos_;
    while (look < text_.size() && std::string_view(":<.\n'\"/").find(text_[look]) == std::string_view::npos) {
        ++look;
    }
    // In a log the scan found the header, and any name before it.
    if (look < text_.size() && text_[look] == ':' && (!log_ || look < logHeader_)) {
        messageName_.assign(TrimSpace(text_.substr(pos_, look - pos_)));
        pos_ = look + 1;
        SkipBlank();
    }
    owner_ = HEADER_OWNER;
    ownerLine_ = line_;
    if (std::optional<SmlError> error = ReadHeader()) {
        return error;
    }
    headerRead_ = true;
    if (log_) {
        // Text after the header on its line is the log's, not the message's.
        AdvanceTo(std::max(pos_, bodyStart_));
    }
    if (Peek() == '.') {
        return EndStatement();
    }
    if (Peek() != '<') {
        return ErrorHere(AtEnd() ? "unterminated at end of file"
                                 : "expected < or . after the header, not " + Quoted(text_.substr(pos_, 1)));
    }
    return ReadItems();
}

std::optional<SmlError> SmlParser::ReadHeader() {
    const char quote = (Peek() == '\'' || Peek() == '"') ? Peek() : '\0';
    if (quote != '\0') {
        ++pos_;
    }
    if (Upper(Peek()) != 'S') {
        // Simulator scripts hold rules among their messages: "if (...)".
        const std::size_t start = pos_;
        const std::string_view word = Word();
        pos_ = start;
        const std::size_t next = text_.find_first_not_of(" \t", start + word.size());
        if (!word.empty() && IsWordByte(word.front()) && next < text_.size() && text_[next] == '(') {
            return ErrorHere("rule statement " + std::string(word) + " (...) is not a message");
        }
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
    // A log's comment after the header may be cut short: what follows the
    // header on its line is left to the scan that found it.
    const auto skip = [this] {
        if (!log_) {
            SkipBlank();
        }
        while (log_ && (Peek() == ' ' || Peek() == '\t')) {
            ++pos_;
        }
    };
    skip();
    if (!reply && Upper(Peek()) == 'W' && !IsWordByte(Peek(1))) {
        reply = true;
        ++pos_;
        skip();
    }
    stream_ = SaturatedInt32(*stream);
    function_ = SaturatedInt32(*function);
    reply_ = reply;
    return std::nullopt;
}

// The "." that ends the statement, and a comment after it on its line.
std::optional<SmlError> SmlParser::EndStatement() {
    ++pos_;
    while (Peek() == ' ' || Peek() == '\t') {
        ++pos_;
    }
    if (Peek() == '/' && Peek(1) == '/') {
        LineComment();
    }
    return std::nullopt;
}

std::optional<SmlError> SmlParser::ReadItems() {
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
inline std::string_view SmlParser::Word() {
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

inline std::optional<SmlError> SmlParser::ReadItem(int depth, bool leftOut) {
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
    if (std::optional<SmlError> error = ReadCode(item)) {
        return error;
    }
    SkipBlank();
    if (Peek() == '[') {
        if (std::optional<SmlError> error = ReadBracket(item)) {
            return error;
        }
        SkipBlank();
    }
    if (item.format != LIST) {
        return ReadValues(item);
    }
    ReadListCount(item);
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

inline std::optional<SmlError> SmlParser::ReadCode(SmlItem& item) {
    const std::size_t codeStart = pos_;
    while (pos_ < text_.size() && IsWordByte(text_[pos_])) {
        ++pos_;
    }
    const std::string_view code = text_.substr(codeStart, pos_ - codeStart);
    if (code.empty()) {
        return ErrorHere(AtEnd() ? "item not closed at end of file" : "item has no format");
    }
    if (const std::optional<std::int32_t> format = SmlFormat(code)) {
        item.format = *format;
        return std::nullopt;
    }
    SkipBlank();
    const bool macro = IsMacro(code, Peek());
    pos_ = codeStart;
    return ErrorHere((macro ? "simulator macro " : "unknown item format ") + DropExplainer::Quote(code));
}

// "<L k ...>" and "<L n ...>" write a list's count without brackets.
inline void SmlParser::ReadListCount(SmlItem& item) {
    if (item.counted || item.open) {
        return;
    }
    if (const std::optional<DecimalScan> number = Number()) {
        item.counted = true;
        item.count = SaturatedInt32(*number);
        SkipBlank();
    } else if (Upper(Peek()) == 'N' && !IsWordByte(Peek(1))) {
        item.open = true;
        ++pos_;
        SkipBlank();
    }
}

inline std::optional<SmlError> SmlParser::ReadValues(SmlItem& item) {
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

// "[k]" after the code; anything else in the brackets, "[n]" or "[...]" as
// drivers write a length they do not print, is an open count.
inline std::optional<SmlError> SmlParser::ReadBracket(SmlItem& item) {
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
    if (!inside.empty()) {
        pos_ = open + 1;
        while (Peek() == ' ' || Peek() == '\t') {
            ++pos_;
        }
        const std::optional<DecimalScan> number = Number();
        while (Peek() == ' ' || Peek() == '\t') {
            ++pos_;
        }
        if (number && pos_ == close) {
            item.counted = true;
            item.count = SaturatedInt32(*number);
        } else {
            item.open = true;
        }
    }
    pos_ = close + 1;
    return std::nullopt;
}

// True, with the result marked, when the cancel check asks to stop.
bool SmlParser::Cancelled() {
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

} // namespace tqf::sml
