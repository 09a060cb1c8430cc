#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tqf {

// Writes a whole file so that the file on disk is either replaced by every
// byte of the new contents or left exactly as it was: the bytes go to a
// temporary file beside the target, reach the disk, and only then take the
// target's place.
class AtomicFileWriter {
public:
    // Why the file could not be written, or nothing when it was.
    [[nodiscard]] static std::optional<std::string> Write(const std::string& path, std::string_view bytes);
};

} // namespace tqf
