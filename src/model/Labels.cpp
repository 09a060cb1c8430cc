#include "Labels.h"

#include "Decimal.h"
#include "ItemFormat.h"

namespace tqf {

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
    std::string_view separator = description.empty() ? std::string_view{} : std::string_view{"  "};
    std::string label = "<";
    label += FormatCode(format);
    if (open) {
        label += "[n]";
    } else if (count > 1 || format == LIST) {
        label += '[';
        label += std::to_string(count);
        label += ']';
    }
    label += separator;
    label += description;
    label += '>';
    return label;
}

std::string ListLabel(std::int32_t count) {
    std::string label = "<L[";
    label += std::to_string(count);
    label += "]>";
    return label;
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
