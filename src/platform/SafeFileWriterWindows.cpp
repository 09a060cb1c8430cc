#include "SafeFileWriter.h"

#include "ChunkedWriteBuffer.h"

#include "WindowsFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <streambuf>
#include <string_view>
#include <vector>

namespace tqf {

namespace {

namespace fs = std::filesystem;

// Attempts at a free temporary name before giving up.
constexpr int NAME_ATTEMPTS = 100;
// Letters of the names of temporary files, after their prefix.
constexpr std::wstring_view NAME_LETTERS = L"abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t NAME_SUFFIX_LENGTH = 6;
// The bits of the pseudo-random state that the letters of a name come from.
constexpr unsigned FIRST_NAME_BIT = 10;
constexpr unsigned BITS_PER_LETTER = 5;
constexpr unsigned PROCESS_ID_SHIFT = 32;
// Others may read the new file while it is written, but not take it away:
// that is how the next save tells a temporary file in use from one that a
// killed save left.
constexpr DWORD TEMPORARY_SHARING = FILE_SHARE_READ;
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

fs::path FolderOf(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

std::string InFolder(const std::string& what, const fs::path& folder, DWORD error) {
    return what + " in the folder " + Utf8(folder) + ": " + WindowsReason(error);
}

// The name a temporary file for target starts with.
std::wstring TemporaryPrefix(const fs::path& target) { return L"." + target.filename().wstring() + L"."; }

// Names beginning with prefix in folder, a new one at each call.
class NameSource {
public:
    NameSource()
        : seed_(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<std::uint64_t>(::GetCurrentProcessId()) << PROCESS_ID_SHIFT)) {}

    fs::path Next(const fs::path& folder, const std::wstring& prefix) {
        seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
        std::wstring suffix;
        for (std::size_t i = 0; i < NAME_SUFFIX_LENGTH; ++i) {
            suffix += NAME_LETTERS[(seed_ >> (FIRST_NAME_BIT + BITS_PER_LETTER * i)) % NAME_LETTERS.size()];
        }
        return folder / (prefix + suffix);
    }

private:
    std::uint64_t seed_;
};

// Creates a file of a new name beginning with prefix in folder; 0 or the
// error code.
DWORD CreateUnique(const fs::path& folder, const std::wstring& prefix, WindowsHandle& file, fs::path& name) {
    NameSource names;
    DWORD error = ERROR_FILE_EXISTS;
    for (int tries = 0; tries < NAME_ATTEMPTS && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
         ++tries) {
        name = names.Next(folder, prefix);
        file.Reset(::CreateFileW(name.c_str(), GENERIC_WRITE, TEMPORARY_SHARING, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        error = file.Valid() ? 0 : ::GetLastError();
    }
    return error;
}

// Removes the temporary files of earlier saves of target that a kill left
// behind. A save in progress holds its file open without letting others
// delete it, so only files that nobody holds go.
void RemoveStaleTemporaries(const fs::path& folder, const fs::path& target) {
    const std::wstring prefix = TemporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
        const std::wstring name = entry->path().filename().wstring();
        if (name.size() != prefix.size() + NAME_SUFFIX_LENGTH || !name.starts_with(prefix) ||
            name.find_first_not_of(NAME_LETTERS, prefix.size()) != std::wstring::npos) {
            continue;
        }
        (void)::DeleteFileW(entry->path().c_str());
    }
}

// Writes all of size bytes at data to file; 0 or the error code. A write
// that takes nothing counts as a full disk.
DWORD WriteAll(HANDLE file, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const auto chunk = static_cast<DWORD>(std::min(SafeFileWriter::WRITE_CHUNK_BYTES, size - done));
        DWORD written = 0;
        if (!::WriteFile(file, data + done, chunk, &written, nullptr)) {
            return ::GetLastError();
        }
        if (written == 0) {
            return ERROR_DISK_FULL;
        }
        done += written;
    }
    return 0;
}

using Producer = std::function<bool(std::ostream&)>;

// Writes the contents to file, then makes them reach the disk; the reason
// when it fails.
std::string Produce(HANDLE file, const Producer& produce) {
    const auto write = [file](const char* data, std::size_t size) { return WriteAll(file, data, size); };
    ChunkedWriteBuffer<DWORD, decltype(write)> buffer(write, SafeFileWriter::WRITE_CHUNK_BYTES);
    std::ostream out(&buffer);
    bool produced = false;
    try {
        produced = produce(out) && out.flush();
    } catch (const std::bad_alloc&) {
        return "there was not enough memory";
    }
    if (buffer.LastError() != 0) {
        return WindowsReason(buffer.LastError());
    }
    if (!produced) {
        return "the library could not be written out";
    }
    if (!::FlushFileBuffers(file)) {
        return WindowsReason(::GetLastError());
    }
    return {};
}

SaveResult Failed(std::string reason) {
    SaveResult result;
    result.reason = std::move(reason);
    return result;
}

bool Exists(const fs::path& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A free name for the old file while the new one takes its place.
fs::path BackupName(const fs::path& folder, const fs::path& target) {
    NameSource names;
    fs::path name;
    for (int tries = 0; tries < NAME_ATTEMPTS; ++tries) {
        name = names.Next(folder, TemporaryPrefix(target) + L"backup-");
        if (!Exists(name)) {
            break;
        }
    }
    return name;
}

// Why the target cannot be replaced: the system's reason, and where another
// program holds the file open, that.
std::string ReplaceReason(DWORD error, const fs::path& folder) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED) {
        return "the file is open in another program, which keeps it from being replaced; close it there and save "
               "again";
    }
    return InFolder("the new file cannot take the old one's place", folder, error);
}

// Puts the new file in the old one's place. ReplaceFileW keeps what makes the
// file the same to its owner (its attributes, permissions, other streams);
// the old file goes to a backup name meanwhile, so that a failure half-way
// can put it back.
SaveResult PutInPlace(const fs::path& temporary, const fs::path& target, const fs::path& folder, bool exists) {
    if (!exists) {
        if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = ::GetLastError();
            (void)::DeleteFileW(temporary.c_str());
            return Failed(ReplaceReason(error, folder));
        }
        return {};
    }
    const fs::path backup = BackupName(folder, target);
    if (::ReplaceFileW(target.c_str(), temporary.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                       nullptr)) {
        (void)::DeleteFileW(backup.c_str());
        return {};
    }
    const DWORD error = ::GetLastError();
    // Where the old file left its name, it goes back from the backup name;
    // where it is gone altogether, the new one takes the name after all.
    if (!Exists(target) && Exists(backup) && !::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        SaveResult result = Failed(ReplaceReason(error, folder) + "; the old file is kept as " + Utf8(backup));
        result.damaged = true;
        return result;
    }
    if (!Exists(target) && ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    (void)::DeleteFileW(temporary.c_str());
    return Failed(ReplaceReason(error, folder));
}

SaveResult Replace(const fs::path& target, const Producer& produce) {
    const fs::path folder = FolderOf(target);
    bool exists = false;
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        exists = true;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return Failed("it is a folder");
        }
        const WindowsHandle probe(
            ::CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr));
        if (probe.Valid()) {
            if (std::string reason = NotDiskFileReason(probe.Get()); !reason.empty()) {
                return Failed(reason);
            }
        }
    } else if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return Failed(WindowsPathReason(error, target));
    }
    RemoveStaleTemporaries(folder, target);

    WindowsHandle file;
    fs::path temporary;
    if (const DWORD error = CreateUnique(folder, TemporaryPrefix(target), file, temporary); error != 0) {
        return Failed(InFolder("no file can be made", folder, error));
    }
    if (std::string reason = Produce(file.Get(), produce); !reason.empty()) {
        file.Close();
        (void)::DeleteFileW(temporary.c_str());
        return Failed(reason);
    }
    FileIdentity written;
    const bool known = IdentityOfHandle(file.Get(), written);
    if (const DWORD error = file.Close(); error != 0) {
        (void)::DeleteFileW(temporary.c_str());
        return Failed(WindowsReason(error));
    }
    // A read-only file cannot be replaced; the caller asked whether to
    // overwrite it, and it stays read-only as a file keeps its mode.
    const bool readOnly = exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly) {
        (void)::SetFileAttributesW(target.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    SaveResult result = PutInPlace(temporary, target, folder, exists);
    if (readOnly) {
        const DWORD now = ::GetFileAttributesW(target.c_str());
        (void)::SetFileAttributesW(target.c_str(),
                                   now == INVALID_FILE_ATTRIBUTES ? attributes : now | FILE_ATTRIBUTE_READONLY);
    }
    if (!result.reason.empty()) {
        return result;
    }
    result.written = true;
    // The file as it stands under its name now, which is what the next save
    // compares with.
    result.identity = FileIdentity::Of(target);
    if (!result.identity && known) {
        result.identity = written;
    }
    return result;
}

} // namespace

SaveResult SafeFileWriter::WriteStreamed(const std::filesystem::path& path,
                                         const std::function<bool(std::ostream&)>& produce) {
    return Replace(path, produce);
}

} // namespace tqf
