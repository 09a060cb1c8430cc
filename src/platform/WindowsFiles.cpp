#include "WindowsFiles.h"

#include <cerrno>
#include <cstring>

namespace tqf {

namespace {

// FILETIME counts 100-nanosecond ticks since 1601; stamps count from 1970.
constexpr std::int64_t TICKS_PER_SECOND = 10'000'000;
constexpr std::int64_t NANOSECONDS_PER_TICK = 100;
constexpr std::int64_t TICKS_FROM_1601_TO_1970 = 116'444'736'000'000'000;
// Room for the longest system message.
constexpr DWORD REASON_CHARACTERS = 512;

std::string FromWide(const wchar_t* text, int length) {
    if (length <= 0) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), size, nullptr, nullptr);
    }
    return bytes;
}

bool FolderMissing(const std::filesystem::path& folder) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

DWORD WindowsHandle::Close() {
    DWORD error = 0;
    if (Valid() && !::CloseHandle(handle_)) {
        error = ::GetLastError();
    }
    handle_ = INVALID_HANDLE_VALUE;
    return error;
}

std::string WindowsReason(DWORD error) {
    // The errors that the C library names too read as they do on the other
    // systems, so that the tool's messages are the same everywhere.
    static constexpr struct {
        DWORD code;
        int number;
    } SAME_AS_C[] = {
        {ERROR_FILE_NOT_FOUND, ENOENT}, {ERROR_PATH_NOT_FOUND, ENOENT},   {ERROR_ACCESS_DENIED, EACCES},
        {ERROR_DISK_FULL, ENOSPC},      {ERROR_HANDLE_DISK_FULL, ENOSPC}, {ERROR_FILE_EXISTS, EEXIST},
        {ERROR_ALREADY_EXISTS, EEXIST}, {ERROR_WRITE_PROTECT, EROFS},     {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
        {ERROR_OUTOFMEMORY, ENOMEM},    {ERROR_DIRECTORY, ENOTDIR},       {ERROR_INVALID_NAME, EINVAL}};
    for (const auto& same : SAME_AS_C) {
        if (same.code == error) {
            return std::strerror(same.number);
        }
    }
    wchar_t text[REASON_CHARACTERS];
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, REASON_CHARACTERS, nullptr);
    if (length == 0) {
        length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  REASON_CHARACTERS, nullptr);
    }
    // The messages end in a full stop and a line end, which the messages of
    // this program add themselves where they want them.
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L' ' ||
                          text[length - 1] == L'.')) {
        --length;
    }
    if (length == 0) {
        return "system error " + std::to_string(error);
    }
    return FromWide(text, static_cast<int>(length));
}

std::string WindowsPathReason(DWORD error, const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string reason = WindowsReason(error);
    if ((error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) && FolderMissing(folder)) {
        reason += ": the folder " + Utf8(folder) + " does not exist";
    } else if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        reason += ": another program has the file open";
    }
    return reason;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    return FromWide(text.c_str(), static_cast<int>(text.size()));
}

bool IdentityOfHandle(HANDLE file, FileIdentity& identity, DWORD* links) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file, &information)) {
        return false;
    }
    identity.device = information.dwVolumeSerialNumber;
    identity.inode = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    const auto ticks = static_cast<std::int64_t>((std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                                                 information.ftLastWriteTime.dwLowDateTime) -
                       TICKS_FROM_1601_TO_1970;
    std::int64_t seconds = ticks / TICKS_PER_SECOND;
    std::int64_t rest = ticks % TICKS_PER_SECOND;
    if (rest < 0) {
        rest += TICKS_PER_SECOND;
        --seconds;
    }
    identity.modifiedSeconds = seconds;
    identity.modifiedNanoseconds = rest * NANOSECONDS_PER_TICK;
    if (links != nullptr) {
        *links = information.nNumberOfLinks;
    }
    return true;
}

std::string NotDiskFileReason(HANDLE file) {
    switch (::GetFileType(file)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION information{};
        if (::GetFileInformationByHandle(file, &information) &&
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return "it is a folder";
        }
        return {};
    }
    case FILE_TYPE_PIPE:
        return "it is a named pipe, not a regular file";
    case FILE_TYPE_CHAR:
        return "it is a device, not a regular file";
    default:
        return "it is not a regular file";
    }
}

} // namespace tqf
