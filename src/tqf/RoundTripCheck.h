#pragma once

#include "BlockText.h"
#include "FormatNode.h"
#include "RuleBook.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// A message that would not come back the same from its own format file.
struct RoundTripProblem {
    const FormatNode* message = nullptr; // the message in the checked document
    std::string label;                   // its label, to name it to the user
    std::string reason;                  // what would come back differently
};

struct RoundTripReport {
    // Why the check could not write or read back the whole file, such as
    // "not enough memory to check the file"; empty when it did. The text is
    // then no whole file and must not be saved.
    std::string failure;
    std::vector<RoundTripProblem> problems; // in document order
    BlockText text;                         // the file the check wrote, byte for byte as a save writes it
    bool cancelled = false;                 // the progress check stopped it; failure says so too

    bool Ok() const { return failure.empty() && problems.empty(); }
};

// Tells, before a save, which messages the file written for a document would
// not give back when it is read again. Letter case is not compared (the reader
// reads capitals), nor what the format cannot keep anyway: a non-list count
// of 0 comes back as 1, a VARIANT item's count and open flag are not kept,
// and a list's description is not kept.
class RoundTripCheck {
public:
    static constexpr std::string_view NO_MEMORY = "not enough memory to check the file";
    static constexpr std::string_view CANCELLED = "the check was cancelled";

    // Asked now and then, on the calling thread, with the bytes of the file
    // read back so far; true stops the check, as cancelled.
    using Progress = std::function<bool(std::uint64_t bytesChecked)>;

    // With rules, the file holds them too, as a save writes them; a reader
    // of the messages passes their lines over as comments.
    static RoundTripReport CheckRoundTrip(const FormatNode* root, const RuleBook* rules = nullptr);
    // The same, but nothing when the file would take more than textLimit
    // bytes, which are then not held in memory: each piece of the text is
    // limited before it grows, however large one message is.
    static std::optional<RoundTripReport> CheckRoundTrip(const FormatNode* root, std::uint64_t textLimit,
                                                         const Progress& progress = {},
                                                         const RuleBook* rules = nullptr);

private:
    static std::optional<RoundTripReport> CheckWhole(const FormatNode* root, std::uint64_t textLimit,
                                                     const Progress& progress, const RuleBook* rules);
};

} // namespace tqf
