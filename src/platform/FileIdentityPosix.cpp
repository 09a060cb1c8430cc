#include "FileIdentity.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tqf {

std::optional<FileIdentity> FileIdentity::Of(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return Of(status);
}

FileIdentity FileIdentity::Of(const struct stat& status) {
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::uint64_t>(status.st_size);
    identity.modifiedSeconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
    return identity;
}

bool IsReadOnlyFile(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    constexpr mode_t ANY_WRITE = S_IWUSR | S_IWGRP | S_IWOTH;
    // The superuser may write any file, so only the mode tells for it.
    return (status.st_mode & ANY_WRITE) == 0 ||
           (::geteuid() != 0 && ::access(path.c_str(), W_OK) != 0 && errno == EACCES);
}

std::string SystemReason(int error) { return std::strerror(error); }

std::string PathReason(int error, const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string reason = SystemReason(error);
    if ((error == ENOENT || error == ENOTDIR) && ::access(folder.c_str(), F_OK) != 0) {
        reason += ": the folder " + folder.string() + " does not exist";
    } else if (error == EACCES && ::access(folder.c_str(), X_OK) != 0) {
        reason += ": the folder " + folder.string() + " may not be entered";
    }
    return reason;
}

std::string NotRegularReason(unsigned mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return {};
    case S_IFDIR:
        return "it is a folder";
    case S_IFIFO:
        return "it is a named pipe (FIFO), not a regular file";
    case S_IFSOCK:
        return "it is a socket, not a regular file";
    case S_IFCHR:
    case S_IFBLK:
        return "it is a device, not a regular file";
    default:
        return "it is not a regular file";
    }
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

} // namespace tqf
