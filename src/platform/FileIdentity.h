#pragma once

#include "FileStamp.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#ifndef _WIN32
struct stat;
#endif

namespace tqf {

// The stamp of a file as the system reports it.
struct FileIdentity : FileStamp {
    // The identity of the file at path, following symbolic links; nothing
    // when there is no such file.
    static std::optional<FileIdentity> Of(const std::filesystem::path& path);
#ifndef _WIN32
    static FileIdentity Of(const struct stat& status);
#endif

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// True when path is a file that may not be written: its mode (on Windows its
// read-only attribute) lets nobody write it, or this user may not. False when
// there is no such file.
bool IsReadOnlyFile(const std::filesystem::path& path);

// The system's text for an error number, such as "Permission denied".
std::string SystemReason(int error);

// The reason for an error met on path, naming path's folder where the
// folder is the cause: it does not exist, or may not be entered.
std::string PathReason(int error, const std::filesystem::path& path);

#ifndef _WIN32
// Why a file of this kind (the st_mode of its status) cannot be opened or
// replaced as a library; empty for a regular file.
std::string NotRegularReason(unsigned mode);
#endif

// Makes a write past the file-size limit fail with its error instead of
// ending the program, so that a save can report it and keep the old file.
// Windows has no such limit, and nothing to do.
void IgnoreFileSizeSignal();

} // namespace tqf
