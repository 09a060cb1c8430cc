#pragma once

#include "FormatTree.h"

#include <cstdint>

namespace tqf {

// Fills a document with messageCount messages of mixed shapes, as a real
// library has them: messages without items, single items, lists nested up to
// four deep, open lists and counts, descriptions. The same seed always gives
// the same document; every text is in capitals, so the written file reads
// back to the same bytes. About 450 bytes of file per message.
void GenerateLibrary(FormatTree& document, int messageCount, std::uint32_t seed = 1);

} // namespace tqf
