// MarkedLines reads lines as LineReader does, and its marks answer for each
// line what a byte-by-byte look at the line would.
#include "MarkedLines.h"
#include "LineReader.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {
namespace {

bool IsBracket(char c) { return c == '<' || c == '[' || c == '>' || c == ']'; }

// Random text of the bytes the marks are about, with lines of every length:
// short ones, ones across words and ones across reads of the stream.
std::string RandomText(std::mt19937& random, std::size_t size) {
    constexpr std::string_view BYTES = " <>[]./\r\n\tab";
    std::string text;
    while (text.size() < size) {
        const std::size_t run = random() % 8 == 0 ? random() % 70'000 : random() % 100;
        for (std::size_t i = 0; i < run; ++i) {
            text += random() % 3 == 0 ? BYTES[random() % BYTES.size()] : static_cast<char>('A' + random() % 26);
        }
        text += random() % 5 == 0 ? "\r\n" : "\n";
    }
    if (random() % 2 == 0) {
        text.pop_back(); // a last line without its end
    }
    return text;
}

TEST(MarkedLinesTest, LinesAndMarksAreThoseOfTheBytes) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 6; ++round) {
        const std::string text = RandomText(random, round < 3 ? 500 : 400'000);
        std::istringstream expectedIn(text);
        LineReader expected(expectedIn, LineReader::LetterCase::UPPER);
        std::istringstream in(text);
        MarkedLines lines(in);
        std::span<char> want;
        std::size_t begin = 0;
        std::size_t size = 0;
        while (expected.Next(want)) {
            ASSERT_TRUE(lines.Next(begin, size));
            const std::string_view line(lines.Data() + begin, size);
            ASSERT_EQ(line, std::string_view(want.data(), want.size()));
            EXPECT_EQ(lines.HasDotOrSlash(begin, size), line.find_first_of("./") != std::string_view::npos);
            // Spaces touching a bracket, neighbours outside the line included,
            // over a random part of the line.
            if (size == 0) {
                continue;
            }
            const std::size_t from = random() % size;
            const std::size_t count = 1 + random() % (size - from);
            std::vector<std::size_t> got;
            for (std::size_t w = (begin + from) / MarkedLines::WORD_BYTES;
                 w <= (begin + from + count - 1) / MarkedLines::WORD_BYTES; ++w) {
                for (std::uint64_t bits = lines.BracketSpaces(begin + from, count, w); bits != 0; bits &= bits - 1) {
                    got.push_back(w * MarkedLines::WORD_BYTES + static_cast<std::size_t>(__builtin_ctzll(bits)));
                }
            }
            std::vector<std::size_t> wanted;
            const char* data = lines.Data();
            for (std::size_t at = begin + from; at < begin + from + count; ++at) {
                if (data[at] == ' ' && ((at > 0 && IsBracket(data[at - 1])) || IsBracket(data[at + 1]))) {
                    wanted.push_back(at);
                }
            }
            ASSERT_EQ(got, wanted) << "line " << line;
        }
        EXPECT_FALSE(lines.Next(begin, size));
        EXPECT_FALSE(lines.Failed());
        EXPECT_FALSE(lines.TooLong());
    }
}

TEST(MarkedLinesTest, ALineBeyondTheLimitStopsTheReading) {
    std::istringstream in("short\n" + std::string(200'000, 'x') + "\nafter\n");
    MarkedLines lines(in);
    lines.SetLineLimit(100'000);
    std::size_t begin = 0;
    std::size_t size = 0;
    ASSERT_TRUE(lines.Next(begin, size));
    EXPECT_EQ(std::string_view(lines.Data() + begin, size), "SHORT");
    EXPECT_FALSE(lines.Next(begin, size));
    EXPECT_TRUE(lines.TooLong());
}

} // namespace
} // namespace tqf
