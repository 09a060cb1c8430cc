#include "Decimal.h"

#include <limits>

namespace tqf {

namespace {

constexpr std::uint64_t INT32_MAGNITUDE_LIMIT = 0x80000000ULL; // |INT32_MIN|

} // namespace

std::string_view TrimSpace(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && IsSpace(text[first])) {
        ++first;
    }
    std::size_t last = text.size();
    while (last > first && IsSpace(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

DecimalScan ScanDecimal(std::string_view text, std::size_t pos) {
    DecimalScan scan;
    std::size_t i = pos;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        scan.negative = text[i] == '-';
        ++i;
    }
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        scan.hasDigits = true;
        if (!scan.overflow) {
            scan.magnitude = scan.magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
            if (scan.magnitude > std::numeric_limits<std::uint32_t>::max()) {
                scan.overflow = true;
            }
        }
        ++i;
    }
    // Without digits the conversion fails and nothing counts as read.
    scan.end = scan.hasDigits ? i : pos;
    if (!scan.hasDigits) {
        scan.negative = false;
    }
    return scan;
}

std::int32_t SaturatedInt32(const DecimalScan& scan) {
    if (!scan.hasDigits) {
        return 0;
    }
    if (scan.negative) {
        if (scan.overflow || scan.magnitude >= INT32_MAGNITUDE_LIMIT) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return -static_cast<std::int32_t>(scan.magnitude);
    }
    if (scan.overflow || scan.magnitude >= INT32_MAGNITUDE_LIMIT) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(scan.magnitude);
}

std::int32_t ReadPanelNumber(std::string_view text) { return SaturatedInt32(ScanDecimal(text)); }

bool PanelNumberInRange(std::string_view text, std::uint32_t low, std::uint32_t high) {
    DecimalScan scan = ScanDecimal(text);
    if (scan.overflow) {
        return false;
    }
    std::uint64_t value = scan.magnitude;
    if (scan.negative && value != 0) {
        // A negative number seen as unsigned 32 bits is 2^32 - |value|, always
        // above every upper limit the panels use; a magnitude beyond the
        // signed range does not fit at all.
        if (value > INT32_MAGNITUDE_LIMIT) {
            return false;
        }
        value = (std::uint64_t{1} << 32) - value;
    } else if (value > std::numeric_limits<std::int32_t>::max()) {
        return false; // too long to fit the signed conversion
    }
    return value >= low && value <= high;
}

} // namespace tqf
