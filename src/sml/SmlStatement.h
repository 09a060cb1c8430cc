#pragma once

#include "ReadDiagnostic.h"

#include <cstddef>
#include <cstdint>
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
    std::size_t line = 0;   // where its "<" stands, 1-based
    std::size_t column = 0; // 1-based, in bytes
};

// Who sent a message, where a log says it.
enum class SmlDirection {
    UNKNOWN,
    HOST_TO_EQUIPMENT,
    EQUIPMENT_TO_HOST,
};

// One SML message as it was sent: its header and its items in the order
// they were written (each list followed by what it holds).
struct SmlStatement {
    std::int32_t stream = 0;
    std::int32_t function = 0;
    bool replyRequired = false;
    // As the log's line says ("Dir=2", "Sent by Host"); UNKNOWN in an SML
    // file, and in a log that does not say.
    SmlDirection direction = SmlDirection::UNKNOWN;
    std::size_t line = 0; // where the statement begins
    std::size_t column = 0;
    std::vector<SmlStatementItem> items;
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
