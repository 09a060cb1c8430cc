#pragma once

#include "FormatNode.h"
#include "RuleBook.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace tqf {

// Writes the document as a format file: the header line, then each message
// with its label and description and its items in bracket notation, one per
// line, indented by tabs. Lines end in CR LF on every platform.
class FormatWriter {
public:
    static constexpr std::string_view FILE_HEADER = "/* TALVO SECS MESSAGE FORMAT FILE */";
    static constexpr std::string_view LINE_END = "\r\n";

    // Writes node, its descendants, and every following sibling with its
    // descendants. Works without recursion, so any depth is fine.
    static void WriteNodes(const FormatNode* node, std::ostream& file, const RuleBook* rules = nullptr);

    // The bytes WriteNodes writes, appended to out.
    static void AppendNodes(const FormatNode* node, std::string& out);

    // Like AppendNodes, but for node and its descendants only, not its
    // following siblings. For a message, this is the message's part of the file.
    static void AppendSubtree(const FormatNode* node, std::string& out);
    // The same, but out never grows past limit bytes: false when the
    // subtree did not fit, and out then holds only a part of it.
    [[nodiscard]] static bool AppendSubtree(const FormatNode* node, std::string& out, std::uint64_t limit,
                                            const RuleBook* rules = nullptr);
    // The dictionary of rules as it follows the header.
    static void AppendDictionary(const RuleBook* rules, std::string& out);

    // The whole file for the document under root: the header, then the nodes.
    // With rules, the dictionary follows the header and each node's rules
    // its line.
    // True when the stream took every byte and flushed them.
    [[nodiscard]] static bool WriteFormatFile(const FormatNode* root, std::ostream& file,
                                              const RuleBook* rules = nullptr);
    static std::string FormatFileText(const FormatNode* root, const RuleBook* rules = nullptr);

    // At least as many bytes as WriteFormatFile writes for the document under
    // root, found without writing: a walk over the nodes.
    static std::uint64_t FileSizeBound(const FormatNode* root, const RuleBook* rules = nullptr);
    // Exactly as many bytes as WriteFormatFile writes, counted without
    // holding the text: a walk over the nodes.
    static std::uint64_t FileSize(const FormatNode* root, const RuleBook* rules = nullptr);

    // The last direct child of node, or none.
    static const FormatNode* LastChild(const FormatNode* node);

    // The steps from node up to the nearest message, node included: 0 for a
    // message, 1 for its top-level item.
    static int NodeDepth(const FormatNode* node);
};

} // namespace tqf
