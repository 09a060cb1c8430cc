#pragma once

#include "FormatTree.h"

namespace tqf {

// Builds examples/standard-messages.TQF in memory: common SECS messages of
// streams 1, 2, 5, 6, 7 and 10. Every text is in capitals and every count is
// one the file keeps, so reading the written file back gives the same bytes.
void BuildStandardMessages(FormatTree& document);

} // namespace tqf
