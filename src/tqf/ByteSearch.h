#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

#ifdef __SSE2__
#if defined(__SANITIZE_ADDRESS__)
#define TQF_EXACT_LOADS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQF_EXACT_LOADS 1
#endif
#endif

// Sixteen bytes from text, of which the first `left` are the text's own.
// Bytes past the text are read only where they lie on the same memory page,
// which is always readable, and are never looked at; under the address
// sanitizer, which would rightly report them, the text's bytes are copied
// out instead.
inline __m128i LoadSixteen(const char* text, std::size_t left) {
#ifndef TQF_EXACT_LOADS
    constexpr std::uintptr_t PAGE_BYTES = 4096;
    if (left >= 16 || (reinterpret_cast<std::uintptr_t>(text) % PAGE_BYTES) <= PAGE_BYTES - 16) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    }
#endif
    if (left >= 16) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    }
    alignas(16) char copy[16] = {};
    std::memcpy(copy, text, left);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(copy));
}

// The mask of the `left` first of sixteen bytes (all sixteen from 16 on).
inline std::uint32_t FirstBytesMask(std::size_t left) { return left >= 16 ? 0xFFFFU : (1U << left) - 1; }
#endif

// The offset of the first byte of text that is one of a, b, c and d; size
// when there is none. For short texts: sixteen bytes are compared at a time.
inline std::size_t FindFirstOfFour(const char* text, std::size_t size, char a, char b, char c, char d) {
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    const __m128i vd = _mm_set1_epi8(d);
    for (std::size_t at = 0; at < size; at += 16) {
        const __m128i bytes = LoadSixteen(text + at, size - at);
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, va), _mm_cmpeq_epi8(bytes, vb)),
                                         _mm_or_si128(_mm_cmpeq_epi8(bytes, vc), _mm_cmpeq_epi8(bytes, vd)));
        const std::uint32_t found = FirstBytesMask(size - at) & static_cast<std::uint32_t>(_mm_movemask_epi8(any));
        if (found != 0) {
            return at + static_cast<std::size_t>(__builtin_ctz(found));
        }
    }
    return size;
#else
    for (std::size_t at = 0; at < size; ++at) {
        if (text[at] == a || text[at] == b || text[at] == c || text[at] == d) {
            return at;
        }
    }
    return size;
#endif
}

// memchr for a byte that is usually near: the first bytes are searched here,
// sixteen at a time, the rest, if it comes to that, by memchr.
inline const char* FindNearByte(const char* text, std::size_t size, char byte) {
    constexpr std::size_t NEAR = 64;
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i sought = _mm_set1_epi8(byte);
    for (; i < size && i < NEAR; i += 16) {
        const __m128i bytes = LoadSixteen(text + i, size - i);
        const std::uint32_t found =
            FirstBytesMask(size - i) & static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, sought)));
        if (found != 0) {
            return text + i + __builtin_ctz(found);
        }
    }
#else
    for (; i + sizeof(std::uint64_t) <= size && i < NEAR; i += sizeof(std::uint64_t)) {
        if (const std::uint64_t found = FirstBytesEqual(LoadWord(text + i), static_cast<unsigned char>(byte));
            found != 0) {
            return text + i + FirstMarkedByte(found);
        }
    }
#endif
    if (i >= size) {
        return nullptr;
    }
    return static_cast<const char*>(std::memchr(text + i, byte, size - i));
}

// How many of the size bytes at text are byte: sixteen compared at a time.
inline std::size_t CountByte(const char* text, std::size_t size, char byte) {
    std::size_t count = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i sought = _mm_set1_epi8(byte);
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        count += static_cast<std::size_t>(
            std::popcount(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, sought)))));
    }
#endif
    for (; i < size; ++i) {
        count += text[i] == byte ? 1 : 0;
    }
    return count;
}

} // namespace tqf
