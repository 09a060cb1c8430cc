#pragma once

#include <limits>

namespace tqf {

// The longest text an edit field of the editor holds. A line edit keeps only
// 32767 characters unless told otherwise and cuts off anything longer without
// a word, both when text is pasted and when the editor shows a node: a longer
// description from a file would then be shortened by the next Update. So the
// fields hold as much as a string can.
inline constexpr int EDIT_FIELD_MAX_LENGTH = std::numeric_limits<int>::max();

} // namespace tqf
