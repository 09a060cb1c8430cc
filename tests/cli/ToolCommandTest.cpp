#include "ToolCommand.h"
#include "SafeFileWriter.h"
#include "ToolArguments.h"
#include "ToolRun.h"
#include "TqfVersion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tqf {
namespace {

const std::string USAGE =
    "tqf-tool: usage: tqf-tool check FILE | tqf-tool normalize FILE [-o OUT] | tqf-tool from-sml [--log] "
    "[--open-examples] [--merge] FILE [-o OUT] | tqf-tool to-sml FILE [-o OUT] | tqf-tool from-host FILE [-o OUT] | "
    "tqf-tool validate [--log] LIBRARY MESSAGES | tqf-tool --help\n";

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
    EXPECT_EQ(err.str(), "tqf-tool: No message to save.\n");
}

TEST_F(ToolCommandTest, CheckListsDroppedStatementsInFileOrder) {
    const std::string path = File("mixed.tqf", "S1F1.\r\nS1F2 <ASCII>.\r\n\r\nSF1.\r\nS1F3 <L\r\n<A>>.\r\nS1F4 <L\r\n");
    EXPECT_EQ(Run({"check", path}), 1);
    EXPECT_EQ(out.str(), path + ":2:7: error: dropped: unknown item format ASCII\n" + path +
                             ":4:1: error: dropped: header has no stream number\n" + path +
                             ":7:6: error: dropped: list not closed at end of file\n2 messages, 3 dropped\n");

    EXPECT_EQ(Run({"check", File("clean.tqf", "S1F1.\n")}), 0);
    EXPECT_EQ(out.str(), "1 messages, 0 dropped\n");
}

TEST_F(ToolCommandTest, ValidateReportsMismatchesWithTheirPlacesAndExitStatus) {
    const std::string library = File("lib.tqf", "S1F1W.\n\nS6F11W\n<L[2]\n\t<U4>\n\t<A[9]>\n>.\n");
    const std::string log = File("log.sml", "S1F1 W.\nS6F11 W <L <U4 1> <U4 2>>.\nS2F1 <QQ>.\n");
    EXPECT_EQ(Run({"from-sml", "--merge", File("two.sml", "S1F2 <L <A 'A'>>.\nS1F2 <L>.\n")}), 0);
    EXPECT_EQ(out.str().substr(out.str().find("S1F2")), "S1F2\r\n<L[n]\r\n//@ count ..1\r\n\t<A>\r\n>.\r\n");
    EXPECT_NE(err.str().find("two.sml: warning: merged: S1F2: 2 messages in one definition"), std::string::npos);
    EXPECT_EQ(Run({"validate", library, log}), 1);
    EXPECT_EQ(out.str(), log + ":2:19: error: S6F11W item 1.2: A expected, got U4 (" + library + ":6)\n" + log +
                             ":3:7: error: S2F1: unknown item format QQ\n3 messages, 1 passed, 2 failed\n");
    EXPECT_EQ(Run({"validate", library, File("ok.sml", "S1F1 W.\n")}), 0);
    EXPECT_EQ(out.str(), "1 messages, 1 passed, 0 failed\n");
    const std::string missing = (dir / "missing").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"validate", library}, {"validate", library, missing}, {"validate", missing, log}}) {
        EXPECT_EQ(Run(args), 2) << args.back();
        EXPECT_EQ(out.str(), "") << args.back();
    }
    // "-" reads the messages from standard input.
    FILE* pipe = OpenCommand(Quoted(TQF_TOOL_PATH) + " validate " + Quoted(library) + " - < " + Quoted(log));
    ASSERT_NE(pipe, nullptr);
    std::string piped(256, '\0');
    piped.resize(std::fread(piped.data(), 1, piped.size(), pipe));
    EXPECT_EQ(CloseCommand(pipe), 1);
    EXPECT_EQ(piped.substr(0, 9), "<stdin>:2");
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
    const std::vector<std::vector<std::string>> wrong = {{},
                                                         {"check"},
                                                         {"normalize"},
                                                         {"verify", "x"},
                                                         {"check", "a", "b"},
                                                         {"--help", "x"},
                                                         {"check", "-x"},
                                                         {"check", "-o", "x", "y"},
                                                         {"from-sml"},
                                                         {"to-sml", "a", "-o"},
                                                         {"to-sml", "-o", "x"},
                                                         {"from-sml", "a", "-x", "b"}};
    for (const auto& args : wrong) {
        EXPECT_EQ(Run(args), 2);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str().substr(err.str().find('\n') + 1), USAGE);
        EXPECT_EQ(err.str().rfind("tqf-tool: ", 0), 0U);
    }
}

struct ArgumentsCase {
    std::vector<std::string> args;
    ToolArguments::Action action;
    std::string input;
    std::string output;
};

TEST_F(ToolCommandTest, ArgumentsAsGnuToolsReadThem) {
    using enum ToolArguments::Action;
    const ArgumentsCase cases[] = {
        {{"-h"}, HELP, "", ""},
        {{"check", "--help"}, HELP, "", ""},
        {{"to-sml", "a", "-h", "-x"}, HELP, "", ""},
        {{"check", "-"}, RUN, "-", ""},
        {{"check", "--", "-h"}, RUN, "-h", ""},
        {{"from-sml", "-", "-o", "-"}, RUN, "-", "-"},
        {{"to-sml", "-o", "-x", "--", "-o"}, RUN, "-o", "-x"},
        {{"check", "-o", "x", "y"}, WRONG, "", ""},
        {{"from-sml", "a", "-o", "b", "-o", "c"}, WRONG, "", ""},
        {{"check", "--"}, WRONG, "", ""},
    };
    for (const ArgumentsCase& c : cases) {
        const ToolArguments arguments = ToolArguments::Parse(c.args);
        EXPECT_EQ(arguments.action, c.action) << c.args.back();
        if (c.action == RUN) {
            EXPECT_EQ(arguments.input, c.input);
            EXPECT_EQ(arguments.output, c.output);
        }
        EXPECT_EQ(arguments.error.empty(), c.action != WRONG) << arguments.error;
    }
}

TEST_F(ToolCommandTest, StandardInputAndOutputForEveryCommand) {
    const auto runOn = [this](const std::vector<std::string>& args, const std::string& input) {
        std::istringstream in(input);
        out.str({});
        return ToolCommand::Run(args, in, out, err);
    };
    EXPECT_EQ(runOn({"normalize", "-"}, "S1F1 W.\nS2F2 <L <A>>.\nS3F3 <Q>.\n"), 1);
    EXPECT_EQ(err.str(), "tqf-tool: -: 1 statement dropped and not written; tqf-tool check lists them\n");
    const std::string normalized = out.str();
    EXPECT_EQ(runOn({"check", "-"}, normalized), 0);
    EXPECT_EQ(out.str(), "2 messages, 0 dropped\n");
    EXPECT_EQ(runOn({"to-sml", "-", "-o", "-"}, normalized), 0);
    EXPECT_EQ(runOn({"from-sml", "-"}, out.str()), 0);
    EXPECT_EQ(out.str(), normalized);
}

TEST_F(ToolCommandTest, VersionNamesTheProgramAndTheProjectVersion) {
    const ToolRun version = RunToolProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tqf-tool ") + TQF_VERSION + "\n");
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(RunToolProgram({"-v"}).out, version.out);
    // The option stands alone, like --help.
    EXPECT_EQ(Run({"--version", "x"}), 2);
    EXPECT_EQ(out.str(), "");
}

TEST_F(ToolCommandTest, TheProgramKeepsTheContract) {
    const std::string path = File("in.tqf", "S1F1 (X).\nS1F2 <B>.\nBAD.\n");
    const ToolRun check = RunToolProgram({"check", path});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, path + ":3:1: error: dropped: header has no stream number\n2 messages, 1 dropped\n");

    const ToolRun normalize = RunToolProgram({"normalize", path});
    EXPECT_EQ(normalize.status, 1);
    EXPECT_EQ(normalize.out, "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1 (X).\r\n\r\n\r\nS1F2\r\n<B>.\r\n");

    const ToolRun missing = RunToolProgram({"normalize", (dir / "none").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

    const ToolRun usage = RunToolProgram({});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "tqf-tool: no command given\n" + USAGE);
}

// A log whose first line is a statement is read as SML unless --log says
// otherwise; a count only an example gives is open with --open-examples.
TEST_F(ToolCommandTest, LogsAndExamples) {
    const std::string log = File("eap.log", "S1F1 W.\n[DEBUG] SxFy=S1F2, ticket=2\n[MSG] 'S1F2' /* Dir=1 */\n"
                                            "  <A 'PROBER-9' >\n.\n");
    EXPECT_EQ(Run({"from-sml", "--log", "--open-examples", log}), 0);
    // The log's direction comes along as a rule.
    EXPECT_NE(out.str().find("S1F2\r\n//@ direction E->H\r\n<A[n]>."), std::string::npos) << out.str();
    EXPECT_EQ(err.str(), "2 messages, 0 dropped, 0 changed, 1 values left out (a TQF file keeps no values), 1 count of "
                         "texts and binary items taken from an example value (--open-examples makes them open); "
                         "read as a log, 1 line skipped\n");
    const std::string library = File("lib.tqf", "S1F1W.\nS1F2 <A[4]>.\n");
    EXPECT_EQ(Run({"validate", "--log", library, log}), 1);
    EXPECT_EQ(out.str(), log + ":4:3: error: S1F2 item 1: at most 4 characters expected, got 8 (" + library +
                             ":2)\n2 messages, 1 passed, 1 failed; read as a log, 1 line skipped\n");
    EXPECT_EQ(Run({"from-sml", "--merge", File("two.sml", "S1F2 <L <A 'A'>>.\nS1F2 <L>.\n")}), 0);
    EXPECT_EQ(out.str().substr(out.str().find("S1F2")), "S1F2\r\n<L[n]\r\n//@ count ..1\r\n\t<A>\r\n>.\r\n");
    EXPECT_NE(err.str().find("two.sml: warning: merged: S1F2: 2 messages in one definition"), std::string::npos);
    EXPECT_EQ(Run({"validate", library, log}), 1);
    EXPECT_NE(out.str().find(":2:1: error: header has no stream number"), std::string::npos) << out.str();
}

TEST_F(ToolCommandTest, SmlInAndOut) {
    const std::string tqf = File("in.tqf", "S1F1W (ARE YOU THERE).\nS6F11W <L[2] <U4 CEID> <L[n] <A[n] LOT>>>.\n");
    EXPECT_EQ(Run({"to-sml", tqf}), 0);
    const std::string sml = out.str();
    EXPECT_NE(sml.find("\nS1F1 W.  // ARE YOU THERE\n"), std::string::npos) << sml;
    EXPECT_EQ(err.str(), "");

    EXPECT_EQ(Run({"from-sml", File("in.sml", sml)}), 0);
    const std::string back = out.str();
    EXPECT_EQ(err.str(), "2 messages, 0 dropped, 0 changed, 0 values left out (a TQF file keeps no values)\n");
    EXPECT_EQ(Run({"normalize", tqf}), 0);
    EXPECT_EQ(back, out.str());

    // What is dropped or changed is listed on standard error, in file order;
    // the rest is written.
    const std::string mixed = File("mixed.sml", "S1F1 <Q>.\nS1F2 <L[2] NAME <U4 1>>.\n");
    EXPECT_EQ(Run({"from-sml", mixed}), 1);
    EXPECT_EQ(err.str(),
              mixed + ":1:7: error: dropped: S1F1: unknown item format Q\n" + mixed +
                  ":2:6: warning: changed: list name \"NAME\" left out: a .TQF file keeps no list names\n" + mixed +
                  ":2:6: warning: changed: list declares 2 items and holds 1: its count is 1\n"
                  "1 messages, 1 dropped, 2 changed (1 list name left out, 1 list count set to its items), 1 values "
                  "left out (a TQF file keeps no values)\n");
    EXPECT_NE(out.str().find("S1F2\r\n<L[1]\r\n\t<U4>\r\n>."), std::string::npos);

    EXPECT_EQ(Run({"from-sml", File("none.sml", "// nothing\n")}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("No message to save."), std::string::npos);
}

// A log's messages merged for each direction: the library passes the log,
// and a message is held only to the definitions of its own direction.
TEST_F(ToolCommandTest, AMergedLogKeepsItsDirectionsApart) {
    const std::string log = File("dir.log", "[MSG] 'S2F41' W /* Dir=2 */\n<L [2] <A 'GO'> <L [0]>>\n.\n"
                                            "[MSG] 'S2F41' W /* Dir=1 */\n<U1 [1] 4>\n.\n"
                                            "[MSG] 'S2F41' /* Dir=2 */\n<L [2] <A 'STOP'> <L [1] <U4 1>>>\n.\n");
    const std::string library = (dir / "dir.tqf").string();
    EXPECT_EQ(Run({"from-sml", "--merge", log, "-o", library}), 0);
    EXPECT_NE(err.str().find("S2F41 sent by the host: sent with W and without: its reply is optional"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({"validate", library, log}), 0) << out.str();
    const std::string swapped = File("swapped.log", "[MSG] 'S2F41' W /* Dir=1 */\n<L [2] <A 'GO'> <L [0]>>\n.\n");
    EXPECT_EQ(Run({"validate", library, swapped}), 1);
    EXPECT_NE(out.str().find("S2F41W item 1: U1 expected, got L ("), std::string::npos) << out.str();
}

TEST_F(ToolCommandTest, OutputFilesAreWrittenWholeOrNotAtAll) {
    const std::string sml = File("in.sml", "S1F1 W.\n");
    const std::string target = File("out.TQF", "OLD");
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_read);
    EXPECT_EQ(Run({"from-sml", sml, "-o", target}), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(ReadBytes(target), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1W.\r\n");
#ifndef _WIN32 // Windows keeps a read-only flag, not these bits
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read)
        << "the file keeps its permissions";
#endif

    EXPECT_EQ(Run({"to-sml", "-o", (dir / "out.sml").string(), target}), 0);
    EXPECT_NE(ReadBytes((dir / "out.sml").string()).find("\nS1F1 W.\n"), std::string::npos);

    // A file that nobody may write is refused with the reason and kept.
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(Run({"from-sml", File("two.sml", "S1F2.\n"), "-o", target}), 2);
    EXPECT_NE(err.str().find("tqf-tool: " + target + ": the file is read-only\n"), std::string::npos) << err.str();
    EXPECT_EQ(ReadBytes(target), "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1W.\r\n");
    // Windows deletes no read-only file, and the folder goes after the test.
    std::filesystem::permissions(target, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);

    // A target that cannot be written fails with the reason and leaves
    // nothing behind.
    std::filesystem::create_directory(dir / "folder");
    EXPECT_EQ(Run({"from-sml", sml, "-o", (dir / "folder").string()}), 2);
    EXPECT_EQ(err.str().substr(err.str().find("\n") + 1),
              "tqf-tool: " + (dir / "folder").string() + ": it is a folder\n");
    EXPECT_EQ(Run({"to-sml", target, "-o", (dir / "missing" / "x.sml").string()}), 2);
    EXPECT_EQ(err.str(), "tqf-tool: " + (dir / "missing" / "x.sml").string() + ": no file can be made in the folder " +
                             (dir / "missing").string() + ": No such file or directory\n");
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 4U) << "no temporary file stays";
}

// normalize -o writes its input's own file too; no output of any command
// goes past the budget, and past it nothing is written.
TEST_F(ToolCommandTest, OutputsStayWithinTheBudgetAndNormalizeMayWriteItsInput) {
    const std::string tqf = File("in.TQF", "s1f2 <L[1] <L[1] <A>>>.\n");
    EXPECT_EQ(Run({"normalize", tqf, "-o", tqf}), 0);
    EXPECT_EQ(ReadBytes(tqf),
              "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F2\r\n<L[1]\r\n\t<L[1]\r\n\t\t<A>\r\n\t>\r\n>.\r\n");
    const std::string sml = File("in.sml", "S1F1 W <L <L <A>>>.\n");
    const std::string target = (dir / "out").string();
    const std::vector<std::vector<std::string>> commands = {{"normalize", tqf}, {"normalize", "-o", target, tqf},
                                                            {"to-sml", tqf},    {"to-sml", tqf, "-o", target},
                                                            {"from-sml", sml},  {"from-sml", sml, "-o", target}};
    for (const auto& args : commands) {
        out.str({});
        err.str({});
        EXPECT_EQ(ToolCommand::Run(args, out, err, std::nullopt, 40), 2) << args[0];
        EXPECT_NE(err.str().find("more than the 40 bytes a library may take here"), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
        EXPECT_FALSE(std::filesystem::exists(target));
    }
}

#ifndef _WIN32 // a file size limit and a child process of its own are POSIX's
// A disk that fills up half-way, as a file size limit makes it in a child
// process: the write fails with the reason and the old file stays whole.
TEST_F(ToolCommandTest, AFullDiskLeavesTheOldFile) {
    const std::string target = File("full.TQF", "OLD");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const SaveResult saved = SafeFileWriter::Write(target, std::string(100000, 'x'));
        ::_exit(!saved.written && saved.reason.find("too large") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(target), "OLD");
}
#endif

} // namespace
} // namespace tqf
