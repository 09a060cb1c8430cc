#pragma once

#include <cstddef>
#include <filesystem>
#include <istream>
#include <string>

namespace tqf {

// Where tqf-tool reads a FILE from: a regular file as the editor opens it,
// or a stream (standard input, a pipe, a device), which is read as it comes.
class ToolInput {
public:
    // True when path names a pipe, a socket or a device rather than a
    // regular file or a folder; /dev/stdin of a pipe is one.
    static bool IsStream(const std::string& path);

    // The file named on the command line: its bytes on POSIX systems; on
    // Windows, where the tool takes its arguments as UTF-8, that text.
    static std::filesystem::path PathOf(const std::string& name);

    // Reads all of in into bytes, at most limit bytes; false, with error
    // saying why, when it holds more or cannot be read.
    static bool ReadAll(std::istream& in, std::size_t limit, std::string& bytes, std::string& error);
};

} // namespace tqf
