#pragma once

#include "FormatNode.h"

#include <string>

namespace tqf {

// A document as text for comparisons in tests, one node per line, indented by
// two spaces per level: the label, then "#" and the count, then the
// description in quotes when there is one; lists are marked "list".
// Example: "S1F3W 'ID'\n  <L[2]> #2 list\n    <U4> #1\n".
std::string DumpDocument(const FormatNode* root);

} // namespace tqf
