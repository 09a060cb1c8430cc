#pragma once

#include "FormatNode.h"
#include "FormatTree.h"

#include <string>
#include <vector>

namespace tqf {

// The definitions of a library that from-sml made, one for each message it
// read, taken together for each stream and function.
class SmlMerge {
public:
    // Builds into merged one definition for each stream, function and reply
    // flag (and for messages with and without an item), the least general
    // one that accepts every message it stands for: counts that vary become
    // open, lists whose length varies open lists of one item that accepts
    // each of theirs, items of different formats VARIANT. The definitions
    // come in the order their first message came. Says what it folded, and
    // where a message's reply flag varies.
    static std::vector<std::string> Merge(const FormatNode* library, FormatTree& merged);

    // Each stream and function that the library defines more than once,
    // with how many definitions and how many of them differ.
    static std::vector<std::string> Duplicates(const FormatNode* library);
};

} // namespace tqf
