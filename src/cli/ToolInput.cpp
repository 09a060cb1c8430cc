#include "ToolInput.h"

#include <array>
#include <exception>
#include <filesystem>
#include <system_error>

namespace tqf {

bool ToolInput::IsStream(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(PathOf(path), error);
    if (error) {
        return false; // the reader names the reason
    }
    return std::filesystem::is_fifo(status) || std::filesystem::is_character_file(status) ||
           std::filesystem::is_block_file(status) || std::filesystem::is_socket(status);
}

std::filesystem::path ToolInput::PathOf(const std::string& name) {
#ifdef _WIN32
    // A narrow text would be read in the system's code page, which cannot
    // name every file.
    try {
        return std::filesystem::path(std::u8string(name.begin(), name.end()));
    } catch (const std::exception&) {
        return std::filesystem::path(name);
    }
#else
    return std::filesystem::path(name);
#endif
}

bool ToolInput::ReadAll(std::istream& in, std::size_t limit, std::string& bytes, std::string& error) {
    constexpr std::size_t CHUNK_SIZE = std::size_t{64} * 1024;
    std::array<char, CHUNK_SIZE> chunk{};
    bytes.clear();
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > limit - bytes.size()) {
            error = "the input is larger than " + std::to_string(limit) +
                    " bytes, more than a quarter of the memory this program may use can hold";
            return false;
        }
        bytes.append(chunk.data(), got);
    }
    if (in.bad()) {
        error = "the input could not be read to its end";
        return false;
    }
    return true;
}

} // namespace tqf
