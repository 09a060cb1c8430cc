#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tqf {

// The spaces beside brackets that the reader of old took out of a statement
// before it read the items, pass by pass; the reference reader still reads
// that way, and the tests compare the reader with it.
class BracketSpacing {
public:
    // Removes one space next to each bracket, pass by pass, so that "< A [ 10 ] >"
    // reads like "<A[10]>". Tabs are left alone.
    static std::string NormaliseBrackets(std::string_view text);

    // The same, in place. spacings must include every bit that SpacingsIn
    // gives for text; more bits only cost time.
    static void NormaliseBracketsInPlace(std::string& text, std::uint32_t spacings);

    // False when NormaliseBrackets would change nothing: no space touches a bracket.
    static bool NeedsNormalising(std::string_view text);

    // Which of the bracket spacings occur in text, one bit each, and which
    // the two characters c, next form; SpacingsIn ors the latter over all
    // neighbours.
    static std::uint32_t SpacingsIn(std::string_view text);
    static constexpr std::uint32_t SpacingOf(char c, char next) {
        if (c == ' ') {
            return next == '<' ? 1U << 1 : next == '[' ? 1U << 3 : next == '>' ? 1U << 4 : next == ']' ? 1U << 7 : 0U;
        }
        if (next == ' ') {
            return c == '<' ? 1U << 0 : c == '[' ? 1U << 2 : c == '>' ? 1U << 5 : c == ']' ? 1U << 6 : 0U;
        }
        return 0;
    }
};

} // namespace tqf
