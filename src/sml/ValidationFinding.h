#pragma once

#include "FormatNode.h"

#include <cstddef>
#include <string>
#include <vector>

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
    // The library has no definition for the message; statement is its
    // text as written, which read as SML makes the definition it lacks.
    bool noDefinition = false;
    std::string statement;
};

// Findings alike: the same message, item, reason and definition, as a log
// gives them once for every time a message was sent.
struct FindingGroup {
    ValidationFinding first; // where it was found first
    std::size_t count = 0;
};

// The findings grouped, each group where its first finding was; unreadable
// statements are grouped by their reason.
std::vector<FindingGroup> GroupFindings(const std::vector<ValidationFinding>& findings);

} // namespace tqf
