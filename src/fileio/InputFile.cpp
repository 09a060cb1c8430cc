#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tqf {

namespace {

// Thrown by a failed read; the stream catches it and goes bad.
struct ReadFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace

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

std::size_t InputFile::Read(char* data, std::size_t size) {
    try {
        return ReadSome(data, size);
    } catch (const ReadFailed&) {
        return 0;
    }
}

bool InputFile::ReadAll(std::string& bytes) {
    // The room is the file's size and one byte more, so that the read which
    // finds the end needs no more; a file that grew meanwhile is read on.
    constexpr std::size_t SMALLEST_GROWTH = std::size_t{1} << 16;
    std::size_t done = 0;
    bytes.resize(static_cast<std::size_t>(Size()) + 1);
    try {
        while (true) {
            if (done == bytes.size()) {
                bytes.resize(bytes.size() + std::max(bytes.size(), SMALLEST_GROWTH));
            }
            const std::size_t got = ReadSome(bytes.data() + done, bytes.size() - done);
            if (got == 0) {
                break;
            }
            done += got;
        }
    } catch (const ReadFailed&) {
        bytes.clear();
        return false;
    }
    bytes.resize(done);
    return true;
}

InputFile::Buffer::int_type InputFile::Buffer::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    std::vector<char>& bytes = file_.bytes_;
    const std::size_t got = file_.ReadSome(bytes.data(), bytes.size());
    if (got == 0) {
        return traits_type::eof();
    }
    setg(bytes.data(), bytes.data(), bytes.data() + got);
    return traits_type::to_int_type(*gptr());
}

std::streamsize InputFile::Buffer::xsgetn(char* data, std::streamsize count) {
    // Large reads go straight into the caller's memory, past the buffer.
    std::streamsize done = 0;
    while (done < count) {
        if (gptr() < egptr()) {
            const std::streamsize buffered = std::min<std::streamsize>(egptr() - gptr(), count - done);
            traits_type::copy(data + done, gptr(), static_cast<std::size_t>(buffered));
            gbump(static_cast<int>(buffered));
            done += buffered;
            continue;
        }
        const std::size_t got = file_.ReadSome(data + done, static_cast<std::size_t>(count - done));
        if (got == 0) {
            break;
        }
        done += static_cast<std::streamsize>(got);
    }
    return done;
}

} // namespace tqf
