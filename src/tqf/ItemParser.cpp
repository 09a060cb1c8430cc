#include "ItemParser.h"

#include "ByteSearch.h"
#include "Decimal.h"
#include "ItemFormat.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

namespace tqf {

namespace {

// What a count beyond the 32-bit range is kept as; a count of exactly one of
// them is flagged too, and the report then finds that nothing was clamped.
constexpr std::int32_t INT32_MAX_COUNT = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t INT32_MIN_COUNT = std::numeric_limits<std::int32_t>::min();

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when text, upper-cased, is word (which is in capitals).
bool EqualsUpperCased(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (UpperLetter(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

std::string_view TrimTrailingSpace(std::string_view text) {
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

namespace {

// The format of a code or VARIANT word in any letter case, as
// ItemParser::CapitalCodeFormat gives it for capitals; -1 for any other text.
std::int32_t CodeFormat(std::string_view code) {
    constexpr std::size_t LONGEST_WORD = 9; // "UNDEFINED"
    if (code.size() > LONGEST_WORD) {
        return -1;
    }
    char capitals[LONGEST_WORD];
    std::transform(code.begin(), code.end(), capitals, UpperLetter);
    return ItemParser::CapitalCodeFormat(capitals, code.size());
}

} // namespace

std::int32_t ItemParser::FormatCodeFromText(std::string_view text) {
    const std::int32_t format = CodeFormat(text);
    return format < 0 || format == VARIANT ? UNKNOWN_CODE : format;
}

bool ItemParser::IsVariantWord(std::string_view code) { return CodeFormat(code) == VARIANT; }

bool ItemParser::FindItemFormat(std::string_view code, std::int32_t& format) {
    format = CodeFormat(code);
    return format >= 0;
}

namespace {

// The position of the first byte marked in found (a result of FirstBytesEqual
// for the word at offset), or the earlier position kept.
constexpr std::size_t FirstOf(std::uint64_t found, std::size_t offset, std::size_t kept) {
    return std::min(kept, found == 0 ? std::string_view::npos : offset + FirstMarkedByte(found));
}

// Where the characters that split an item first occur in it.
struct ItemMarks {
    std::size_t open = std::string_view::npos;  // "["
    std::size_t close = std::string_view::npos; // "]"
    std::size_t space = std::string_view::npos; // " "
    bool angle = false;                         // "<" or ">"

    // Items are short, and most of their bytes are plain: eight bytes are
    // looked at together, without a call or a branch per byte. A last word
    // that overlaps the one before only finds again what that one found.
    static ItemMarks Of(std::string_view text) {
        ItemMarks marks;
        std::uint64_t angles = 0;
        const auto look = [&marks, &angles](std::uint64_t word, std::size_t offset) {
            marks.open = FirstOf(FirstBytesEqual(word, '['), offset, marks.open);
            marks.close = FirstOf(FirstBytesEqual(word, ']'), offset, marks.close);
            marks.space = FirstOf(FirstBytesEqual(word, ' '), offset, marks.space);
            angles |= FirstBytesEqual(word, '<') | FirstBytesEqual(word, '>');
        };
        const std::size_t size = text.size();
        if (size < sizeof(std::uint64_t)) {
            // The missing bytes are 0, which is none of the bytes sought.
            look(LoadShortWord(text.data(), size), 0);
        } else {
            std::size_t i = 0;
            for (; i + sizeof(std::uint64_t) <= size; i += sizeof(std::uint64_t)) {
                look(LoadWord(text.data() + i), i);
            }
            if (i < size) {
                look(LoadWord(text.data() + size - sizeof(std::uint64_t)), size - sizeof(std::uint64_t));
            }
        }
        marks.angle = angles != 0;
        return marks;
    }
};

} // namespace

bool ItemParser::ParseItemHeader(std::string_view item, ItemHeader& header) {
    // Without its brackets. An item read by the body scan has "<" in front and
    // ">" at the end only, which a view leaves out without a copy.
    std::string_view text = item;
    if (text.size() >= 2 && text.front() == '<' && text.back() == '>') {
        text = text.substr(1, text.size() - 2);
    }
    ItemMarks marks = ItemMarks::Of(text);
    if (marks.angle) {
        header.scratch.clear();
        for (char c : item) {
            if (c != '<' && c != '>') {
                header.scratch += c;
            }
        }
        text = header.scratch;
        marks = ItemMarks::Of(text);
    }
    if ((marks.open == std::string_view::npos) != (marks.close == std::string_view::npos)) {
        return false;
    }
    if (marks.open != std::string_view::npos) {
        const std::string_view code = TrimTrailingSpace(text.substr(0, marks.open));
        if (!FindItemFormat(code, header.format)) {
            return false;
        }
        // The count part runs from the end of the code to the first "]" (a
        // known code holds none); it holds the count only when it starts with
        // "[" and a number follows, as "[%ld]" reads it.
        std::string_view rest = text.substr(code.size());
        const std::string_view countText = rest.substr(0, marks.close - code.size() + 1);
        if (EqualsUpperCased(countText, "[N]")) {
            header.count = OPEN_COUNT;
        } else if (countText.front() == '[') {
            const DecimalScan scan = ScanDecimal(countText, 1);
            if (scan.hasDigits) {
                header.count = SaturatedInt32(scan);
                header.countClamped =
                    scan.overflow || header.count == INT32_MAX_COUNT || header.count == INT32_MIN_COUNT;
            }
        }
        rest.remove_prefix(countText.size());
        header.description = TrimSpace(rest);
        return true;
    }
    header.count = 1;
    if (!FindItemFormat(text.substr(0, marks.space), header.format)) {
        return false;
    }
    header.description =
        marks.space == std::string_view::npos ? std::string_view{} : TrimSpace(text.substr(marks.space));
    return true;
}

} // namespace tqf
