#include "RuleText.h"

#include "ItemFormat.h"

#include <algorithm>
#include <charconv>

namespace tqf {

namespace {

constexpr std::string_view DICTIONARY = "dictionary";
constexpr std::string_view CLAUSE_SEPARATOR = "; ";

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
               return upper(x) == upper(y);
           });
}

bool IsBareNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == '+';
}

std::string_view DirectionWord(Direction direction) {
    switch (direction) {
    case Direction::HOST_TO_EQUIPMENT:
        return "H->E";
    case Direction::EQUIPMENT_TO_HOST:
        return "E->H";
    case Direction::BOTH:
        return "both";
    case Direction::ANY:
        break;
    }
    return {};
}

std::string RangeText(std::int64_t low, std::int64_t high) {
    return low == high ? std::to_string(low) : std::to_string(low) + ".." + std::to_string(high);
}

std::string CountText(const CountRange& count) {
    if (count.min == count.max) {
        return std::to_string(count.min);
    }
    return (count.min != 0 ? std::to_string(count.min) : std::string()) + ".." +
           (count.max != CountRange::NO_MAX ? std::to_string(count.max) : std::string());
}

// Packs clauses into lines that stay short: a clause that does not fit goes
// to a line of its own; a list of values is split among lines where needed.
class LinePacker {
public:
    explicit LinePacker(std::string prefix) : prefix_(std::move(prefix)) {}
    void Clause(const std::string& clause) {
        if (!line_.empty() && line_.size() + CLAUSE_SEPARATOR.size() + clause.size() >= RuleText::MAX_LINE_BYTES) {
            End();
        }
        line_ += line_.empty() ? prefix_ : std::string(CLAUSE_SEPARATOR);
        line_ += clause;
    }
    // "values a b c", split into several clauses of the same kind.
    void ListClause(std::string_view keyword, const std::vector<std::string>& words) {
        std::string clause(keyword);
        for (const std::string& word : words) {
            const std::size_t room = RuleText::MAX_LINE_BYTES - prefix_.size() - 1;
            if (clause.size() > keyword.size() && clause.size() + 1 + word.size() >= room) {
                Clause(clause);
                clause = keyword;
            }
            clause += ' ';
            clause += word;
        }
        Clause(clause);
    }
    std::vector<std::string> Finish() {
        End();
        return std::move(lines_);
    }

private:
    void End() {
        if (!line_.empty()) {
            lines_.push_back(std::move(line_));
            line_.clear();
        }
    }
    std::string prefix_;
    std::string line_;
    std::vector<std::string> lines_;
};

// The words of a rule line: bare words, quoted texts (unescaped) and ";".
struct Token {
    enum class Kind { WORD, TEXT, SEPARATOR } kind = Kind::WORD;
    std::string text;
    std::size_t column = 0;
};

bool Tokenize(std::string_view line, std::size_t from, std::vector<Token>& tokens, RuleText::Parsed& parsed) {
    std::size_t at = from;
    while (at < line.size()) {
        const char c = line[at];
        if (c == ' ' || c == '\t') {
            ++at;
        } else if (c == ';' || c == ':') {
            tokens.push_back({Token::Kind::SEPARATOR, std::string(1, c), at + 1});
            ++at;
        } else if (c == '"') {
            Token token{Token::Kind::TEXT, {}, at + 1};
            ++at;
            while (at < line.size() && line[at] != '"') {
                if (line[at] != '\\') {
                    token.text += line[at++];
                    continue;
                }
                const char escaped = at + 1 < line.size() ? line[at + 1] : '\0';
                unsigned value = 0;
                if ((escaped == '"' || escaped == '\\')) {
                    token.text += escaped;
                    at += 2;
                } else if (escaped == 'x' && at + 3 < line.size() &&
                           std::from_chars(line.data() + at + 2, line.data() + at + 4, value, 16).ptr ==
                               line.data() + at + 4) {
                    token.text += static_cast<char>(value);
                    at += 4;
                } else {
                    parsed.column = at + 1;
                    parsed.reason = "unknown escape in a text";
                    return false;
                }
            }
            if (at >= line.size()) {
                parsed.column = token.column;
                parsed.reason = "text not closed";
                return false;
            }
            ++at;
            tokens.push_back(std::move(token));
        } else {
            const std::size_t start = at;
            while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != ';' && line[at] != '"' &&
                   line[at] != ':') {
                ++at;
            }
            tokens.push_back({Token::Kind::WORD, std::string(line.substr(start, at - start)), start + 1});
        }
    }
    return true;
}

std::optional<std::int64_t> Integer(std::string_view text) {
    std::int64_t value = 0;
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "a..b", "a", and, where open ends are allowed, "..b", "a.." and "..".
bool ReadRange(std::string_view word, bool openEnds, std::int64_t& low, std::int64_t& high, bool& noHigh) {
    noHigh = false;
    const std::size_t dots = word.find("..");
    if (dots == std::string_view::npos) {
        const std::optional<std::int64_t> value = Integer(word);
        low = high = value.value_or(0);
        return value.has_value();
    }
    const std::string_view first = word.substr(0, dots);
    const std::string_view second = word.substr(dots + 2);
    const std::optional<std::int64_t> a = first.empty() && openEnds ? std::optional<std::int64_t>(0) : Integer(first);
    std::optional<std::int64_t> b = Integer(second);
    if (second.empty() && openEnds) {
        noHigh = true;
        b = 0;
    }
    low = a.value_or(0);
    high = b.value_or(0);
    return a && b && (noHigh || low <= high);
}

class ClauseReader {
public:
    ClauseReader(RuleText::Parsed& parsed, const std::vector<Token>& tokens) : parsed_(parsed), tokens_(tokens) {}

    // The clause of tokens [begin, end); false with the reason set.
    bool Read(std::size_t begin, std::size_t end) {
        if (begin == end) {
            return Fail(begin < tokens_.size() ? tokens_[begin].column : 0, "empty rule");
        }
        const Token& keyword = tokens_[begin];
        const std::size_t first = begin + 1;
        NodeRules& rules = parsed_.rules;
        if (keyword.kind != Token::Kind::WORD) {
            return Fail(keyword.column, "a rule starts with its name");
        }
        if (SameWord(keyword.text, "formats")) {
            for (std::size_t i = first; i < end; ++i) {
                const std::optional<std::int32_t> format = RuleText::FormatOfCode(tokens_[i].text);
                if (tokens_[i].kind != Token::Kind::WORD || !format) {
                    return Fail(tokens_[i].column, "not a format: " + tokens_[i].text);
                }
                if (rules.AllowsFormat(*format) && !rules.formats.empty()) {
                    return Fail(tokens_[i].column, "format given twice: " + tokens_[i].text);
                }
                rules.formats.push_back(*format);
            }
            return first < end || Fail(keyword.column, "formats without a format");
        }
        if (SameWord(keyword.text, "count")) {
            CountRange count;
            bool noHigh = false;
            if (end != first + 1 || tokens_[first].kind != Token::Kind::WORD ||
                !ReadRange(tokens_[first].text, true, count.min, count.max, noHigh) || count.min < 0) {
                return Fail(end > first ? tokens_[first].column : keyword.column, "a count is N, A..B, ..B or A..");
            }
            count.max = noHigh ? CountRange::NO_MAX : count.max;
            rules.count = count;
            return true;
        }
        if (SameWord(keyword.text, "values")) {
            for (std::size_t i = first; i < end; ++i) {
                if (tokens_[i].kind == Token::Kind::TEXT) {
                    rules.texts.push_back(tokens_[i].text);
                    continue;
                }
                ValueRange range;
                bool noHigh = false;
                if (tokens_[i].kind != Token::Kind::WORD ||
                    !ReadRange(tokens_[i].text, false, range.low, range.high, noHigh)) {
                    return Fail(tokens_[i].column, "a value is a number, A..B or a quoted text");
                }
                rules.values.push_back(range);
            }
            return first < end || Fail(keyword.column, "values without a value");
        }
        if (SameWord(keyword.text, "optional") && end == first) {
            rules.optional = true;
            return true;
        }
        if (SameWord(keyword.text, "reply") && end == first + 1 && SameWord(tokens_[first].text, "optional")) {
            rules.replyOptional = true;
            return true;
        }
        if (SameWord(keyword.text, "direction") && end == first + 1) {
            for (const Direction d : {Direction::HOST_TO_EQUIPMENT, Direction::EQUIPMENT_TO_HOST, Direction::BOTH}) {
                if (SameWord(tokens_[first].text, DirectionWord(d))) {
                    rules.direction = d;
                    return true;
                }
            }
            return Fail(tokens_[first].column, "a direction is H->E, E->H or both");
        }
        return Fail(keyword.column, "unknown rule: " + keyword.text);
    }

    bool Fail(std::size_t column, std::string reason) {
        parsed_.column = column;
        parsed_.reason = std::move(reason);
        return false;
    }

private:
    RuleText::Parsed& parsed_;
    const std::vector<Token>& tokens_;
};

} // namespace

std::string RuleText::FormatList(const std::vector<std::int32_t>& formats) {
    std::string text;
    for (const std::int32_t format : formats) {
        text += text.empty() ? "" : " ";
        text += FormatCode(format);
    }
    return text;
}

std::optional<std::int32_t> RuleText::FormatOfCode(std::string_view code) {
    for (std::int32_t format = 0; format < FORMAT_ROW_COUNT; ++format) {
        if (IsItemFormat(format) && SameWord(code, FormatCode(format))) {
            return format;
        }
    }
    return std::nullopt;
}

std::string RuleText::Quoted(std::string_view text) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte >= 0x7F || c == '*') {
            quoted += "\\x";
            quoted += HEX[byte >> 4];
            quoted += HEX[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::vector<std::string> RuleText::Lines(const NodeRules& rules, std::string_view name) {
    std::string prefix = std::string(MARK) + ' ';
    if (!name.empty()) {
        const bool bare = std::ranges::all_of(name, IsBareNameByte);
        prefix += std::string(DICTIONARY) + ' ' + (bare ? std::string(name) : Quoted(name)) + ": ";
    }
    LinePacker packer(prefix);
    if (!rules.formats.empty()) {
        packer.Clause("formats " + FormatList(rules.formats));
    }
    if (rules.count) {
        packer.Clause("count " + CountText(*rules.count));
    }
    if (!rules.values.empty() || !rules.texts.empty()) {
        std::vector<std::string> words;
        for (const ValueRange& range : rules.values) {
            words.push_back(RangeText(range.low, range.high));
        }
        for (const std::string& text : rules.texts) {
            words.push_back(Quoted(text));
        }
        packer.ListClause("values", words);
    }
    if (rules.optional) {
        packer.Clause("optional");
    }
    if (rules.replyOptional) {
        packer.Clause("reply optional");
    }
    if (rules.direction != Direction::ANY) {
        packer.Clause("direction " + std::string(DirectionWord(rules.direction)));
    }
    std::vector<std::string> lines = packer.Finish();
    lines.insert(lines.end(), rules.unreadLines.begin(), rules.unreadLines.end());
    return lines;
}

RuleText::Parsed RuleText::Parse(std::string_view line) {
    Parsed parsed;
    std::vector<Token> tokens;
    if (!IsRuleLine(line) || !Tokenize(line, MARK.size(), tokens, parsed)) {
        return parsed;
    }
    std::size_t at = 0;
    if (!tokens.empty() && tokens[0].kind == Token::Kind::WORD && SameWord(tokens[0].text, DICTIONARY)) {
        if (tokens.size() < 3 || tokens[1].kind == Token::Kind::SEPARATOR || tokens[2].kind != Token::Kind::SEPARATOR ||
            tokens[2].text != ":") {
            parsed.column = tokens[0].column;
            parsed.reason = "a dictionary entry is: dictionary NAME: RULES";
            return parsed;
        }
        parsed.dictionary = true;
        parsed.name = tokens[1].text;
        at = 3;
    }
    ClauseReader reader(parsed, tokens);
    while (true) {
        std::size_t end = at;
        while (end < tokens.size() && tokens[end].kind != Token::Kind::SEPARATOR) {
            ++end;
        }
        if (end < tokens.size() && tokens[end].text != ";") {
            reader.Fail(tokens[end].column, "unexpected \":\"");
            return parsed;
        }
        if (!reader.Read(at, end)) {
            if (parsed.column == 0) {
                parsed.column = line.size() + 1;
            }
            return parsed;
        }
        if (end >= tokens.size()) {
            break;
        }
        at = end + 1;
    }
    if (parsed.dictionary && (parsed.rules.replyOptional || parsed.rules.direction != Direction::ANY)) {
        reader.Fail(tokens[0].column, "a dictionary entry has no reply or direction rule");
        return parsed;
    }
    parsed.read = true;
    return parsed;
}

void RuleText::Merge(NodeRules& into, NodeRules&& more) {
    for (const std::int32_t format : more.formats) {
        if (std::ranges::find(into.formats, format) == into.formats.end()) {
            into.formats.push_back(format);
        }
    }
    if (more.count) {
        into.count = more.count;
    }
    into.values.insert(into.values.end(), more.values.begin(), more.values.end());
    for (std::string& text : more.texts) {
        into.texts.push_back(std::move(text));
    }
    into.optional = into.optional || more.optional;
    into.replyOptional = into.replyOptional || more.replyOptional;
    if (more.direction != Direction::ANY) {
        into.direction = more.direction;
    }
    for (std::string& line : more.unreadLines) {
        into.unreadLines.push_back(std::move(line));
    }
}

std::string RuleText::Summary(const NodeRules& rules) {
    std::string text;
    const std::vector<std::string> lines = Lines(rules);
    for (const std::string& line : lines) {
        if (line.size() > MARK.size() + 1 && !rules.unreadLines.empty() &&
            std::ranges::find(rules.unreadLines, line) != rules.unreadLines.end()) {
            continue;
        }
        text += text.empty() ? "" : "; ";
        text += line.substr(MARK.size() + 1);
    }
    return text;
}

} // namespace tqf
