#pragma once

#include "FormatNode.h"

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
// "[VARIANT]" for an item of any format (written as "<A>").
class SmlWriter {
public:
    static constexpr std::string_view FILE_COMMENT =
        "// SECS messages written by tqf-editor. A // comment holds the description of its line's message\n"
        "// or item; [n] marks an open list, [VARIANT] an item of any format.\n";
    static constexpr std::string_view OPEN_TAG = "[n]";
    static constexpr std::string_view VARIANT_TAG = "[VARIANT]";

    // The whole SML text of the document under root. True when the stream
    // took every byte and flushed them.
    [[nodiscard]] static bool WriteSml(const FormatNode* root, std::ostream& out);
    static std::string SmlText(const FormatNode* root);

    // The SML of one message and its items, appended to out.
    static void AppendMessage(const FormatNode* message, std::string& out);

private:
    // Text is handed to the stream in pieces of about this size.
    static constexpr std::size_t FLUSH_BYTES = std::size_t{64} * 1024;

    // The same, handing out on to file (when there is one) as it grows;
    // false when file took not all of it.
    static bool AppendMessage(const FormatNode* message, std::string& out, std::ostream* file);
};

} // namespace tqf
