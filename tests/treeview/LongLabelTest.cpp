#include "TreeViewTestSupport.h"

namespace tqf::test {
namespace {

constexpr int MEGABYTE = 1 << 20;

// A label of one word a megabyte long, as a pasted description makes it:
// every row but the last holds one character, and finding where each row ends
// must not search the whole rest of the word again.
TEST(LongLabelTest, AMegabyteWordIsLaidOutInOnePass) {
    TreeViewHarness h(400, 300);
    FormatNode* message = h.AddMessage("S1F1");
    FormatNode* item = h.AddItem(message, "<A  " + std::string(MEGABYTE, 'W') + ">");
    FormatNode* after = h.AddMessage("S1F2");
    h.Render();

    FormatTreeView& view = h.View();
    const NodeRect rect = view.LaidOutRect(item);
    const int rows = (rect.bottom - rect.top) / view.RowHeight();
    EXPECT_GT(rows, MEGABYTE / 2) << "a character per row until the rest fits";
    EXPECT_LE(rows, MEGABYTE);
    view.VerticalScroll(SCROLL_THUMB_POSITION, view.ScrollLimit());
    h.Render();
    EXPECT_EQ(view.LaidOutRect(after).top, view.LaidOutRect(item).bottom);
}

// The same with spaces: words of a few characters, many per row.
TEST(LongLabelTest, AMegabyteOfWordsIsLaidOutInOnePass) {
    TreeViewHarness h(400, 300);
    std::string words;
    while (words.size() < static_cast<std::size_t>(MEGABYTE)) {
        words += "WORD ";
    }
    FormatNode* message = h.AddMessage(words);
    h.Render();
    const NodeRect rect = h.View().LaidOutRect(message);
    EXPECT_GT((rect.bottom - rect.top) / h.View().RowHeight(), MEGABYTE / 400);
}

// A word of a megabyte in a script that is measured by the font engine, not
// by the table of ASCII widths.
TEST(LongLabelTest, AMegabyteWordOfHangulIsLaidOutInTime) {
    TreeViewHarness h(400, 300);
    std::string word;
    while (word.size() < static_cast<std::size_t>(MEGABYTE)) {
        word += "\xED\x95\x9C";
    }
    FormatNode* message = h.AddMessage(word);
    h.Render();
    const NodeRect rect = h.View().LaidOutRect(message);
    EXPECT_GT((rect.bottom - rect.top) / h.View().RowHeight(), MEGABYTE / 3 / 2);
}

} // namespace
} // namespace tqf::test
