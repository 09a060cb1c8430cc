#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tqf {

// A decimal number read as the C library reads "%d": leading white space
// skipped, an optional sign, then the digits up to the first other character.
// Any number of digits is safe: the magnitude saturates instead of overflowing.
struct DecimalScan {
    bool hasDigits = false;
    bool negative = false;
    bool overflow = false;       // the magnitude did not fit in 32 bits
    std::uint64_t magnitude = 0; // exact while overflow is false
    std::size_t end = 0;         // index just after the last character read
};

DecimalScan ScanDecimal(std::string_view text, std::size_t pos = 0);

// The number clamped to the signed 32-bit range; 0 when there are no digits.
std::int32_t SaturatedInt32(const DecimalScan& scan);

// The number of a panel field, as the commands read it: no digits read as 0.
std::int32_t ReadPanelNumber(std::string_view text);

// The range check of the panels: the number is compared as an unsigned 32-bit
// value, so a negative number counts as too large, and so does one too long
// to fit.
bool PanelNumberInRange(std::string_view text, std::uint32_t low, std::uint32_t high);

// White space as the C library's isspace sees it in the "C" locale:
// space, tab, LF, VT, FF and CR. Inline: the reader asks it of every byte it
// trims.
constexpr bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
std::string_view TrimSpace(std::string_view text);

} // namespace tqf
