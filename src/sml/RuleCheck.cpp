#include "RuleCheck.h"

#include "ItemFormat.h"
#include "RuleText.h"

#include <charconv>
#include <unordered_map>
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
    // Most values are short decimals: read without a library call. A
    // mantissa of at most 15 digits and a power of ten up to 22 are exact in
    // a double, so one multiplication or division rounds as from_chars does.
    static constexpr double POWERS[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::size_t at = !word.empty() && (word.front() == '-' || word.front() == '+') ? 1 : 0;
    std::int64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    bool point = false;
    bool anyDigit = false;
    for (; at < word.size() && digits <= 15; ++at) {
        const char c = word[at];
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            mantissa = mantissa * 10 + (c - '0');
            digits += mantissa != 0 ? 1 : 0;
            exponent -= point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (anyDigit && at < word.size() && (word[at] == 'e' || word[at] == 'E') && digits <= 15) {
        int sign = 1;
        std::size_t e = at + 1;
        if (e < word.size() && (word[e] == '-' || word[e] == '+')) {
            sign = word[e] == '-' ? -1 : 1;
            ++e;
        }
        int power = 0;
        const std::size_t powerFrom = e;
        while (e < word.size() && word[e] >= '0' && word[e] <= '9' && power < 1000) {
            power = power * 10 + (word[e++] - '0');
        }
        at = e > powerFrom ? e : word.size() + 1;
        exponent += sign * power;
    }
    if (anyDigit && at == word.size() && digits <= 15 && exponent >= -22 && exponent <= 22) {
        const auto value = static_cast<double>(mantissa);
        const double scaled = exponent >= 0 ? value * POWERS[exponent] : value / POWERS[-exponent];
        return word.front() == '-' ? -scaled : scaled;
    }
    if (word == "T" || word == "TRUE" || word == "t" || word == "true") {
        return 1.0;
    }
    if (word == "F" || word == "FALSE" || word == "f" || word == "false") {
        return 0.0;
    }
    const bool negative = !word.empty() && word.front() == '-';
    std::string_view number = word.substr(!word.empty() && (word.front() == '-' || word.front() == '+') ? 1 : 0);
    std::int64_t integer = 0;
    int base = 10;
    if (number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X')) {
        number.remove_prefix(2);
        base = 16;
    }
    if (auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), integer, base);
        error == std::errc() && end == number.data() + number.size()) {
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
    std::unordered_map<const NodeRules*, std::size_t> summaryOf;
    std::vector<const FormatNode*> pending;
    for (const FormatNode* message = library->FirstChild(); message != nullptr; message = message->NextSibling()) {
        const auto begin = static_cast<std::uint32_t>(entries_.size());
        pending.assign(1, message);
        while (!pending.empty()) {
            const FormatNode* node = pending.back();
            pending.pop_back();
            if (const NodeRules* held = rules->EffectiveFor(node); held != nullptr && held->Constrains()) {
                const auto [at, added] = summaryOf.emplace(held, summaries_.size());
                if (added) {
                    summaries_.push_back(SummaryOf(held));
                }
                entries_.push_back({node, at->second});
            }
            for (const FormatNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
                pending.push_back(child);
            }
        }
        const auto end = static_cast<std::uint32_t>(entries_.size());
        if (end != begin) {
            std::sort(entries_.begin() + begin, entries_.end(),
                      [](const Entry& a, const Entry& b) { return a.node < b.node; });
            blocks_.push_back({message, Block{begin, end}});
        }
    }
    std::ranges::sort(blocks_, [](const auto& a, const auto& b) { return a.first < b.first; });
}

RuleCheck::Block RuleCheck::BlockOf(const FormatNode* message) const {
    const auto found = std::ranges::lower_bound(blocks_, message, {}, [](const auto& b) { return b.first; });
    return found != blocks_.end() && found->first == message ? found->second : Block{};
}

RuleCheck::Summary RuleCheck::SummaryOf(const NodeRules* rules) {
    Summary summary;
    summary.rules = rules;
    for (const std::int32_t format : rules->formats) {
        summary.formats |= 1U << format;
    }
    summary.optional = rules->optional;
    summary.counted = rules->count.has_value();
    const auto clamp = [](std::int64_t n) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, -1, INT32_MAX));
    };
    summary.countMin = rules->count ? clamp(rules->count->min) : 0;
    summary.countMax = rules->count ? clamp(rules->count->max) : 0;
    summary.valued = !rules->values.empty() || !rules->texts.empty();
    return summary;
}

bool RuleCheck::ValuesPass(const NodeRules& rules, const SmlStatementItem& item, const SmlStatement& statement) {
    if (item.format == LIST || IsText(item.format) || rules.values.empty()) {
        return !IsText(item.format) || rules.texts.empty();
    }
    for (std::size_t i = item.firstValue; i < item.firstValue + item.values; ++i) {
        const std::optional<double> number = NumberOf(statement.values[i]);
        if (!number || !Allowed(rules, *number)) {
            return false;
        }
    }
    return true;
}

std::string RuleCheck::NameOf(const FormatNode* definition) {
    if (!definition->Description().empty()) {
        return definition->Description().str();
    }
    return "the " + std::string(FormatCode(definition->Format())) + " item";
}

std::optional<std::string> RuleCheck::Broken(const NodeRules& rules, const FormatNode* definition,
                                             const SmlStatementItem& item, const SmlStatement& statement) {
    if (!rules.AllowsFormat(item.format)) {
        const std::string_view sent = FormatCode(item.format);
        return NameOf(definition) + " is one of " + RuleText::FormatList(rules.formats) + ", got " + std::string(sent);
    }
    if (rules.count && !rules.count->Holds(static_cast<std::int64_t>(item.size))) {
        const std::string_view unit = item.format == LIST     ? "items"
                                      : IsText(item.format)   ? "characters"
                                      : item.format == BINARY ? "bytes"
                                                              : "values";
        return NameOf(definition) + " holds " + CountWords(*rules.count, unit) + ", got " + std::to_string(item.size);
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
            return NameOf(definition) + " is one of " + ValueWords(rules) + ", got " + RuleText::Quoted(text);
        }
        return std::nullopt;
    }
    if (rules.values.empty()) {
        return std::nullopt;
    }
    for (auto value = first; value != first + static_cast<std::ptrdiff_t>(item.values); ++value) {
        const std::optional<double> number = NumberOf(*value);
        if (!number || !Allowed(rules, *number)) {
            return NameOf(definition) + " is one of " + ValueWords(rules) + ", got " + std::string(*value);
        }
    }
    return std::nullopt;
}

} // namespace tqf
