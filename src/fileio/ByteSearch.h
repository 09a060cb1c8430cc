#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tqf {

// Searching the short texts of a format file (lines, items) a machine word at
// a time: a call of memchr costs more than the search itself when the byte
// sought is a few bytes away.

// Bit 7 of each byte of the result is set at the first byte of word (in
// memory order) that equals byte, and maybe at later ones; no bit is set when
// none does.
constexpr std::uint64_t FirstBytesEqual(std::uint64_t word, unsigned char byte) {
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t HIGH_BITS = 0x80 * ONES;
    const std::uint64_t x = word ^ (byte * ONES);
    return (x - ONES) & ~x & HIGH_BITS;
}

// The offset of the first byte marked by FirstBytesEqual; found is not 0.
constexpr std::size_t FirstMarkedByte(std::uint64_t found) {
    return static_cast<std::size_t>(std::countr_zero(found)) / 8;
}

// The eight bytes at text as one word, the first byte lowest.
inline std::uint64_t LoadWord(const char* text) {
    std::uint64_t word = 0;
    std::memcpy(&word, text, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    return word;
}

// The size bytes at text, fewer than eight, as one word, the first byte
// lowest and the missing bytes 0: on a little-endian machine two loads that
// may overlap instead of a byte at a time.
inline std::uint64_t LoadShortWord(const char* text, std::size_t size) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t first4 = 0;
        std::uint32_t last4 = 0;
        std::uint16_t first2 = 0;
        std::uint16_t last2 = 0;
        if (size >= 4) {
            std::memcpy(&first4, text, sizeof first4);
            std::memcpy(&last4, text + size - 4, sizeof last4);
            return first4 | std::uint64_t{last4} << (8 * (size - 4));
        }
        if (size >= 2) {
            std::memcpy(&first2, text, sizeof first2);
            std::memcpy(&last2, text + size - 2, sizeof last2);
            return first2 | std::uint64_t{last2} << (8 * (size - 2));
        }
        return size == 1 ? static_cast<unsigned char>(text[0]) : 0;
    } else {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < size; ++i) {
            word |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
        }
        return word;
    }
}

// memchr for a byte that is usually near: the first bytes are searched here,
// the rest, if it comes to that, by memchr.
inline const char* FindNearByte(const char* text, std::size_t size, char byte) {
    constexpr std::size_t NEAR = 64;
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= size && i < NEAR; i += sizeof(std::uint64_t)) {
        if (const std::uint64_t found = FirstBytesEqual(LoadWord(text + i), static_cast<unsigned char>(byte));
            found != 0) {
            return text + i + FirstMarkedByte(found);
        }
    }
    return static_cast<const char*>(std::memchr(text + i, byte, size - i));
}

} // namespace tqf
