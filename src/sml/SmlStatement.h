#pragma once

#include "NodeRules.h"
#include "ReadDiagnostic.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tqf {

// One item of an SML message as it was sent, with what its values amount to.
struct SmlStatementItem {
    std::int32_t format = 0; // an ItemFormat
    int depth = 0;           // 0 for the message's item, 1 for those in it, ...
    // How much the item holds: the characters of its texts for ASCII and
    // JIS-8, its sub-items for a list, the number of its values otherwise.
    std::size_t size = 0;
    // An item at depth 0 after the first, or one inside it: a message holds
    // one item.
    bool extra = false;
    // Its values among the statement's: texts without their quotes, numbers
    // as written.
    std::size_t firstValue = 0;
    std::size_t values = 0;
    std::size_t line = 0;   // where its "<" stands, 1-based
    std::size_t column = 0; // 1-based, in bytes
};

// One SML message as it was sent: its header and its items in the order
// they were written (each list followed by what it holds).
struct SmlStatement {
    std::int32_t stream = 0;
    std::int32_t function = 0;
    bool replyRequired = false;
    std::size_t line = 0; // where the statement begins
    std::size_t column = 0;
    // Who sent it, as the log's line says ("Dir=2", "Sent by Host"); ANY in
    // an SML file and in a log that does not say. Only definitions sent that
    // way are held against it.
    Direction direction = Direction::ANY;
    std::vector<SmlStatementItem> items;
    // The values of every item, valid only while the statement is handled.
    std::vector<std::string_view> values;
    // The statement as written, from its header (or the name before it) to
    // its "." and a comment after that: read again on its own, it makes the
    // message the whole text makes of it. Valid only while it is handled.
    std::string_view text;
};

// What becomes of each statement an SmlReader reads, in place of a message
// of the document: a check of real messages against a library, say.
class SmlStatementHandler {
public:
    SmlStatementHandler() = default;
    SmlStatementHandler(const SmlStatementHandler&) = delete;
    SmlStatementHandler& operator=(const SmlStatementHandler&) = delete;
    virtual ~SmlStatementHandler() = default;

    // A statement that was read; valid only during the call.
    virtual void HandleStatement(const SmlStatement& statement) = 0;
    // A statement that could not be read, where and why.
    virtual void HandleUnreadable(const ReadDiagnostic& diagnostic) = 0;
};

} // namespace tqf
