#include "ByteOrderMark.h"

#include <array>

namespace tqf {

ByteOrderMark ByteOrderMark::Of(std::string_view front) {
    struct Known {
        std::string_view bytes;
        std::string_view encoding; // empty: UTF-8, whose mark is skipped
    };
    // UTF-32 first: its little-endian mark starts with that of UTF-16.
    static constexpr std::array<Known, 5> MARKS{{
        {std::string_view("\x00\x00\xFE\xFF", 4), "UTF-32"},
        {std::string_view("\xFF\xFE\x00\x00", 4), "UTF-32"},
        {"\xFE\xFF", "UTF-16"},
        {"\xFF\xFE", "UTF-16"},
        {"\xEF\xBB\xBF", ""},
    }};
    for (const Known& mark : MARKS) {
        if (front.starts_with(mark.bytes)) {
            return mark.encoding.empty() ? ByteOrderMark{mark.bytes.size(), {}} : ByteOrderMark{0, mark.encoding};
        }
    }
    return {};
}

std::string ByteOrderMark::RefusalReason(std::string_view encoding) {
    return "it holds " + std::string(encoding) +
           " text, and a format file is 8-bit text: save it as UTF-8 or in the system's code page";
}

} // namespace tqf
