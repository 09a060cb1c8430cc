#include "FormatTree.h"
#include "FormatWriter.h"
#include "StandardMessages.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tqf {

namespace {

std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ToolRun RunToolProgram(const std::vector<std::string>& args) {
    const std::filesystem::path errPath =
        std::filesystem::temp_directory_path() / ("tqf-tool-stderr-" + std::to_string(::getpid()));
    std::string command = Quoted(TQF_TOOL_PATH);
    for (const std::string& arg : args) {
        command += ' ' + Quoted(arg);
    }
    command += " 2>" + Quoted(errPath.string());
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        run.out.append(chunk.data(), got);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadBytes(errPath.string());
    std::filesystem::remove(errPath);
    return run;
}

namespace {

const std::string EXAMPLE = std::string(TQF_EXAMPLES_DIR) + "/standard-messages.TQF";

TEST(ExamplesTest, TheStandardLibraryIsWhatTheWriterWrites) {
    FormatTree document;
    BuildStandardMessages(document);
    EXPECT_GE(document.GetRootNode()->count, 25);
    EXPECT_EQ(ReadBytes(EXAMPLE), FormatWriter::FormatFileText(document.GetRootNode()))
        << "regenerate it with tqf_make_standard_messages";
}

TEST(ExamplesTest, NormalizeReproducesTheStandardLibrary) {
    const ToolRun run = RunToolProgram({"normalize", EXAMPLE});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, ReadBytes(EXAMPLE));
    EXPECT_EQ(run.err, "");
}

TEST(ExamplesTest, CheckFindsNothingInTheStandardLibrary) {
    const ToolRun run = RunToolProgram({"check", EXAMPLE});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "56 messages, 0 dropped\n");
    EXPECT_EQ(run.err, "");
}

} // namespace
} // namespace tqf
