#pragma once

#include "FileIdentity.h"

#include <QString>

#include <functional>
#include <optional>
#include <ostream>
#include <string_view>

namespace tqf {

// What became of writing a file: written completely, or why not.
struct WriteOutcome {
    bool written = false;
    QString reason;                       // why it failed, for the user; empty when written
    std::optional<FileIdentity> identity; // the file as written
    bool damaged = false;                 // the old file is no longer whole; the reason says where its copy is
};

// Writes a whole file so that the file on disk is either replaced by every
// byte of the new contents or left exactly as it was, and stays the same
// file to its owner (SafeFileWriter does the work).
class LibraryFileWriter {
public:
    // The size of one write; each write's length is checked on its own.
    static constexpr std::size_t WRITE_CHUNK_BYTES = 1 << 16;

    [[nodiscard]] static WriteOutcome Write(const QString& path, std::string_view bytes);

    // The same for contents too large to hold in memory at once: produce
    // writes them to the stream it is given, piece by piece, and returns
    // false when it could not write them all.
    [[nodiscard]] static WriteOutcome WriteStreamed(const QString& path,
                                                    const std::function<bool(std::ostream&)>& produce);
};

} // namespace tqf
