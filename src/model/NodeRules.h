#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// Who sends a message.
enum class Direction : std::uint8_t {
    ANY, // not said
    HOST_TO_EQUIPMENT,
    EQUIPMENT_TO_HOST,
    BOTH,
};

// How many values (a scalar) or items (a list) an item may hold, both ends
// included; max NO_MAX for no upper end.
struct CountRange {
    static constexpr std::int64_t NO_MAX = -1;
    std::int64_t min = 0;
    std::int64_t max = NO_MAX;
    bool Holds(std::int64_t count) const { return count >= min && (max == NO_MAX || count <= max); }
    friend bool operator==(const CountRange&, const CountRange&) = default;
};

// A code or a run of codes a scalar may take, both ends included.
struct ValueRange {
    std::int64_t low = 0;
    std::int64_t high = 0;
    friend bool operator==(const ValueRange&, const ValueRange&) = default;
};

// What a definition says of the messages it stands for beyond its own
// format and count: each rule optional. On an item: the formats it may take
// (its own first), how much it may hold, the values a scalar may take, and
// whether it may be left empty. On a message: whether its reply may be left
// out, and who sends it.
struct NodeRules {
    std::vector<std::int32_t> formats; // ItemFormat values, none twice
    std::optional<CountRange> count;
    std::vector<ValueRange> values;
    std::vector<std::string> texts; // the texts an ASCII item may hold
    bool optional = false;
    bool replyOptional = false;
    Direction direction = Direction::ANY;
    // Rule lines of a file that could not be read, kept as they were written.
    std::vector<std::string> unreadLines;
    // Where the rules were read from (0: not from a file); no part of them.
    std::size_t line = 0;

    // No rule at all, nor a line kept.
    bool Empty() const { return !Constrains() && unreadLines.empty(); }
    // Some rule that a message is checked against.
    bool Constrains() const {
        return !formats.empty() || count || !values.empty() || !texts.empty() || optional || replyOptional ||
               direction != Direction::ANY;
    }
    bool AllowsFormat(std::int32_t format) const;
    // Whether an integer value is one of the codes; true when none is given.
    bool AllowsValue(std::int64_t value) const;
    bool AllowsText(std::string_view text) const;

    friend bool operator==(const NodeRules& a, const NodeRules& b) {
        return a.formats == b.formats && a.count == b.count && a.values == b.values && a.texts == b.texts &&
               a.optional == b.optional && a.replyOptional == b.replyOptional && a.direction == b.direction &&
               a.unreadLines == b.unreadLines;
    }
};

// The most bytes a dictionary name and a value text take written out, so
// that every rule line written stays short whatever it holds; see
// WrittenTextSize.
inline constexpr std::size_t MAX_RULE_NAME_BYTES = 64;
inline constexpr std::size_t MAX_RULE_TEXT_BYTES = 120;

// The bytes a text takes in a rule line, quoted: a plain printable byte one,
// a quote or backslash two, any other byte (and "*", which could open or
// close a comment) four.
std::size_t WrittenTextSize(std::string_view text);
// The rule lines a node or a dictionary entry keeps unread, at most, and the
// longest of them.
inline constexpr std::size_t MAX_UNREAD_RULE_LINES = 64;
inline constexpr std::size_t MAX_UNREAD_RULE_LINE_BYTES = 240;

// The rules in a few words, as a row of the tree shows them after its
// label: "U4 A  count ..32  values 0 1 3..63  optional". The item's own
// format, when allowed, comes first, as a dictionary entry lists its formats
// for every item of its name.
std::string RulesSummary(const NodeRules& rules, std::optional<std::int32_t> ownFormat = std::nullopt);

// Why rules cannot be kept as they are, or none: a format twice or no item
// format, a count range upside down, a value range upside down, a text too
// long, or a line kept that is too long or holds a comment's end.
const char* RulesRefusal(const NodeRules& rules);

} // namespace tqf
