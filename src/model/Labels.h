#pragma once

#include "NodeText.h"
#include <cstddef>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tqf {

// Labels are at once what the tree shows and what the format file holds; they
// are built only by these functions.

// "S%dF%d", followed by "W" when a reply is required.
std::string MakeMessageLabel(std::int32_t stream, std::int32_t function, bool replyRequired);

// "<code[n]  description>", "<code  description>" or "<code[count]  description>";
// the two blanks only when the description is not empty.
std::string MakeItemLabel(int format, std::int32_t count, bool open, std::string_view description);

// The same two labels written into out, which has room for at least
// MESSAGE_LABEL_ROOM, or ItemLabelRoom(description.size()), bytes; each
// returns the label's length. For builders that keep labels in storage of
// their own.
inline constexpr std::size_t MESSAGE_LABEL_ROOM = 32;
constexpr std::size_t ItemLabelRoom(std::size_t descriptionSize) { return descriptionSize + 24; }
std::size_t WriteMessageLabel(char* out, std::int32_t stream, std::int32_t function, bool replyRequired);
std::size_t WriteItemLabel(char* out, int format, std::int32_t count, bool open, std::string_view description);

// "<L[count]>", the label a fixed list receives whenever its sub-items change.
std::string ListLabel(std::int32_t count);

// The labels a list takes as its sub-items come and go, "<L[0]>" to
// "<L[999]>", with "<L>" and "<L[n]>", as constant texts: relabelling a list
// then stores nothing. Empty for any other text.
NodeText ConstantListLabel(std::string_view label);
// The constant "<L[count]>"; empty when count is outside 0 to 999.
NodeText ConstantListLabel(std::int32_t count);

struct MessageLabelFields {
    std::int32_t stream = 0;
    std::int32_t function = 0;
    bool replyRequired = false;
};

// Reads a message label back as "S%dF%d%c" does: the reply flag is on exactly
// when the character after the function number is "W". Empty when the label
// does not start with "S", a number, "F" and a number.
std::optional<MessageLabelFields> ReadMessageLabel(std::string_view label);

} // namespace tqf
