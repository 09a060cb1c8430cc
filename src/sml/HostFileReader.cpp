#include "HostFileReader.h"

#include "ItemFormat.h"
#include "RuleText.h"
#include "StatementBuilder.h"

#include <charconv>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace tqf {

namespace {

bool IsWordByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    return upper;
}

// Where a statement went wrong.
struct Refusal {
    std::size_t at = 0;
    std::string reason;
};

// One pass over the file, statement by statement.
class HostParser {
public:
    HostParser(std::string_view text, FormatTree& document, HostReadResult& result)
        : text_(text), document_(document), result_(result), builder_(document) {}

    void Run() {
        builder_.FindLastMessage();
        while (SkipBlankAndComments()) {
            if (text_.substr(pos_, 7) == "#define") {
                Define();
                continue;
            }
            const std::size_t start = pos_;
            if (std::optional<Refusal> refusal = Statement()) {
                builder_.Discard();
                const auto [line, column] = Place(refusal->at);
                result_.dropped.push_back({line, column, "not read: " + refusal->reason});
                // On after the statement's end.
                const std::size_t end = text_.find('.', std::max(refusal->at, start));
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            }
        }
    }

private:
    // Skips white space and "*" comment lines; false at the end.
    bool SkipBlankAndComments() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++pos_;
            } else if (c == '*' && AtLineStart(pos_)) {
                const std::size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else {
                return true;
            }
        }
        return false;
    }

    bool AtLineStart(std::size_t at) const {
        while (at > 0 && (text_[at - 1] == ' ' || text_[at - 1] == '\t')) {
            --at;
        }
        return at == 0 || text_[at - 1] == '\n';
    }

    std::pair<std::size_t, std::size_t> Place(std::size_t at) const {
        std::size_t line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < at && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        return {line, at - lineStart + 1};
    }

    void SkipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }

    std::string_view Word() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsWordByte(text_[pos_])) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    void Define() {
        pos_ += 7;
        SkipSpace();
        const std::string name = Upper(Word());
        SkipSpace();
        const std::size_t at = pos_;
        const std::string_view value = Word();
        std::int64_t number = 0;
        if (name.empty() ||
            std::from_chars(value.data(), value.data() + value.size(), number).ptr != value.data() + value.size() ||
            value.empty()) {
            const auto [line, column] = Place(at);
            result_.dropped.push_back({line, column, "not read: #define gives a name a number"});
        } else {
            defines_[name] = number;
        }
        const std::size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    }

    // A number, or a name #define gave one.
    std::optional<std::int64_t> Number() {
        const std::string_view word = Word();
        std::int64_t number = 0;
        if (!word.empty() &&
            std::from_chars(word.data(), word.data() + word.size(), number).ptr == word.data() + word.size()) {
            return number;
        }
        const auto found = defines_.find(Upper(word));
        return found != defines_.end() ? std::optional<std::int64_t>(found->second) : std::nullopt;
    }

    std::optional<Refusal> Statement() {
        const std::size_t start = pos_;
        const std::string header = Upper(Word());
        MessageHeader parsed;
        if (!FormatReaderHeader(header, parsed)) {
            return Refusal{start, "a statement starts with its message, such as S1F2 or S1F1W"};
        }
        builder_.Begin(SIZE_MAX / 2);
        rules_.clear();
        itemCount_ = 0;
        NodeRules messageRules;
        std::string description;
        while (true) {
            SkipSpace();
            if (pos_ >= text_.size()) {
                return Refusal{start, "the statement has no \".\""};
            }
            const char c = text_[pos_];
            if (c == '=') {
                ++pos_;
                SkipSpace();
                description = std::string(Word());
            } else if (c == '<' || c == '.') {
                break;
            } else {
                const std::size_t at = pos_;
                const std::string word = Upper(Word());
                if (word == "INPUT" || word == "OUTPUT") {
                    messageRules.direction =
                        word == "INPUT" ? Direction::EQUIPMENT_TO_HOST : Direction::HOST_TO_EQUIPMENT;
                } else {
                    return Refusal{at, "unknown word " + std::string(word.empty() ? text_.substr(at, 1) : word)};
                }
            }
        }
        if (text_[pos_] == '<') {
            if (std::optional<Refusal> refusal = Item(0)) {
                return refusal;
            }
            SkipSpace();
        }
        if (pos_ >= text_.size() || text_[pos_] != '.') {
            return Refusal{pos_, "\".\" expected after the message's item"};
        }
        ++pos_;
        parsed.description = description;
        FormatNode* message = builder_.Finish(parsed);
        ++result_.messagesRead;
        if (messageRules.Constrains()) {
            document_.SetReadRules(message, std::move(messageRules));
        }
        AttachItemRules(message);
        return std::nullopt;
    }

    static bool FormatReaderHeader(const std::string& header, MessageHeader& parsed) {
        std::size_t at = 0;
        const auto number = [&header, &at](std::int32_t& into) {
            const auto [end, error] = std::from_chars(header.data() + at, header.data() + header.size(), into);
            const bool ok = error == std::errc() && end != header.data() + at;
            at = static_cast<std::size_t>(end - header.data());
            return ok;
        };
        if (header.size() < 4 || header[at++] != 'S' || !number(parsed.stream) || at >= header.size() ||
            header[at++] != 'F' || !number(parsed.function)) {
            return false;
        }
        if (at < header.size() && header[at] == 'W') {
            parsed.replyRequired = 1;
            ++at;
        }
        return at == header.size() && parsed.stream >= 1 && parsed.stream <= 127 && parsed.function >= 0 &&
               parsed.function <= 255;
    }

    // "<FORMAT [count] = Name items>".
    std::optional<Refusal> Item(int depth) {
        const std::size_t start = pos_;
        ++pos_;
        SkipSpace();
        const std::size_t codeAt = pos_;
        const std::string code = Upper(Word());
        std::optional<std::int32_t> format =
            code == "V" ? std::optional<std::int32_t>(VARIANT) : RuleText::FormatOfCode(code);
        if (code == "J") {
            format = JIS8;
        }
        if (!format) {
            return Refusal{codeAt, "unknown item format " + code};
        }
        SkipSpace();
        std::optional<std::int64_t> fixed;
        std::optional<CountRange> range;
        if (std::optional<Refusal> refusal = Count(fixed, range)) {
            return refusal;
        }
        SkipSpace();
        std::string description;
        if (pos_ < text_.size() && text_[pos_] == '=') {
            ++pos_;
            SkipSpace();
            description = std::string(Word());
            SkipSpace();
        }
        const std::size_t index = ++itemCount_;
        if (range) {
            NodeRules rules;
            rules.count = range;
            rules_.emplace_back(index, std::move(rules));
        }
        if (*format == LIST) {
            builder_.OpenList(range.has_value());
            while (true) {
                SkipSpace();
                if (pos_ >= text_.size()) {
                    return Refusal{start, "list not closed"};
                }
                if (text_[pos_] == '>') {
                    break;
                }
                if (text_[pos_] != '<') {
                    return Refusal{pos_, "\"<\" or \">\" expected in a list"};
                }
                if (std::optional<Refusal> refusal = Item(depth + 1)) {
                    return refusal;
                }
            }
            ++pos_;
            builder_.CloseList();
            return std::nullopt;
        }
        if (pos_ >= text_.size() || text_[pos_] != '>') {
            return Refusal{pos_, "\">\" expected: values and other words in an item are not read"};
        }
        ++pos_;
        const bool text = *format == ASCII || *format == JIS8 || *format == BINARY;
        const std::int32_t count = fixed                                 ? static_cast<std::int32_t>(*fixed)
                                   : range || text || *format == VARIANT ? (*format == VARIANT ? 0 : OPEN_COUNT)
                                                                         : 1;
        builder_.AddItem(*format, count, description);
        return std::nullopt;
    }

    // "[k]", "[MAX k]" or neither, k a number or a name #define gave one.
    std::optional<Refusal> Count(std::optional<std::int64_t>& fixed, std::optional<CountRange>& range) {
        if (pos_ < text_.size() && text_[pos_] == '[') {
            ++pos_;
            SkipSpace();
            const std::size_t at = pos_;
            const bool most =
                Upper(text_.substr(pos_, 3)) == "MAX" && pos_ + 3 < text_.size() && !IsWordByte(text_[pos_ + 3]);
            if (most) {
                pos_ += 3;
                SkipSpace();
            }
            const std::optional<std::int64_t> number = Number();
            SkipSpace();
            if (!number || *number < 0 || *number > INT32_MAX || pos_ >= text_.size() || text_[pos_] != ']') {
                return Refusal{at, "a count is [k], [MAX k] or [NAME] of a #define"};
            }
            ++pos_;
            if (most) {
                range = CountRange{0, *number};
            } else {
                fixed = *number;
            }
        }
        return std::nullopt;
    }

    // The count rules of the items, by their number in file order.
    void AttachItemRules(FormatNode* message) {
        std::size_t index = 0;
        auto next = rules_.begin();
        FormatNode* node = message->FirstChild();
        while (node != nullptr && next != rules_.end()) {
            ++index;
            if (next->first == index) {
                document_.SetReadRules(node, std::move(next->second));
                ++next;
            }
            FormatNode* following = node->FirstChild();
            for (FormatNode* up = node; following == nullptr && up != message; up = up->Parent()) {
                following = up->NextSibling();
            }
            node = following;
        }
    }

    std::string_view text_;
    FormatTree& document_;
    HostReadResult& result_;
    StatementBuilder builder_;
    std::size_t pos_ = 0;
    std::map<std::string, std::int64_t> defines_;
    std::vector<std::pair<std::size_t, NodeRules>> rules_;
    std::size_t itemCount_ = 0;
};

} // namespace

HostReadResult HostFileReader::Read(std::string_view text) {
    HostReadResult result;
    HostParser parser(text, document_, result);
    parser.Run();
    return result;
}

} // namespace tqf
