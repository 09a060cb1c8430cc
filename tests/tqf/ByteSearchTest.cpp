#include "ByteSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>

namespace tqf {
namespace {

// Bytes next to the one sought and at the edges of a byte's range are where
// a word-at-a-time comparison would go wrong.
constexpr std::array<unsigned char, 9> TRICKY{0x00, 0x01, 0x7F, 0x80, 0xFF, '[', '\\', 'Z', ' '};

TEST(ByteSearchTest, AWordMarksItsFirstEqualByteAndOnlyWhenThereIsOne) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, TRICKY.size() - 1);
    for (int round = 0; round < 200'000; ++round) {
        std::array<unsigned char, 8> bytes{};
        for (unsigned char& b : bytes) {
            b = TRICKY[pick(random)];
        }
        const unsigned char sought = TRICKY[pick(random)];
        std::size_t first = 8;
        for (std::size_t i = 0; i < 8 && first == 8; ++i) {
            first = bytes[i] == sought ? i : 8;
        }
        const std::uint64_t found = FirstBytesEqual(LoadWord(reinterpret_cast<const char*>(bytes.data())), sought);
        ASSERT_EQ(found != 0, first != 8);
        if (found != 0) {
            ASSERT_EQ(FirstMarkedByte(found), first);
        }
    }
}

TEST(ByteSearchTest, ShortWordsHoldTheirBytesInOrderAndZerosAfter) {
    const char text[] = "ABCDEFG";
    for (std::size_t size = 0; size < 8; ++size) {
        const std::uint64_t word = LoadShortWord(text, size);
        for (std::size_t i = 0; i < 8; ++i) {
            const auto byte = static_cast<unsigned char>(word >> (8 * i));
            EXPECT_EQ(byte, i < size ? static_cast<unsigned char>(text[i]) : 0) << size << " " << i;
        }
    }
}

TEST(ByteSearchTest, FindingANearByteAgreesWithMemchr) {
    std::mt19937 random(11);
    std::uniform_int_distribution<std::size_t> length(0, 200);
    std::uniform_int_distribution<std::size_t> pick(0, TRICKY.size() - 1);
    for (int round = 0; round < 20'000; ++round) {
        std::string text(length(random), '\0');
        for (char& c : text) {
            c = static_cast<char>(TRICKY[pick(random)]);
        }
        const auto sought = static_cast<char>(TRICKY[pick(random)]);
        // Searched from every start, so that the words fall on every alignment.
        const std::size_t from = text.empty() ? 0 : round % text.size();
        const char* expected = static_cast<const char*>(std::memchr(text.data() + from, sought, text.size() - from));
        ASSERT_EQ(FindNearByte(text.data() + from, text.size() - from, sought), expected);
    }
}

TEST(ByteSearchTest, CountingAByteAgreesWithStdCount) {
    std::mt19937 random(12);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    std::uniform_int_distribution<std::size_t> pick(0, TRICKY.size() - 1);
    for (int round = 0; round < 5'000; ++round) {
        std::string text(length(random), '\0');
        for (char& c : text) {
            c = static_cast<char>(TRICKY[pick(random)]);
        }
        const auto sought = static_cast<char>(TRICKY[pick(random)]);
        const std::size_t from = text.empty() ? 0 : round % text.size();
        const auto expected =
            static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), sought));
        ASSERT_EQ(CountByte(text.data() + from, text.size() - from, sought), expected);
    }
}

} // namespace
} // namespace tqf
