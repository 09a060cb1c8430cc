#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tqf {

// What the first bytes of a format file say of its encoding. A format file
// is 8-bit text: a UTF-8 byte-order mark is no part of its first line, and
// the mark of UTF-16 or UTF-32 makes it a file that cannot be read.
struct ByteOrderMark {
    std::size_t skip = 0;     // bytes of a UTF-8 mark to leave out
    std::string_view refused; // "UTF-16" or "UTF-32", or empty

    // front: the input's first bytes, at least four where it has them.
    static ByteOrderMark Of(std::string_view front);

    // Why an input in encoding is not read.
    static std::string RefusalReason(std::string_view encoding);
};

} // namespace tqf
