#include "RuleBook.h"

#include "Decimal.h"
#include "FormatNode.h"

namespace tqf {

std::string RuleBook::KeyOf(std::string_view name) {
    std::string key(TrimSpace(name));
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

const NodeRules* RuleBook::Of(const FormatNode* node) const {
    if (byNode_.empty()) {
        return nullptr;
    }
    const auto found = byNode_.find(node);
    return found != byNode_.end() ? &found->second : nullptr;
}

const NodeRules* RuleBook::ForName(std::string_view name) const {
    if (dictionary_.empty() || name.empty()) {
        return nullptr;
    }
    const auto found = dictionary_.find(KeyOf(name));
    return found != dictionary_.end() && !found->first.empty() && found->second.rules.Constrains()
               ? &found->second.rules
               : nullptr;
}

const NodeRules* RuleBook::EffectiveFor(const FormatNode* node) const {
    if (const NodeRules* own = Of(node); own != nullptr && own->Constrains()) {
        return own;
    }
    if (node->IsMessage() || node->Parent() == nullptr) {
        return nullptr;
    }
    return ForName(node->Description());
}

void RuleBook::SwapNode(const FormatNode* node, std::optional<NodeRules>& rules) {
    std::optional<NodeRules> held;
    if (const auto found = byNode_.find(node); found != byNode_.end()) {
        held = std::move(found->second);
        byNode_.erase(found);
    }
    if (rules && !rules->Empty()) {
        byNode_.emplace(node, std::move(*rules));
    }
    rules = std::move(held);
}

void RuleBook::SwapEntry(const std::string& key, std::optional<Entry>& entry) {
    std::optional<Entry> held;
    if (const auto found = dictionary_.find(key); found != dictionary_.end()) {
        held = std::move(found->second);
        dictionary_.erase(found);
    }
    if (entry && !entry->rules.Empty()) {
        dictionary_.emplace(key, std::move(*entry));
    }
    entry = std::move(held);
}

} // namespace tqf
