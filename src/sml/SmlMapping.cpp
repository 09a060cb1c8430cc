// What becomes of a statement once it is read: a message of the document,
// mapped to what a .TQF file can keep, or a statement for a handler.
#include "ItemFormat.h"
#include "RuleText.h"
#include "SmlParser.h"
#include "SmlWriter.h"

#include <algorithm>
#include <limits>

namespace tqf::sml {

namespace {

// The tags of a comment that SmlWriter writes; what follows is the
// description.
struct Tags {
    bool open = false;
    bool variant = false;
    std::string_view rest;
};

// The export writes at most one tag: [n] on a list without a count (or an
// item [0]), [VARIANT] on an item <A> without count or value. Anywhere else a
// comment that starts like a tag is a description.
Tags ReadTags(const SmlItem& item) {
    Tags tags;
    const std::string_view comment = TrimSpace(item.comment);
    tags.rest = comment;
    const auto starts = [comment](std::string_view tag) {
        return comment.size() >= tag.size() && EqualsUpper(comment.substr(0, tag.size()), tag);
    };
    const bool bare = !item.counted && !item.open;
    // Earlier exports wrote an open item as [0] with the tag [n].
    const bool zero = item.format != LIST && item.counted && item.count == 0;
    if (((item.format == LIST && bare) || zero) && starts("[N]")) {
        tags.open = true;
        tags.rest = TrimSpace(comment.substr(SmlWriter::OPEN_TAG.size()));
    } else if (item.format == ASCII && bare && item.values == 0 && starts(SmlWriter::VARIANT_TAG)) {
        tags.variant = true;
        tags.rest = TrimSpace(comment.substr(SmlWriter::VARIANT_TAG.size()));
    }
    return tags;
}

// Texts and binary items hold up to their count; the others exactly it.
bool CountIsAMaximum(std::int32_t format) { return format == ASCII || format == JIS8 || format == BINARY; }

std::string ValueWord(std::int32_t format, std::size_t number) {
    const char* one = format == BINARY ? " byte" : CountIsAMaximum(format) ? " character" : " value";
    return std::to_string(number) + one + (number == 1 ? "" : "s");
}

std::int32_t Clamp(std::size_t number) {
    return static_cast<std::int32_t>(std::min<std::size_t>(number, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

// Inline, as the parser's steps are: each is used only in this file, for
// every item.
inline void SmlParser::Note(SmlChange kind, std::size_t line, std::size_t column, std::string reason) {
    result_.changed.push_back({line, column, std::move(reason)});
    ++result_.changeCounts[static_cast<std::size_t>(kind)];
}

// A description as a .TQF file gives it back: safe, and in capitals, as the
// file's reader reads every line.
inline std::string SmlParser::SafeDescription(std::string text, std::size_t line, std::size_t column) {
    if (NeedsMakingSafe(text)) {
        const std::string before = text;
        if (SmlReader::MakeDescriptionSafe(text)) {
            Note(SmlChange::DESCRIPTION, line, column, "description \"" + before + "\" made safe as \"" + text + '"');
        }
    }
    std::ranges::transform(text, text.begin(), Upper);
    return text;
}

void SmlParser::Build() {
    if (items_.empty() && stream_ == 0) {
        // A .TQF file reads such a message as nothing.
        result_.dropped.push_back(
            {statementLine_, statementColumn_, "stream 0 on a message without items: a .TQF file cannot keep it"});
        return;
    }
    // As in a format file, a message's description may stand in
    // parentheses, which keep the white space at its ends.
    std::string_view comment = TrimSpace(messageComment_);
    if (comment.size() >= 2 && comment.front() == '(' && comment.back() == ')') {
        comment = comment.substr(1, comment.size() - 2);
    }
    const std::string description = SafeDescription(
        std::string(messageName_.empty() ? comment : std::string_view(messageName_)), statementLine_, statementColumn_);
    // The message is built as its items are taken, as the .TQF reader builds.
    builder_.Begin(std::numeric_limits<std::size_t>::max());
    int openDepth = 0;
    for (const SmlItem& item : items_) {
        result_.valuesDropped += item.values;
        if (item.leftOut) {
            if (item.depth == 0) {
                Note(SmlChange::ITEM_LEFT_OUT, item.line, item.column,
                     "second item of the message left out: a message holds one item");
            }
            continue;
        }
        while (openDepth > item.depth) {
            builder_.CloseList();
            --openDepth;
        }
        BuildItem(item, openDepth);
    }
    MessageHeader header;
    header.stream = stream_;
    header.function = function_;
    header.replyRequired = reply_ ? 1 : 0;
    header.description = description;
    FormatNode& message = *builder_.Finish(header);
    if (!ruleComments_.empty() || direction_ != Direction::ANY) {
        AttachRules(message);
    }
    ++result_.messagesRead;
    if (onMessage_) {
        onMessage_(message);
    }
}

inline void SmlParser::BuildItem(const SmlItem& item, int& openDepth) {
    const Tags tags = ReadTags(item);
    const std::string_view itemDescription = item.name.empty() ? tags.rest : std::string_view(item.name);
    if (item.format == LIST) {
        if (!itemDescription.empty()) {
            Note(SmlChange::LIST_NAME, item.line, item.column,
                 "list name " + Quoted(itemDescription) + " left out: a .TQF file keeps no list names");
        }
        const bool open = item.open || tags.open;
        if (item.counted && !open && item.count >= 0 && static_cast<std::size_t>(item.count) != item.items) {
            Note(SmlChange::LIST_COUNT, item.line, item.column,
                 "list declares " + std::to_string(item.count) + " items and holds " + std::to_string(item.items) +
                     ": its count is " + std::to_string(item.items));
        }
        builder_.OpenList(open);
        openDepth = item.depth + 1;
        return;
    }
    const std::string safe = SafeDescription(std::string(itemDescription), item.line, item.column);
    if (tags.variant || item.format == VARIANT) {
        builder_.AddItem(VARIANT, 0, safe);
        return;
    }
    const std::int32_t count = ItemCount(item, item.open || tags.open);
    if (item.format >= BINARY && item.format <= FLOAT8) {
        builder_.AddItem(item.format, count, safe);
    }
}

// The count that accepts what the item holds: values that contradict a
// declared count win over it (for a text, the larger of the two), and what
// a .TQF file cannot keep becomes open.
inline std::int32_t SmlParser::ItemCount(const SmlItem& item, bool open) {
    if (open) {
        return OPEN_COUNT;
    }
    std::int32_t count = 0;
    bool fixed = true;
    const bool maximum = CountIsAMaximum(item.format);
    if (item.values > 0 && item.counted && item.count >= 0 &&
        (maximum ? item.length > static_cast<std::size_t>(item.count)
                 : item.length != static_cast<std::size_t>(item.count))) {
        count = Clamp(item.length);
        Note(SmlChange::VALUE_COUNT, item.line, item.column,
             "count " + std::to_string(item.count) + " but " + ValueWord(item.format, item.length) +
                 " given: the count is " + std::to_string(item.length));
    } else if (item.counted) {
        count = item.count;
    } else if (item.length > 0) {
        count = Clamp(item.length);
        if (maximum) {
            // Only an example says how long such an item is.
            ++result_.exampleCounts;
            if (options_.openExampleCounts) {
                return OPEN_COUNT;
            }
        }
    } else {
        fixed = item.values > 0; // empty texts only; none at all is open
    }
    // A .TQF file writes a count below 2 without brackets and reads that as
    // 1: an empty or negative count would come back as one value. Open is
    // what keeps its meaning: any number of values, none among them.
    if (fixed && count <= 0) {
        Note(SmlChange::COUNT, item.line, item.column,
             (item.counted ? "count " + std::to_string(count) : std::string("empty value")) +
                 " cannot be kept by a .TQF file: the count is open");
    }
    return count <= 0 ? OPEN_COUNT : count;
}

// What one rule comment says, added to into; one that cannot be read is
// kept as it is written, as in a .TQF file, when a file can keep it.
inline void SmlParser::ReadRuleComment(const RuleComment& comment, NodeRules& into) {
    const std::string line = std::string(RuleText::MARK).append(comment.text);
    RuleText::Parsed parsed = RuleText::Parse(line);
    if (parsed.read && parsed.dictionary) {
        result_.warnings.push_back({comment.line, comment.column,
                                    "dictionary rule comment inside a message; left out (it belongs between them)"});
        return;
    }
    if (!parsed.read) {
        const bool keep = RuleText::IsRuleLine(line) && line.size() <= MAX_UNREAD_RULE_LINE_BYTES &&
                          into.unreadLines.size() < MAX_UNREAD_RULE_LINES;
        result_.warnings.push_back(
            {comment.line, comment.column,
             "rule comment not read (" + parsed.reason + ")" + (keep ? "; kept as it is written" : "; left out")});
        parsed.rules = NodeRules();
        if (keep) {
            parsed.rules.unreadLines.push_back(line);
        }
    }
    RuleText::Merge(into, std::move(parsed.rules));
}

// Gives the message just built, and its items, the rules their comments
// say, and the message the direction its log line says.
void SmlParser::AttachRules(FormatNode& message) {
    // The nodes in the order their items were read: one for each item
    // that was not left out.
    std::vector<FormatNode*> nodes;
    for (FormatNode* node = message.FirstChild(); node != nullptr;) {
        nodes.push_back(node);
        FormatNode* next = node->FirstChild();
        for (FormatNode* up = node; next == nullptr && up != &message; up = up->Parent()) {
            next = up->NextSibling();
        }
        node = next;
    }
    std::vector<std::size_t> nodeOfItem(items_.size(), nodes.size());
    for (std::size_t i = 0, n = 0; i < items_.size() && n < nodes.size(); ++i) {
        if (!items_[i].leftOut) {
            nodeOfItem[i] = n++;
        }
    }
    std::vector<std::pair<FormatNode*, NodeRules>> ruled;
    const auto rulesOf = [&ruled](FormatNode* node, std::size_t line) -> NodeRules& {
        for (auto& [held, rules] : ruled) {
            if (held == node) {
                return rules;
            }
        }
        ruled.emplace_back(node, NodeRules());
        ruled.back().second.line = line;
        return ruled.back().second;
    };
    for (const RuleComment& comment : ruleComments_) {
        FormatNode* node = &message;
        if (comment.owner != HEADER_OWNER) {
            const std::size_t at = nodeOfItem[comment.owner];
            if (at >= nodes.size()) {
                result_.warnings.push_back(
                    {comment.line, comment.column, "rule comment of an item left out; left out"});
                continue;
            }
            node = nodes[at];
        }
        ReadRuleComment(comment, rulesOf(node, comment.line));
    }
    if (direction_ != Direction::ANY) {
        NodeRules& rules = rulesOf(&message, statementLine_);
        rules.direction = rules.direction == Direction::ANY ? direction_ : rules.direction;
    }
    for (auto& [node, rules] : ruled) {
        if (const char* refusal = RulesRefusal(rules); refusal != nullptr) {
            result_.warnings.push_back({rules.line, 1, std::string("rules not kept: ") + refusal});
            continue;
        }
        builder_.Document().SetReadRules(node, std::move(rules));
    }
}

// The statement as it was sent, values counted, to the handler that takes
// statements in place of the document.
void SmlParser::Hand() {
    statement_.stream = stream_;
    statement_.function = function_;
    statement_.replyRequired = reply_;
    statement_.direction = direction_;
    statement_.line = statementLine_;
    statement_.column = statementColumn_;
    statement_.items.clear();
    statement_.values.assign(valueTexts_.begin(), valueTexts_.end());
    statement_.text = text_.substr(statementStart_, pos_ - statementStart_);
    for (const SmlItem& item : items_) {
        SmlStatementItem& sent = statement_.items.emplace_back();
        sent.format = item.format;
        sent.depth = item.depth;
        // An item without values, "<U4[2]>" as manuals write one, holds what
        // it declares.
        sent.size = item.format == LIST ? item.items
                    : item.values > 0   ? item.length
                    : item.counted      ? static_cast<std::size_t>(std::max(item.count, 0))
                                        : 0;
        sent.extra = item.leftOut;
        sent.firstValue = item.firstValue;
        sent.values = item.values;
        sent.line = item.line;
        sent.column = item.column;
    }
    ++result_.messagesRead;
    handler_->HandleStatement(statement_);
}

} // namespace tqf::sml
