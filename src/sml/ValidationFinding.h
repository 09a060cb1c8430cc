#pragma once

#include "FormatNode.h"

#include <cstddef>
#include <string>

namespace tqf {

// One way in which a message that was sent differs from its definition, or a
// message that could not be read at all.
struct ValidationFinding {
    std::size_t line = 0;   // in the messages' text, 1-based
    std::size_t column = 0; // 1-based, in bytes
    std::string message;    // the message's label as sent, "S6F11W"; empty when unreadable
    std::string itemPath;   // "1.3": the third item of the message's list; empty for the message itself
    std::string reason;     // "U4 expected, got A"
    // The definition held against, and its item where the mismatch lies;
    // none when the library has no definition or the message was unreadable.
    const FormatNode* definition = nullptr;
    const FormatNode* item = nullptr;
    bool unreadable = false;
};

} // namespace tqf
