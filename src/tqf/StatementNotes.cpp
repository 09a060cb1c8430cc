#include "StatementNotes.h"

#include "Decimal.h"

namespace tqf {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number of digits at text[at] on.
std::size_t DigitsAt(std::string_view text, std::size_t at) {
    std::size_t count = 0;
    while (at + count < text.size() && IsDigit(text[at + count])) {
        ++count;
    }
    return count;
}

// The value a header gets for a number its letter did not give.
constexpr std::int32_t NO_NUMBER = -1;

} // namespace

std::optional<StatementFinding> StatementNotes::IgnoredAfterEnd(std::string_view line, std::size_t runEnd) {
    if (runEnd >= line.size()) {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(runEnd + 1);
    bool text = false;
    for (const char c : rest) {
        text = text || (c != '.' && !IsSpace(c));
    }
    if (!text) {
        return std::nullopt;
    }
    return StatementFinding{runEnd, "the statement ends at this \".\", and the rest of the line is ignored: " +
                                        DropExplainer::Quote(TrimSpace(rest))};
}

std::optional<StatementFinding> StatementNotes::SwallowedHeader(std::string_view line) {
    // Only tabs and spaces indent a header: the reader looks past no other
    // byte when it picks the lines to ask about.
    std::size_t at = 0;
    while (at < line.size() && (line[at] == '\t' || line[at] == ' ')) {
        ++at;
    }
    const std::size_t start = at;
    if (at < line.size() && line[at] == '\'') {
        ++at;
    }
    if (at >= line.size() || line[at] != 'S') {
        return std::nullopt;
    }
    const std::size_t streamDigits = DigitsAt(line, at + 1);
    const std::size_t f = at + 1 + streamDigits;
    if (streamDigits == 0 || f >= line.size() || line[f] != 'F') {
        return std::nullopt;
    }
    const std::size_t functionDigits = DigitsAt(line, f + 1);
    if (functionDigits == 0) {
        return std::nullopt;
    }
    const std::string_view header = line.substr(at, f + 1 + functionDigits - at);
    return StatementFinding{start, DropExplainer::Quote(header) +
                                       " is read as text of the statement before it, not as a message: that "
                                       "statement did not end before this line"};
}

std::optional<std::string> StatementNotes::MissingNumber(std::int32_t stream, std::int32_t function) {
    if (stream == NO_NUMBER) {
        return "header has no stream number: the message is read with stream -1, which a saved file does not "
               "read back";
    }
    if (function == NO_NUMBER) {
        return "header has no function number: the message is read with function -1, which a saved file does "
               "not read back";
    }
    return std::nullopt;
}

} // namespace tqf
