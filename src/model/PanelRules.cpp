#include "PanelRules.h"

#include "ItemFormat.h"

namespace tqf {

namespace {

constexpr const char* OPEN_COUNT_TEXT = "n";
constexpr const char* LIST_COUNT_PRESET = "0";
constexpr const char* ASCII_COUNT_PRESET = "100";
constexpr const char* SCALAR_COUNT_PRESET = "1";

} // namespace

FormatChoice ChooseFormatRow(ItemPanelKind panel, int row) {
    FormatChoice choice;
    ItemFieldsState& fields = choice.fields;
    if (!IsItemFormat(row)) {
        return choice;
    }
    choice.isFormat = true;
    fields.countEnabled = true;
    fields.notFixedEnabled = true;
    fields.descriptionEnabled = true;
    if (row == LIST) {
        // A list's count is the number of its sub-items, and it has no
        // description.
        fields.countText = LIST_COUNT_PRESET;
        fields.countEnabled = false;
        fields.descriptionEnabled = false;
    } else if (panel == ItemPanelKind::SUB_ITEM_DIALOG) {
        fields.countText = SCALAR_COUNT_PRESET;
    } else if (row == ASCII) {
        // A text of fixed length is the usual ASCII item.
        fields.countText = ASCII_COUNT_PRESET;
        fields.notFixedEnabled = false;
    } else if (row == VARIANT) {
        // An item of any format has no count of its own.
        fields.countEnabled = false;
        fields.notFixedEnabled = false;
    } else {
        fields.countText = SCALAR_COUNT_PRESET;
    }
    return choice;
}

ItemFieldsState ClickNotFixed(bool ticked, int row, std::int32_t listCount) {
    ItemFieldsState fields;
    fields.notFixed = ticked;
    if (ticked) {
        fields.countText = OPEN_COUNT_TEXT;
    } else if (row == LIST) {
        fields.countText = std::to_string(listCount);
    } else {
        fields.countText = SCALAR_COUNT_PRESET;
        fields.countEnabled = true;
    }
    return fields;
}

ItemFieldsState ShowItemFields(int format, std::int32_t count) {
    ItemFieldsState fields;
    fields.notFixedEnabled = format != ASCII && format != VARIANT;
    fields.descriptionEnabled = format != LIST;
    if (format == VARIANT) {
        // Whatever count a stored item has, it is not shown.
        return fields;
    }
    if (count == OPEN_COUNT) {
        fields.countText = OPEN_COUNT_TEXT;
        fields.notFixed = true;
        return fields;
    }
    fields.countText = std::to_string(count);
    fields.countEnabled = format != LIST;
    return fields;
}

bool ReplyRequiredFor(std::int32_t function) { return function % 2 != 0; }

} // namespace tqf
