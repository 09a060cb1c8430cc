#include "FileIdentity.h"

#include "WindowsFiles.h"

#include <cerrno>
#include <cstring>

namespace tqf {

std::optional<FileIdentity> FileIdentity::Of(const std::filesystem::path& path) {
    // Asking for the attributes only, and letting others do anything
    // meanwhile, opens even a file another program holds.
    const WindowsHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FileIdentity identity;
    if (!file.Valid() || !IdentityOfHandle(file.Get(), identity)) {
        return std::nullopt;
    }
    return identity;
}

bool IsReadOnlyFile(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string SystemReason(int error) { return std::strerror(error); }

std::string PathReason(int error, const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string reason = SystemReason(error);
    std::error_code ec;
    if ((error == ENOENT || error == ENOTDIR) && !std::filesystem::is_directory(folder, ec)) {
        reason += ": the folder " + Utf8(folder) + " does not exist";
    }
    return reason;
}

void IgnoreFileSizeSignal() {}

} // namespace tqf
