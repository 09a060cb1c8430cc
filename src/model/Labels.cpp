#include "Labels.h"

#include "Decimal.h"
#include "ItemFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

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

// A format's code, padded with zeros to a word of 8 bytes.
struct PaddedCode {
    char bytes[8] = {};
    std::size_t size = 0;
};

std::array<PaddedCode, FORMAT_ROW_COUNT> MakePaddedCodes() {
    std::array<PaddedCode, FORMAT_ROW_COUNT> codes{};
    for (int format = 0; format < FORMAT_ROW_COUNT; ++format) {
        const std::string_view code = FormatCode(format);
        PaddedCode& padded = codes[static_cast<std::size_t>(format)];
        padded.size = code.copy(padded.bytes, sizeof padded.bytes);
    }
    return codes;
}

// Copies a text, which is mostly short: as at most two loads and stores that
// may overlap, not as a call.
void CopyText(char* out, std::string_view text) {
    const char* from = text.data();
    const std::size_t size = text.size();
    if (size > 16) {
        std::memcpy(out, from, size);
    } else if (size >= 8) {
        std::memcpy(out, from, 8);
        std::memcpy(out + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(out, from, 4);
        std::memcpy(out + size - 4, from + size - 4, 4);
    } else if (size > 0) {
        out[0] = from[0];
        out[size / 2] = from[size / 2];
        out[size - 1] = from[size - 1];
    }
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

std::size_t WriteMessageLabel(char* out, std::int32_t stream, std::int32_t function, bool replyRequired) {
    // "S", two numbers of at most 11 characters, "F" and "W".
    static_assert(MESSAGE_LABEL_ROOM >= 1 + 11 + 1 + 11 + 1);
    char* at = out;
    *at++ = 'S';
    at = std::to_chars(at, out + MESSAGE_LABEL_ROOM, stream).ptr;
    *at++ = 'F';
    at = std::to_chars(at, out + MESSAGE_LABEL_ROOM, function).ptr;
    if (replyRequired) {
        *at++ = 'W';
    }
    return static_cast<std::size_t>(at - out);
}

std::string MakeMessageLabel(std::int32_t stream, std::int32_t function, bool replyRequired) {
    char text[MESSAGE_LABEL_ROOM];
    return std::string(text, WriteMessageLabel(text, stream, function, replyRequired));
}

std::size_t WriteItemLabel(char* out, int format, std::int32_t count, bool open, std::string_view description) {
    // "<", a code of at most 7 characters, a count of at most 13, two blanks,
    // the description and ">". The code goes as one word of 8 bytes, which
    // the room has space for.
    static_assert(ItemLabelRoom(0) >= 1 + 7 + MAX_COUNT_TEXT + 2 + 1 && ItemLabelRoom(0) >= 1 + 8);
    static const std::array<PaddedCode, FORMAT_ROW_COUNT> CODES = MakePaddedCodes();
    const PaddedCode code =
        format >= 0 && format < FORMAT_ROW_COUNT ? CODES[static_cast<std::size_t>(format)] : PaddedCode{};
    char* at = out;
    *at++ = '<';
    std::memcpy(at, code.bytes, sizeof code.bytes);
    at += code.size;
    if (open) {
        at += OPEN_COUNT_TEXT.copy(at, OPEN_COUNT_TEXT.size());
    } else if (count > 1 || format == LIST) {
        at += WriteBracketedCount(count, at);
    }
    if (!description.empty()) {
        *at++ = ' ';
        *at++ = ' ';
        CopyText(at, description);
        at += description.size();
    }
    *at++ = '>';
    return static_cast<std::size_t>(at - out);
}

std::string MakeItemLabel(int format, std::int32_t count, bool open, std::string_view description) {
    std::string label(ItemLabelRoom(description.size()), '\0');
    label.resize(WriteItemLabel(label.data(), format, count, open, description));
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
