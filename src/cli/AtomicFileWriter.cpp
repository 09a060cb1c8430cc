#include "AtomicFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tqf {

namespace {

std::string SystemError(int error) { return std::strerror(error); }

// Removes the temporary file when the write does not get as far as the rename.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string pattern) : name_(pattern.begin(), pattern.end()) {
        name_.push_back('\0');
        descriptor_ = ::mkstemp(name_.data());
        error_ = descriptor_ < 0 ? errno : 0;
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        if (!kept_ && error_ == 0) {
            ::unlink(name_.data());
        }
    }

    int Descriptor() const { return descriptor_; }
    int Error() const { return error_; }
    const char* Name() const { return name_.data(); }

    // Closes the file; false, with errno, when the close reports an error.
    bool Close() {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0;
    }
    void Keep() { kept_ = true; }

private:
    std::vector<char> name_;
    int descriptor_ = -1;
    int error_ = 0;
    bool kept_ = false;
};

} // namespace

std::optional<std::string> AtomicFileWriter::Write(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return std::string("it is a folder");
    }
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    TemporaryFile temporary((folder / ("." + target.filename().string() + ".XXXXXX")).string());
    if (temporary.Descriptor() < 0) {
        return SystemError(temporary.Error());
    }
    // The new file gets the old one's permissions, or those a new file gets.
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temporary.Descriptor(), mode) != 0) {
        return SystemError(errno);
    }
    // Every write's length is checked: a full disk may take part of a write.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(temporary.Descriptor(), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? SystemError(errno) : std::string("the disk took no more bytes");
        }
        done += static_cast<std::size_t>(written);
    }
    // Some file systems report a full disk only when the data is synced.
    if (::fsync(temporary.Descriptor()) != 0 && errno != EINVAL && errno != EROFS) {
        return SystemError(errno);
    }
    if (!temporary.Close()) {
        return SystemError(errno);
    }
    if (std::rename(temporary.Name(), path.c_str()) != 0) {
        return SystemError(errno);
    }
    temporary.Keep();
    return std::nullopt;
}

} // namespace tqf
