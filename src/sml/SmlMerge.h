#pragma once

#include "FormatNode.h"
#include "FormatTree.h"
#include "RuleBook.h"

#include <string>
#include <vector>

namespace tqf {

// The definitions of a library that from-sml made, one for each message it
// read, taken together for each stream and function.
class SmlMerge {
public:
    // Builds into merged one definition for each stream, function and
    // direction (for messages with and without an item apart), the least
    // general one that accepts every message it stands for, with rules
    // where a definition cannot say it: counts that vary become open, with a
    // rule of the range seen (up to the longest, for a text or binary item,
    // whose count is a maximum); lists whose length varies become open lists
    // of one item that accepts each of theirs; items of different formats
    // take the one seen most often, with a rule that allows the others; a
    // message sent both with W and without has an optional reply; a message
    // whose direction its log said keeps it as a rule. rules: the library's
    // (none: no rules), which the definitions made hold too. The definitions
    // come in the order their first message came. Says what it folded.
    static std::vector<std::string> Merge(const FormatNode* library, FormatTree& merged,
                                          const RuleBook* rules = nullptr);

    // Each stream and function that the library defines more than once,
    // with how many definitions and how many of them differ.
    static std::vector<std::string> Duplicates(const FormatNode* library);
};

} // namespace tqf
