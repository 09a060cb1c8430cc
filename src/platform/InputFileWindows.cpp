#include "InputFile.h"

#include "WindowsFiles.h"

#include <algorithm>
#include <limits>

namespace tqf {

InputFile::~InputFile() {
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
    }
}

bool InputFile::Open(const std::filesystem::path& path) {
    // Others may go on reading, writing, renaming or deleting the file while
    // it is read, as a program that keeps a library open expects of an
    // editor. Opening a pipe or device does not wait, so its type is looked
    // at once it is open.
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder cannot be opened without backup semantics.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error_ = "it is a folder";
        } else {
            error_ = WindowsPathReason(error, path);
        }
        return false;
    }
    handle_ = file;
    if (std::string reason = NotDiskFileReason(file); !reason.empty()) {
        error_ = std::move(reason);
        return false;
    }
    if (!IdentityOfHandle(file, identity_)) {
        error_ = WindowsReason(::GetLastError());
        return false;
    }
    return true;
}

std::size_t InputFile::ReadSome(char* data, std::size_t size) {
    const auto ask = static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
    DWORD got = 0;
    if (!::ReadFile(static_cast<HANDLE>(handle_), data, ask, &got, nullptr)) {
        error_ = WindowsReason(::GetLastError());
        throw ReadFailed(error_);
    }
    return got;
}

} // namespace tqf
