#include "Labels.h"

#include "Decimal.h"
#include "ItemFormat.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tqf {

namespace {

// How an open count shows in a label.
constexpr std::string_view OPEN_COUNT_TEXT = "[n]";

// "[" and "]" around the longest 32-bit number, "-2147483648".
constexpr std::size_t MAX_COUNT_TEXT = 13;

// The bracketed count of a label, "[12]", written into out; returns its length.
std::size_t WriteBracketedCount(std::int32_t count, char* out) {
    out[0] = '[';
    const std::to_chars_result written = std::to_chars(out + 1, out + MAX_COUNT_TEXT - 1, count);
    *written.ptr = ']';
    return static_cast<std::size_t>(written.ptr + 1 - out);
}

// How many list labels are kept as constants: lists of up to 999 sub-items.
constexpr std::int32_t CONSTANT_LIST_LABELS = 1000;

// "<L[999]>" and its terminating zero.
struct ListLabelBuffer {
    char text[9] = {};
    std::uint8_t length = 0;
};

constexpr std::array<ListLabelBuffer, CONSTANT_LIST_LABELS> MakeListLabelTable() {
    std::array<ListLabelBuffer, CONSTANT_LIST_LABELS> table{};
    for (std::int32_t count = 0; count < CONSTANT_LIST_LABELS; ++count) {
        ListLabelBuffer& entry = table[static_cast<std::size_t>(count)];
        char digits[3] = {};
        int n = 0;
        for (std::int32_t rest = count; n == 0 || rest != 0; rest /= 10) {
            digits[n++] = static_cast<char>('0' + rest % 10);
        }
        std::size_t length = 0;
        entry.text[length++] = '<';
        entry.text[length++] = 'L';
        entry.text[length++] = '[';
        while (n > 0) {
            entry.text[length++] = digits[--n];
        }
        entry.text[length++] = ']';
        entry.text[length++] = '>';
        entry.length = static_cast<std::uint8_t>(length);
    }
    return table;
}

constexpr std::array<ListLabelBuffer, CONSTANT_LIST_LABELS> LIST_LABELS = MakeListLabelTable();

} // namespace

NodeText ConstantListLabel(std::int32_t count) {
    if (count < 0 || count >= CONSTANT_LIST_LABELS) {
        return {};
    }
    const ListLabelBuffer& entry = LIST_LABELS[static_cast<std::size_t>(count)];
    return NodeText::Constant(entry.text).Sub(0, entry.length);
}

NodeText ConstantListLabel(std::string_view label) {
    // "<L>", "<L[n]>" and "<L[" up to three digits "]>", the first digit 0
    // only for 0 itself.
    constexpr std::string_view OPENING = "<L[";
    if (label == "<L>") {
        return NodeText::Constant("<L>");
    }
    if (label == "<L[n]>") {
        return NodeText::Constant("<L[n]>");
    }
    if (label.size() < OPENING.size() + 3 || label.size() > OPENING.size() + 5 || !label.starts_with(OPENING) ||
        !label.ends_with("]>")) {
        return {};
    }
    const std::string_view digits = label.substr(OPENING.size(), label.size() - OPENING.size() - 2);
    if (digits.size() > 1 && digits[0] == '0') {
        return {};
    }
    std::int32_t count = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return {};
        }
        count = count * 10 + (c - '0');
    }
    return ConstantListLabel(count);
}

std::string MakeMessageLabel(std::int32_t stream, std::int32_t function, bool replyRequired) {
    std::string label;
    label.reserve(16);
    label += 'S';
    label += std::to_string(stream);
    label += 'F';
    label += std::to_string(function);
    if (replyRequired) {
        label += 'W';
    }
    return label;
}

std::string MakeItemLabel(int format, std::int32_t count, bool open, std::string_view description) {
    // Every piece is known before the label is put together, so it is built
    // in one allocation: a document holds a label per item, and the reader
    // makes all of them in one go.
    const std::string_view code = FormatCode(format);
    char countText[MAX_COUNT_TEXT];
    std::size_t countLength = 0;
    if (open) {
        countLength = OPEN_COUNT_TEXT.copy(countText, OPEN_COUNT_TEXT.size());
    } else if (count > 1 || format == LIST) {
        countLength = WriteBracketedCount(count, countText);
    }
    const std::string_view separator = description.empty() ? std::string_view{} : std::string_view{"  "};
    std::string label(code.size() + countLength + separator.size() + description.size() + 2, '\0');
    char* out = label.data();
    *out++ = '<';
    out += code.copy(out, code.size());
    out = std::copy_n(countText, countLength, out);
    out += separator.copy(out, separator.size());
    out += description.copy(out, description.size());
    *out = '>';
    return label;
}

std::string ListLabel(std::int32_t count) {
    // Every count a list has fits, with its brackets, in a string's own
    // buffer, so this needs no allocation.
    constexpr std::string_view OPENING = "<L";
    char text[OPENING.size() + MAX_COUNT_TEXT + 1];
    std::size_t length = OPENING.copy(text, OPENING.size());
    length += WriteBracketedCount(count, text + length);
    text[length++] = '>';
    return std::string(text, length);
}

std::optional<MessageLabelFields> ReadMessageLabel(std::string_view label) {
    if (label.empty() || label[0] != 'S') {
        return std::nullopt;
    }
    DecimalScan stream = ScanDecimal(label, 1);
    if (!stream.hasDigits || stream.end >= label.size() || label[stream.end] != 'F') {
        return std::nullopt;
    }
    DecimalScan function = ScanDecimal(label, stream.end + 1);
    if (!function.hasDigits) {
        return std::nullopt;
    }
    MessageLabelFields fields;
    fields.stream = SaturatedInt32(stream);
    fields.function = SaturatedInt32(function);
    fields.replyRequired = function.end < label.size() && label[function.end] == 'W';
    return fields;
}

} // namespace tqf
