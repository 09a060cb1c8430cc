#include "ItemFormat.h"

namespace tqf {

namespace {

constexpr std::string_view SEPARATOR_ROW_TEXT = "------------------------------------------------";
static_assert(SEPARATOR_ROW_TEXT.size() == 48);

struct FormatRow {
    std::string_view text;
    std::string_view code;
};

constexpr std::array<FormatRow, FORMAT_ROW_COUNT> FORMAT_ROWS{{
    {"LIST", "L"},
    {SEPARATOR_ROW_TEXT, ""},
    {"BINARY", "B"},
    {"BOOLEAN", "BOOLEAN"},
    {"ASCII", "A"},
    {"JIS 8 Byte", "J8"},
    {"INT 1 Byte", "I1"},
    {"INT 2 Byte", "I2"},
    {"INT 4 Byte", "I4"},
    {"INT 8 Byte", "I8"},
    {"UINT 1 Byte", "U1"},
    {"UINT 2 Byte", "U2"},
    {"UINT 4 Byte", "U4"},
    {"UINT 8 Byte", "U8"},
    {"FLOAT 4 Byte", "F4"},
    {"FLOAT 8 Byte", "F8"},
    {SEPARATOR_ROW_TEXT, ""},
    {"VARIANT", "VARIANT"},
}};

bool IsRow(int row) { return row >= 0 && row < FORMAT_ROW_COUNT; }

} // namespace

std::string_view FormatRowText(int row) { return IsRow(row) ? FORMAT_ROWS[row].text : std::string_view{}; }

std::string_view FormatCode(int format) { return IsRow(format) ? FORMAT_ROWS[format].code : std::string_view{}; }

bool IsItemFormat(int row) { return IsRow(row) && row != NONE && row != SEPARATOR; }

} // namespace tqf
