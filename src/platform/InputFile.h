#pragma once

#include "FileIdentity.h"

#include <cstdint>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

namespace tqf {

// A regular file opened for reading, as a stream. Anything else (a folder, a
// named pipe, a device) is refused before it is opened for good, so that
// opening never waits for a writer, and a failed read keeps the system's
// reason.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // False, with Error() saying why, when path is no regular file or cannot
    // be opened.
    [[nodiscard]] bool Open(const std::filesystem::path& path);

    std::istream& Stream() { return stream_; }
    // The file as it was when opened.
    const FileIdentity& Identity() const { return identity_; }
    std::uintmax_t Size() const { return identity_.size; }
    // Reads the whole file, not read from before, into bytes: straight into a text of the
    // file's size; false, with Error() saying why, when a read fails.
    [[nodiscard]] bool ReadAll(std::string& bytes);

    // Reads up to size bytes at data, returning how many: 0 at the end, and
    // when the read failed, Error() then saying why.
    [[nodiscard]] std::size_t Read(char* data, std::size_t size);

    // Why opening or the last read failed; empty when neither did.
    const std::string& Error() const { return error_; }

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(InputFile& file) : file_(file) {}

    protected:
        int_type underflow() override;
        std::streamsize xsgetn(char* data, std::streamsize count) override;

    private:
        InputFile& file_;
    };

    // Thrown by a failed read; the stream catches it and goes bad.
    struct ReadFailed : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // Reads up to size bytes at data; 0 at the end. Throws when the read
    // fails, which the stream turns into its bad state.
    std::size_t ReadSome(char* data, std::size_t size);

#ifdef _WIN32
    void* handle_ = nullptr; // the open file's HANDLE
#else
    int descriptor_ = -1;
#endif
    FileIdentity identity_;
    std::string error_;
    std::vector<char> bytes_ = std::vector<char>(std::size_t{1} << 16);
    Buffer buffer_{*this};
    std::istream stream_{&buffer_};
};

} // namespace tqf
