#pragma once

#include "ParseTree.h"

#include <string>

namespace tqf {

// A parse tree as one line for comparisons in tests: each node as its code,
// "[count]", "n" when open, the description in quotes, and its sub-items in
// parentheses. Example: "L[2](U4[1] 'ID', An[-1])".
std::string ParseTreeText(const ParseTree& tree);

} // namespace tqf
