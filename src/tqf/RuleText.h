#pragma once

#include "NodeRules.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// Rules as a format file keeps them: comment lines that begin with "//@" in
// their first column, right after the line of the node they belong to, or
// at the file's head for the dictionary. A reader that knows nothing of
// rules drops them with every "//" comment. One line holds clauses parted by
// ";", and further lines for the same node add to it:
//
//   //@ formats U4 U1 A; count 1..32; values 0 1 3..63 "ON"; optional
//   //@ reply optional; direction H->E
//   //@ dictionary CEID: formats U1 U2 U4 U8 I1 I2 I4 I8 A
//
// Texts are quoted, with \" \\ and \xHH for any byte that is not plain
// printable ASCII and for "*", so that no line can open or close a "/*"
// comment. Every line written is shorter than MAX_LINE_BYTES, so that a
// reader that reads long lines in pieces never sees a piece of one as text.
class RuleText {
public:
    static constexpr std::string_view MARK = "//@";
    static constexpr std::size_t MAX_LINE_BYTES = 240;

    // One that opens or closes a "/*" comment is not: part of it may belong
    // to a statement.
    static bool IsRuleLine(std::string_view line) {
        return line.substr(0, MARK.size()) == MARK && line.find("/*") == std::string_view::npos &&
               line.find("*/") == std::string_view::npos;
    }

    // The lines of rules in their one written form, kept lines last; name is
    // the dictionary entry's, empty for the rules of a node.
    static std::vector<std::string> Lines(const NodeRules& rules, std::string_view name = {});

    // What one line says.
    struct Parsed {
        bool read = false;       // false: the line says nothing readable
        bool dictionary = false; // a dictionary entry's line
        std::string name;        // the entry's name
        NodeRules rules;
        std::size_t column = 0; // 1-based: where reading failed
        std::string reason;     // why
    };
    static Parsed Parse(std::string_view line);

    // Adds what a further line says of the same node.
    static void Merge(NodeRules& into, NodeRules&& more);

    // The rules of a node in a few words, as a row of the tree shows them.
    static std::string Summary(const NodeRules& rules);

    // "U1 U2 A", a format's code alone, and the format of a code (any case).
    static std::string FormatList(const std::vector<std::int32_t>& formats);
    static std::optional<std::int32_t> FormatOfCode(std::string_view code);
    static std::string Quoted(std::string_view text);
};

} // namespace tqf
