#pragma once

#include "FileIdentity.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace tqf {

// What became of saving a file: written completely, or why not.
struct SaveResult {
    bool written = false;
    std::string reason;                   // why it failed, for the user; empty when written
    std::optional<FileIdentity> identity; // the file as it stands after the save
    bool damaged = false; // failed with the target half-written; the reason names the copy of its old contents
};

// Replaces a file's contents so that it holds either every byte of the new
// contents or what it held before, and stays the same file to its owner:
// owner, group, mode and extended attributes are kept, a symbolic link keeps
// pointing at it, and its other hard links see the new contents.
//
// Usually the new contents go to a temporary file beside the target, which
// takes the target's place once every write took all its bytes and the data
// reached the disk. A file with more than one hard link, or whose owner the
// temporary file cannot take, is written in place instead, after a complete
// copy of its old contents was made beside it; a failure then puts the old
// contents back, and where even that fails the copy stays and is named.
//
// Only regular files are replaced; anything else is refused without being
// opened. Every failure says the system's reason, and names the folder where
// the folder is the cause.
//
// On Windows the new file takes the old one's place with ReplaceFileW, which
// keeps its attributes and permissions; a file that another program holds
// open is refused and kept, hard and symbolic links are not followed, and a
// killed save leaves its temporary file to the next save.
class SafeFileWriter {
public:
    // The size of one write; each write's length is checked on its own.
    static constexpr std::size_t WRITE_CHUNK_BYTES = std::size_t{1} << 16;

    // Writes the bytes given to path.
    [[nodiscard]] static SaveResult Write(const std::filesystem::path& path, std::string_view bytes);

    // The same for contents too large to hold in memory at once: produce
    // writes them to the stream it is given, piece by piece, and returns
    // false when it could not write them all.
    [[nodiscard]] static SaveResult WriteStreamed(const std::filesystem::path& path,
                                                  const std::function<bool(std::ostream&)>& produce);
};

} // namespace tqf
