// The reader builds nodes straight from the bytes; the reader it replaced
// parsed each statement into a parse tree first. On any input both must give
// the same document, the same report and the same calls after each message,
// on one thread and on two.
#include "DocumentDump.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "ItemFormat.h"
#include "LibraryBuilder.h"
#include "ReferenceReader.h"
#include "ReferenceRoundTrip.h"
#include "RoundTripCheck.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tqf {
namespace {

struct Outcome {
    std::string dump;
    ReadResult result;
    std::vector<std::string> called; // the label of each message as it was announced
};

template <class Reader> Outcome ReadWith(std::string_view bytes, std::uintmax_t pipelineThreshold) {
    Outcome outcome;
    FormatTree document;
    Reader reader(document, [&outcome](FormatNode& message) { outcome.called.emplace_back(message.Label()); });
    if constexpr (std::is_same_v<Reader, FormatReader>) {
        reader.SetPipelineThreshold(pipelineThreshold);
    }
    outcome.result = reader.ReadFormatBytes(bytes);
    outcome.dump = DumpDocument(document.GetRootNode());
    return outcome;
}

void ExpectSameReading(std::string_view bytes) {
    const Outcome expected = ReadWith<reference::ReferenceReader>(bytes, UINTMAX_MAX);
    for (const std::uintmax_t threshold : {UINTMAX_MAX, std::uintmax_t{0}}) {
        const Outcome got = ReadWith<FormatReader>(bytes, threshold);
        const char* how = threshold == 0 ? "two threads" : "one thread";
        ASSERT_EQ(got.dump, expected.dump) << how << ", input:\n" << bytes;
        EXPECT_EQ(got.called, expected.called) << how;
        EXPECT_EQ(got.result.status, expected.result.status) << how;
        EXPECT_EQ(got.result.messagesRead, expected.result.messagesRead) << how;
        EXPECT_EQ(got.result.messageLines, expected.result.messageLines) << how;
        EXPECT_EQ(got.result.dropped, expected.result.dropped) << how << ", input:\n" << bytes;
        ASSERT_EQ(got.result.dropReasons, expected.result.dropReasons) << how << ", input:\n" << bytes;
        ASSERT_EQ(got.result.warnings, expected.result.warnings) << how << ", input:\n" << bytes;
    }
}

// Pieces of libraries, right and wrong, that a random input is put together
// from: headers, items, lists, brackets with spaces, comments, stray dots.
constexpr std::array<std::string_view, 68> PIECES{
    "S1F1",
    "s6f11w",
    "S2F41W",
    "S1F3 ",
    " (EVENT REPORT)",
    "S0F1",
    "S99999999999F1",
    "SF1",
    "F1 (S)",
    "S1F1 W",
    "S7F7WW",
    "<L[2]",
    "<L[n]",
    "<L [ N ]",
    "<L>",
    "<L",
    "<L[5",
    ">",
    " > ",
    ">.",
    ".",
    "..",
    "<A[10] LOT ID>",
    "<A>",
    "<A[N]>",
    "< A[ n ]>",
    "<U4 1 2 3>",
    "<BOOL>",
    "<BOOLEAN[3]  FLAGS>",
    "<V>",
    "<VAR X>",
    "<UNDEFINED>",
    "<VARIANT  D>",
    "<J>",
    "<J8[2]>",
    "<ASCII>",
    "<A[]>",
    "<A[X]>",
    "<A  X[1]>",
    "<\tU4>",
    "<U4[99999999999]>",
    "<F8[-3]>",
    "<I2",
    "[",
    "]",
    "[7]",
    "/* note */",
    "/*",
    "*/",
    "// tail",
    "  ",
    "\t",
    "\n",
    "\r\n",
    "\r",
    "\n\n",
    "W",
    "'",
    "(VER. 2)",
    "<B[2] A.B>",
    "<U2[12345678]>",
    "<U1[123456789] D>",
    "<I8[00000001]>",
    "<BOOLEANS>",
    "<UNDEFINED[2]>",
    "<U4[1234567890]  LONG COUNT>",
};

std::string RandomInput(std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> pick(0, PIECES.size() - 1);
    std::uniform_int_distribution<int> length(1, 40);
    std::string input;
    const int pieces = length(random);
    for (int i = 0; i < pieces; ++i) {
        input += PIECES[pick(random)];
    }
    return input;
}

TEST(ReaderReferenceTest, RandomInputsReadAsTheParseTreeReaderReadThem) {
    std::mt19937 random(20261207);
    for (int i = 0; i < 3000; ++i) {
        const std::string input = RandomInput(random);
        ExpectSameReading(input);
        if (HasFatalFailure() || HasFailure()) {
            return;
        }
    }
}

TEST(ReaderReferenceTest, LargeRandomInputsAcrossManyReadsOfTheFile) {
    // Statements and lines that cross the reader's chunks and its words of
    // marks at every offset, some lines far longer than a chunk.
    std::mt19937 random(424242);
    for (int round = 0; round < 3; ++round) {
        std::string input;
        while (input.size() < 300'000) {
            input += RandomInput(random);
            if (random() % 200 == 0) {
                const std::string longLine = RandomInput(random);
                for (std::size_t i = 0; i < 70'000 / (longLine.size() + 1); ++i) {
                    input += longLine.find('\n') == std::string::npos ? longLine : "<A [ 2 ] X >";
                }
            }
        }
        ExpectSameReading(input);
        if (HasFailure()) {
            return;
        }
    }
}

TEST(ReaderReferenceTest, InputsTheFuzzerFound) {
    // An item "<L...>" whose list bracket went to the item before it.
    ExpectSameReading("S1F1 < <L[] A>> <U4>.\n");
    ExpectSameReading("S1F1 <L[1] <<L>>.\nS2F2 <<L[3] X>.\n");
}

TEST(ReaderReferenceTest, LibrariesAcrossManyBatches) {
    // Enough statements that the second thread hands over many batches, with
    // dropped and clamped statements among them.
    std::mt19937 random(7);
    std::string input = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n";
    for (int i = 0; i < 4000; ++i) {
        input += "S" + std::to_string(1 + i % 127) + "F" + std::to_string(i % 256) + (i % 2 ? "W" : "") + " (MESSAGE " +
                 std::to_string(i) + ")\r\n<L[3]\r\n\t<U4  ID>\r\n\t<L[n]\r\n\t\t<A[n]  NAME>\r\n\t>\r\n";
        switch (random() % 8) {
        case 0:
            input += "\t<QQ>\r\n"; // dropped
            break;
        case 1:
            input += "\t<U2[4294967296]>\r\n"; // clamped
            break;
        default:
            input += "\t<F8[12]  VALUE>\r\n";
        }
        input += ">.\r\n\r\n";
    }
    input += "S1F1 <L[1] <A>"; // never ended
    ExpectSameReading(input);
}

} // namespace
} // namespace tqf

namespace tqf {
namespace {

// Descriptions that a save keeps, and some that break their statement or
// come back otherwise.
constexpr std::array<std::string_view, 16> DESCRIPTIONS{
    "",        "LOT ID", "lower case", "A.B", "X > Y", "<",           "[1]",  "]", "WAIT // NOTE",
    "/* C */", "*/",     "(P)",        "  ",  "V 1.",  "TWO  SPACES", "S1F1",
};

// A random library whose save the check must judge as the check that read
// the file back into a second document did.
void AddRandomItem(LibraryBuilder& builder, std::mt19937& random, FormatNode* parent, int depth) {
    const auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    if (depth < 3 && pick(3) == 0) {
        FormatNode* list = builder.AddList(parent, pick(4) == 0);
        const std::size_t items = pick(4);
        for (std::size_t i = 0; i < items; ++i) {
            AddRandomItem(builder, random, list, depth + 1);
        }
        return;
    }
    constexpr std::array<int, 6> FORMATS{ASCII, UINT4, BOOLEAN, JIS8, VARIANT, FLOAT8};
    constexpr std::array<std::int32_t, 5> COUNTS{0, 1, 7, OPEN_COUNT, -3};
    builder.AddItem(parent, FORMATS[pick(FORMATS.size())], COUNTS[pick(COUNTS.size())],
                    std::string(DESCRIPTIONS[pick(DESCRIPTIONS.size())]));
}

TEST(ReaderReferenceTest, TheSaveCheckJudgesAsTheCheckThatBuiltASecondDocument) {
    std::mt19937 random(42);
    std::size_t differences = 0; // problems other than statements broken apart
    for (int round = 0; round < 300; ++round) {
        FormatTree document;
        LibraryBuilder builder(document);
        const int messages = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < messages; ++i) {
            FormatNode* message =
                builder.AddMessage(static_cast<std::int32_t>(random() % 130), static_cast<std::int32_t>(random() % 300),
                                   random() % 2 == 0, std::string(DESCRIPTIONS[random() % DESCRIPTIONS.size()]));
            if (random() % 5 != 0) {
                AddRandomItem(builder, random, message, 0);
            }
        }
        const RoundTripReport expected = reference::CheckRoundTrip(document.GetRootNode());
        const RoundTripReport got = RoundTripCheck::CheckRoundTrip(document.GetRootNode());
        ASSERT_EQ(got.text.Str(), expected.text.Str());
        ASSERT_EQ(got.problems.size(), expected.problems.size()) << got.text.Str();
        for (std::size_t i = 0; i < got.problems.size(); ++i) {
            EXPECT_EQ(got.problems[i].message, expected.problems[i].message);
            EXPECT_EQ(got.problems[i].label, expected.problems[i].label);
            EXPECT_EQ(got.problems[i].reason, expected.problems[i].reason) << got.text.Str();
            differences += got.problems[i].reason.find("comes back as") != std::string::npos ? 1 : 0;
        }
        if (HasFailure()) {
            return;
        }
    }
    EXPECT_GT(differences, 20U) << "the libraries should have items that come back otherwise";
}

} // namespace
} // namespace tqf
