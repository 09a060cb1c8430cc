#pragma once

#include "FormatNode.h"
#include "RuleBook.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace tqf {

// Writes a library as SML (SECS Message Language), one statement per message.
// Items carry no values, so each is written as an item without a value: a
// fixed count as "[k]", an open count as no bracket at all. What SML has no
// notation for goes into "//" comments on the line, which SmlReader reads
// back: a message's or item's description, "[n]" for an open list, and
// "[VARIANT]" for an item of any format (written as "<A>"). Rules go into
// "//@" comments in the form a .TQF file keeps them: a node's on its line
// after the description, the dictionary's on lines of their own at the
// head.
class SmlWriter {
public:
    static constexpr std::string_view FILE_COMMENT =
        "// SECS messages written by tqf-editor. A // comment holds the description of its line's message\n"
        "// or item; [n] marks an open list, [VARIANT] an item of any format; a // comment that begins\n"
        "// with @ holds rules.\n";
    static constexpr std::string_view OPEN_TAG = "[n]";
    static constexpr std::string_view VARIANT_TAG = "[VARIANT]";

    // The whole SML text of the document under root. True when the stream
    // took every byte and flushed them.
    [[nodiscard]] static bool WriteSml(const FormatNode* root, std::ostream& out) {
        return WriteSml(root, out, nullptr);
    }
    // With the rules of rules (none: no rules).
    [[nodiscard]] static bool WriteSml(const FormatNode* root, std::ostream& out, const RuleBook* rules);
    static std::string SmlText(const FormatNode* root, const RuleBook* rules = nullptr);

    // The SML of one message and its items, appended to out.
    static void AppendMessage(const FormatNode* message, std::string& out, const RuleBook* rules = nullptr);

private:
    // Text is handed to the stream in pieces of about this size.
    static constexpr std::size_t FLUSH_BYTES = std::size_t{64} * 1024;

    // The same, handing out on to file (when there is one) as it grows;
    // false when file took not all of it.
    static bool AppendMessage(const FormatNode* message, std::string& out, std::ostream* file, const RuleBook* rules);
    // The dictionary's lines.
    static void AppendDictionary(const RuleBook* rules, std::string& out);
};

} // namespace tqf
