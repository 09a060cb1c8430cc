#include "NodeSearch.h"

#include "Labels.h"

#include <cstddef>

namespace tqf {

namespace {

// Numbers longer than this cannot be a stream or function of any message;
// reading stops growing them so that nothing overflows.
constexpr std::int64_t NUMBER_CEILING = std::int64_t{1} << 40;
constexpr std::int64_t DECIMAL_BASE = 10;
constexpr char CASE_BIT = 0x20;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpperAscii(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }
char ToLowerAscii(char c) { return IsUpperAscii(c) ? static_cast<char>(c | CASE_BIT) : c; }
char ToUpperAscii(char c) { return IsLowerAscii(c) ? static_cast<char>(c & ~CASE_BIT) : c; }
bool IsLetter(char c, char upper) { return c == upper || c == static_cast<char>(upper | CASE_BIT); }
constexpr unsigned char LAST_ASCII = 0x7F;
// Letters of other scripts arrive as bytes beyond ASCII and count as word
// characters, so that a word never ends inside one.
bool IsWordByte(char c) {
    return IsDigit(c) || IsUpperAscii(c) || IsLowerAscii(c) || c == '_' || static_cast<unsigned char>(c) > LAST_ASCII;
}

std::size_t SkipSpaces(std::string_view text, std::size_t at) {
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    return at;
}

// Reads the digits at `at`; false when there are none.
bool ReadNumber(std::string_view text, std::size_t& at, std::int64_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && IsDigit(text[at])) {
        if (value < NUMBER_CEILING) {
            value = value * DECIMAL_BASE + (text[at] - '0');
        }
        ++at;
    }
    return at > start;
}

// The message label forms: an optional "S", the stream, "F" or blanks, the
// function, an optional "W"; blanks around each part, letters in either case.
bool ReadMessageLabelForm(std::string_view text, std::int64_t& stream, std::int64_t& function) {
    std::size_t at = SkipSpaces(text, 0);
    if (at < text.size() && IsLetter(text[at], 'S')) {
        at = SkipSpaces(text, at + 1);
    }
    if (!ReadNumber(text, at, stream)) {
        return false;
    }
    const std::size_t afterStream = at;
    at = SkipSpaces(text, at);
    if (at < text.size() && IsLetter(text[at], 'F')) {
        at = SkipSpaces(text, at + 1);
    } else if (at == afterStream) {
        // "611" is a number, not a stream and a function.
        return false;
    }
    if (!ReadNumber(text, at, function)) {
        return false;
    }
    at = SkipSpaces(text, at);
    if (at < text.size() && IsLetter(text[at], 'W')) {
        at = SkipSpaces(text, at + 1);
    }
    return at == text.size();
}

// The next node in document order after node, or none after the last.
const FormatNode* NextInOrder(const FormatNode* node, const FormatNode* root) {
    if (node->FirstChild() != nullptr) {
        return node->FirstChild();
    }
    while (node != root) {
        if (node->NextSibling() != nullptr) {
            return node->NextSibling();
        }
        node = node->Parent();
    }
    return nullptr;
}

// The message that holds node (a message holds itself), or none for the root.
const FormatNode* MessageOf(const FormatNode* node, const FormatNode* root) {
    if (node == nullptr || node == root) {
        return nullptr;
    }
    while (node->Parent() != nullptr && node->Parent() != root) {
        node = node->Parent();
    }
    return node;
}

FormatNode* Mutable(const FormatNode* node) {
    // Every node handed back belongs to the document the caller gave as
    // root, which it may change.
    return const_cast<FormatNode*>(node);
}

} // namespace

NodeSearch::NodeSearch(std::string_view text, SearchOptions options) : text_(text), options_(options) {
    folded_.reserve(text_.size());
    for (const char c : text_) {
        folded_.push_back(options_.matchCase ? c : ToLowerAscii(c));
    }
    isMessageLabel_ = ReadMessageLabelForm(text_, stream_, function_);
}

bool NodeSearch::MatchesAt(std::string_view haystack, std::size_t at) const {
    const std::size_t length = folded_.size();
    std::size_t k = 1;
    if (options_.matchCase) {
        while (k < length && haystack[at + k] == folded_[k]) {
            ++k;
        }
    } else {
        while (k < length && ToLowerAscii(haystack[at + k]) == folded_[k]) {
            ++k;
        }
    }
    if (k != length) {
        return false;
    }
    if (!options_.wholeWord) {
        return true;
    }
    // The text's own ends decide nothing: "S6F11" as a whole word is found
    // in "S6F11 W", and " W" in "S6F11 W" too.
    const bool startsWord = !IsWordByte(folded_.front()) || at == 0 || !IsWordByte(haystack[at - 1]);
    const std::size_t end = at + length;
    const bool endsWord = !IsWordByte(folded_.back()) || end == haystack.size() || !IsWordByte(haystack[end]);
    return startsWord && endsWord;
}

bool NodeSearch::ContainsText(std::string_view haystack) const {
    const std::size_t length = folded_.size();
    if (length == 0 || length > haystack.size()) {
        return false;
    }
    // Candidates start with the first letter (in either case unless the case
    // must match); only those are compared further.
    const char lower = folded_[0];
    const char upper = options_.matchCase ? lower : ToUpperAscii(lower);
    const std::size_t last = haystack.size() - length;
    for (std::size_t i = 0; i <= last; ++i) {
        const char c = haystack[i];
        if ((c == lower || c == upper) && MatchesAt(haystack, i)) {
            return true;
        }
    }
    return false;
}

bool NodeSearch::MatchesMessage(const FormatNode& message) const {
    const std::optional<MessageLabelFields> fields = ReadMessageLabel(message.Label());
    return fields && fields->stream == stream_ && fields->function == function_;
}

bool NodeSearch::Matches(const FormatNode& node) const {
    if (isMessageLabel_) {
        return node.IsMessage() && MatchesMessage(node);
    }
    return ContainsText(node.Label()) || ContainsText(node.Description());
}

SearchResult NodeSearch::FindNext(FormatNode* root, const FormatNode* current) const {
    if (root == nullptr || IsEmpty()) {
        return {};
    }
    if (isMessageLabel_) {
        // Only messages can match: walk the messages, not their items.
        const FormatNode* message = MessageOf(current, root);
        const FormatNode* start = message != nullptr ? message->NextSibling() : root->FirstChild();
        for (const FormatNode* m = start; m != nullptr; m = m->NextSibling()) {
            if (MatchesMessage(*m)) {
                return {Mutable(m), false};
            }
        }
        if (message == nullptr) {
            return {};
        }
        for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
            if (MatchesMessage(*m)) {
                return {Mutable(m), true};
            }
            if (m == message) {
                break;
            }
        }
        return {};
    }
    const FormatNode* start = current != nullptr ? NextInOrder(current, root) : NextInOrder(root, root);
    for (const FormatNode* n = start; n != nullptr; n = NextInOrder(n, root)) {
        if (Matches(*n)) {
            return {Mutable(n), false};
        }
    }
    if (current == nullptr) {
        return {};
    }
    for (const FormatNode* n = NextInOrder(root, root); n != nullptr; n = NextInOrder(n, root)) {
        if (Matches(*n)) {
            return {Mutable(n), true};
        }
        if (n == current) {
            break;
        }
    }
    return {};
}

SearchResult NodeSearch::FindPrevious(FormatNode* root, const FormatNode* current) const {
    if (root == nullptr || IsEmpty()) {
        return {};
    }
    // Sibling links run one way only: one walk forward notes the last match
    // before current and the last match from current on, which is where a
    // backward search lands after wrapping.
    const FormatNode* before = nullptr;
    const FormatNode* fromCurrent = nullptr;
    if (isMessageLabel_) {
        const FormatNode* message = MessageOf(current, root);
        // With no current node everything lies at or after it.
        bool atOrAfter = message == nullptr;
        for (const FormatNode* m = root->FirstChild(); m != nullptr; m = m->NextSibling()) {
            // A message comes before its own items.
            if (m == message && message == current) {
                atOrAfter = true;
            }
            if (MatchesMessage(*m)) {
                (atOrAfter ? fromCurrent : before) = m;
            }
            if (m == message) {
                atOrAfter = true;
            }
        }
    } else {
        bool atOrAfter = current == nullptr;
        for (const FormatNode* n = NextInOrder(root, root); n != nullptr; n = NextInOrder(n, root)) {
            if (n == current) {
                atOrAfter = true;
            }
            if (Matches(*n)) {
                (atOrAfter ? fromCurrent : before) = n;
            }
        }
    }
    if (before != nullptr) {
        return {Mutable(before), false};
    }
    if (fromCurrent != nullptr) {
        return {Mutable(fromCurrent), current != nullptr};
    }
    return {};
}

} // namespace tqf
