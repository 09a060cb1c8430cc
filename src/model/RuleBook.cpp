#include "RuleBook.h"

#include "Decimal.h"

#include "FormatNode.h"
#include <array>

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
    name = TrimSpace(name);
    // Asked for every item of a library: no name in the dictionary is
    // longer than this, and the key is made without storage of its own.
    std::array<char, MAX_RULE_NAME_BYTES> key{};
    if (dictionary_.empty() || name.empty() || name.size() > key.size()) {
        return nullptr;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        key[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const auto found = dictionary_.find(std::string_view(key.data(), name.size()));
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
