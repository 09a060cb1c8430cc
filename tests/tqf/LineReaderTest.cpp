#include "LineReader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tqf {
namespace {

std::vector<std::string> Lines(const std::string& text, LineReader::LetterCase letterCase) {
    std::istringstream in(text);
    LineReader reader(in, letterCase);
    std::vector<std::string> lines;
    std::span<char> line;
    while (reader.Next(line)) {
        lines.emplace_back(line.data(), line.size());
    }
    EXPECT_FALSE(reader.Failed());
    return lines;
}

TEST(LineReaderTest, LineEnds) {
    const auto keep = LineReader::LetterCase::KEEP;
    EXPECT_EQ(Lines("", keep), std::vector<std::string>{});
    EXPECT_EQ(Lines("a\nb\r\nc", keep), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Lines("\n\r\n\r\r\n", keep), (std::vector<std::string>{"", "", "\r"})) << "only a CR before LF goes";
    EXPECT_EQ(Lines("x\r\n\r", keep), (std::vector<std::string>{"x", "\r"}));
    // Without any LF, CR ends the lines; a UTF-8 byte-order mark is skipped,
    // and UTF-16 gives no line.
    EXPECT_EQ(Lines("\xEF\xBB\xBFS\rT\r\rU", keep), (std::vector<std::string>{"S", "T", "", "U"}));
    EXPECT_EQ(Lines(std::string("\xFF\xFEQ\0\n\0", 6), keep), std::vector<std::string>{});
    EXPECT_EQ(Lines(std::string("a\0b\n", 4), keep), std::vector<std::string>{std::string("a\0b", 3)});
}

TEST(LineReaderTest, LinesAcrossManyReads) {
    const std::string longLine(300'000, 'q');
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += std::to_string(i) + "\r\n";
    }
    text += longLine + "\n" + longLine;
    const auto lines = Lines(text, LineReader::LetterCase::KEEP);
    ASSERT_EQ(lines.size(), 5002U);
    EXPECT_EQ(lines[4999], "4999");
    EXPECT_EQ(lines[5000], longLine);
    EXPECT_EQ(lines[5001], longLine);
}

TEST(LineReaderTest, UpperCaseTouchesOnlyTheLettersAToZ) {
    // Every byte value, at every offset within a word.
    std::string all;
    for (int c = 0; c < 256; ++c) {
        if (c != '\n') {
            all += static_cast<char>(c);
        }
    }
    std::string expected = all;
    for (char& c : expected) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (std::size_t shift = 0; shift < 9; ++shift) {
        const std::string pad(shift, '`');
        EXPECT_EQ(Lines(pad + all + "\n" + all, LineReader::LetterCase::UPPER),
                  (std::vector<std::string>{pad + expected, expected}))
            << shift;
    }
}

} // namespace
} // namespace tqf
