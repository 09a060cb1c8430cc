#include "FormatReader.h"
#include "DocumentDump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tqf {
namespace {

struct ReadCase {
    const char* name;
    std::string text;
    std::string document;
};

struct Outcome {
    ReadResult result;
    std::string document;
};

// Inputs of at least this many bytes are read on a second thread.
constexpr std::uintmax_t BESIDE_BUILDING = 0;
constexpr std::uintmax_t ALONE = UINTMAX_MAX;

Outcome ReadWith(const std::string& text, std::uintmax_t pipelineThreshold, std::size_t nodeLimit = 0,
                 std::size_t textLimit = 0) {
    FormatTree document;
    FormatReader reader(document);
    reader.SetPipelineThreshold(pipelineThreshold);
    if (nodeLimit != 0) {
        reader.SetNodeLimit(nodeLimit);
    }
    if (textLimit != 0) {
        reader.SetTextLimit(textLimit);
    }
    Outcome outcome{reader.ReadFormatBytes(text), {}};
    outcome.document = DumpDocument(document.GetRootNode());
    return outcome;
}

// Where two readings disagree, or empty.
std::string Disagreement(const Outcome& a, const Outcome& b) {
    if (a.document != b.document) {
        return "documents:\n" + a.document + "\nvs\n" + b.document;
    }
    const ReadResult& x = a.result;
    const ReadResult& y = b.result;
    if (x.status != y.status || x.errorText != y.errorText || x.messagesRead != y.messagesRead ||
        x.messageLines != y.messageLines || x.dropped != y.dropped) {
        return "results: " + std::to_string(x.messagesRead) + " vs " + std::to_string(y.messagesRead) + " messages, " +
               x.errorText + " vs " + y.errorText;
    }
    return {};
}

// Reads text on the calling thread alone and beside the building, which must
// come to the same.
Outcome Read(const std::string& text) {
    Outcome alone = ReadWith(text, ALONE);
    EXPECT_EQ(Disagreement(alone, ReadWith(text, BESIDE_BUILDING)), "") << text;
    return alone;
}

// The number of messages in a dump: the lines that are not indented.
std::size_t MessageCount(const std::string& dump) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < dump.size(); at = dump.find('\n', at) + 1) {
        if (dump[at] != ' ') {
            ++count;
        }
    }
    return count;
}

std::string Repeat(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

std::vector<DroppedStatement> Dropped(std::initializer_list<std::size_t> lines, std::size_t unterminatedLine = 0) {
    std::vector<DroppedStatement> dropped;
    for (std::size_t line : lines) {
        dropped.push_back({line, false});
    }
    if (unterminatedLine != 0) {
        dropped.push_back({unterminatedLine, true});
    }
    return dropped;
}

TEST(FormatReaderTest, Statements) {
    const ReadCase cases[] = {
        {"written file",
         "/* TALVO SECS MESSAGE FORMAT FILE */\r\n\r\nS1F1W (Are You There).\r\n\r\n\r\nS2F41W\r\n"
         "<L[2]\r\n\t<A[n]  Rcmd>\r\n\t<L[n]>\r\n>.\r\n",
         "S1F1W 'ARE YOU THERE'\nS2F41W\n  <L[2]> #2 list\n    <A[n]  RCMD> #-1 'RCMD'\n    <L[n]> #-1 list\n"},
        {"no header line, LF only", "S1F1W (ARE YOU THERE).\n", "S1F1W 'ARE YOU THERE'\n"},
        {"lower case", "s1f1w.\n", "S1F1W\n"},
        {"one line", "S1F3 <L[2] <U4 ID> <A[n] NAME>>.",
         "S1F3\n  <L[2]> #2 list\n    <U4  ID> #1 'ID'\n    <A[n]  NAME> #-1 'NAME'\n"},
        {"spread over lines", "S1F3\n<L[2]\n<U4 ID>\n\n   \n<U4>\n>\n.\n",
         "S1F3\n  <L[2]> #2 list\n    <U4  ID> #1 'ID'\n"
         "    <U4> #1\n"},
        {"one statement per line", "S1F1.S1F2.\nS1F3.\n", "S1F1\nS1F3\n"},
        {"leading dots", "..S1F1.\n", "S1F1\n"},
        {"dot in a description ends early", "S1F1 (VER. 2).\n", "S1F1 'VER'\n"},
        {"dot inside an item", "S1F1 <A[2] X.Y>\n.\n", "S1F1\n  <A[2]  X.Y> #2 'X.Y'\n"},
        {"double slash", "S1F1 (A//B).\nS1F2.\n", "S1F1 'AS1F2'\n"},
        {"block comment", "S1F1 (A/*B).\nS1F2.\nS1F3 */.\nS1F4.\n", "S1F1 'A'\nS1F4\n"},
        {"comment within a line", "S1F1 /* C */ (X).\n", "S1F1 'X'\n"},
        {"close marker without comment", "S1F1 (A*/B).\n", "S1F1 'A*/B'\n"},
        {"stray digits", "123\nS1F1.\n", "S1F1\n"},
        {"stray W", "W\nS1F1.\n", "S1F1W\n"},
        {"apostrophes", "S1F1'W'.\n", "S1F1W\n"},
        {"no space before the body", "S2F41W<L[1]<A>>.\n", "S2F41W\n  <L[1]> #1 list\n    <A> #1\n"},
        {"W after a space", "S1F1 W.\n", "S1F1 'W'\n"},
        {"description in parentheses", "S1F1 ( X ).\n", "S1F1 ' X '\n"},
        {"description without parentheses", "S1F1 HELLO THERE.\n", "S1F1 'HELLO THERE'\n"},
        {"S only in the description", "F1 (S).\n", "S-1F1 'S'\n"},
        {"space after the letter", "S 1F1.\n", "S1F-1 '1F1'\n"},
        {"stream 0 with items", "S0F1 <A>.\n", "S0F1\n  <A> #1\n"},
        {"numbers saturate", "S99999999999F0 <U4>.\n", "S2147483647F0\n  <U4> #1\n"},
        {"items after a top-level non-list item", "S1F1 <U4 X> <U4 Y>.\n", "S1F1\n  <U4  X> #1 'X'\n"},
        {"list after a top-level non-list item", "S1F1 <U4><L[1] <A>>.\n", "S1F1\n  <U4> #1\n"},
        {"CR alone stays in the line", "S1F1 (A\rB).\r\n", "S1F1 'A\rB'\n"},
        {"last line without LF", "S1F1.\nS1F2.", "S1F1\nS1F2\n"},
        {"NUL bytes are ordinary bytes", std::string("S1F1 (A\0B).\n", 12), std::string("S1F1 'A\0B'\n", 11)},
    };
    for (const ReadCase& c : cases) {
        const Outcome outcome = Read(c.text);
        EXPECT_EQ(outcome.document, c.document) << c.name;
        EXPECT_TRUE(outcome.result.dropped.empty()) << c.name;
    }
}

TEST(FormatReaderTest, ReadingIntoADocumentEmptiedByEditsKeepsTheTextsRead) {
    // Deleting the last message leaves an empty document with a history; the
    // texts of the messages read must outlive that history being dropped.
    FormatTree document;
    ASSERT_NE(document.CreateMessage({"1", "1", false, "MADE"}).node, nullptr);
    ASSERT_NE(document.DeleteMessage(document.GetRootNode()->FirstChild()).node, nullptr);
    ASSERT_TRUE(document.CanUndo());
    FormatReader reader(document);
    const ReadResult result = reader.ReadFormatBytes("S2F3W (FIRST) <L[1] <A[4] NAME>>.\nS4F5 (SECOND) <U4 ID>.\n");
    EXPECT_EQ(result.messagesRead, 2U);
    EXPECT_EQ(DumpDocument(document.GetRootNode()),
              "S2F3W 'FIRST'\n  <L[1]> #1 list\n    <A[4]  NAME> #4 'NAME'\nS4F5 'SECOND'\n  <U4  ID> #1 'ID'\n");
    EXPECT_FALSE(document.CanUndo());
}

TEST(FormatReaderTest, DroppedStatementsAreReportedByTheLineOfTheirDot) {
    struct DropCase {
        const char* name;
        std::string text;
        std::string document;
        std::vector<DroppedStatement> dropped;
    };
    const DropCase cases[] = {
        {"header that does not parse", "S1F1.\nHELLO\nS1F2.\nS1F3.\n", "S1F1\nS1F3\n", Dropped({3})},
        {"tab before the description", "S1F1\t(X).\n", "", Dropped({1})},
        {"S without a number", "SF1.\nS1F.\nS1FX.\n", "", Dropped({1, 2, 3})},
        {"negative number", "S-1F1.\n", "", Dropped({1})},
        {"two W", "S1F1WW.\n", "", Dropped({1})},
        {"stream 0 without items", "S0F1.\n", "", Dropped({1})},
        {"dot in the last item's description", "S1F1 <L[1]\n<A VER. 2>.\n", "", Dropped({2})},
        {"items cut off by a dot in the header", "S1F1 (VER. 2)\n<L[1]\n<A>\n>.\n", "S1F1 'VER'\n", Dropped({4})},
        {"unknown code", "S1F1 <L <ASCII>>.\n", "", Dropped({1})},
        {"missing bracket after L[", "S1F1 <L[1 <A>>.\n", "", Dropped({1})},
        {"missing closing bracket of an item", "S1F1 <A\n.\n", "", Dropped({2})},
        {"an item's brackets may span lines", "S1F1 <L[1]\n<A\n>.\n", "S1F1\n  <L[1]> #1 list\n    <A> #1\n",
         Dropped({})},
        {"open bracket at body level", "S1F1 <L[1] <A> [>.\n", "", Dropped({1})},
        {"empty statements are not reported", "\n.\n..\n   .\n", "", Dropped({})},
        {"unterminated at the end", "S1F1.\nS1F2 <L\n<A>\n", "S1F1\n", Dropped({}, 3)},
        {"trailing junk", "S1F1.\r\nJUNK\r\n", "S1F1\n", Dropped({}, 2)},
        {"trailing white space", "S1F1.\n  \t\n", "S1F1\n", Dropped({})},
        {"open comment at the end", "S1F1.\nS1F2 /* X\nS1F3.\n", "S1F1\n", Dropped({}, 3)},
        {"lines counted through comments and blanks", "/* A */\n\n// B\n\n/*\nC\n*/\nS1F1.\nS1F1 <L[>.\n", "S1F1\n",
         Dropped({9})},
    };
    for (const DropCase& c : cases) {
        const Outcome outcome = Read(c.text);
        EXPECT_EQ(outcome.document, c.document) << c.name;
        EXPECT_EQ(outcome.result.dropped, c.dropped) << c.name;
        EXPECT_EQ(outcome.result.messagesRead, MessageCount(c.document)) << c.name;
    }
}

TEST(FormatReaderTest, LongLinesAreReadWhole) {
    // Past 254 characters nothing changes: the description stays whole, and a
    // comment marker or the final "." far along the line is still seen.
    const std::string description(1000, 'D');
    const Outcome whole = Read("S1F1 (" + description + ").\n");
    EXPECT_EQ(whole.document, "S1F1 '" + description + "'\n");

    const Outcome comment = Read("S1F1 (" + std::string(300, 'X') + "/* GONE */).\n");
    EXPECT_EQ(comment.document, "S1F1 '" + std::string(300, 'X') + "'\n");

    const std::string items = "S1F1 <L" + std::string(400, ' ') + "<A[n] " + description + ">>.";
    const Outcome item = Read(items + "\r\n" + items);
    EXPECT_EQ(item.result.messagesRead, 2U);
    EXPECT_TRUE(item.result.dropped.empty());
    EXPECT_NE(item.document.find("<A[n]  " + description + "> #-1"), std::string::npos);
}

TEST(FormatReaderTest, LinesLongerThanTheReadBufferAndManyMessages) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "S1F" + std::to_string(i % 250) + " (" + std::string(static_cast<std::size_t>(i % 97) * 11, 'Q') +
                ") <L <U4> <A[" + std::to_string(i) + "]>>.\r\n";
    }
    text += "S9F9 (" + std::string(200'000, 'Z') + ").";
    std::istringstream in(text);
    FormatTree document;
    FormatReader reader(document);
    const ReadResult result = reader.ReadFormatFile(in);
    EXPECT_EQ(result.messagesRead, 2001U);
    EXPECT_TRUE(result.dropped.empty());
    EXPECT_EQ(result.messageLines.back(), 2001U);
    EXPECT_EQ(document.GetRootNode()->Count(), 2001);
}

class FormatReaderFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tqf-reader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
};

TEST_F(FormatReaderFileTest, ReadOnlyFilesOpen) {
    const auto path = dir / "readonly.TQF";
    std::ofstream(path, std::ios::binary) << "S1F1 (X).\r\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    FormatTree document;
    FormatReader reader(document);
    const ReadResult result = reader.ReadFormatFile(path);
    EXPECT_TRUE(result.Complete());
    EXPECT_EQ(result.messagesRead, 1U);
    std::ifstream stillThere(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(stillThere)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "S1F1 (X).\r\n") << "reading never writes";
    // Windows deletes no read-only file, and the folder goes after the test.
    std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

TEST_F(FormatReaderFileTest, FilesThatCannotBeOpenedLeaveTheDocumentAlone) {
    FormatTree document;
    FormatReader reader(document);
    const ReadResult missing = reader.ReadFormatFile(dir / "missing.TQF");
    EXPECT_FALSE(missing.Opened());
    EXPECT_EQ(missing.status, ReadStatus::OPEN_FAILED);
    EXPECT_EQ(missing.errorText, "No such file or directory");
    const ReadResult folder = reader.ReadFormatFile(dir);
    EXPECT_EQ(folder.status, ReadStatus::OPEN_FAILED);
    EXPECT_FALSE(folder.errorText.empty());
    EXPECT_EQ(document.GetRootNode()->FirstChild(), nullptr);
}

TEST(FormatReaderTest, ReadingStopsBeforeTheDocumentGrowsBeyondItsNodeLimit) {
    // Two nodes, four nodes, one node: the limit counts messages and items.
    const std::string text = "S1F1 <A>.\nS1F2 <L <U1> <U2>>.\nS1F3.\n";
    const struct {
        std::size_t limit;
        std::size_t messages;
    } cases[] = {{0, 0}, {5, 1}, {6, 2}};
    for (const auto& [limit, messages] : cases) {
        FormatTree document;
        FormatReader reader(document);
        reader.SetNodeLimit(limit);
        const ReadResult result = reader.ReadFormatBytes(text);
        EXPECT_EQ(result.status, ReadStatus::TOO_LARGE) << limit;
        EXPECT_FALSE(result.Complete());
        EXPECT_TRUE(result.Opened());
        EXPECT_NE(result.errorText.find(std::to_string(limit)), std::string::npos) << result.errorText;
        EXPECT_EQ(result.messagesRead, messages) << "the message that does not fit is neither read nor dropped";
        EXPECT_TRUE(result.dropped.empty());
        EXPECT_EQ(document.GetRootNode()->Count(), static_cast<int>(messages));
    }

    FormatTree exact;
    FormatReader exactReader(exact);
    exactReader.SetNodeLimit(7);
    EXPECT_EQ(exactReader.ReadFormatBytes(text).status, ReadStatus::READ) << "a document of exactly the limit fits";
    // What the document held before counts too.
    FormatReader again(exact);
    again.SetNodeLimit(8);
    const ReadResult second = again.ReadFormatBytes("S2F1.\nS2F2.\n");
    EXPECT_EQ(second.status, ReadStatus::TOO_LARGE);
    EXPECT_EQ(second.messagesRead, 1U);
    EXPECT_EQ(exact.GetRootNode()->Count(), 4);
}

TEST(FormatReaderTest, AStatementWithMoreItemsThanTheLimitStopsReadingWhileItIsScanned) {
    // One statement of a million empty lists: it is not scanned to its end
    // before reading stops.
    const std::string text = "S1F1.\nS1F2 <L[N]" + Repeat("<L>", 1'000'000) + ">.\nS1F3.\n";
    FormatTree document;
    FormatReader reader(document);
    reader.SetNodeLimit(1'000);
    const ReadResult result = reader.ReadFormatBytes(text);
    EXPECT_EQ(result.status, ReadStatus::TOO_LARGE);
    EXPECT_EQ(result.messagesRead, 1U);
    EXPECT_TRUE(result.dropped.empty());
    EXPECT_EQ(document.GetRootNode()->Count(), 1);

    // A statement that is wrong before it reaches the limit is dropped as usual.
    FormatTree other;
    FormatReader otherReader(other);
    otherReader.SetNodeLimit(10);
    const ReadResult dropped =
        otherReader.ReadFormatBytes("S1F1 <L <Q> <A> <A> <A> <A> <A> <A> <A> <A> <A> <A>>.\nS1F2.\n");
    EXPECT_EQ(dropped.status, ReadStatus::READ);
    EXPECT_EQ(dropped.dropped, Dropped({1}));
    EXPECT_EQ(dropped.messagesRead, 1U);
}

TEST(FormatReaderTest, LinesAndStatementsLongerThanTheTextLimitStopReading) {
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"a long line", "S1F1.\nS1F2 (" + std::string(5'000, 'D') + ").\nS1F3.\n"},
        {"a long line without a line end", "S1F1.\nS1F2 (" + std::string(500'000, 'D') + ")."},
        {"a long statement of short lines", "S1F1.\nS1F2 <L" + Repeat("\n<A>", 2'000) + ">.\nS1F3.\n"},
        {"a statement ending on a long line", "S1F1.\nS1F2\n<A " + std::string(5'000, 'D') + ">.\n"},
    };
    for (const auto& c : cases) {
        FormatTree document;
        FormatReader reader(document);
        reader.SetTextLimit(1'000);
        const ReadResult result = reader.ReadFormatBytes(c.text);
        EXPECT_EQ(result.status, ReadStatus::TOO_LARGE) << c.name;
        EXPECT_EQ(result.errorText.rfind("a statement of the library is longer than 1000 bytes", 0), 0U)
            << result.errorText;
        EXPECT_EQ(result.messagesRead, 1U) << c.name;
        EXPECT_TRUE(result.dropped.empty()) << c.name;
        EXPECT_EQ(document.GetRootNode()->Count(), 1) << c.name << ": nothing of the long statement is built";
    }
    FormatTree document;
    FormatReader reader(document);
    reader.SetTextLimit(1'000);
    EXPECT_EQ(reader.ReadFormatBytes("S1F1 (" + std::string(900, 'D') + ").\nS1F2.\n").status, ReadStatus::READ);
}

TEST(FormatReaderTest, TheDefaultNodeLimitLeavesRoomForLargeLibraries) {
    // A library of ten million items, about 200 MB of text, opens on any
    // machine with 12 GB of memory or more; none is refused below a million.
    EXPECT_GE(FormatReader::DefaultNodeLimit(), std::size_t{1'000'000});
}

TEST(FormatReaderTest, StatementsOnTheirOwn) {
    FormatTree document;
    FormatReader reader(document);
    EXPECT_TRUE(reader.ParseStatement("S1F3 <L[2] <U4 ID> <A[N] NAME>>"));
    EXPECT_TRUE(reader.ParseStatement("S1F3 <L[2] <U4 ID> <A[N] NAME>")) << "lists still open are complete";
    EXPECT_FALSE(reader.ParseStatement("S1F3 <L[2] <U4 ID> <A[N] NAME"));
    EXPECT_FALSE(reader.ParseStatement(""));
    EXPECT_FALSE(reader.ParseStatement("S0F1"));
    EXPECT_TRUE(reader.ParseStatement("S0F1<A>"));
    EXPECT_EQ(DumpDocument(document.GetRootNode()),
              "S1F3\n  <L[2]> #2 list\n    <U4  ID> #1 'ID'\n    <A[n]  NAME> #-1 'NAME'\n"
              "S1F3\n  <L[2]> #2 list\n    <U4  ID> #1 'ID'\n    <A[n]  NAME> #-1 'NAME'\n"
              "S0F1\n  <A> #1\n");
}

TEST(FormatReaderTest, HeadersOnTheirOwn) {
    MessageHeader tree;
    ASSERT_TRUE(FormatReader::ParseHeader("  S6F11W (EVENT REPORT)<L[3]", tree));
    EXPECT_EQ(tree.stream, 6);
    EXPECT_EQ(tree.function, 11);
    EXPECT_EQ(tree.replyRequired, 1);
    EXPECT_EQ(tree.description, "EVENT REPORT");
    for (const char* bad : {"", "   ", "S1", "F1", "S1F1X", "S1F1(X)", "S1S", "FS1"}) {
        MessageHeader other;
        EXPECT_FALSE(FormatReader::ParseHeader(bad, other)) << bad;
    }
    MessageHeader longHeader;
    std::string header(1, 'S');
    header.append(5000, '0');
    header += "7F1";
    ASSERT_TRUE(FormatReader::ParseHeader(header, longHeader));
    EXPECT_EQ(longHeader.stream, 7);
}

TEST(FormatReaderTest, AnyBytesAreRead) {
    // Random text from the characters that matter to the reader: it must end,
    // and everything it reports must agree with the document.
    const std::string alphabet = "<>[]./*SFWLANU4 \t\r\n(')0123-vx";
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 300);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = length(random);
        for (int i = 0; i < n; ++i) {
            text += alphabet[pick(random)];
        }
        FormatTree document;
        FormatReader reader(document);
        const ReadResult result = reader.ReadFormatBytes(text);
        ASSERT_EQ(static_cast<std::size_t>(document.GetRootNode()->Count()), result.messagesRead) << text;
        if (round % 10 == 0) {
            ASSERT_EQ(Disagreement(ReadWith(text, ALONE), ReadWith(text, BESIDE_BUILDING)), "") << text;
        }
        ASSERT_EQ(result.messageLines.size(), result.messagesRead);
        // A file without LF has its lines ended by CR.
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n') +
                                                    std::count(text.begin(), text.end(), '\r')) +
                           1;
        for (const DroppedStatement& d : result.dropped) {
            ASSERT_LE(d.line, lines) << text;
        }
    }
}

// A library of many messages, enough for many hand-overs between the threads.
std::string ManyMessages(int count) {
    std::string text = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n";
    for (int i = 0; i < count; ++i) {
        text += "S" + std::to_string(i % 127 + 1) + "F" + std::to_string(i % 256) + (i % 3 == 0 ? "W" : "") + " (M" +
                std::to_string(i) + ")\r\n<L[3]\r\n\t<U4[n]  ID>\r\n\t<L\r\n";
        for (int j = 0; j < i % 40; ++j) {
            text += "\t\t<A[" + std::to_string(j) + "]  TEXT>\r\n";
        }
        text += "\t>\r\n\t<BOOLEAN>\r\n>.\r\n";
        if (i % 17 == 0) {
            text += "S1F1 <L[1] <NOPE>>.\r\n"; // dropped
        }
    }
    return text + "S5F5 (never ended)";
}

TEST(FormatReaderTest, ReadingBesideBuildingComesToTheSameAsReadingAlone) {
    const std::string text = ManyMessages(3000);
    const Outcome alone = ReadWith(text, ALONE);
    EXPECT_EQ(alone.result.messagesRead, 3000U);
    EXPECT_EQ(alone.result.dropped.size(), 3000U / 17 + 2);
    EXPECT_TRUE(alone.result.dropped.back().unterminated);
    EXPECT_EQ(Disagreement(alone, ReadWith(text, BESIDE_BUILDING)), "");

    // Stopping at the node limit, wherever it falls, stops both alike.
    for (const std::size_t limit : {std::size_t{1}, std::size_t{5}, std::size_t{999}, std::size_t{20'000}}) {
        const Outcome stopped = ReadWith(text, ALONE, limit);
        EXPECT_EQ(stopped.result.status, ReadStatus::TOO_LARGE) << limit;
        EXPECT_EQ(Disagreement(stopped, ReadWith(text, BESIDE_BUILDING, limit)), "") << limit;
    }
    // So does a statement longer than the text limit, far into the file.
    const std::string longer = text + "\r\nS1F1 (" + std::string(5'000, 'L') + ").\r\n";
    const Outcome tooLong = ReadWith(longer, ALONE, 0, 4'000);
    EXPECT_EQ(tooLong.result.status, ReadStatus::TOO_LARGE);
    EXPECT_EQ(Disagreement(tooLong, ReadWith(longer, BESIDE_BUILDING, 0, 4'000)), "");
}

TEST(FormatReaderTest, MessagesAreAnnouncedInOrderOnTheCallingThread) {
    const std::string text = ManyMessages(2000);
    FormatTree document;
    std::vector<std::string> labels;
    bool elsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    FormatReader reader(document, [&](FormatNode& message) {
        labels.push_back(message.Label().str() + " " + message.Description().str());
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        // The message is in the document, after those announced before.
        EXPECT_EQ(static_cast<std::size_t>(document.GetRootNode()->Count()), labels.size());
    });
    reader.SetPipelineThreshold(BESIDE_BUILDING);
    EXPECT_EQ(reader.ReadFormatBytes(text).messagesRead, 2000U);
    EXPECT_FALSE(elsewhere);
    ASSERT_EQ(labels.size(), 2000U);
    EXPECT_EQ(labels[0], "S1F0W M0");
    EXPECT_EQ(labels[1999], "S95F207 M1999");
}

TEST(FormatReaderTest, AFailureWhileBuildingStopsTheReadingThreadAndComesThrough) {
    const std::string text = ManyMessages(3000);
    for (const int failAt : {1, 700}) {
        FormatTree document;
        int built = 0;
        FormatReader reader(document, [&](FormatNode&) {
            if (++built == failAt) {
                throw std::runtime_error("no more");
            }
        });
        reader.SetPipelineThreshold(BESIDE_BUILDING);
        EXPECT_THROW((void)reader.ReadFormatBytes(text), std::runtime_error) << failAt;
        EXPECT_EQ(document.GetRootNode()->Count(), failAt) << "what was built before stays, nothing after";
    }
}

TEST(FormatReaderTest, ACancelCheckStopsTheReadAtOnceOnEitherThreadAndBytesReadFollows) {
    const std::string text = ManyMessages(3000);
    for (const std::uintmax_t threshold : {BESIDE_BUILDING, ALONE}) {
        for (const int cancelAt : {1, 3, 0}) {
            FormatTree document;
            FormatReader reader(document);
            reader.SetPipelineThreshold(threshold);
            int asked = 0;
            std::uintmax_t seen = 0;
            reader.SetCancelCheck([&] {
                seen = std::max(seen, reader.BytesRead());
                return ++asked == cancelAt;
            });
            const ReadResult result = reader.ReadFormatBytes(text);
            const bool cancelled = cancelAt != 0;
            EXPECT_EQ(result.status, cancelled ? ReadStatus::CANCELLED : ReadStatus::READ) << threshold << cancelAt;
            EXPECT_EQ(result.messagesRead, static_cast<std::size_t>(document.GetRootNode()->Count()));
            EXPECT_EQ(result.messagesRead < 3000U, cancelled) << threshold << cancelAt;
            EXPECT_LE(seen, text.size());
            if (cancelled) {
                EXPECT_EQ(asked, cancelAt) << "not asked again once it said stop";
            } else {
                EXPECT_GT(asked, 1);
                EXPECT_EQ(reader.BytesRead(), text.size());
            }
        }
    }
}

} // namespace
} // namespace tqf
