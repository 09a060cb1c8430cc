#include "RuleCheck.h"

#include "ItemFormat.h"
#include "RuleText.h"

#include <charconv>
#include <vector>

namespace tqf {

namespace {

bool IsText(std::int32_t format) { return format == ASCII || format == JIS8; }

std::string CountWords(const CountRange& count, std::string_view unit) {
    const std::string units(unit);
    if (count.max == CountRange::NO_MAX) {
        return "at least " + std::to_string(count.min) + ' ' + units;
    }
    if (count.min == count.max) {
        return std::to_string(count.min) + ' ' + units;
    }
    if (count.min == 0) {
        return "at most " + std::to_string(count.max) + ' ' + units;
    }
    return std::to_string(count.min) + " to " + std::to_string(count.max) + ' ' + units;
}

std::string ValueWords(const NodeRules& rules) {
    std::string words;
    for (const ValueRange& range : rules.values) {
        words += words.empty() ? "" : " ";
        words += std::to_string(range.low);
        if (range.high != range.low) {
            words += ".." + std::to_string(range.high);
        }
    }
    for (const std::string& text : rules.texts) {
        words += words.empty() ? "" : " ";
        words += RuleText::Quoted(text);
    }
    return words;
}

// A number as SML writes one: decimal, 0x hexadecimal, a float, or a
// boolean's word; none for anything else.
std::optional<double> NumberOf(std::string_view word) {
    if (word == "T" || word == "TRUE" || word == "t" || word == "true") {
        return 1.0;
    }
    if (word == "F" || word == "FALSE" || word == "f" || word == "false") {
        return 0.0;
    }
    const bool negative = !word.empty() && word.front() == '-';
    std::string_view digits = word.substr(!word.empty() && (word.front() == '-' || word.front() == '+') ? 1 : 0);
    std::int64_t integer = 0;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    if (auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), integer, base);
        error == std::errc() && end == digits.data() + digits.size()) {
        return static_cast<double>(negative ? -integer : integer);
    }
    double value = 0;
    if (auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        error == std::errc() && end == word.data() + word.size()) {
        return value;
    }
    return std::nullopt;
}

bool Allowed(const NodeRules& rules, double value) {
    for (const ValueRange& range : rules.values) {
        if (value >= static_cast<double>(range.low) && value <= static_cast<double>(range.high)) {
            return true;
        }
    }
    return false;
}

} // namespace

RuleCheck::RuleCheck(const FormatNode* library, const RuleBook* rules) {
    if (library == nullptr || rules == nullptr || rules->Empty()) {
        return;
    }
    std::vector<const FormatNode*> pending;
    if (library->FirstChild() != nullptr) {
        pending.push_back(library->FirstChild());
    }
    while (!pending.empty()) {
        const FormatNode* node = pending.back();
        pending.pop_back();
        if (const NodeRules* held = rules->EffectiveFor(node); held != nullptr && held->Constrains()) {
            byNode_.emplace(node, held);
        }
        if (node->NextSibling() != nullptr) {
            pending.push_back(node->NextSibling());
        }
        if (node->FirstChild() != nullptr) {
            pending.push_back(node->FirstChild());
        }
    }
}

std::string RuleCheck::NameOf(const FormatNode* definition) {
    if (!definition->Description().empty()) {
        return definition->Description().str();
    }
    return "the " + std::string(FormatCode(definition->Format())) + " item";
}

std::optional<std::string> RuleCheck::Broken(const NodeRules& rules, std::string_view name,
                                             const SmlStatementItem& item, const SmlStatement& statement) {
    const std::string named(name);
    const std::string_view sent = FormatCode(item.format);
    if (!rules.AllowsFormat(item.format)) {
        return named + " is one of " + RuleText::FormatList(rules.formats) + ", got " + std::string(sent);
    }
    if (rules.count && !rules.count->Holds(static_cast<std::int64_t>(item.size))) {
        const std::string_view unit = item.format == LIST     ? "items"
                                      : IsText(item.format)   ? "characters"
                                      : item.format == BINARY ? "bytes"
                                                              : "values";
        return named + " holds " + CountWords(*rules.count, unit) + ", got " + std::to_string(item.size);
    }
    if (item.format == LIST || (rules.values.empty() && rules.texts.empty()) || item.values == 0) {
        return std::nullopt;
    }
    const auto first = statement.values.begin() + static_cast<std::ptrdiff_t>(item.firstValue);
    if (IsText(item.format)) {
        std::string text;
        for (auto value = first; value != first + static_cast<std::ptrdiff_t>(item.values); ++value) {
            text += *value;
        }
        if (!rules.texts.empty() && !rules.AllowsText(text)) {
            return named + " is one of " + ValueWords(rules) + ", got " + RuleText::Quoted(text);
        }
        return std::nullopt;
    }
    if (rules.values.empty()) {
        return std::nullopt;
    }
    for (auto value = first; value != first + static_cast<std::ptrdiff_t>(item.values); ++value) {
        const std::optional<double> number = NumberOf(*value);
        if (!number || !Allowed(rules, *number)) {
            return named + " is one of " + ValueWords(rules) + ", got " + std::string(*value);
        }
    }
    return std::nullopt;
}

} // namespace tqf
