#pragma once

#include "NodeRules.h"
#include "RuleBook.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tqf {

// Rules as the window's dialogs show them for editing: the text of rule
// lines after their "//@ " mark. A node's rules are one line of clauses
// ("formats U4 A; count ..32"); the dictionary is one entry a line
// ("dictionary CEID: formats U4 A"). Lines of a file that could not be read
// are not shown and are kept through an edit, as the file has them.
class RuleEditText {
public:
    // What reading an edited text gave: the rules, or why it cannot be read.
    struct NodeResult {
        bool read = false;
        NodeRules rules;
        std::string reason; // "column 9: unknown format"
    };
    struct DictionaryResult {
        bool read = false;
        RuleBook::Dictionary dictionary;
        std::string reason; // "line 2, column 12: ..."
    };

    static std::string OfNode(const NodeRules* rules);
    // An empty text: no rules. held: the rules the node has, whose unread
    // lines go along.
    static NodeResult ReadNode(std::string_view text, const NodeRules* held);

    static std::string OfDictionary(const RuleBook::Dictionary& dictionary);
    // Blank lines are skipped; lines of the same name add to one entry.
    static DictionaryResult ReadDictionary(std::string_view text, const RuleBook::Dictionary& held);
};

} // namespace tqf
