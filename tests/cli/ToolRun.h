#pragma once

#include <string>
#include <vector>

namespace tqf {

// What one run of the tqf-tool program gave.
struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built tqf-tool program with args, capturing both output streams.
ToolRun RunToolProgram(const std::vector<std::string>& args);

// The bytes of a file.
std::string ReadBytes(const std::string& path);

} // namespace tqf
