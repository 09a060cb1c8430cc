#include "SmlLogScan.h"

#include "SmlParser.h"

#include <algorithm>

namespace tqf::sml {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsQuote(char c) { return c == '\'' || c == '"'; }

// A header "S1F3", "S1F3W", "'S1F3'" or "'S1F3W'" at i: the place after it.
std::optional<std::size_t> HeaderAt(std::string_view text, std::size_t i, std::size_t end) {
    const char quote = i < end && IsQuote(text[i]) ? text[i] : '\0';
    if (quote != '\0') {
        ++i;
    }
    const auto digits = [&] {
        const std::size_t first = i;
        while (i < end && IsDigit(text[i])) {
            ++i;
        }
        return i > first;
    };
    if (i >= end || Upper(text[i]) != 'S' || !(++i, digits()) || i >= end || Upper(text[i]) != 'F' ||
        !(++i, digits())) {
        return std::nullopt;
    }
    if (i < end && Upper(text[i]) == 'W' && !(i + 1 < end && IsWordByte(text[i + 1]))) {
        ++i;
    }
    if (quote != '\0') {
        if (i >= end || text[i] != quote) {
            return std::nullopt;
        }
        ++i;
    }
    return i;
}

std::size_t SkipBlanks(std::string_view text, std::size_t i, std::size_t end) {
    while (i < end && IsBlank(text[i])) {
        ++i;
    }
    return i;
}

// What may follow a header on its line: the end of the line, W, a comment,
// "<", or a "." that ends the line.
bool BeginsStatement(std::string_view text, std::size_t after, std::size_t lineEnd) {
    const std::size_t i = SkipBlanks(text, after, lineEnd);
    if (i >= lineEnd || text[i] == '<') {
        return true;
    }
    const char next = i + 1 < lineEnd ? text[i + 1] : '\0';
    if (text[i] == '.') {
        return SkipBlanks(text, i + 1, lineEnd) >= lineEnd || text.compare(i + 1, 2, "//") == 0;
    }
    if (text[i] == '/') {
        return next == '*' || next == '/';
    }
    return Upper(text[i]) == 'W' && !IsWordByte(next);
}

// "NAME:" before a header, as in "S1F3QueryPort: 'S1F3' W": where the name
// begins, or the header when there is none.
std::size_t NameStart(std::string_view text, std::size_t lineStart, std::size_t header) {
    std::size_t i = header;
    while (i > lineStart && IsBlank(text[i - 1])) {
        --i;
    }
    if (i == lineStart || text[i - 1] != ':') {
        return header;
    }
    std::size_t name = i - 1;
    while (name > lineStart && IsWordByte(text[name - 1])) {
        --name;
    }
    return name < i - 1 ? name : header;
}

// Where word stands in text, in any letter case; npos when nowhere.
std::size_t FindUpper(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (EqualsUpper(text.substr(i, word.size()), word) && (i == 0 || !IsWordByte(text[i - 1]))) {
            return i;
        }
    }
    return std::string_view::npos;
}

} // namespace

std::optional<LogHeader> FindLogHeader(std::string_view text, std::size_t from, std::size_t lineEnd) {
    std::size_t lineStart = from;
    while (lineStart > 0 && text[lineStart - 1] != '\n') {
        --lineStart;
    }
    for (std::size_t i = from; i < lineEnd; ++i) {
        const bool quoted = IsQuote(text[i]);
        if ((!quoted && Upper(text[i]) != 'S') ||
            (i > lineStart && (IsWordByte(text[i - 1]) || (!quoted && IsQuote(text[i - 1]))))) {
            continue;
        }
        if (const std::optional<std::size_t> end = HeaderAt(text, i, lineEnd);
            end && BeginsStatement(text, *end, lineEnd)) {
            return LogHeader{std::max(from, NameStart(text, lineStart, i)), i, *end};
        }
    }
    return std::nullopt;
}

BodyScan FindBody(std::string_view text, std::size_t headerEnd, bool last, std::size_t& bodyStart) {
    const std::size_t lineEnd = std::min(text.find('\n', headerEnd), text.size());
    std::size_t i = headerEnd;
    bool replyFlag = false;
    while ((i = SkipBlanks(text, i, lineEnd)) < lineEnd) {
        if (text[i] == '<' || text[i] == '.') {
            bodyStart = i;
            return BodyScan::FOUND;
        }
        if (text.compare(i, 2, "/*") == 0 && text.find("*/", i + 2) < lineEnd) {
            i = text.find("*/", i + 2) + 2;
        } else if (!replyFlag && Upper(text[i]) == 'W' && !(i + 1 < lineEnd && IsWordByte(text[i + 1]))) {
            replyFlag = true;
            ++i;
        } else {
            break; // a comment or the log's own text to the end of the line
        }
    }
    i = lineEnd;
    while (i < text.size() && (IsBlank(text[i]) || text[i] == '\n')) {
        ++i;
    }
    if (i >= text.size()) {
        return last ? BodyScan::NONE : BodyScan::MORE;
    }
    bodyStart = i;
    return text[i] == '<' || text[i] == '.' ? BodyScan::FOUND : BodyScan::NONE;
}

Direction DirectionOf(std::string_view line) {
    if (const std::size_t dir = FindUpper(line, "DIR=");
        dir != std::string_view::npos && dir + 5 <= line.size() && !(dir + 5 < line.size() && IsDigit(line[dir + 5]))) {
        if (line[dir + 4] == '1') {
            return Direction::EQUIPMENT_TO_HOST;
        }
        if (line[dir + 4] == '2') {
            return Direction::HOST_TO_EQUIPMENT;
        }
    }
    if (FindUpper(line, "SENT BY HOST") != std::string_view::npos) {
        return Direction::HOST_TO_EQUIPMENT;
    }
    if (FindUpper(line, "SENT BY EQUIPMENT") != std::string_view::npos ||
        FindUpper(line, "RECEIVED") != std::string_view::npos) {
        return Direction::EQUIPMENT_TO_HOST;
    }
    return Direction::ANY;
}

bool NamesMessage(std::string_view text, std::size_t header, std::string_view line) {
    std::size_t i = header + (IsQuote(text[header]) ? 1 : 0);
    const std::size_t start = i;
    i = text.find_first_not_of("0123456789", i + 1); // the stream's digits
    i = text.find_first_not_of("0123456789", i + 1); // the function's
    const std::string_view label = text.substr(start, i - start);
    std::string upper(label);
    std::ranges::transform(upper, upper.begin(), Upper);
    const std::size_t at = FindUpper(line, upper);
    return at != std::string_view::npos && !(at + label.size() < line.size() && IsDigit(line[at + label.size()]));
}

bool LooksLikeLog(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSpace(text[i])) {
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            i = std::min(text.find('\n', i), text.size());
        } else if (text.compare(i, 2, "/*") == 0) {
            i = std::min(text.find("*/", i + 2), text.size() - 2) + 2;
        } else {
            break;
        }
    }
    if (i >= text.size()) {
        return false;
    }
    const std::size_t lineEnd = std::min(text.find('\n', i), text.size());
    // "NAME:" before the header, as a statement may begin.
    const std::size_t mark = text.find_first_of(":<.\n'\"/", i);
    if (mark < lineEnd && text[mark] == ':') {
        i = SkipBlanks(text, mark + 1, lineEnd);
    }
    return !HeaderAt(text, i, lineEnd);
}

} // namespace tqf::sml

namespace tqf::sml {

SmlParser::Scan SmlParser::SkipToHeader(bool last) {
    // The last line skipped, when it is the one before the header: a log
    // may say who sent the message there.
    std::string_view skipped;
    std::size_t skippedLine = 0;
    while (pos_ < text_.size()) {
        const std::size_t lineEnd = std::min(text_.find('\n', pos_), text_.size());
        if (const std::optional<LogHeader> header = FindLogHeader(text_, pos_, lineEnd)) {
            std::size_t body = 0;
            const BodyScan scan = FindBody(text_, header->end, last, body);
            if (scan == BodyScan::MORE) {
                return Scan::MORE;
            }
            if (scan == BodyScan::FOUND) {
                direction_ = DirectionOf(text_.substr(lineStart_, lineEnd - lineStart_));
                if (direction_ == Direction::ANY && skippedLine + 1 == line_ &&
                    NamesMessage(text_, header->header, skipped)) {
                    direction_ = DirectionOf(skipped);
                }
                bodyStart_ = body;
                logHeader_ = header->header;
                pos_ = header->start;
                return Scan::FOUND;
            }
        }
        const std::string_view rest = text_.substr(pos_, lineEnd - pos_);
        if (pos_ == lineStart_ && TrimSpace(rest).size() > 0) {
            ++result_.linesSkipped;
            skipped = rest;
            skippedLine = line_;
        }
        if (lineEnd >= text_.size()) {
            pos_ = text_.size();
            break;
        }
        pos_ = lineEnd;
        NewLine();
    }
    return Scan::END;
}

} // namespace tqf::sml
