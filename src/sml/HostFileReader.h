#pragma once

#include "FormatTree.h"
#include "ReadDiagnostic.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace tqf {

// What reading a host definition file gave.
struct HostReadResult {
    std::size_t messagesRead = 0;
    // Each statement left out, where and why: what the library cannot say.
    std::vector<ReadDiagnostic> dropped;
};

// Reads the message definitions of a host's definition file into a document,
// each with the rules the file states:
//
//   * a comment line
//   #define NAMELEN 32
//   S1F2 =s1f2out OUTPUT <L [2] <A [MAX NAMELEN] = Mdln > <A [MAX 20] = Softrev >>.
//
// "S1F2" is the message, "=s1f2out" its description, INPUT (the host
// receives it) and OUTPUT (the host sends it) its direction; "<A [MAX 32]>"
// an open count with the count rule ..32, "[k]" a fixed count, "= Name" the
// item's description, "<V>" VARIANT. A number may be a name #define gave.
// A statement with anything else is left out, and reported with its place.
class HostFileReader {
public:
    explicit HostFileReader(FormatTree& document) : document_(document) {}
    HostReadResult Read(std::string_view text);

private:
    FormatTree& document_;
};

} // namespace tqf
