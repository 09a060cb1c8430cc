// The rules of the nodes and of the dictionary: each change one step of the
// history, as any other edit of the document.
#include "FormatTree.h"

#include "Decimal.h"

#include <memory>
#include <string>
#include <string_view>

namespace tqf {

namespace {

// Rules that a message or an item cannot have.
const char* RulesMisplaced(const FormatNode& node, const NodeRules& rules) {
    if (node.IsMessage()) {
        return !rules.formats.empty() || rules.count || !rules.values.empty() || !rules.texts.empty() || rules.optional
                   ? MSG_RULES_NOT_FOR_MESSAGE
                   : nullptr;
    }
    return rules.replyOptional || rules.direction != Direction::ANY ? MSG_RULES_NOT_FOR_ITEM : nullptr;
}

const char* NameRefusal(std::string_view key) {
    if (key.empty() || WrittenTextSize(key) > MAX_RULE_NAME_BYTES) {
        return MSG_RULE_NAME_INVALID;
    }
    for (const char c : key) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return MSG_RULE_NAME_INVALID;
        }
    }
    return nullptr;
}

std::size_t RulesBytes(const NodeRules& rules) {
    std::size_t bytes =
        sizeof(NodeRules) + rules.formats.size() * sizeof(std::int32_t) + rules.values.size() * sizeof(ValueRange);
    for (const std::string& text : rules.texts) {
        bytes += sizeof(std::string) + text.size();
    }
    for (const std::string& line : rules.unreadLines) {
        bytes += sizeof(std::string) + line.size();
    }
    return bytes;
}

} // namespace

EditResult FormatTree::SetRules(FormatNode* node, NodeRules rules) {
    if (node == nullptr || node->parent_ == nullptr) {
        return EditResult::Refused(MSG_NO_NODE_SELECTED);
    }
    AssertOwned(node);
    if (const char* refusal = RulesRefusal(rules)) {
        return EditResult::Refused(refusal);
    }
    if (const char* refusal = RulesMisplaced(*node, rules)) {
        return EditResult::Refused(refusal);
    }
    const NodeRules* held = rules_.Of(node);
    if ((held == nullptr && rules.Empty()) || (held != nullptr && *held == rules)) {
        return EditResult{node};
    }
    auto change = std::make_shared<RuleChange>();
    change->rules = std::move(rules);
    RulesStep(node, std::string(), std::move(change));
    return EditResult{node};
}

EditResult FormatTree::SetDictionaryRules(std::string_view name, NodeRules rules) {
    const std::string key = RuleBook::KeyOf(name);
    if (const char* refusal = NameRefusal(key)) {
        return EditResult::Refused(refusal);
    }
    if (const char* refusal = RulesRefusal(rules)) {
        return EditResult::Refused(refusal);
    }
    if (rules.replyOptional || rules.direction != Direction::ANY) {
        return EditResult::Refused(MSG_RULES_NOT_FOR_ITEM);
    }
    const auto found = rules_.Entries().find(key);
    const bool held = found != rules_.Entries().end();
    if ((!held && rules.Empty()) || (held && found->second.rules == rules && found->second.name == TrimSpace(name))) {
        return EditResult{&root_};
    }
    auto change = std::make_shared<RuleChange>();
    change->key = key;
    change->entry = RuleBook::Entry{std::string(TrimSpace(name)), std::move(rules)};
    RulesStep(nullptr, key, std::move(change));
    return EditResult{&root_};
}

EditResult FormatTree::SetDictionary(RuleBook::Dictionary dictionary) {
    for (const auto& [key, entry] : dictionary) {
        // The entry of the empty name holds only lines kept unread.
        const char* refusal = key.empty() ? nullptr : NameRefusal(key);
        if (refusal == nullptr) {
            refusal = RulesRefusal(entry.rules);
        }
        if (refusal == nullptr && (entry.rules.replyOptional || entry.rules.direction != Direction::ANY)) {
            refusal = MSG_RULES_NOT_FOR_ITEM;
        }
        if (refusal != nullptr || key != RuleBook::KeyOf(entry.name) || (key.empty() && entry.rules.Constrains())) {
            return EditResult::Refused(refusal != nullptr ? refusal : MSG_RULE_NAME_INVALID);
        }
    }
    std::erase_if(dictionary, [](const auto& held) { return held.second.rules.Empty(); });
    if (dictionary == rules_.Entries()) {
        return EditResult{&root_};
    }
    auto change = std::make_shared<RuleChange>();
    change->wholeDictionary = true;
    change->dictionary = std::move(dictionary);
    RulesStep(nullptr, std::string(), std::move(change));
    return EditResult{&root_};
}

void FormatTree::SetReadRules(FormatNode* node, NodeRules rules) {
    std::optional<NodeRules> given(std::move(rules));
    rules_.SwapNode(node, given);
}

void FormatTree::SetReadDictionaryRules(std::string_view name, NodeRules rules) {
    const std::string key = RuleBook::KeyOf(name);
    std::optional<RuleBook::Entry> entry(RuleBook::Entry{std::string(TrimSpace(name)), std::move(rules)});
    rules_.SwapEntry(key, entry);
    // The history's steps may hold the dictionary as it was before.
    if ((CanUndo() || CanRedo()) && !EndsWithClearing()) {
        Unrecorded();
    }
}

void FormatTree::RulesStep(FormatNode* node, const std::string& key, std::shared_ptr<RuleChange> change) {
    EditStep step;
    step.kind = EditStep::Kind::RULES;
    step.node = node;
    step.bytes = sizeof(EditStep) + sizeof(RuleChange) + (change->rules ? RulesBytes(*change->rules) : 0) +
                 (change->entry ? RulesBytes(change->entry->rules) + change->entry->name.size() : 0) + key.size();
    for (const auto& [entryKey, entry] : change->dictionary) {
        step.bytes += entryKey.size() + entry.name.size() + RulesBytes(entry.rules);
    }
    step.rules = std::move(change);
    ApplyRules(step);
    Record(std::move(step));
}

void FormatTree::ApplyRules(EditStep& step) {
    if (step.node != nullptr) {
        rules_.SwapNode(step.node, step.rules->rules);
        if (listener_ != nullptr) {
            listener_->NodeChanged(*step.node);
        }
        return;
    }
    if (step.rules->wholeDictionary) {
        rules_.SwapDictionary(step.rules->dictionary);
    } else {
        rules_.SwapEntry(step.rules->key, step.rules->entry);
    }
    if (listener_ != nullptr) {
        listener_->RequestRepaint();
    }
}

} // namespace tqf
