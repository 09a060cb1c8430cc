#pragma once

#include "ByteSearch.h"
#include "Decimal.h"
#include "ItemFormat.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

namespace item_codes {

// The codes of eight bytes or fewer, each as LoadShortWord reads it,
// in a table of 64 places indexed by a multiplicative hash that puts
// no two in the same place.
struct CodeSlot {
    std::uint64_t code = 0;
    std::int32_t format = -1;
};
struct CodeTable {
    std::uint64_t multiplier = 0;
    std::array<CodeSlot, 64> slots{};
};
constexpr std::uint64_t CodeWord(std::string_view code) {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        word |= std::uint64_t{static_cast<unsigned char>(code[i])} << (8 * i);
    }
    return word;
}
constexpr std::size_t CodeSlotOf(std::uint64_t word, std::uint64_t multiplier) {
    return static_cast<std::size_t>((word * multiplier) >> 58);
}
constexpr CodeTable MakeCodeTable() {
    constexpr std::array<std::pair<std::string_view, std::int32_t>, 20> CODES{{
        {"L", LIST},    {"B", BINARY},    {"A", ASCII},         {"J", JIS8},       {"J8", JIS8},
        {"V", VARIANT}, {"VAR", VARIANT}, {"VARIANT", VARIANT}, {"BOOL", BOOLEAN}, {"BOOLEAN", BOOLEAN},
        {"I1", INT1},   {"I2", INT2},     {"I4", INT4},         {"I8", INT8},      {"U1", UINT1},
        {"U2", UINT2},  {"U4", UINT4},    {"U8", UINT8},        {"F4", FLOAT4},    {"F8", FLOAT8},
    }};
    // Odd multipliers from a simple sequence until one spreads the codes.
    std::uint64_t multiplier = 0x9E3779B97F4A7C15ULL;
    while (true) {
        CodeTable table;
        table.multiplier = multiplier;
        bool spread = true;
        for (const auto& [code, format] : CODES) {
            CodeSlot& slot = table.slots[CodeSlotOf(CodeWord(code), multiplier)];
            spread = spread && slot.format < 0;
            slot = {CodeWord(code), format};
        }
        if (spread) {
            return table;
        }
        multiplier = (multiplier * 6364136223846793005ULL + 1442695040888963407ULL) | 1U;
    }
}
inline constexpr CodeTable CODE_TABLE = MakeCodeTable();

// The format of a code of one to eight bytes given as a word, the
// first byte lowest and the bytes after the code 0; -1 for no code.
inline std::int32_t ShortCodeFormat(std::uint64_t word) {
    const CodeSlot& slot = CODE_TABLE.slots[CodeSlotOf(word, CODE_TABLE.multiplier)];
    return slot.code == word ? slot.format : -1;
}

// The number the 1 to 8 digits at the front of word stand for (the
// first digit lowest, as LoadWord reads them); bytes after them are
// ignored.
inline std::int32_t EightDigitsValue(std::uint64_t word, std::size_t digits) {
    std::uint64_t value = (word & 0x0F0F0F0F0F0F0F0FULL) << (8 * (8 - digits));
    value = (value * 2561) >> 8 & 0x00FF00FF00FF00FFULL;
    value = (value * 6553601) >> 16 & 0x0000FFFF0000FFFFULL;
    return static_cast<std::int32_t>((value * 42949672960001ULL) >> 32);
}

} // namespace item_codes

// Reads the bracket notation of a statement's items.
class ItemParser {
public:
    // The value FormatCodeFromText gives for a text that is no format code.
    static constexpr std::int32_t UNKNOWN_CODE = 16;

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
    // text. A code of up to eight bytes is looked up by its bytes as one
    // word, with no branch on its length or letters.
    static std::int32_t CapitalCodeFormat(const char* code, std::size_t size) {
        if (size == 0 || size > sizeof(std::uint64_t)) {
            return size == 9 && std::string_view(code, size) == "UNDEFINED" ? VARIANT : -1;
        }
        // A word pads a short code with zero bytes, so a code that ends in
        // zero bytes would pass for the shorter one ("A\0" for "A").
        if (code[size - 1] == '\0') {
            return -1;
        }
        return item_codes::ShortCodeFormat(size == sizeof(std::uint64_t) ? LoadWord(code) : LoadShortWord(code, size));
    }
};

namespace item_codes {

// The bytes after an item's "<": how long its code is, and the count's
// digits after it. Where the processor has 16-byte registers, the first 16
// bytes are sorted into capitals and digits at once, so that neither costs
// a branch per byte; what lies beyond them is left to the long way.
class ItemLead {
public:
    ItemLead(const char* text, std::size_t size) : text_(text), size_(size) {
#ifdef __SSE2__
        const __m128i bytes = LoadSixteen(text, size);
        _mm_store_si128(reinterpret_cast<__m128i*>(window_), bytes);
        const auto below = [&bytes](char first, int span) {
            const __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(-128 - first)));
            return static_cast<std::uint32_t>(
                _mm_movemask_epi8(_mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + span)))));
        };
        const std::uint32_t inText = FirstBytesMask(size);
        digits_ = below('0', 10) & inText;
        codeBytes_ = (below('A', 26) & inText) | digits_;
#endif
    }

    // How many capitals and digits the text starts with.
    std::size_t CodeSize() const {
#ifdef __SSE2__
        return static_cast<std::size_t>(__builtin_ctz(~codeBytes_));
#else
        std::size_t n = 0;
        while (n < size_ && ((text_[n] >= 'A' && text_[n] <= 'Z') || (text_[n] >= '0' && text_[n] <= '9'))) {
            ++n;
        }
        return n;
#endif
    }

    // The format of the code of that size; -1 for none, or for one that has
    // to be read the long way.
    std::int32_t CodeFormat(std::size_t codeSize) const {
#ifdef __SSE2__
        if (codeSize == 0 || codeSize > sizeof(std::uint64_t)) {
            return -1;
        }
        std::uint64_t code = 0;
        std::memcpy(&code, window_, sizeof code);
        return ShortCodeFormat(code & (~std::uint64_t{0} >> (8 * (sizeof code - codeSize))));
#else
        return ItemParser::CapitalCodeFormat(text_, codeSize);
#endif
    }

    // The number the digits from offset from on stand for, and how many
    // there are; false when there are none, or too many to read here.
    bool Digits(std::size_t from, std::int32_t& value, std::size_t& count) const {
#ifdef __SSE2__
        count = static_cast<std::size_t>(__builtin_ctz(~(digits_ >> from)));
        if (count == 0 || count > sizeof(std::uint64_t) || from + count >= sizeof window_ / 2) {
            return false;
        }
        std::uint64_t word = 0;
        std::memcpy(&word, window_ + from, sizeof word);
        value = EightDigitsValue(word, count);
#else
        constexpr std::size_t MOST_DIGITS = 9; // never beyond 32 bits
        value = 0;
        count = 0;
        while (from + count < size_ && count < MOST_DIGITS && text_[from + count] >= '0' &&
               text_[from + count] <= '9') {
            value = value * 10 + (text_[from + count] - '0');
            ++count;
        }
#endif
        return count > 0;
    }

private:
    [[maybe_unused]] const char* text_;
    [[maybe_unused]] std::size_t size_;
#ifdef __SSE2__
    alignas(16) char window_[32] = {};
    std::uint32_t digits_ = 0;
    std::uint32_t codeBytes_ = 0;
#endif
};

} // namespace item_codes

template <class Target> std::size_t ItemParser::ParseCommonItem(std::string_view body, std::size_t at, Target& target) {
    const char* const text = body.data();
    const std::size_t size = body.size();
    const item_codes::ItemLead lead(text + at + 1, size - at - 1);
    const std::size_t codeSize = lead.CodeSize();
    const std::int32_t format = lead.CodeFormat(codeSize);
    std::size_t i = at + 1 + codeSize;
    // "L" here is no list: its "<" went to the item before.
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
            std::size_t digits = 0;
            if (!lead.Digits(codeSize + 1, count, digits)) {
                return 0;
            }
            i += digits;
            if (i == size || text[i] != ']') {
                return 0;
            }
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
                    const char* found = FindNearByte(body.data() + pos + 3, size - (pos + 3), ']');
                    if (found == nullptr) {
                        return false;
                    }
                    const auto close = static_cast<std::size_t>(found - body.data());
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
            // White space and stray bytes between items: passed over up to
            // the next byte that means something here.
            pos += 1 + FindFirstOfFour(body.data() + pos + 1, size - pos - 1, '<', '>', '[', '<');
        }
    }
    return !target.Overflowed();
}

} // namespace tqf
