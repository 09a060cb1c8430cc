#include "RuleEditText.h"

#include "RuleText.h"

namespace tqf {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The line with its mark, as a file holds it; columns of a failure count
// in the text as typed.
RuleText::Parsed ParseTyped(std::string_view text, std::string& reason) {
    const std::string prefix = std::string(RuleText::MARK) + ' ';
    RuleText::Parsed parsed = RuleText::Parse(prefix + std::string(text));
    if (!parsed.read) {
        const std::size_t column = parsed.column > prefix.size() ? parsed.column - prefix.size() : 1;
        reason = "column " + std::to_string(column) + ": " + parsed.reason;
    }
    return parsed;
}

void AppendLines(std::string& text, const std::vector<std::string>& lines, std::size_t keep) {
    for (std::size_t i = 0; i < keep; ++i) {
        text += lines[i].substr(RuleText::MARK.size() + 1);
        text += '\n';
    }
}

} // namespace

std::string RuleEditText::OfNode(const NodeRules* rules) { return rules != nullptr ? RuleText::Summary(*rules) : ""; }

RuleEditText::NodeResult RuleEditText::ReadNode(std::string_view text, const NodeRules* held) {
    NodeResult result;
    text = Trimmed(text);
    if (!text.empty()) {
        RuleText::Parsed parsed = ParseTyped(text, result.reason);
        if (!parsed.read) {
            return result;
        }
        if (parsed.dictionary) {
            result.reason = "a dictionary entry belongs in the data item dictionary";
            return result;
        }
        result.rules = std::move(parsed.rules);
    }
    if (held != nullptr) {
        result.rules.unreadLines = held->unreadLines;
    }
    result.read = true;
    return result;
}

std::string RuleEditText::OfDictionary(const RuleBook::Dictionary& dictionary) {
    std::string text;
    for (const auto& [key, entry] : dictionary) {
        if (key.empty()) {
            continue;
        }
        const std::vector<std::string> lines = RuleText::Lines(entry.rules, entry.name);
        AppendLines(text, lines, lines.size() - entry.rules.unreadLines.size());
    }
    return text;
}

RuleEditText::DictionaryResult RuleEditText::ReadDictionary(std::string_view text, const RuleBook::Dictionary& held) {
    DictionaryResult result;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty()) {
            continue;
        }
        std::string reason;
        RuleText::Parsed parsed = ParseTyped(line, reason);
        if (parsed.read && !parsed.dictionary) {
            reason = "column 1: an entry is: dictionary NAME: RULES";
        }
        if (!reason.empty()) {
            result.reason = "line " + std::to_string(number) + ", " + reason;
            return result;
        }
        const std::string key = RuleBook::KeyOf(parsed.name);
        auto [entry, added] = result.dictionary.try_emplace(key, RuleBook::Entry{parsed.name, {}});
        RuleText::Merge(entry->second.rules, std::move(parsed.rules));
    }
    // What the file held unread stays, with its entry or on its own.
    for (const auto& [key, entry] : held) {
        if (entry.rules.unreadLines.empty()) {
            continue;
        }
        auto [kept, added] = result.dictionary.try_emplace(key, RuleBook::Entry{entry.name, {}});
        kept->second.rules.unreadLines = entry.rules.unreadLines;
    }
    result.read = true;
    return result;
}

} // namespace tqf
