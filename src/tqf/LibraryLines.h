#pragma once

#include "FormatNode.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tqf {

// The lines of a .TQF file on which its messages and items stand, so that a
// report about a definition can name its place in the library. Found from
// the file's text once it has been read into a document: the items of each
// message are the "<" of its statement, in order, outside comments.
class LibraryLines {
public:
    // bytes are the file, library the document read from them and
    // messageLines the line of each message's ".", as the reader gave them.
    LibraryLines(std::string_view bytes, const FormatNode* library, const std::vector<std::size_t>& messageLines);

    // The line of node, 1-based; 0 when it is not known.
    std::size_t LineOf(const FormatNode* node) const;

private:
    std::unordered_map<const FormatNode*, std::size_t> lines_;
};

} // namespace tqf
