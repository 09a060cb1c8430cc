#pragma once

#include "FormatNode.h"
#include "RuleBook.h"
#include "SmlStatement.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tqf {

// The rules that hold for the definitions of a library, looked up once, and
// what they say of an item that was sent.
class RuleCheck {
public:
    RuleCheck() = default;
    // library's nodes with the rules of rules (none: no rules).
    RuleCheck(const FormatNode* library, const RuleBook* rules);

    // What the rules of a definition say, in the few bytes that every item
    // sent is checked against; the rules themselves for the rest.
    struct Summary {
        const NodeRules* rules = nullptr;
        std::uint32_t formats = 0; // a bit for each format allowed; none: any
        bool optional = false;
        bool counted = false;
        bool valued = false; // values or texts are given
        // The count range, clamped to 32 bits (an item holds fewer).
        std::int32_t countMin = 0;
        std::int32_t countMax = 0;

        // Whether the item passes every rule but the values.
        bool Passes(const SmlStatementItem& item) const {
            const std::int64_t size = item.size > INT32_MAX ? INT32_MAX : static_cast<std::int64_t>(item.size);
            return (formats == 0 || (formats >> item.format & 1U) != 0) &&
                   (!counted || (size >= countMin && (countMax == CountRange::NO_MAX || size <= countMax)));
        }
        // Whether the item passes every rule, its values too.
        bool Holds(const SmlStatementItem& item, const SmlStatement& statement) const {
            return Passes(item) && (!valued || ValuesPass(*rules, item, statement));
        }
    };

    // The rules of one message definition's nodes: a range of entries.
    struct Block {
        std::uint32_t begin = 0;
        std::uint32_t end = 0;
    };

    bool Empty() const { return entries_.empty(); }
    // The block of a message definition's nodes, looked up once for each
    // definition: items are then found among the few entries of their own
    // message, which lie together.
    Block BlockOf(const FormatNode* message) const;
    // The rules definition is held to, among those of block, or none.
    const Summary* For(const Block& block, const FormatNode* definition) const {
        const Entry* first = entries_.data() + block.begin;
        const Entry* last = entries_.data() + block.end;
        if (block.end - block.begin > LINEAR_SEARCH) {
            first = std::lower_bound(first, last, definition,
                                     [](const Entry& e, const FormatNode* node) { return e.node < node; });
            last = first != last ? first + 1 : last;
        }
        for (; first != last; ++first) {
            if (first->node == definition) {
                return &summaries_[first->summary];
            }
        }
        return nullptr;
    }

    // The first rule that item breaks, said in words that name the rule
    // ("CEID is one of U1 U2 A, got L"), or none. definition: the item's.
    static std::optional<std::string> Broken(const NodeRules& rules, const FormatNode* definition,
                                             const SmlStatementItem& item, const SmlStatement& statement);
    // Whether every value of item is one the rules allow (texts and lists
    // pass here: Broken tells of them).
    static bool ValuesPass(const NodeRules& rules, const SmlStatementItem& item, const SmlStatement& statement);
    // What the rules of an item are called in a finding: its description, or
    // its format.
    static std::string NameOf(const FormatNode* definition);

private:
    static constexpr std::uint32_t LINEAR_SEARCH = 16;
    struct Entry {
        const FormatNode* node = nullptr;
        std::size_t summary = 0; // in summaries_
    };
    static Summary SummaryOf(const NodeRules* rules);
    // The index among the statement's values of the first of item's that the
    // value rules do not allow; none for texts, lists and allowed values.
    static std::optional<std::size_t> FirstDisallowed(const NodeRules& rules, const SmlStatementItem& item,
                                                      const SmlStatement& statement);

    std::vector<Entry> entries_; // each block's sorted by node
    // One for each rules held: a dictionary entry's serves many nodes.
    std::vector<Summary> summaries_;
    std::vector<std::pair<const FormatNode*, Block>> blocks_; // by message, sorted
};

} // namespace tqf
