#include "Labels.h"

#include "Decimal.h"
#include "ItemFormat.h"

#include <algorithm>
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

} // namespace

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
