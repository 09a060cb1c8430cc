#pragma once

// What the Windows implementations of the file seams share: handles, the
// system's texts for its error codes, and paths as UTF-8 for messages.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "FileIdentity.h"

#include <filesystem>
#include <string>

namespace tqf {

// A handle closed when it goes.
class WindowsHandle {
public:
    WindowsHandle() = default;
    explicit WindowsHandle(HANDLE handle) : handle_(handle) {}
    WindowsHandle(const WindowsHandle&) = delete;
    WindowsHandle& operator=(const WindowsHandle&) = delete;
    ~WindowsHandle() { Close(); }
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // 0, or the error code of the close.
    DWORD Close();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The system's text for an error code of GetLastError, such as "Access
// denied", in English where the system has it, without its full stop.
std::string WindowsReason(DWORD error);

// The reason for an error met on path, naming path's folder where the folder
// is the cause, or the other program where one holds the file open.
std::string WindowsPathReason(DWORD error, const std::filesystem::path& path);

// The path as UTF-8, as messages show it.
std::string Utf8(const std::filesystem::path& path);

// The stamp of the open file, and its number of hard links; false when the
// system cannot say.
bool IdentityOfHandle(HANDLE file, FileIdentity& identity, DWORD* links = nullptr);

// Why the open file cannot be read or replaced as a library (a device, a
// pipe, a folder); empty for a file on a disk.
std::string NotDiskFileReason(HANDLE file);

} // namespace tqf
