#pragma once

#include "NodeRules.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tqf {

class FormatNode;

// The rules of a document: those of single nodes, kept beside the tree in a
// table keyed by node, so that the many nodes without rules cost nothing,
// and the data-item dictionary, rules given once for the items of a name.
// Only FormatTree changes it, each change a step of its history.
class RuleBook {
public:
    struct Entry {
        std::string name; // as it was given
        NodeRules rules;
        friend bool operator==(const Entry&, const Entry&) = default;
    };
    // By the name in capitals, as item descriptions read from a file are.
    // The entry of the empty name holds only the dictionary's lines that
    // could not be read.
    using Dictionary = std::map<std::string, Entry, std::less<>>;

    // The key of a dictionary name: trimmed, in capitals.
    static std::string KeyOf(std::string_view name);

    // The node's own rules, or none.
    const NodeRules* Of(const FormatNode* node) const;
    // The dictionary's rules for a name, or none.
    const NodeRules* ForName(std::string_view name) const;
    // The rules a node is held to: its own when it has any, or else, for an
    // item, the dictionary's for its description.
    const NodeRules* EffectiveFor(const FormatNode* node) const;

    const Dictionary& Entries() const { return dictionary_; }
    // Calls visit(node, rules) for every node that has rules, in no order.
    template <typename Visit> void ForEachNode(Visit visit) const {
        for (const auto& [node, rules] : byNode_) {
            visit(node, rules);
        }
    }
    bool HasNodeRules() const { return !byNode_.empty(); }
    bool Empty() const { return byNode_.empty() && dictionary_.empty(); }

private:
    friend class FormatTree;

    // Each puts what is given in place of what is held, and gives back what
    // was held (none: nothing).
    void SwapNode(const FormatNode* node, std::optional<NodeRules>& rules);
    void SwapEntry(const std::string& key, std::optional<Entry>& entry);
    void SwapDictionary(Dictionary& dictionary) { dictionary_.swap(dictionary); }
    // A node that leaves the document for good takes its rules along.
    void Forget(const FormatNode* node) {
        if (!byNode_.empty()) {
            byNode_.erase(node);
        }
    }
    void ForgetAllNodes() { byNode_.clear(); }

    std::unordered_map<const FormatNode*, NodeRules> byNode_;
    Dictionary dictionary_;
};

// What a step that changes rules gives back: a node's rules or a dictionary
// entry's as they are on the other side of the step, or, for a clearing,
// the whole dictionary of the other side.
struct RuleChange {
    std::string key;                      // the dictionary entry's; empty for a node's rules
    std::optional<NodeRules> rules;       // a node's rules (none: no rules)
    std::optional<RuleBook::Entry> entry; // a dictionary entry (none: no entry)
    RuleBook::Dictionary dictionary;      // a clearing's, or one given whole
    bool wholeDictionary = false;         // a step that gives the dictionary whole
};

} // namespace tqf
