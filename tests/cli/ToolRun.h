#pragma once

#include <cstdio>
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

// A shell command line whose output is read through the pipe returned, and
// its exit status once the pipe is closed; arguments quoted for that shell.
FILE* OpenCommand(const std::string& command);
int CloseCommand(FILE* pipe);
std::string Quoted(const std::string& arg);

// The bytes of a file.
std::string ReadBytes(const std::string& path);

} // namespace tqf
