#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// A place in a statement and what is wrong there. offset counts bytes of the
// statement as it was collected, before the spaces next to brackets were
// removed, so that it points into the file.
struct StatementFinding {
    std::size_t offset = 0;
    std::string reason;
    friend bool operator==(const StatementFinding&, const StatementFinding&) = default;
};

// Tells why the reader dropped a statement, and which numbers of an accepted
// one it clamped. It reads the statement again, the way the reader does, but
// keeps track of where each byte came from; it runs only for the statements
// it has to explain, so reading stays as fast as it is.
class DropExplainer {
public:
    // statement: as collected (trimmed, letters in capitals), and one that the
    // reader dropped.
    static StatementFinding ExplainDrop(std::string_view statement);

    // A statement whose "." never came before the end of the file.
    static StatementFinding ExplainUnterminated(std::string_view statement);

    // The numbers of an accepted statement that were beyond the 32-bit range
    // and read as its nearest end: stream and function numbers and item counts.
    static std::vector<StatementFinding> FindClampedNumbers(std::string_view statement);

    // Text fit to quote in a reason: control bytes escaped, long text cut.
    static std::string Quote(std::string_view text);
};

} // namespace tqf
