#include "NodeRules.h"

#include "ItemFormat.h"

#include <algorithm>

namespace tqf {

bool NodeRules::AllowsFormat(std::int32_t format) const {
    return formats.empty() || std::ranges::find(formats, format) != formats.end();
}

bool NodeRules::AllowsValue(std::int64_t value) const {
    return values.empty() ||
           std::ranges::any_of(values, [value](const ValueRange& r) { return value >= r.low && value <= r.high; });
}

bool NodeRules::AllowsText(std::string_view text) const {
    return texts.empty() || std::ranges::find(texts, text) != texts.end();
}

std::size_t WrittenTextSize(std::string_view text) {
    std::size_t size = 2;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        size += c == '"' || c == '\\' ? 2 : byte < 0x20 || byte >= 0x7F || c == '*' ? 4 : 1;
    }
    return size;
}

std::string RulesSummary(const NodeRules& rules, std::optional<std::int32_t> ownFormat) {
    constexpr std::string_view GAP = "  ";
    std::string text;
    const auto add = [&text, GAP](std::string_view part) {
        text += text.empty() ? std::string_view() : GAP;
        text += part;
    };
    std::string formats;
    const bool ownFirst = ownFormat && std::ranges::find(rules.formats, *ownFormat) != rules.formats.end();
    if (ownFirst) {
        formats = FormatCode(*ownFormat);
    }
    for (const std::int32_t format : rules.formats) {
        if (!ownFirst || format != *ownFormat) {
            formats += formats.empty() ? "" : " ";
            formats += FormatCode(format);
        }
    }
    if (!formats.empty()) {
        add(formats);
    }
    if (rules.count) {
        const CountRange& c = *rules.count;
        add("count " + (c.min == c.max ? std::to_string(c.min)
                                       : (c.min != 0 ? std::to_string(c.min) : std::string()) + ".." +
                                             (c.max != CountRange::NO_MAX ? std::to_string(c.max) : std::string())));
    }
    if (!rules.values.empty() || !rules.texts.empty()) {
        std::string values = "values";
        for (const ValueRange& r : rules.values) {
            values += ' ' + std::to_string(r.low) + (r.high != r.low ? ".." + std::to_string(r.high) : std::string());
        }
        for (const std::string& t : rules.texts) {
            values += " \"" + t + '"';
        }
        add(values);
    }
    if (rules.optional) {
        add("optional");
    }
    if (rules.replyOptional) {
        add("reply optional");
    }
    constexpr std::string_view DIRECTIONS[] = {"", "H->E", "E->H", "both ways"};
    if (rules.direction != Direction::ANY) {
        add(DIRECTIONS[static_cast<int>(rules.direction)]);
    }
    return text;
}

const char* RulesRefusal(const NodeRules& rules) {
    for (std::size_t i = 0; i < rules.formats.size(); ++i) {
        const std::int32_t format = rules.formats[i];
        if (!IsItemFormat(format)) {
            return "Not an item format.";
        }
        if (std::find(rules.formats.begin(), rules.formats.begin() + static_cast<std::ptrdiff_t>(i), format) !=
            rules.formats.begin() + static_cast<std::ptrdiff_t>(i)) {
            return "A format is given twice.";
        }
    }
    if (rules.count && (rules.count->min < 0 || (rules.count->max != CountRange::NO_MAX &&
                                                 (rules.count->max < rules.count->min || rules.count->max < 0)))) {
        return "The count range is empty.";
    }
    if (std::ranges::any_of(rules.values, [](const ValueRange& r) { return r.high < r.low; })) {
        return "A value range is empty.";
    }
    for (const std::string& text : rules.texts) {
        if (WrittenTextSize(text) > MAX_RULE_TEXT_BYTES) {
            return "A value text is too long.";
        }
    }
    if (rules.unreadLines.size() > MAX_UNREAD_RULE_LINES) {
        return "Too many rule lines.";
    }
    for (const std::string& line : rules.unreadLines) {
        if (line.size() > MAX_UNREAD_RULE_LINE_BYTES || line.find("*/") != std::string::npos ||
            line.find("/*") != std::string::npos || line.find_first_of("\r\n") != std::string::npos ||
            line.rfind("//@", 0) != 0) {
            return "A rule line cannot be kept.";
        }
    }
    return nullptr;
}

} // namespace tqf
