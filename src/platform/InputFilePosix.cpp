#include "InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tqf {

InputFile::~InputFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

bool InputFile::Open(const std::filesystem::path& path) {
    // The type is looked at first: opening a named pipe for reading would wait
    // for a writer. Without blocking, the file opened is looked at again, in
    // case another one took the name in between.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error_ = PathReason(errno, path);
        return false;
    }
    if (std::string reason = NotRegularReason(status.st_mode); !reason.empty()) {
        error_ = std::move(reason);
        return false;
    }
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor_ < 0) {
        error_ = PathReason(errno, path);
        return false;
    }
    if (::fstat(descriptor_, &status) != 0) {
        error_ = SystemReason(errno);
        return false;
    }
    if (std::string reason = NotRegularReason(status.st_mode); !reason.empty()) {
        error_ = std::move(reason);
        return false;
    }
    const int flags = ::fcntl(descriptor_, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error_ = SystemReason(errno);
        return false;
    }
    identity_ = FileIdentity::Of(status);
    return true;
}

std::size_t InputFile::ReadSome(char* data, std::size_t size) {
    while (true) {
        const ssize_t got = ::read(descriptor_, data, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error_ = SystemReason(errno);
            throw ReadFailed(error_);
        }
    }
}

} // namespace tqf
