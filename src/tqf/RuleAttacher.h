#pragma once

#include "FormatTree.h"
#include "ReadDiagnostic.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tqf {

// Gives the rule lines a read met to the nodes they follow, once the
// messages are built: a line belongs to the last node whose "<" (or whose
// message header) came before it, in the statement under way or, between
// statements, in the statement that ended last.
class RuleAttacher {
public:
    static constexpr std::size_t NO_STATEMENT = SIZE_MAX; // before the first statement
    static constexpr std::size_t LAST_NODE = SIZE_MAX;    // the statement's last node

    struct Line {
        std::size_t line = 0;                 // 1-based
        std::string text;                     // as written
        std::size_t statement = NO_STATEMENT; // its number among the statements collected
        std::size_t item = 0;                 // 0: the message; n: its n-th item in file order
    };

    // lines in file order; firstMessage: the message the first statement
    // built (none: no message was built); dropped: the numbers of the
    // statements that built no message, in order; statements: how many were
    // collected. What cannot be read or belongs to no node is a warning.
    static void Attach(FormatTree& document, FormatNode* firstMessage, std::vector<Line>& lines,
                       const std::vector<std::size_t>& dropped, std::size_t statements,
                       std::vector<ReadDiagnostic>& warnings);
};

} // namespace tqf
