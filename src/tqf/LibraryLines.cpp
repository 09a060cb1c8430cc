#include "LibraryLines.h"

#include <algorithm>
#include <string>

namespace tqf {

namespace {

// What a line holds once the reader has taken its comments away: up to two
// pieces, before and after a comment within the line. A block comment may
// stay open into the following lines.
struct LineText {
    std::string_view before;
    std::string_view after;
};

LineText WithoutComments(std::string_view line, bool& inBlockComment) {
    const std::size_t open = line.find("/*");
    const std::size_t close = line.find("*/");
    if (open != std::string_view::npos && close != std::string_view::npos) {
        return {line.substr(0, open), close > open ? line.substr(close + 2) : std::string_view()};
    }
    if (open != std::string_view::npos) {
        inBlockComment = true;
        return {line.substr(0, open), {}};
    }
    if (close != std::string_view::npos && inBlockComment) {
        inBlockComment = false;
        return {line.substr(close + 2), {}};
    }
    if (inBlockComment) {
        return {};
    }
    return {line.substr(0, line.find("//")), {}};
}

// Text that may be a header: more than blanks and the ends of lists and statements.
bool HasText(std::string_view text) { return text.find_first_not_of(" \t\r\f\v>.") != std::string_view::npos; }

} // namespace

LibraryLines::LibraryLines(std::string_view bytes, const FormatNode* library,
                           const std::vector<std::size_t>& messageLines) {
    // For each line, 1-based: the index of its first "<" among all of the
    // file's, whether any text is left once comments are gone, and whether
    // some of it comes before the line's first "<".
    std::vector<std::size_t> firstOpen(1, 0);
    std::vector<bool> hasText(1, false);
    std::vector<bool> leadsWithText(1, false);
    std::vector<std::size_t> opens; // the line of each "<"
    bool inBlockComment = false;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        const LineText text = WithoutComments(bytes.substr(start, end - start), inBlockComment);
        const std::size_t line = firstOpen.size();
        firstOpen.push_back(opens.size());
        hasText.push_back(HasText(text.before) || HasText(text.after));
        const std::string_view lead = text.before.substr(0, text.before.find('<'));
        leadsWithText.push_back(HasText(lead) || (lead.size() == text.before.size() && HasText(text.after)));
        for (const std::string_view piece : {text.before, text.after}) {
            opens.insert(opens.end(), static_cast<std::size_t>(std::ranges::count(piece, '<')), line);
        }
        start = end + 1;
    }
    const std::size_t lineCount = firstOpen.size() - 1;
    firstOpen.push_back(opens.size());
    std::size_t previousEnd = 0; // the line of the previous message's "."
    std::size_t index = 0;
    std::vector<const FormatNode*> items;
    for (const FormatNode* message = library->FirstChild(); message != nullptr && index < messageLines.size();
         message = message->NextSibling(), ++index) {
        const std::size_t dotLine = std::min(messageLines[index], lineCount);
        if (dotLine <= previousEnd) {
            break;
        }
        items.clear();
        // The message's items in the order they are written.
        for (const FormatNode* node = message->FirstChild(); node != nullptr;) {
            items.push_back(node);
            if (node->FirstChild() != nullptr) {
                node = node->FirstChild();
                continue;
            }
            while (node != message && node->NextSibling() == nullptr) {
                node = node->Parent();
            }
            node = node == message ? nullptr : node->NextSibling();
        }
        const std::size_t from = firstOpen[previousEnd + 1];
        const std::size_t to = firstOpen[dotLine + 1];
        std::size_t headerLine = dotLine;
        if (!items.empty() && to - from >= items.size()) {
            // A statement dropped before this one may have left its own "<"
            // in between: the message's are the last ones.
            const std::size_t first = to - items.size();
            for (std::size_t i = 0; i < items.size(); ++i) {
                lines_[items[i]] = opens[first + i];
            }
            headerLine = opens[first];
        }
        // The header stands before the first item, or the ".", on its line
        // or above.
        for (std::size_t above = headerLine - 1; !leadsWithText[headerLine] && above > previousEnd; --above) {
            if (hasText[above]) {
                headerLine = above;
                break;
            }
        }
        lines_[message] = headerLine;
        previousEnd = dotLine;
    }
}

std::size_t LibraryLines::LineOf(const FormatNode* node) const {
    const auto found = lines_.find(node);
    return found == lines_.end() ? 0 : found->second;
}

} // namespace tqf
