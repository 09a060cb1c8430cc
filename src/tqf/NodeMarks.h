#pragma once

#include <cstddef>
#include <istream>
#include <string_view>

namespace tqf {

// The most nodes (messages and items) a library's text can make, found in one
// quick pass over its bytes without reading it: every item begins with a
// "<", and every message holds one of messageMarks (a format file's "." that
// ends it; an SML header's "F"), the last one perhaps not. Comments and
// descriptions only make the count larger. Counting stops once it is past
// enough, the caller's question being whether the nodes fit.
std::size_t CountNodeMarks(std::istream& in, std::string_view messageMarks, std::size_t enough);

// The marks of a format file's messages, and of an SML file's.
inline constexpr std::string_view FORMAT_MESSAGE_MARKS = ".";
inline constexpr std::string_view SML_MESSAGE_MARKS = "Ff";

} // namespace tqf
