#pragma once

#include "ItemFormat.h"

#include <cstdint>
#include <string>

namespace tqf {

class FormatNode;

// The texts of the editing operations' refusals, each defined once.
inline constexpr const char* MSG_INVALID_STREAM = "Invalid Stream Number";
inline constexpr const char* MSG_INVALID_FUNCTION = "Invalid Function Number";
inline constexpr const char* MSG_NO_MESSAGE_SELECTED = "No message selected.";
inline constexpr const char* MSG_NO_NODE_SELECTED = "No node selected.";
inline constexpr const char* MSG_NO_ITEM_SELECTED = "No item selected.";
inline constexpr const char* MSG_NO_ITEM_IN_LIST = "No item selected from item list";
inline constexpr const char* MSG_ASCII_ZERO_LENGTH = "AsciiItem Cannot be zero length";
inline constexpr const char* MSG_CANNOT_ADD_SUB_ITEM = "Cannot add sub item.";
inline constexpr const char* MSG_UNFIXED_LIST_ONE_ITEM = "Unfixed list item can have only one sub item.";
inline constexpr const char* MSG_SUB_ITEM_EXISTS = "Sub item exists.";
inline constexpr const char* MSG_NON_FIXED_LIST_SINGLE = "Non-fixed list item can only single item.";
inline constexpr const char* MSG_NOT_AN_ITEM = "It's not a item.";
inline constexpr const char* MSG_CANNOT_MOVE_UP = "Cannot move up.";
inline constexpr const char* MSG_CANNOT_MOVE_DOWN = "Cannot move down.";
inline constexpr const char* MSG_NOT_SELECTED = "Not Selected";
inline constexpr const char* MSG_CANNOT_ADD_NEW_ITEM = "Cannot add new item.";
inline constexpr const char* MSG_ONLY_ONE_ITEM = "Only one item is available.";
inline constexpr const char* MSG_CANNOT_ADD_NEW_SUB_ITEM = "Cannot add new sub item.";
inline constexpr const char* MSG_NOT_A_LIST_ITEM = "It is not a list item.";
inline constexpr const char* MSG_RULES_NOT_FOR_MESSAGE = "A message has no format, count or value rules.";
inline constexpr const char* MSG_RULES_NOT_FOR_ITEM = "Only a message has a reply or direction rule.";
inline constexpr const char* MSG_RULE_NAME_INVALID = "A dictionary name is 1 to 62 printable characters.";

// The message panel's fields as the user typed them.
struct MessageFields {
    std::string streamText;
    std::string functionText;
    bool replyRequired = false;
    std::string description;
};

// An item as the item panel or the sub-item dialog describes it: the format
// row, the count as typed ("n" or anything else reads as a number), whether
// the count is open, and the description.
struct ItemFields {
    int format = NONE;
    std::string countText;
    bool open = false;
    std::string description;
};

// What an editing operation did: the node it acted on, or the refusal to show.
struct [[nodiscard]] EditResult {
    FormatNode* node = nullptr;
    // None when the edit was made; otherwise the text to show, which is empty
    // for a refusal that is shown to nobody.
    const char* refusal = nullptr;
    // The refusal concerns the item count: the count field gets the focus.
    bool focusCount = false;
    // An added list has had its count field set to "0", refused or not.
    bool listCountPreset = false;
    // The node the commands act on is not a list: it is no longer current.
    bool dropsCurrent = false;

    bool Done() const { return refusal == nullptr; }
    static EditResult Refused(const char* text) { return EditResult{nullptr, text}; }
};

} // namespace tqf
