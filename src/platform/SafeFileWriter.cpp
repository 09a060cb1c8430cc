#include "SafeFileWriter.h"

#include <ostream>

namespace tqf {

// Bytes held in memory are one stream written whole; the replace itself is
// the system's.
SaveResult SafeFileWriter::Write(const std::filesystem::path& path, std::string_view bytes) {
    return WriteStreamed(path, [bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    });
}

} // namespace tqf
