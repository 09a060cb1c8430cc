#pragma once

#include <cstdint>
#include <string>

namespace tqf {

// The panels that describe an item: the main window's item panel, and the
// "Add Sub Item" dialog, which presets "1" for every format but a list and
// offers the count and "Not Fixed" for ASCII and VARIANT too.
enum class ItemPanelKind { MAIN_PANEL, SUB_ITEM_DIALOG };

// What the fields beside the format list show and allow.
struct ItemFieldsState {
    std::string countText;
    bool notFixed = false;
    bool countEnabled = false;
    bool notFixedEnabled = false;
    bool descriptionEnabled = false;

    friend bool operator==(const ItemFieldsState&, const ItemFieldsState&) = default;
};

// What choosing a row of the format list does. A separator row is no format:
// the choice is undone, and nothing can be added or updated.
struct FormatChoice {
    bool isFormat = false;
    ItemFieldsState fields;
};
FormatChoice ChooseFormatRow(ItemPanelKind panel, int row);

// The count field after "Not Fixed" is clicked: "n" while ticked; otherwise
// listCount for a list, whose count is never typed, and "1" for the rest.
ItemFieldsState ClickNotFixed(bool ticked, int row, std::int32_t listCount);

// The item panel for an item chosen in the tree.
ItemFieldsState ShowItemFields(int format, std::int32_t count);

// The reply flag that a typed function number asks for: a primary message,
// which has an odd function, expects a reply.
bool ReplyRequiredFor(std::int32_t function);

} // namespace tqf
