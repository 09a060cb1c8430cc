#include "FormatTree.h"
#include "FormatWriter.h"
#include "StandardMessages.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tqf {

#ifdef _WIN32
// cmd.exe runs the commands; it takes the whole line in quotes of its own.
std::string Quoted(const std::string& arg) { return '"' + arg + '"'; }
FILE* OpenCommand(const std::string& command) { return ::_popen(('"' + command + '"').c_str(), "rb"); }
int CloseCommand(FILE* pipe) { return ::_pclose(pipe); }
namespace {
int ProcessId() { return ::_getpid(); }
} // namespace
#else
std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
FILE* OpenCommand(const std::string& command) { return ::popen(command.c_str(), "r"); }
int CloseCommand(FILE* pipe) {
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
namespace {
int ProcessId() { return ::getpid(); }
} // namespace
#endif

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ToolRun RunToolProgram(const std::vector<std::string>& args) {
    const std::filesystem::path errPath =
        std::filesystem::temp_directory_path() / ("tqf-tool-stderr-" + std::to_string(ProcessId()));
    std::string command = Quoted(TQF_TOOL_PATH);
    for (const std::string& arg : args) {
        command += ' ' + Quoted(arg);
    }
    command += " 2>" + Quoted(errPath.string());
    ToolRun run;
    FILE* pipe = OpenCommand(command);
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        run.out.append(chunk.data(), got);
    }
    run.status = CloseCommand(pipe);
    run.err = ReadBytes(errPath.string());
    std::filesystem::remove(errPath);
    return run;
}

namespace {

const std::string EXAMPLE = std::string(TQF_EXAMPLES_DIR) + "/standard-messages.TQF";

TEST(ExamplesTest, TheStandardLibraryIsWhatTheWriterWrites) {
    FormatTree document;
    BuildStandardMessages(document);
    EXPECT_GE(document.GetRootNode()->Count(), 25);
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

TEST(ExamplesTest, TheToolInAPipeAndOldMacLineEnds) {
#ifndef _WIN32 // Windows has no /dev/stdin
    const std::string tool = Quoted(TQF_TOOL_PATH);
    FILE* pipe =
        ::popen((tool + " normalize - < " + Quoted(EXAMPLE) + " | " + tool + " check /dev/stdin").c_str(), "r");
    std::array<char, 64> said{};
    const std::size_t got = std::fread(said.data(), 1, said.size(), pipe);
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(std::string(said.data(), got), "56 messages, 0 dropped\n");
#endif

    // Every message of a copy whose lines end in CR alone.
    std::string crOnly = ReadBytes(EXAMPLE);
    std::erase(crOnly, '\n');
    const std::filesystem::path copy =
        std::filesystem::temp_directory_path() / ("tqf-cr-" + std::to_string(ProcessId()) + ".TQF");
    std::ofstream(copy, std::ios::binary) << crOnly;
    EXPECT_EQ(RunToolProgram({"normalize", copy.string()}).out, ReadBytes(EXAMPLE));
    std::filesystem::remove(copy);
}

const std::string SML_EXAMPLE = std::string(TQF_EXAMPLES_DIR) + "/equipment-manual.sml";

TEST(ExamplesTest, TheHandWrittenSmlReadsWhole) {
    const ToolRun run = RunToolProgram({"from-sml", SML_EXAMPLE});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.err,
        SML_EXAMPLE +
            ": warning: S1F2 defined 3 times (3 structures); --merge makes one definition "
            "of them\n15 messages, 0 dropped, 0 changed, 20 values left out (a TQF file keeps no values), 9 counts "
            "of texts and binary items taken from an example value (--open-examples makes them open)\n");
    // A name is the description, before a comment; counts come from brackets,
    // values or the items of a list, or are open.
    EXPECT_NE(run.out.find("\r\nS1F13W\r\n<L[2]\r\n\t<A[n]  MDLN>\r\n\t<A[n]  SOFTREV>\r\n>."), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\r\nS1F2\r\n<L[2]\r\n\t<A[8]>\r\n\t<A[5]>\r\n>."), std::string::npos);
    EXPECT_NE(run.out.find("\r\nS1F4\r\n<L[n]\r\n\t<VARIANT  SV>\r\n>."), std::string::npos);
    EXPECT_NE(run.out.find("\t\t\t\t<U2[2]>\r\n\t\t\t\t<F4[2]>\r\n\t\t\t\t<BOOLEAN>\r\n"), std::string::npos);
    // The library made of the file accepts every message of it.
    const std::string library = ::testing::TempDir() + "/manual-" + std::to_string(ProcessId()) + ".TQF";
    ASSERT_EQ(RunToolProgram({"from-sml", SML_EXAMPLE, "-o", library}).status, 0);
    EXPECT_EQ(RunToolProgram({"validate", library, SML_EXAMPLE}).out, "15 messages, 15 passed, 0 failed\n");
    std::filesystem::remove(library);
}

TEST(ExamplesTest, TheStandardLibraryGoesThroughSmlAndBackUnchanged) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tqf-sml-" + std::to_string(ProcessId()));
    std::filesystem::create_directories(folder);
    const std::string sml = (folder / "standard.sml").string();
    const std::string back = (folder / "back.TQF").string();
    EXPECT_EQ(RunToolProgram({"to-sml", EXAMPLE, "-o", sml}).status, 0);
    EXPECT_EQ(RunToolProgram({"from-sml", sml, "-o", back}).status, 0);
    EXPECT_EQ(RunToolProgram({"normalize", back}).out, ReadBytes(EXAMPLE));
    EXPECT_EQ(RunToolProgram({"to-sml", back}).out, ReadBytes(sml));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tqf

namespace tqf {
namespace {

const std::string GEM_LIBRARY = std::string(TQF_EXAMPLES_DIR) + "/gem-messages.TQF";
const std::string GEM_TRAFFIC = std::string(TQF_EXAMPLES_DIR) + "/gem-traffic.sml";

TEST(ExamplesTest, TheGemLibraryPassesItsTrafficAndKeepsItsRules) {
    const ToolRun normalized = RunToolProgram({"normalize", GEM_LIBRARY});
    EXPECT_EQ(normalized.status, 0) << normalized.err;
    EXPECT_EQ(normalized.out, ReadBytes(GEM_LIBRARY));
    const ToolRun run = RunToolProgram({"validate", GEM_LIBRARY, GEM_TRAFFIC});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find(" 0 failed"), std::string::npos) << run.out;
    // Through SML and back, its rules and dictionary with it.
    const std::filesystem::path sml = std::filesystem::temp_directory_path() / "tqf-gem-rules.sml";
    EXPECT_EQ(RunToolProgram({"to-sml", GEM_LIBRARY, "-o", sml.string()}).status, 0);
    const ToolRun back = RunToolProgram({"from-sml", sml.string()});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, normalized.out);
    std::filesystem::remove(sml);
}

TEST(ExamplesTest, TheGemLibraryCatchesAWrongFormatOfADataItem) {
    const std::string traffic = ReadBytes(GEM_TRAFFIC);
    const struct {
        const char* sent;
        const char* wrong;
        const char* reason;
    } faults[] = {
        {"<U4 5001> <L[1]", "<L[0]> <L[1]", "CEID is one of A I1 I2 I4 I8 U1 U2 U4 U8, got L"},
        {"S6F12\n<B 0x00>", "S6F12\n<U1 0>", "ACKC6 is one of B, got U1"},
        {"<B 0x80> <U4 12>", "<B 0x80> <F4 12>", "ALID is one of I1 I2 I4 I8 U1 U2 U4 U8, got F4"},
        {"<A \"PRB-300\">", "<A \"PRB-300 WITH A MODEL NAME TOO LONG\">", "MDLN holds at most 20 characters, got 34"},
        {"<B 0x80>", "<B 0x40>", "ALCD is one of 0 1 2 3 4 5 6 7 8 9..63 128, got 0x40"},
    };
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "tqf-gem-fault.sml";
    for (const auto& fault : faults) {
        std::string changed = traffic;
        const std::size_t at = changed.find(fault.sent);
        ASSERT_NE(at, std::string::npos) << fault.sent;
        changed.replace(at, std::string(fault.sent).size(), fault.wrong);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << changed;
        const ToolRun run = RunToolProgram({"validate", GEM_LIBRARY, path.string()});
        EXPECT_EQ(run.status, 1) << fault.wrong;
        EXPECT_NE(run.out.find(fault.reason), std::string::npos) << run.out;
    }
    std::filesystem::remove(path);
}

} // namespace
} // namespace tqf
