// tqf-tool where its output or its input is not what a terminal gives: a
// full disk behind standard output, a named pipe as the file to read.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tqf {
namespace {

namespace fs = std::filesystem;

const std::string EXAMPLE = std::string(TQF_EXAMPLES_DIR) + "/standard-messages.TQF";

// Runs the tool with its standard output on the file at outPath, its files
// no larger than fileSizeLimit bytes; its exit status, or -1 when it did not
// end by itself within a few seconds (or a signal ended it).
int RunWithOutput(const std::vector<std::string>& args, const std::string& outPath,
                  rlim_t fileSizeLimit = RLIM_INFINITY, const std::string& errPath = "/dev/null") {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(102);
        }
        const int out = ::open(outPath.c_str(), O_WRONLY);
        const int none = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || none < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(none, STDERR_FILENO) < 0) {
            ::_exit(100);
        }
        ::alarm(10);
        std::vector<char*> argv{const_cast<char*>(TQF_TOOL_PATH)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(TQF_TOOL_PATH, argv.data());
        ::_exit(101);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(ToolOutputTest, EveryCommandFailsWhenItsOutputCannotBeWritten) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"check", EXAMPLE},
                                                                                      {"normalize", EXAMPLE},
                                                                                      {"to-sml", EXAMPLE},
                                                                                      {"to-sml", EXAMPLE, "-o", "-"},
                                                                                      {"--help"}}) {
        const fs::path err = fs::temp_directory_path() / ("tqf-tool-err-" + std::to_string(::getpid()));
        EXPECT_EQ(RunWithOutput(args, "/dev/full", RLIM_INFINITY, err.string()), 2) << args[0];
        EXPECT_EQ(ReadBytes(err.string()), "tqf-tool: cannot write to standard output\n") << "said once";
        fs::remove(err);
        EXPECT_EQ(RunWithOutput(args, "/dev/null"), 0) << args[0];
    }
}

// Output past the file-size limit fails like a full disk instead of ending
// the tool by a signal.
TEST(ToolOutputTest, OutputPastTheFileSizeLimitExitsWithTwo) {
    const fs::path out = fs::temp_directory_path() / ("tqf-tool-out-" + std::to_string(::getpid()));
    std::ofstream{out};
    EXPECT_EQ(RunWithOutput({"normalize", EXAMPLE}, out.string(), 1000), 2);
    EXPECT_EQ(fs::file_size(out), 1000U);
    fs::remove(out);
}

TEST(ToolOutputTest, ANamedPipeIsReadAsAStream) {
    const fs::path pipe = fs::temp_directory_path() / ("tqf-tool-pipe-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        ::alarm(10);
        std::ofstream(pipe) << "S1F1.\nS1F2 <Q>.\n";
        ::_exit(0);
    }
    // 1: the dropped statement of the pipe's text was found.
    EXPECT_EQ(RunWithOutput({"check", pipe.string()}, "/dev/null"), 1);
    ::waitpid(writer, nullptr, 0);
    fs::remove(pipe);
}

// -o onto a device writes to it as a stream, as Unix tools do.
TEST(ToolOutputTest, ADeviceAsOutIsWrittenAsAStream) {
    for (const char* command : {"normalize", "to-sml"}) {
        EXPECT_EQ(RunWithOutput({command, EXAMPLE, "-o", "/dev/null"}, "/dev/null"), 0) << command;
    }
}

} // namespace
} // namespace tqf
