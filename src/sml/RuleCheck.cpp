#include "RuleCheck.h"

#include "ItemFormat.h"
#include "RuleText.h"

#include <array>
#include <charconv>
#include <cstdint>
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

// A decimal as written, exactly: mantissa times ten to the exponent.
struct Decimal {
    std::int64_t mantissa = 0;
    int exponent = 0;
};

constexpr int MOST_DIGITS = 18; // at most 18 digits fit in 63 bits

constexpr std::array<std::int64_t, MOST_DIGITS + 1> POWERS_OF_TEN = [] {
    std::array<std::int64_t, MOST_DIGITS + 1> powers{1};
    for (std::size_t k = 1; k < powers.size(); ++k) {
        powers[k] = powers[k - 1] * 10;
    }
    return powers;
}();

// The largest number that times ten to the index still fits.
constexpr std::array<std::int64_t, MOST_DIGITS + 1> FITTING = [] {
    std::array<std::int64_t, MOST_DIGITS + 1> limits{};
    for (std::size_t k = 0; k < limits.size(); ++k) {
        limits[k] = INT64_MAX / POWERS_OF_TEN[k];
    }
    return limits;
}();

bool IsDigit(char c) { return static_cast<unsigned>(c - '0') < 10U; }

// A value written in decimal ("12", "-2.25e3", ".5") of at most 18 digits and
// a power of ten up to 18 either way; none for anything else, which is read
// as a double.
std::optional<Decimal> DecimalOf(std::string_view word) {
    const char* p = word.data();
    const char* const end = p + word.size();
    const bool negative = p != end && *p == '-';
    p += p != end && (*p == '-' || *p == '+') ? 1 : 0;
    std::uint64_t mantissa = 0; // wraps harmlessly past 18 digits, which are refused
    int digits = 0;
    int exponent = 0;
    for (; p != end && IsDigit(*p); ++p, ++digits) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    if (p != end && *p == '.') {
        const char* const fraction = ++p;
        for (; p != end && IsDigit(*p); ++p) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        }
        digits += static_cast<int>(p - fraction);
        exponent = -static_cast<int>(p - fraction);
    }
    if (digits != 0 && p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool down = p != end && *p == '-';
        p += p != end && (*p == '-' || *p == '+') ? 1 : 0;
        const char* const powerFrom = p;
        int power = 0;
        for (; p != end && IsDigit(*p) && power <= MOST_DIGITS * 2; ++p) {
            power = power * 10 + (*p - '0');
        }
        digits = p != powerFrom ? digits : 0; // "1e" is not a number
        exponent += down ? -power : power;
    }
    if (digits == 0 || digits > MOST_DIGITS || p != end || exponent < -MOST_DIGITS || exponent > MOST_DIGITS) {
        return std::nullopt;
    }
    const auto magnitude = static_cast<std::int64_t>(mantissa);
    return Decimal{negative ? -magnitude : magnitude, exponent};
}

// Whether value lies within range, exact in integers: a product that would
// not fit lies beyond every bound.
bool Within(const Decimal& value, const ValueRange& range) {
    if (value.exponent == 0) {
        return value.mantissa >= range.low && value.mantissa <= range.high;
    }
    if (value.exponent > 0) {
        const auto k = static_cast<std::size_t>(value.exponent);
        if (value.mantissa > FITTING[k] || value.mantissa < -FITTING[k]) {
            return false;
        }
        const std::int64_t scaled = value.mantissa * POWERS_OF_TEN[k];
        return scaled >= range.low && scaled <= range.high;
    }
    // mantissa / 10^k against a bound: mantissa against bound * 10^k.
    const auto k = static_cast<std::size_t>(-value.exponent);
    const bool aboveLow =
        range.low < -FITTING[k] || (range.low <= FITTING[k] && value.mantissa >= range.low * POWERS_OF_TEN[k]);
    const bool belowHigh =
        range.high > FITTING[k] || (range.high >= -FITTING[k] && value.mantissa <= range.high * POWERS_OF_TEN[k]);
    return aboveLow && belowHigh;
}

// A number as SML writes one that is not a short decimal: 0x hexadecimal, a
// boolean's word, or a long or large float; none for anything else.
std::optional<double> NumberOf(std::string_view word) {
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

// Whether a value as written is a number within the ranges of rules. A
// decimal is compared exactly, so that "1000.0000001" is beyond 1000.
bool Allowed(const NodeRules& rules, std::string_view word) {
    if (const std::optional<Decimal> decimal = DecimalOf(word)) {
        return std::ranges::any_of(rules.values, [&decimal](const ValueRange& r) { return Within(*decimal, r); });
    }
    const std::optional<double> number = NumberOf(word);
    return number && std::ranges::any_of(rules.values, [value = *number](const ValueRange& r) {
               return value >= static_cast<double>(r.low) && value <= static_cast<double>(r.high);
           });
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
                const auto [at, added] = summaryOf.try_emplace(held, summaries_.size());
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
    // A text is read whole by Broken.
    if (IsText(item.format)) {
        return rules.texts.empty();
    }
    return !FirstDisallowed(rules, item, statement).has_value();
}

std::optional<std::size_t> RuleCheck::FirstDisallowed(const NodeRules& rules, const SmlStatementItem& item,
                                                      const SmlStatement& statement) {
    if (item.format == LIST || IsText(item.format) || rules.values.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = item.firstValue; i < item.firstValue + item.values; ++i) {
        if (!Allowed(rules, statement.values[i])) {
            return i;
        }
    }
    return std::nullopt;
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
    if (const std::optional<std::size_t> at = FirstDisallowed(rules, item, statement)) {
        return NameOf(definition) + " is one of " + ValueWords(rules) + ", got " + std::string(statement.values[*at]);
    }
    return std::nullopt;
}

} // namespace tqf
