#include "NodeMarks.h"

#include <algorithm>
#include <vector>

namespace tqf {

std::size_t CountNodeMarks(std::istream& in, std::string_view messageMarks, std::size_t enough) {
    // Large reads keep the pass at the speed of the disk; a table lookup per
    // byte keeps it at one branch-free step.
    constexpr std::size_t CHUNK_BYTES = std::size_t{1} << 20;
    bool marks[256] = {};
    marks[static_cast<unsigned char>('<')] = true;
    for (const char c : messageMarks) {
        marks[static_cast<unsigned char>(c)] = true;
    }
    std::vector<char> chunk(CHUNK_BYTES);
    // The last message may lack its mark.
    std::size_t count = 1;
    while (count <= enough && in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        count += static_cast<std::size_t>(std::count_if(
            chunk.data(), chunk.data() + got, [&marks](char c) { return marks[static_cast<unsigned char>(c)]; }));
        if (got == 0) {
            break;
        }
    }
    return count;
}

} // namespace tqf
