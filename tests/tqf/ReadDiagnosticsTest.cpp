#include "Decimal.h"
#include "DocumentDump.h"
#include "DropExplainer.h"
#include "FormatReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tqf {
namespace {

struct Reading {
    ReadResult result;
    std::string document;
};

Reading ReadWith(const std::string& text, std::uintmax_t pipelineThreshold) {
    FormatTree document;
    FormatReader reader(document);
    reader.SetPipelineThreshold(pipelineThreshold);
    Reading reading{reader.ReadFormatBytes(text), {}};
    reading.document = DumpDocument(document.GetRootNode());
    return reading;
}

// Reads text on one thread and on two, which must report the same.
ReadResult Read(const std::string& text) {
    Reading alone = ReadWith(text, UINTMAX_MAX);
    const Reading beside = ReadWith(text, 0);
    EXPECT_EQ(alone.document, beside.document);
    EXPECT_EQ(alone.result.dropped, beside.result.dropped);
    EXPECT_EQ(alone.result.dropReasons, beside.result.dropReasons);
    EXPECT_EQ(alone.result.warnings, beside.result.warnings);
    EXPECT_EQ(alone.result.dropReasons.size(), alone.result.dropped.size()) << "one reason for each drop";
    return alone.result;
}

std::string Format(const ReadDiagnostic& d) {
    return std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.reason;
}

struct DropCase {
    std::string text;
    std::string expected; // LINE:COLUMN: REASON of its one dropped statement
};

TEST(ReadDiagnosticsTest, EveryReasonForADropNamesWhereTheStatementWentWrong) {
    const DropCase cases[] = {
        {"X1F1.\n", "1:1: header has no stream number"},
        {"  <U4 ID>.\n", "1:3: message has no header"},
        {"S1 (NO).\n", "1:1: header has no function number"},
        {"SF1.\n", "1:1: header has no stream number"},
        {"S1F.\n", "1:3: header has no function number"},
        {"S1F1WW.\n", "1:6: W twice in header"},
        {"S1F1(X).\n", "1:5: unexpected ( in header"},
        {"S1F1\t(X).\n", "1:5: unexpected \\t in header"},
        {"S0F1.\n", "1:1: stream 0 on a message without items"},
        {"S1F1 <QQ[2] LOT>.\n", "1:7: unknown item format QQ"},
        {"S1F1\n  <L[2]\n\t<ASCII>\n>.\n", "3:3: unknown item format ASCII"},
        {"S1F1 <L[2 <A>>.\n", "1:8: [ without ]"},
        {"S1F1 <A[3 X>.\n", "1:8: [ without ]"},
        {"S1F1 <A 3] X>.\n", "1:10: ] without ["},
        {"S1F1 <L> [ <A>.\n", "1:10: [ without ]"},
        {"S1F1 <>.\n", "1:6: item has no format"},
        {"S1F1 <  A>.\n", "1:8: space before item format"},
        {"S1F1 <U4 X\n.\n", "1:6: < without >"},
        // A comment on the line moves what follows it; the column is still
        // the file's own.
        {"S1F1 /* note */ <QQ>.\n", "1:18: unknown item format QQ"},
        // Spaces next to brackets are removed before the statement is read.
        {"S1F1 < L [ 2 ] < QQ >>.\n", "1:18: unknown item format QQ"},
        {"S1F1 <L[1]\n<U4 A.B>.\n", "2:1: < without >"},
        {"  S1F1\n<L[1]\n\t<U4>\n", "2:1: list not closed at end of file"},
        {"\n\n  S1F1 <L[1]\n<U4>\n>\n", "3:3: unterminated at end of file"},
        {"S1F1 <" + std::string(40, 'Q') + ">.\n", "1:7: unknown item format QQQQQQQQQQQQQQQQQQQQQQQQ..."},
        // Item codes are compared whole, a zero byte included.
        {std::string("S1F1 <A\0[40]>.\n", 15), "1:7: unknown item format A\\x00"},
        {"S1F1 <\xEF\xBB\xBF\xC3\xA9 A>.\n", "1:7: unknown item format \\xEF\\xBB\\xBF\xC3\xA9"},
    };
    for (const DropCase& c : cases) {
        const ReadResult result = Read(c.text);
        ASSERT_EQ(result.dropReasons.size(), 1U) << c.text;
        EXPECT_EQ(Format(result.dropReasons[0]), c.expected) << c.text;
        EXPECT_TRUE(result.warnings.empty()) << c.text;
    }
}

TEST(ReadDiagnosticsTest, WarningsForWhatReadsButIsRarelyMeant) {
    const ReadResult comment = Read("S1F1.\n  /* from here on\nS2F1.\n\nS3F1.\n");
    EXPECT_EQ(comment.messagesRead, 1U);
    ASSERT_EQ(comment.warnings.size(), 1U);
    EXPECT_EQ(Format(comment.warnings[0]), "2:3: block comment not closed: it hides 3 lines to the end of the file");

    // A comment closed later hides nothing for good, and one opened and
    // closed on a line never opens.
    EXPECT_TRUE(Read("/* a\nb */ S1F1.\nS2F1 /* c */.\n").warnings.empty());

    const ReadResult numbers =
        Read("S99999999999F1 <L[2] <U4[123456789012] X> <U4[2147483647]>>.\nS1F2 <I4[-3000000000]>.\n");
    EXPECT_EQ(numbers.messagesRead, 2U);
    ASSERT_EQ(numbers.warnings.size(), 3U);
    EXPECT_EQ(Format(numbers.warnings[0]), "1:2: number 99999999999 beyond the 32-bit range, read as 2147483647");
    EXPECT_EQ(Format(numbers.warnings[1]), "1:26: number 123456789012 beyond the 32-bit range, read as 2147483647");
    EXPECT_EQ(Format(numbers.warnings[2]), "2:10: number -3000000000 beyond the 32-bit range, read as -2147483648");

    // A list's count is not kept, and a number in a description is no count.
    EXPECT_TRUE(Read("S1F1 <L[99999999999] <A 99999999999>>.\n").warnings.empty());
}

struct LossCase {
    std::string text;
    std::size_t messages;
    std::string warning; // LINE:COLUMN: and the start of the reason; empty for none
};

TEST(ReadDiagnosticsTest, TextThatReadsButIsLostIsWarnedAbout) {
    const LossCase cases[] = {
        {"S1F1. S1F2.\n", 1, "1:5: the statement ends at this \".\", and the rest of the line is ignored: S1F2."},
        {"S1F1 (ARE YOU THERE.).\n", 1,
         "1:20: the statement ends at this \".\", and the rest of the line is ignored: )."},
        {"S1F1 <L[0].\n\t  S1F2 W\n>.\n", 1, "2:4: S1F2 is read as text of the statement before it"},
        {"S1F4 (SEE HTTP://X).\n\t'S1F5' W.\n", 1, "2:2: S1F5 is read as text of the statement before it"},
        {"/* a */ S1F1 <L[1]\n/* b */ S2F2 <A>>.\n", 1, "2:9: S2F2 is read as text"},
        {"F3 (NOSTREAM).\n", 1, "1:1: header has no stream number: the message is read with stream -1"},
        {"S2 (NO F).\n", 1, "1:1: header has no function number"},
        // What is meant reads without a word: dots ending a line, a header
        // on a statement's first line, a dropped statement (reported as such).
        {"S1F1 W..  \nS1F2\n<L[1]\n\t<A>\n>.\n\nS1F3 (S1F4)\n.\n  \n  S1F5.\n", 4, ""},
        {"S1F1 <Q>. S1F2.\n", 0, ""},
    };
    for (const LossCase& c : cases) {
        const ReadResult result = Read(c.text);
        EXPECT_EQ(result.messagesRead, c.messages) << c.text;
        if (c.warning.empty()) {
            EXPECT_TRUE(result.warnings.empty()) << c.text << Format(result.warnings.front());
            continue;
        }
        ASSERT_EQ(result.warnings.size(), 1U) << c.text;
        EXPECT_EQ(Format(result.warnings[0]).substr(0, c.warning.size()), c.warning) << c.text;
    }
}

TEST(ReadDiagnosticsTest, LineEndsAndByteOrderMarks) {
    // CR alone ends the lines of a file without LF, also across the chunks
    // a large file is read in; one LF anywhere keeps every CR in its line.
    std::string large;
    for (int i = 0; i < 3000; ++i) {
        large += "S1F" + std::to_string(i % 200) + "\r<L[2]\r\t<U4 ID>\r\r\t<A[N]>\r>.\r";
    }
    EXPECT_EQ(Read(large).messagesRead, 3000U);
    EXPECT_EQ(Read("S1F1.\rS1F2 <A>.").messagesRead, 2U);
    EXPECT_EQ(Read("S1F1.\rS1F2.\n").messagesRead, 1U);

    const ReadResult marked = Read("\xEF\xBB\xBFS1F1.\nS1F2 <Q>.\n");
    EXPECT_EQ(marked.messagesRead, 1U);
    ASSERT_EQ(marked.dropReasons.size(), 1U);
    EXPECT_EQ(Format(marked.dropReasons[0]), "2:7: unknown item format Q");

    for (const auto& [bytes, encoding] : {std::pair{std::string("\xFF\xFES\0001\0.\0", 8), "UTF-16"},
                                          std::pair{std::string("\0\0\xFE\xFF", 4), "UTF-32"}}) {
        const ReadResult refused = Read(bytes);
        EXPECT_EQ(refused.status, ReadStatus::OPEN_FAILED) << encoding;
        EXPECT_NE(refused.errorText.find(std::string("it holds ") + encoding + " text"), std::string::npos);
    }
}

TEST(ReadDiagnosticsTest, ReportsChangeNothingOfWhatIsRead) {
    // Drops between good statements, on lines of their own and shared, in a
    // file large enough for the second thread.
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "S" + std::to_string(i % 100 + 1) + "F1 (M " + std::to_string(i) + ")\r\n<L[2]\r\n\t<U4 [ 2 ] ID>\r\n";
        text += i % 7 == 0 ? "\t<Q>\r\n>.\r\n" : "\t<A[n]>\r\n>.\r\n";
    }
    const ReadResult result = Read(text);
    EXPECT_EQ(result.messagesRead, 2000U - 286U);
    ASSERT_EQ(result.dropReasons.size(), 286U);
    EXPECT_EQ(Format(result.dropReasons[1]), "39:3: unknown item format Q");
}

// The explanation reads a statement again, apart from the reader: for every
// statement the reader drops it must find a reason of its own, at a place in
// the statement.
TEST(ReadDiagnosticsTest, EveryDropOfRandomStatementsIsExplained) {
    std::mt19937 random(7);
    const std::string alphabet = "  <<>>[]AL1QNW'.";
    FormatTree document;
    FormatReader reader(document);
    int dropped = 0;
    int named = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string statement = round % 2 == 0 ? "S1F1 " : "";
        const int length = static_cast<int>(random() % 16);
        for (int i = 0; i < length; ++i) {
            statement += alphabet[random() % alphabet.size()];
        }
        statement = std::string(TrimSpace(statement));
        if (statement.empty() || reader.ParseStatement(statement)) {
            continue;
        }
        ++dropped;
        const StatementFinding finding = DropExplainer::ExplainDrop(statement);
        EXPECT_NE(finding.reason, "statement cannot be read") << statement;
        EXPECT_LE(finding.offset, statement.size()) << statement;
        // The place is that of the byte named, in the statement as written.
        const std::string unknown = "unknown item format ";
        if (finding.reason.starts_with(unknown)) {
            ++named;
            ASSERT_LT(finding.offset, statement.size()) << statement;
            EXPECT_EQ(statement[finding.offset], finding.reason[unknown.size()]) << statement;
        }
    }
    EXPECT_GT(named, 100);
    EXPECT_GT(dropped, 1000);
}

} // namespace
} // namespace tqf
