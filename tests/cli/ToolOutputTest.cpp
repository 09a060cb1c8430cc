// tqf-tool where its output or its input is not what a terminal gives: a
// full disk behind standard output, a named pipe as the file to read.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tqf {
namespace {

namespace fs = std::filesystem;

const std::string EXAMPLE = std::string(TQF_EXAMPLES_DIR) + "/standard-messages.TQF";

// Runs the tool with its standard output on the file at outPath; its exit
// status, or -1 when it did not end by itself within a few seconds.
int RunWithOutput(const std::vector<std::string>& args, const std::string& outPath) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY);
        const int none = ::open("/dev/null", O_WRONLY);
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
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"check", EXAMPLE}, {"normalize", EXAMPLE}, {"--help"}}) {
        EXPECT_EQ(RunWithOutput(args, "/dev/full"), 2) << args[0];
        EXPECT_EQ(RunWithOutput(args, "/dev/null"), 0) << args[0];
    }
}

TEST(ToolOutputTest, ANamedPipeIsRefusedWithoutWaiting) {
    const fs::path pipe = fs::temp_directory_path() / ("tqf-tool-pipe-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(RunWithOutput({"check", pipe.string()}, "/dev/null"), 2);
    EXPECT_EQ(RunWithOutput({"normalize", pipe.string()}, "/dev/null"), 2);
    fs::remove(pipe);
}

} // namespace
} // namespace tqf
