#include "ToolCommand.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tqf {
namespace {

class ToolCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tqf-tool-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string File(const std::string& name, const std::string& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    int Run(const std::vector<std::string>& args) {
        out.str({});
        err.str({});
        return ToolCommand::Run(args, out, err);
    }

    std::filesystem::path dir;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ToolCommandTest, NormalizeWritesWhatSaveWould) {
    const std::string path = File("in.tqf", "// a comment\ns1f1w (are you there).\nS6F11W <L[9] <U4 CEID> <A[n]>>.\n");
    EXPECT_EQ(Run({"normalize", path}), 0);
    EXPECT_EQ(out.str(), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1W (ARE YOU THERE).\r\n\r\n\r\n"
                         "S6F11W\r\n<L[2]\r\n\t<U4  CEID>\r\n\t<A[n]>\r\n>.\r\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(ToolCommandTest, NormalizeWithoutAnyMessage) {
    EXPECT_EQ(Run({"normalize", File("empty.tqf", "/* nothing */\nJUNK.\n")}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "No message to save.\n");
}

TEST_F(ToolCommandTest, CheckListsDroppedStatementsInFileOrder) {
    const std::string path = File("mixed.tqf", "S1F1.\r\nS1F2 <ASCII>.\r\n\r\nSF1.\r\nS1F3 <L\r\n<A>>.\r\nS1F4 <L\r\n");
    EXPECT_EQ(Run({"check", path}), 1);
    EXPECT_EQ(out.str(), path + ":2:7: dropped: unknown item format ASCII\n" + path +
                             ":4:1: dropped: header has no stream number\n" + path +
                             ":7:6: dropped: list not closed at end of file\n2 messages, 3 dropped\n");

    EXPECT_EQ(Run({"check", File("clean.tqf", "S1F1.\n")}), 0);
    EXPECT_EQ(out.str(), "1 messages, 0 dropped\n");
}

TEST_F(ToolCommandTest, FilesThatCannotBeOpened) {
    const std::string missing = (dir / "missing.tqf").string();
    for (const char* command : {"check", "normalize"}) {
        EXPECT_EQ(Run({command, missing}), 2) << command;
        EXPECT_EQ(out.str(), "") << command;
        EXPECT_EQ(err.str(), "tqf-tool: " + missing + ": No such file or directory\n") << command;
    }
    EXPECT_EQ(Run({"check", dir.string()}), 2);
    EXPECT_NE(err.str().find(dir.string()), std::string::npos);
}

TEST_F(ToolCommandTest, FilesTooLargeForMemoryAreRefused) {
    const std::string path = File("big.tqf", "S1F1 <L <A> <A>>.\nS1F2 <A>.\n");
    for (const char* command : {"check", "normalize"}) {
        out.str({});
        err.str({});
        EXPECT_EQ(ToolCommand::Run({command, path}, out, err, std::size_t{5}), 2) << command;
        EXPECT_EQ(out.str(), "") << command;
        const std::string said = err.str();
        EXPECT_EQ(said.rfind("tqf-tool: " + path + ": the library holds more than 5 ", 0), 0U) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    }
    out.str({});
    EXPECT_EQ(ToolCommand::Run({"check", path}, out, err, std::size_t{6}), 0);
    EXPECT_EQ(out.str(), "2 messages, 0 dropped\n");
}

TEST_F(ToolCommandTest, HelpAndWrongArguments) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("normalize FILE"), std::string::npos);
    EXPECT_EQ(err.str(), "");
    const std::vector<std::vector<std::string>> wrong = {
        {}, {"check"}, {"normalize"}, {"verify", "x"}, {"check", "a", "b"}, {"--help", "x"}, {"-h"}};
    for (const auto& args : wrong) {
        EXPECT_EQ(Run(args), 2);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "usage: tqf-tool check FILE | tqf-tool normalize FILE | tqf-tool --help\n");
    }
}

TEST_F(ToolCommandTest, TheProgramKeepsTheContract) {
    const std::string path = File("in.tqf", "S1F1 (X).\nS1F2 <B>.\nBAD.\n");
    const ToolRun check = RunToolProgram({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, path + ":3:1: dropped: header has no stream number\n2 messages, 1 dropped\n");

    const ToolRun normalize = RunToolProgram({"normalize", path});
    EXPECT_EQ(normalize.status, 0);
    EXPECT_EQ(normalize.out, "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1 (X).\r\n\r\n\r\nS1F2\r\n<B>.\r\n");

    const ToolRun missing = RunToolProgram({"normalize", (dir / "none").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

    const ToolRun usage = RunToolProgram({});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "usage: tqf-tool check FILE | tqf-tool normalize FILE | tqf-tool --help\n");
}

} // namespace
} // namespace tqf
