#include "InputFile.h"

#include <algorithm>

namespace tqf {

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
