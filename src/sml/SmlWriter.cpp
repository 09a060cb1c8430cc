#include "SmlWriter.h"

#include "Decimal.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "RuleText.h"

#include <algorithm>
#include <optional>
#include <string>

namespace tqf {

namespace {

constexpr std::string_view INDENT = "  ";
constexpr std::string_view COMMENT = "  // ";

// The SML code of a format. JIS-8 is "J" in SML; a VARIANT item has no
// code of its own and is written as ASCII, its comment saying what it is.
std::string_view SmlCode(std::int32_t format) {
    switch (format) {
    case JIS8:
        return "J";
    case VARIANT:
        return "A";
    default:
        return FormatCode(format);
    }
}

void AppendIndent(std::string& out, int depth) {
    for (int i = 0; i < depth; ++i) {
        out += INDENT;
    }
}

// Ends a line: the statement's "." where it ends, then the comment with
// the tags and the description, when there is any.
// A node's rules follow, each line of them after its own "//@" mark.
void EndLine(std::string& out, bool endsMessage, std::string_view tag, std::string_view description,
             const NodeRules* rules = nullptr) {
    if (endsMessage) {
        out += '.';
    }
    if (!tag.empty() || !description.empty()) {
        out += COMMENT;
        out += tag;
        if (!tag.empty() && !description.empty()) {
            out += ' ';
        }
        out += description;
    }
    if (rules != nullptr) {
        for (const std::string& line : RuleText::Lines(*rules)) {
            out += ' ';
            out += line;
        }
    }
    out += '\n';
}

const NodeRules* RulesOf(const RuleBook* rules, const FormatNode* node) {
    return rules != nullptr ? rules->Of(node) : nullptr;
}

void AppendHeader(const FormatNode* message, std::string& out) {
    if (const std::optional<MessageLabelFields> fields = ReadMessageLabel(message->Label())) {
        out += 'S';
        out += std::to_string(fields->stream);
        out += 'F';
        out += std::to_string(fields->function);
        if (fields->replyRequired) {
            out += " W";
        }
    } else {
        out += message->Label();
    }
}

// True when text starts with tag, in any letter case.
bool StartsWithTag(std::string_view text, std::string_view tag) {
    return text.size() >= tag.size() && std::ranges::equal(text.substr(0, tag.size()), tag, [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
           });
}

// The item line of node at depth (0 for the message's top-level item).
void AppendItem(const FormatNode* node, int depth, bool endsMessage, std::string& out, const RuleBook* rules) {
    AppendIndent(out, depth);
    out += '<';
    out += SmlCode(node->Format());
    std::string_view tag;
    if (node->Format() == VARIANT) {
        tag = SmlWriter::VARIANT_TAG;
    } else if (node->Count() != OPEN_COUNT) {
        out += '[';
        out += std::to_string(node->IsList() ? node->Count() : std::max(node->Count(), 0));
        out += ']';
    } else if (node->IsList()) {
        // A list without a bracket counts its items; only the comment can say
        // that its count is open.
        tag = SmlWriter::OPEN_TAG;
    } else if (node->Format() == ASCII && StartsWithTag(node->Description(), SmlWriter::VARIANT_TAG)) {
        // <A> with that comment would read back as a VARIANT item: the open
        // count is written out instead.
        out += "[n]";
    }
    const bool hasItems = node->FirstChild() != nullptr;
    if (!hasItems) {
        out += '>';
    }
    // A list's description is not part of the library: its label drops it
    // once it has items, and the file does not read it back.
    EndLine(out, endsMessage && !hasItems, tag, node->IsList() ? std::string_view{} : node->Description(),
            RulesOf(rules, node));
}

} // namespace

void SmlWriter::AppendMessage(const FormatNode* message, std::string& out, const RuleBook* rules) {
    (void)AppendMessage(message, out, nullptr, rules);
}

void SmlWriter::AppendDictionary(const RuleBook* rules, std::string& out) {
    if (rules == nullptr) {
        return;
    }
    for (const auto& [key, entry] : rules->Entries()) {
        for (const std::string& line :
             RuleText::Lines(entry.rules, key.empty() ? std::string_view() : std::string_view(entry.name))) {
            out += line;
            out += '\n';
        }
    }
}

bool SmlWriter::AppendMessage(const FormatNode* message, std::string& out, std::ostream* file, const RuleBook* rules) {
    // A deep message's text grows with the square of its depth: with a
    // stream, the text is handed on whenever it is large, and the writing
    // stops as soon as the stream takes no more.
    const auto handOn = [&out, file] {
        if (file != nullptr && out.size() >= FLUSH_BYTES) {
            file->write(out.data(), static_cast<std::streamsize>(out.size()));
            out.clear();
        }
        return file == nullptr || static_cast<bool>(*file);
    };
    AppendHeader(message, out);
    // A comment loses the white space at its ends, and the import takes a
    // message's description out of one pair of parentheses: such a
    // description goes into a pair of its own, as in a format file.
    const std::string_view text = message->Description();
    const bool wrap =
        !text.empty() && (IsSpace(text.front()) || IsSpace(text.back()) || (text.front() == '(' && text.back() == ')'));
    const std::string description = wrap ? '(' + std::string(text) + ')' : std::string(text);
    const FormatNode* item = message->FirstChild();
    if (item == nullptr) {
        EndLine(out, true, {}, description, RulesOf(rules, message));
        return handOn();
    }
    EndLine(out, false, {}, description, RulesOf(rules, message));
    // Depth first without recursion: down to the first sub-item, else along
    // to the next sibling, else up, closing each list left.
    const FormatNode* node = item;
    int depth = 0;
    while (node != nullptr) {
        // The "." follows the top-level item's line, or its closing ">".
        const bool last = node == item && node->FirstChild() == nullptr;
        AppendItem(node, depth, last, out, rules);
        if (!handOn()) {
            return false;
        }
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            ++depth;
            continue;
        }
        while (node != item && node->NextSibling() == nullptr) {
            node = node->Parent();
            --depth;
            AppendIndent(out, depth);
            out += '>';
            EndLine(out, node == item, {}, {});
            if (!handOn()) {
                return false;
            }
        }
        node = node == item ? nullptr : node->NextSibling();
    }
    return true;
}

std::string SmlWriter::SmlText(const FormatNode* root, const RuleBook* rules) {
    std::string out(FILE_COMMENT);
    AppendDictionary(rules, out);
    for (const FormatNode* message = root->FirstChild(); message != nullptr; message = message->NextSibling()) {
        out += '\n';
        AppendMessage(message, out, rules);
    }
    return out;
}

bool SmlWriter::WriteSml(const FormatNode* root, std::ostream& out, const RuleBook* rules) {
    std::string text(FILE_COMMENT);
    AppendDictionary(rules, text);
    for (const FormatNode* message = root->FirstChild(); message != nullptr; message = message->NextSibling()) {
        text += '\n';
        if (!AppendMessage(message, text, &out, rules)) {
            return false;
        }
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return static_cast<bool>(out);
}

} // namespace tqf
