#pragma once

#include "FormatNode.h"
#include "RuleBook.h"
#include "SmlStatement.h"

#include <optional>
#include <string>
#include <unordered_map>

namespace tqf {

// The rules that hold for the definitions of a library, looked up once, and
// what they say of an item that was sent.
class RuleCheck {
public:
    RuleCheck() = default;
    // library's nodes with the rules of rules (none: no rules).
    RuleCheck(const FormatNode* library, const RuleBook* rules);

    bool Empty() const { return byNode_.empty(); }
    // The rules definition is held to, or none.
    const NodeRules* For(const FormatNode* definition) const {
        if (byNode_.empty()) {
            return nullptr;
        }
        const auto found = byNode_.find(definition);
        return found != byNode_.end() ? found->second : nullptr;
    }

    // The first rule that item breaks, said in words that name the rule
    // ("CEID is one of U1 U2 A, got L"), or none. name names the item.
    static std::optional<std::string> Broken(const NodeRules& rules, std::string_view name,
                                             const SmlStatementItem& item, const SmlStatement& statement);
    // What the rules of an item are called in a finding: its description, or
    // its format.
    static std::string NameOf(const FormatNode* definition);

private:
    std::unordered_map<const FormatNode*, const NodeRules*> byNode_;
};

} // namespace tqf
