#pragma once

#include "ParseTree.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tqf {

// The spacings next to brackets that the reader removes, each with the
// bracket it leaves, in the order the passes remove them.
inline constexpr std::array<std::pair<std::string_view, char>, 8> BRACKET_SPACINGS{{
    {"< ", '<'},
    {" <", '<'},
    {"[ ", '['},
    {" [", '['},
    {" >", '>'},
    {"> ", '>'},
    {"] ", ']'},
    {" ]", ']'},
}};

// What one non-list item "<code[count] description>" says. The description
// is a view into the item's text, or into scratch when the item had to be
// rewritten first; it lives as long as both.
struct ItemHeader {
    ItemHeader() = default;
    ItemHeader(const ItemHeader&) = delete;
    ItemHeader& operator=(const ItemHeader&) = delete;

    std::int32_t format = 0;
    std::int32_t count = 0;
    std::string_view description;
    std::string scratch;
    bool countClamped = false; // the count was beyond the 32-bit range
};

// Reads the bracket notation of a statement's items.
class ItemParser {
public:
    // The value FormatCodeFromText gives for a text that is no format code.
    static constexpr std::int32_t UNKNOWN_CODE = 16;

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

    // Scans an item body (the statement from its first "<") into tree; false
    // when the statement has to be dropped.
    [[nodiscard]] static bool ParseBody(std::string_view body, ParseTree& tree);

    // Splits one non-list item "<...>" into format, count and description;
    // false when the item is not readable. The description is a view into
    // item (or into header's scratch), so item has to outlive its use.
    [[nodiscard]] static bool ParseItemHeader(std::string_view item, ItemHeader& header);

    // The format a code of the file stands for (LIST, BINARY to FLOAT8), or
    // UNKNOWN_CODE. Letter case does not matter.
    static std::int32_t FormatCodeFromText(std::string_view text);

    // True for the words that stand for VARIANT: "V", "UNDEFINED", "VAR", "VARIANT".
    static bool IsVariantWord(std::string_view code);

private:
    static bool FindItemFormat(std::string_view code, std::int32_t& format);
    static void AddItem(ParseTree& tree, const ItemHeader& header);
};

} // namespace tqf
