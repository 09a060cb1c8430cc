#include "PanelRules.h"
#include "ItemFormat.h"

#include <gtest/gtest.h>

namespace tqf {
namespace {

// {countText, notFixed, countEnabled, notFixedEnabled, descriptionEnabled}
using S = ItemFieldsState;

TEST(PanelRulesTest, ChoosingAFormatRowInEitherPanel) {
    const auto MAIN = ItemPanelKind::MAIN_PANEL;
    const auto DIALOG = ItemPanelKind::SUB_ITEM_DIALOG;
    const struct {
        ItemPanelKind panel;
        int row; // a separator row is no format, and leaves every field off
        S fields;
    } chosen[] = {
        {MAIN, LIST, {"0", false, false, true, false}},
        {MAIN, ASCII, {"100", false, true, false, true}},
        {MAIN, VARIANT, {"", false, false, false, true}},
        {MAIN, UINT4, {"1", false, true, true, true}},
        {MAIN, SEPARATOR, {}},
        {DIALOG, LIST, {"0", false, false, true, false}},
        {DIALOG, ASCII, {"1", false, true, true, true}},
        {DIALOG, VARIANT, {"1", false, true, true, true}},
        {DIALOG, NONE, {}},
    };
    for (const auto& c : chosen) {
        const FormatChoice choice = ChooseFormatRow(c.panel, c.row);
        EXPECT_EQ(choice.isFormat, c.row != NONE && c.row != SEPARATOR) << c.row;
        EXPECT_TRUE(choice.fields == c.fields) << static_cast<int>(c.panel) << " row " << c.row;
    }
    EXPECT_TRUE(ClickNotFixed(false, LIST, 7) == (S{"7", false, false, false, false}));
}

} // namespace
} // namespace tqf
