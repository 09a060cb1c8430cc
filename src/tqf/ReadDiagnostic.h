#pragma once

#include <cstddef>
#include <string>

namespace tqf {

// One finding of reading a file, at the place in the file it concerns: why a
// statement was dropped, or what was read without being dropped but is rarely
// meant.
struct ReadDiagnostic {
    std::size_t line = 0;   // 1-based
    std::size_t column = 0; // 1-based, counted in bytes
    std::string reason;     // a few words, for example "unknown item format QQ"
    friend bool operator==(const ReadDiagnostic&, const ReadDiagnostic&) = default;
};

} // namespace tqf
