#pragma once

#include "ByteSearch.h"
#include "Decimal.h"
#include "ItemFormat.h"

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

    // Scans an item body (the statement from its first "<") into target;
    // false when the statement has to be dropped. The target takes the items
    // as they come, in one pass: OpenList(open), CloseList(),
    // AddItem(format, count, description) for BINARY to FLOAT8 and VARIANT
    // only (the description is a view into body), Overflowed() when it can take no
    // more, and numberClamped.
    template <class Target> [[nodiscard]] static bool ParseBody(std::string_view body, Target& target);

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

    // Reads the item at body[at] ("<" and no "L" after it) when it has the
    // form nearly every item has: "<CODE>", "<CODE[COUNT]>", "<CODE DESCRIPTION>"
    // or "<CODE[COUNT] DESCRIPTION>", a code of capitals and digits, a count of
    // at most nine digits or "N", and a description without "<", "[" or "]".
    // It then reads as ParseItemHeader reads it, in one pass over its bytes,
    // goes to target, and the result is where the item ends; 0 otherwise, and
    // target is left alone.
    template <class Target> static std::size_t ParseCommonItem(std::string_view body, std::size_t at, Target& target);

public:
    // The format a code in capitals stands for: LIST, BINARY to FLOAT8, or
    // VARIANT for "V", "VAR", "VARIANT" and "UNDEFINED"; -1 for any other
    // text. By length and first letter, as most codes differ there already.
    static std::int32_t CapitalCodeFormat(const char* code, std::size_t size) {
        const auto is = [code, size](std::string_view word) { return std::string_view(code, size) == word; };
        switch (size) {
        case 1:
            switch (code[0]) {
            case 'L':
                return LIST;
            case 'B':
                return BINARY;
            case 'A':
                return ASCII;
            case 'J':
                return JIS8;
            case 'V':
                return VARIANT;
            default:
                return -1;
            }
        case 2: {
            const int step = code[1] == '1' ? 0 : code[1] == '2' ? 1 : code[1] == '4' ? 2 : code[1] == '8' ? 3 : -1;
            if (step < 0) {
                return -1;
            }
            switch (code[0]) {
            case 'I':
                return INT1 + step;
            case 'U':
                return UINT1 + step;
            case 'F':
                return step >= 2 ? FLOAT4 + step - 2 : -1;
            case 'J':
                return step == 3 ? JIS8 : -1;
            default:
                return -1;
            }
        }
        case 3:
            return is("VAR") ? VARIANT : -1;
        case 4:
            return is("BOOL") ? BOOLEAN : -1;
        case 7:
            return is("BOOLEAN") ? BOOLEAN : is("VARIANT") ? VARIANT : -1;
        case 9:
            return is("UNDEFINED") ? VARIANT : -1;
        default:
            return -1;
        }
    }
};

template <class Target> std::size_t ItemParser::ParseCommonItem(std::string_view body, std::size_t at, Target& target) {
    const char* const text = body.data();
    const std::size_t size = body.size();
    const auto isCodeByte = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    std::size_t i = at + 1;
    while (i < size && isCodeByte(text[i])) {
        ++i;
    }
    // "L" here is no list: its "<" went to the item before.
    const std::int32_t format = CapitalCodeFormat(text + at + 1, i - at - 1);
    if (format < 0 || format == LIST || i == size) {
        return 0;
    }
    std::int32_t count = 1;
    if (text[i] == '[') {
        ++i;
        if (i + 1 < size && text[i] == 'N' && text[i + 1] == ']') {
            count = OPEN_COUNT;
            i += 2;
        } else {
            constexpr std::size_t MOST_DIGITS = 9; // never beyond 32 bits
            const std::size_t digits = i;
            std::int32_t number = 0;
            while (i < size && i - digits < MOST_DIGITS && text[i] >= '0' && text[i] <= '9') {
                number = number * 10 + (text[i] - '0');
                ++i;
            }
            if (i == digits || i == size || text[i] != ']') {
                return 0;
            }
            count = number;
            ++i;
        }
        if (i == size) {
            return 0;
        }
    }
    std::string_view description;
    if (text[i] == ' ') {
        const std::size_t from = i;
        i += FindFirstOfFour(text + i, size - i, '>', '<', '[', ']');
        if (i == size || text[i] != '>') {
            return 0;
        }
        std::size_t first = from;
        std::size_t end = i;
        while (first < end && IsSpace(text[first])) {
            ++first;
        }
        while (end > first && IsSpace(text[end - 1])) {
            --end;
        }
        description = std::string_view(text + first, end - first);
    } else if (text[i] != '>') {
        return 0;
    }
    target.AddItem(format, count, description);
    return i + 1;
}

template <class Target> bool ItemParser::ParseBody(std::string_view body, Target& target) {
    // The body is consumed from the front by moving an index, never by
    // erasing, so that a long body is scanned in linear time.
    std::size_t pos = 0;
    const std::size_t size = body.size();
    ItemHeader header;
    // A target that cannot take more nodes ends the scan: the statement is
    // too large to read.
    while (pos < size && !target.Overflowed()) {
        const char c = body[pos];
        if (c == '<') {
            std::int32_t count = 0;
            if (pos + 1 < size && body[pos + 1] == 'L') {
                const char third = pos + 2 < size ? body[pos + 2] : '\0';
                if (third == '>') {
                    target.OpenList(false);
                    target.CloseList();
                    pos += 3;
                    continue;
                }
                if (third == '[') {
                    const std::size_t close = body.find(']', pos + 3);
                    if (close == std::string_view::npos) {
                        return false;
                    }
                    const std::string_view inner = TrimSpace(body.substr(pos + 3, close - (pos + 3)));
                    if (inner == "N" || inner == "n") {
                        count = OPEN_COUNT;
                    } else {
                        count = SaturatedInt32(ScanDecimal(inner));
                    }
                    pos = close + 1;
                } else {
                    pos += 2;
                }
                target.OpenList(count == OPEN_COUNT);
                continue;
            }
            if (const std::size_t end = ParseCommonItem(body, pos, target); end != 0) {
                pos = end;
                continue;
            }
            const char* found = FindNearByte(body.data() + pos, size - pos, '>');
            if (found == nullptr) {
                return false;
            }
            const auto close = static_cast<std::size_t>(found - body.data());
            header.count = count;
            header.countClamped = false;
            if (!ParseItemHeader(body.substr(pos, close + 1 - pos), header)) {
                return false;
            }
            pos = close + 1;
            target.numberClamped = target.numberClamped || (header.countClamped && header.format != VARIANT);
            // An item whose code is "L" ("<<L>", the list's "<" lost) is no item.
            if (header.format == VARIANT || (header.format >= BINARY && header.format <= FLOAT8)) {
                target.AddItem(header.format, header.count, header.description);
            }
        } else if (c == '>') {
            target.CloseList();
            ++pos;
        } else if (c == '[') {
            // A "[" between items skips to its "]"; without one the statement
            // cannot be read.
            const std::size_t close = body.find(']', pos);
            if (close == std::string_view::npos) {
                return false;
            }
            pos = close + 1;
        } else {
            ++pos;
        }
    }
    return !target.Overflowed();
}

} // namespace tqf
