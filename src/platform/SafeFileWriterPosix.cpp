#include "SafeFileWriter.h"

#include "ChunkedWriteBuffer.h"

#include "TemporaryFileCleanup.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <streambuf>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace tqf {

namespace {

namespace fs = std::filesystem;

// Mode of a new file before the umask; a backup copy is for its owner alone.
constexpr mode_t NEW_FILE_MODE = 0666;
constexpr mode_t BACKUP_MODE = 0600;
constexpr mode_t PERMISSION_BITS = 07777;
// Attempts at a free temporary name before giving up.
constexpr int NAME_ATTEMPTS = 100;

// A file descriptor closed when it goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }
    // Takes over fd, closing what it held.
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // 0, or the error of the close (some file systems report a full disk
    // only here).
    int Close() {
        int error = 0;
        if (fd_ >= 0 && ::close(fd_) != 0 && errno != EINTR) {
            error = errno;
        }
        fd_ = -1;
        return error;
    }

private:
    int fd_ = -1;
};

std::string InFolder(const std::string& what, const fs::path& folder, int error) {
    return what + " in the folder " + folder.string() + ": " + SystemReason(error);
}

fs::path FolderOf(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// The file a save writes: path itself, or where its symbolic links lead,
// so that the links stay.
fs::path ResolveTarget(const fs::path& path) {
    fs::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return target;
        }
        std::error_code ec;
        const fs::path link = fs::read_symlink(target, ec);
        if (ec) {
            return target;
        }
        target = link.is_absolute() ? link : FolderOf(target) / link;
    }
    return target;
}

// Letters of the names of temporary files, after their prefix.
constexpr std::string_view NAME_LETTERS = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t NAME_SUFFIX_LENGTH = 6;

// Tries names beginning with prefix in folder, a new one each time, until
// attempt takes one (returns 0) or fails otherwise than with EEXIST; the
// error number then.
template <typename Attempt>
int TryNewNames(const fs::path& folder, const std::string& prefix, fs::path& name, Attempt attempt) {
    auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<unsigned long long>(::getpid()) << 32);
    int error = EEXIST;
    for (int tries = 0; tries < NAME_ATTEMPTS && error == EEXIST; ++tries) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        std::string suffix;
        for (std::size_t i = 0; i < NAME_SUFFIX_LENGTH; ++i) {
            suffix += NAME_LETTERS[(seed >> (10 + 5 * i)) % NAME_LETTERS.size()];
        }
        name = folder / (prefix + suffix);
        error = attempt(name) ? 0 : errno;
    }
    return error;
}

// Creates a file of a new name beginning with prefix in folder; the error
// number when it cannot.
int CreateUnique(const fs::path& folder, const std::string& prefix, mode_t mode, Descriptor& file, fs::path& name) {
    return TryNewNames(folder, prefix, name, [&](const fs::path& candidate) {
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0) {
            file.Reset(fd);
        }
        return fd >= 0;
    });
}

// The name a temporary file for target starts with; the folder's listing
// hides it.
std::string TemporaryPrefix(const fs::path& target) { return "." + target.filename().string() + "."; }

// Removes the temporary files of earlier saves of target that a kill left
// behind: files of our names that no one holds locked any more (a save
// locks its temporary file while it lasts, and a process that ends lets go
// of its locks).
void RemoveStaleTemporaries(const fs::path& folder, const fs::path& target) {
    const std::string prefix = TemporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
        const std::string name = entry->path().filename().string();
        if (name.size() != prefix.size() + NAME_SUFFIX_LENGTH || !name.starts_with(prefix) ||
            name.find_first_not_of(NAME_LETTERS, prefix.size()) != std::string::npos) {
            continue;
        }
        Descriptor stale(::open(entry->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat status {};
        if (stale.Valid() && ::fstat(stale.Get(), &status) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == ::geteuid() && ::flock(stale.Get(), LOCK_EX | LOCK_NB) == 0) {
            ::unlink(entry->path().c_str());
        }
    }
}

// Opens a file without a name in folder, which nothing but a link puts in
// place, so that a kill before it leaves nothing behind; false where the
// file system cannot, or where the link would not be possible.
bool OpenUnnamed(const fs::path& folder, Descriptor& file) {
    // The link goes through /proc; without it, a named file is used.
    if (::access("/proc/self/fd", X_OK) != 0) {
        return false;
    }
    file.Reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, NEW_FILE_MODE));
    return file.Valid();
}

// Gives the file without a name a new temporary name beside target; 0 or
// the error number.
int LinkUnnamed(int fd, const fs::path& folder, const fs::path& target, fs::path& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return TryNewNames(folder, TemporaryPrefix(target), name, [&](const fs::path& candidate) {
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
}

// Writes all of size bytes at data to fd; 0 or the error number. A write may
// take fewer bytes than it was given (the disk filled up half-way); the rest
// is offered again, and a write that takes nothing counts as a full disk.
int WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t chunk = std::min(SafeFileWriter::WRITE_CHUNK_BYTES, size - done);
        const ssize_t written = ::write(fd, data + done, chunk);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return ENOSPC;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// Makes the data reach the disk. Some file systems report a full disk or a
// quota only here; one that cannot sync at all is no failure.
int SyncToDisk(int fd) {
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) {
        return 0;
    }
    return errno;
}

using Producer = std::function<bool(std::ostream&)>;

// Writes the contents to fd from its current offset, then syncs; the reason
// when it fails. written gets how many bytes went out.
std::string Produce(int fd, const Producer& produce, std::uint64_t& written) {
    const auto write = [fd](const char* data, std::size_t size) { return WriteAll(fd, data, size); };
    ChunkedWriteBuffer<int, decltype(write)> buffer(write, SafeFileWriter::WRITE_CHUNK_BYTES);
    std::ostream out(&buffer);
    bool produced = false;
    try {
        produced = produce(out) && out.flush();
    } catch (const std::bad_alloc&) {
        return "there was not enough memory";
    }
    written = buffer.Written();
    if (buffer.LastError() != 0) {
        return SystemReason(buffer.LastError());
    }
    if (!produced) {
        return "the library could not be written out";
    }
    if (const int error = SyncToDisk(fd); error != 0) {
        return SystemReason(error);
    }
    return {};
}

// Copies the extended attributes of the file at source onto fd, as far as
// the file systems allow; an attribute the target cannot take is left out.
void CopyAttributes(const fs::path& source, int fd) {
    const ssize_t listSize = ::listxattr(source.c_str(), nullptr, 0);
    if (listSize <= 0) {
        return;
    }
    std::vector<char> names(static_cast<std::size_t>(listSize));
    const ssize_t got = ::listxattr(source.c_str(), names.data(), names.size());
    if (got <= 0) {
        return;
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
        const char* name = names.data() + at;
        at += std::char_traits<char>::length(name) + 1;
        const ssize_t size = ::getxattr(source.c_str(), name, nullptr, 0);
        if (size < 0) {
            continue;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t read = ::getxattr(source.c_str(), name, value.data(), value.size());
        if (read >= 0) {
            (void)::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(read), 0);
        }
    }
}

// Copies the whole of the file from onto to, from the start of both, and
// cuts to there; 0 or the error number.
int CopyContents(int from, int to) {
    if (::lseek(from, 0, SEEK_SET) < 0 || ::lseek(to, 0, SEEK_SET) < 0) {
        return errno;
    }
    std::vector<char> buffer(SafeFileWriter::WRITE_CHUNK_BYTES);
    off_t total = 0;
    while (true) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        if (const int error = WriteAll(to, buffer.data(), static_cast<std::size_t>(got)); error != 0) {
            return error;
        }
        total += got;
    }
    if (::ftruncate(to, total) != 0) {
        return errno;
    }
    return SyncToDisk(to);
}

SaveResult Failed(std::string reason) {
    SaveResult result;
    result.reason = std::move(reason);
    return result;
}

SaveResult Done(int fd) {
    SaveResult result;
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        result.identity = FileIdentity::Of(status);
    }
    result.written = true;
    return result;
}

// Writes target in place, after a complete copy of it was made beside it.
SaveResult WriteInPlace(const fs::path& target, const Producer& produce) {
    const fs::path folder = FolderOf(target);
    Descriptor old(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!old.Valid()) {
        return Failed(PathReason(errno, target));
    }
    struct stat status {};
    if (::fstat(old.Get(), &status) != 0) {
        return Failed(SystemReason(errno));
    }
    if (std::string reason = NotRegularReason(status.st_mode); !reason.empty()) {
        return Failed(reason);
    }
    Descriptor backup;
    fs::path backupPath;
    if (const int error =
            CreateUnique(folder, target.filename().string() + ".backup-", BACKUP_MODE, backup, backupPath);
        error != 0) {
        return Failed(InFolder("no copy of the old file can be made", folder, error));
    }
    if (const int error = CopyContents(old.Get(), backup.Get()); error != 0) {
        backup.Close();
        ::unlink(backupPath.c_str());
        return Failed(InFolder("no copy of the old file can be made", folder, error));
    }
    // Some file systems report a full disk only when the file is closed.
    if (const int error = backup.Close(); error != 0) {
        ::unlink(backupPath.c_str());
        return Failed(InFolder("no copy of the old file can be made", folder, error));
    }

    std::uint64_t written = 0;
    std::string reason;
    if (::lseek(old.Get(), 0, SEEK_SET) < 0) {
        reason = SystemReason(errno);
    } else {
        reason = Produce(old.Get(), produce, written);
    }
    if (reason.empty() && ::ftruncate(old.Get(), static_cast<off_t>(written)) != 0) {
        reason = SystemReason(errno);
    }
    if (reason.empty()) {
        if (const int error = SyncToDisk(old.Get()); error != 0) {
            reason = SystemReason(error);
        }
    }
    if (reason.empty()) {
        SaveResult result = Done(old.Get());
        ::unlink(backupPath.c_str());
        return result;
    }
    // The old contents go back from the copy; the copy stays where they
    // cannot.
    Descriptor copy(::open(backupPath.c_str(), O_RDONLY | O_CLOEXEC));
    const int restoreError = copy.Valid() ? CopyContents(copy.Get(), old.Get()) : errno;
    if (restoreError == 0) {
        ::unlink(backupPath.c_str());
        // Its times go back too: the file is as it was, and the next save
        // does not take it for one changed by another program.
        const struct timespec times[] = {status.st_atim, status.st_mtim};
        (void)::futimens(old.Get(), times);
        return Failed(reason);
    }
    SaveResult result = Failed(reason + "; the file could not be put back as it was (" + SystemReason(restoreError) +
                               "), its old contents are kept in " + backupPath.string());
    result.damaged = true;
    return result;
}

// Why target cannot be replaced, or nothing; exists and status tell what is
// there now.
std::string TargetReason(const fs::path& target, struct stat& status, bool& exists) {
    exists = ::stat(target.c_str(), &status) == 0;
    if (exists) {
        return NotRegularReason(status.st_mode);
    }
    return errno == ENOENT ? std::string() : PathReason(errno, target);
}

// The written temporary file takes target's name, and is then no longer
// removed when a signal ends the save; the new name reaches the disk with
// the folder. A failure, or none.
std::optional<SaveResult> MoveIntoPlace(const fs::path& temporary, const fs::path& target, const fs::path& folder,
                                        std::optional<TemporaryFileCleanup>& cleanup) {
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failed(InFolder("the new file cannot take the old one's place", folder, error));
    }
    cleanup.reset();
    Descriptor folderFile(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFile.Valid()) {
        (void)SyncToDisk(folderFile.Get());
    }
    return std::nullopt;
}

SaveResult Replace(const fs::path& path, const Producer& produce) {
    const fs::path target = ResolveTarget(path);
    const fs::path folder = FolderOf(target);
    struct stat status {};
    bool exists = false;
    if (std::string reason = TargetReason(target, status, exists); !reason.empty()) {
        return Failed(reason);
    }
    RemoveStaleTemporaries(folder, target);
    // Another name of the same file would keep the old contents if a new
    // file took this name.
    if (exists && status.st_nlink > 1) {
        return WriteInPlace(target, produce);
    }

    Descriptor file;
    fs::path temporary;
    // A file without a name where the file system has them; else a named
    // one, removed again when a signal ends the save.
    const bool unnamed = OpenUnnamed(folder, file);
    std::optional<TemporaryFileCleanup> cleanup;
    if (!unnamed) {
        cleanup.emplace();
        if (const int error = CreateUnique(folder, TemporaryPrefix(target), NEW_FILE_MODE, file, temporary);
            error != 0) {
            return Failed(InFolder("no file can be made", folder, error));
        }
        cleanup->Arm(temporary);
    }
    // Held while the save lasts, so that no other save takes the file for
    // a stale one.
    (void)::flock(file.Get(), LOCK_EX | LOCK_NB);
    auto abandon = [&](std::string reason) {
        file.Close();
        if (!unnamed) {
            ::unlink(temporary.c_str());
        }
        return Failed(std::move(reason));
    };
    if (exists) {
        // A file whose owner the new one cannot take is written in place.
        if (::fchown(file.Get(), status.st_uid, status.st_gid) != 0) {
            abandon({});
            cleanup.reset();
            return WriteInPlace(target, produce);
        }
        if (::fchmod(file.Get(), status.st_mode & PERMISSION_BITS) != 0) {
            return abandon(SystemReason(errno));
        }
        CopyAttributes(target, file.Get());
    }
    std::uint64_t written = 0;
    if (std::string reason = Produce(file.Get(), produce, written); !reason.empty()) {
        return abandon(reason);
    }
    SaveResult result = Done(file.Get());
    if (unnamed) {
        // The name exists only for the moment until the rename; a signal
        // meanwhile removes it.
        cleanup.emplace();
        const int error = LinkUnnamed(file.Get(), folder, target, temporary);
        if (error != 0) {
            return abandon(InFolder("no file can be made", folder, error));
        }
        cleanup->Arm(temporary);
    }
    if (const int error = file.Close(); error != 0) {
        ::unlink(temporary.c_str());
        return Failed(SystemReason(error));
    }
    std::optional<SaveResult> failed = MoveIntoPlace(temporary, target, folder, cleanup);
    return failed ? *failed : result;
}

} // namespace

SaveResult SafeFileWriter::WriteStreamed(const std::filesystem::path& path,
                                         const std::function<bool(std::ostream&)>& produce) {
    return Replace(path, produce);
}

} // namespace tqf
