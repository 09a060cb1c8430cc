#pragma once

#include "BlockText.h"
#include "FormatNode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tqf {

// A message that would not come back the same from its own format file.
struct RoundTripProblem {
    const FormatNode* message = nullptr; // the message in the checked document
    std::string label;                   // its label, to name it to the user
    std::string reason;                  // what would come back differently
};

struct RoundTripReport {
    std::vector<RoundTripProblem> problems; // in document order
    BlockText text;                         // the file the check wrote, byte for byte as a save writes it

    bool Ok() const { return problems.empty(); }
};

// Tells, before a save, which messages the file written for a document would
// not give back when it is read again. Letter case is not compared (the reader
// reads capitals), nor what the format cannot keep anyway: a non-list count
// of 0 comes back as 1, a VARIANT item's count and open flag are not kept,
// and a list's description is not kept.
class RoundTripCheck {
public:
    static RoundTripReport CheckRoundTrip(const FormatNode* root);
    // The same, but nothing when the file would take more than textLimit
    // bytes, which are then not held in memory.
    static std::optional<RoundTripReport> CheckRoundTrip(const FormatNode* root, std::uint64_t textLimit);
};

} // namespace tqf
