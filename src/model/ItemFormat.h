#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tqf {

// An item's format is the row number of the 18-row format list. Rows 1 and 16
// are separator rows, not formats; 1 is also the format of the root and of
// messages.
enum ItemFormat : std::int32_t {
    LIST = 0,
    NONE = 1,
    BINARY = 2,
    BOOLEAN = 3,
    ASCII = 4,
    JIS8 = 5,
    INT1 = 6,
    INT2 = 7,
    INT4 = 8,
    INT8 = 9,
    UINT1 = 10,
    UINT2 = 11,
    UINT4 = 12,
    UINT8 = 13,
    FLOAT4 = 14,
    FLOAT8 = 15,
    SEPARATOR = 16,
    VARIANT = 17,
};

inline constexpr int FORMAT_ROW_COUNT = 18;

// The value of the format list when no row is selected.
inline constexpr int NO_FORMAT_ROW = -1;

// The count of an item that is "Not Fixed"; shown and written as "n".
inline constexpr std::int32_t OPEN_COUNT = -1;

// The text of a row of the format list.
std::string_view FormatRowText(int row);

// The code written in labels and format files; empty for the separator rows
// and for values outside the list.
std::string_view FormatCode(int format);

// True for the rows that are formats (0, 2 to 15, 17); false for the two
// separator rows, for no row (-1) and for anything outside the list.
bool IsItemFormat(int row);

} // namespace tqf
