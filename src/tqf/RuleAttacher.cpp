#include "RuleAttacher.h"

#include "RuleText.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace tqf {

namespace {

// The item-th node of message in file order (0: the message itself), or its
// last one; none when it has fewer.
FormatNode* NodeAt(FormatNode* message, std::size_t item) {
    FormatNode* node = message;
    std::size_t index = 0;
    // Depth first along the links: down to the first sub-node, on to the
    // next sibling, or up until a node has one.
    while (index != item) {
        FormatNode* next = node->FirstChild();
        for (FormatNode* up = node; next == nullptr && up != message; up = up->Parent()) {
            next = up->NextSibling();
        }
        if (next == nullptr) {
            return item == RuleAttacher::LAST_NODE ? node : nullptr;
        }
        node = next;
        ++index;
    }
    return node;
}

} // namespace

void RuleAttacher::Attach(FormatTree& document, FormatNode* firstMessage, std::vector<Line>& lines,
                          const std::vector<std::size_t>& dropped, std::size_t statements,
                          std::vector<ReadDiagnostic>& warnings) {
    std::vector<std::pair<FormatNode*, NodeRules>> byNode; // in file order, a node's lines together
    std::unordered_map<FormatNode*, std::size_t> nodeIndex;
    std::map<std::string, std::pair<std::string, NodeRules>> entries;
    FormatNode* message = firstMessage;
    std::size_t messageIndex = 0; // of message, counted from firstMessage
    for (Line& line : lines) {
        RuleText::Parsed parsed = RuleText::Parse(line.text);
        if (!parsed.read) {
            warnings.push_back(
                {line.line, parsed.column, "rule line not read (" + parsed.reason + "); kept as it is written"});
            parsed.rules = NodeRules();
            parsed.rules.unreadLines.push_back(std::move(line.text));
        }
        parsed.rules.line = line.line;
        FormatNode* node = nullptr;
        if (parsed.dictionary) {
            auto& [name, rules] = entries[RuleBook::KeyOf(parsed.name)];
            name = name.empty() ? parsed.name : name;
            rules.line = rules.line == 0 ? line.line : rules.line;
            RuleText::Merge(rules, std::move(parsed.rules));
            continue;
        }
        if (line.statement == NO_STATEMENT && !parsed.read) {
            // A line at the file's head that cannot be read stays there.
            RuleText::Merge(entries[std::string()].second, std::move(parsed.rules));
            continue;
        }
        if (line.statement != NO_STATEMENT && line.statement < statements &&
            !std::binary_search(dropped.begin(), dropped.end(), line.statement)) {
            // Each statement before it that was not dropped built a message.
            const auto droppedBefore = static_cast<std::size_t>(
                std::lower_bound(dropped.begin(), dropped.end(), line.statement) - dropped.begin());
            for (; message != nullptr && messageIndex < line.statement - droppedBefore; ++messageIndex) {
                message = message->NextSibling();
            }
            node = message != nullptr ? NodeAt(message, line.item) : nullptr;
        }
        if (node == nullptr) {
            warnings.push_back({line.line, 1, "rule line follows no message that was read; left out"});
            continue;
        }
        const auto [at, added] = nodeIndex.emplace(node, byNode.size());
        if (added) {
            byNode.emplace_back(node, NodeRules());
            byNode.back().second.line = line.line;
        }
        RuleText::Merge(byNode[at->second].second, std::move(parsed.rules));
    }
    for (auto& [node, rules] : byNode) {
        document.SetReadRules(node, std::move(rules));
    }
    for (auto& [key, entry] : entries) {
        document.SetReadDictionaryRules(key.empty() ? std::string_view() : std::string_view(entry.first),
                                        std::move(entry.second));
    }
}

} // namespace tqf
