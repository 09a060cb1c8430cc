#pragma once

#include "FormatNode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tqf {

// What one search found: the node, or none, and whether the search passed
// the end (or, backwards, the beginning) of the document on its way to it.
struct SearchResult {
    FormatNode* node = nullptr;
    bool wrapped = false;
};

// How a text is compared: letters in their exact case, and only where the
// text stands as a whole word (not inside a longer one).
struct SearchOptions {
    bool matchCase = false;
    bool wholeWord = false;
};

// A text the user looks for in the document. A text written as a message
// label ("S6F11", "s6f11", "S6F11W", "6 11", "S6 F11") finds the messages of
// that stream and function, with or without a reply flag; any other text
// finds the messages and items whose label or description holds it, letters
// compared without regard to case (ASCII letters; other bytes as they are)
// unless the options ask for the exact case or whole words. A word is a run
// of letters, digits, underscores and bytes beyond ASCII.
//
// Searches run in document order (a node, its sub-nodes, then its next
// sibling), also through collapsed nodes, start next to the given node and
// wrap around; the starting node itself is the last one looked at.
class NodeSearch {
public:
    explicit NodeSearch(std::string_view text, SearchOptions options = {});

    bool IsEmpty() const { return text_.empty(); }
    // True when the text is written as a message label.
    bool IsMessageLabel() const { return isMessageLabel_; }
    std::int64_t Stream() const { return stream_; }
    std::int64_t Function() const { return function_; }

    bool Matches(const FormatNode& node) const;

    // The first match after current in document order, wrapping around to
    // the first node; current none starts at the first node.
    SearchResult FindNext(FormatNode* root, const FormatNode* current) const;

    // The first match before current, going backwards, wrapping around to
    // the last node; current none starts at the last node.
    SearchResult FindPrevious(FormatNode* root, const FormatNode* current) const;

private:
    bool ContainsText(std::string_view haystack) const;
    bool MatchesAt(std::string_view haystack, std::size_t at) const;
    bool MatchesMessage(const FormatNode& message) const;

    std::string text_;
    // The text with its ASCII letters in lower case.
    std::string folded_;
    SearchOptions options_;
    bool isMessageLabel_ = false;
    std::int64_t stream_ = 0;
    std::int64_t function_ = 0;
};

} // namespace tqf
