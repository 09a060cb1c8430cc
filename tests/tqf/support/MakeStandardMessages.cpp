// Writes examples/standard-messages.TQF to standard output:
//   tqf_make_standard_messages > examples/standard-messages.TQF
#include "FormatTree.h"
#include "FormatWriter.h"
#include "StandardMessages.h"

#include <iostream>

int main() {
    tqf::FormatTree document;
    tqf::BuildStandardMessages(document);
    return tqf::FormatWriter::WriteFormatFile(document.GetRootNode(), std::cout) ? 0 : 1;
}
