#include "TreeContextMenu.h"

#include "FormatNode.h"
#include "TextArena.h"
#include "TreeCommands.h"
#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFont>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tqf {
namespace {

struct ExpectedEntry {
    unsigned flags;
    int commandId;
    QString text;
};

QFont CrispFont() {
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QRgb Pixel(ColorRef color) { return qRgb(RedOf(color), GreenOf(color), BlueOf(color)); }

bool Contains(const QImage& image, ColorRef color) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == Pixel(color)) {
                return true;
            }
        }
    }
    return false;
}

// The entries below the title, with the states of the add commands and of
// the commands that need a node.
std::vector<ExpectedEntry> CommonEntries(unsigned addFlags, unsigned nodeFlags) {
    return {
        {addFlags, ID_TREE_ADD_LIST_ITEM, QStringLiteral("Add List Item")},
        {addFlags, ID_TREE_ADD_SUB_ITEM, QStringLiteral("Add Sub Item")},
        {nodeFlags, ID_TREE_DELETE_NODE, QStringLiteral("Delete Node")},
        {MENU_ITEM_SEPARATOR, 0, QString()},
        {nodeFlags, ID_TREE_MOVE_UP, QStringLiteral("Move Up")},
        {nodeFlags, ID_TREE_MOVE_DOWN, QStringLiteral("Move Down")},
        {MENU_ITEM_SEPARATOR, 0, QString()},
        {nodeFlags, ID_TREE_RULES, QStringLiteral("Rules...")},
        {MENU_ITEM_SEPARATOR, 0, QString()},
        {MENU_ITEM_ENABLED, ID_TREE_SET_LINE_COLOR, QStringLiteral("Set Line Color")},
        {MENU_ITEM_ENABLED, ID_TREE_SET_TEXT_COLOR, QStringLiteral("Set Text Color")},
        {MENU_ITEM_ENABLED, ID_TREE_SET_BACKGROUND_COLOR, QStringLiteral("Set Background Color")},
    };
}

std::vector<ExpectedEntry> WithTitle(const QString& title, std::vector<ExpectedEntry> entries) {
    entries.insert(entries.begin(), {{MENU_ITEM_DISABLED, ID_TREE_MENU_TITLE, title}, {MENU_ITEM_SEPARATOR, 0, {}}});
    return entries;
}

void ExpectEntries(const OwnerDrawMenu& menu, const std::vector<ExpectedEntry>& expected) {
    ASSERT_EQ(menu.EntryCount(), static_cast<int>(expected.size()));
    for (int i = 0; i < menu.EntryCount(); ++i) {
        const ExpectedEntry& entry = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(menu.EntryFlags(i), entry.flags) << "entry " << i;
        EXPECT_EQ(menu.EntryCommandId(i), entry.commandId) << "entry " << i;
        EXPECT_EQ(menu.ItemTexts().at(i), entry.text) << "entry " << i;
        if (entry.flags == MENU_ITEM_SEPARATOR) {
            EXPECT_TRUE(menu.EntryAction(i)->isSeparator()) << "entry " << i;
        } else {
            EXPECT_EQ(menu.EntryAction(i)->isEnabled(), entry.flags == MENU_ITEM_ENABLED) << "entry " << i;
        }
    }
}

TEST(TreeContextMenuTest, EmptySpaceOffersAddAndColourCommandsOnly) {
    const auto menu = TreeContextMenu::Build(nullptr, CrispFont());
    ExpectEntries(*menu, CommonEntries(MENU_ITEM_ENABLED, MENU_ITEM_GRAYED));
}

TEST(TreeContextMenuTest, MessageAndListTakeSubItems) {
    FormatTree tree;
    FormatNode* message = TreeSurgery::AddChild(tree, nullptr, "S1F3W", false);
    TreeSurgery::MakeMessage(tree, message);
    ExpectEntries(*TreeContextMenu::Build(message, CrispFont()),
                  WithTitle(QStringLiteral("S1F3W"), CommonEntries(MENU_ITEM_ENABLED, MENU_ITEM_ENABLED)));

    FormatNode* list = TreeSurgery::AddChild(tree, message, "<L[2]>", false);
    TreeSurgery::SetItemFormat(tree, list, LIST, 2);
    ExpectEntries(*TreeContextMenu::Build(list, CrispFont()),
                  WithTitle(QStringLiteral("<L[2]>"), CommonEntries(MENU_ITEM_ENABLED, MENU_ITEM_ENABLED)));
}

TEST(TreeContextMenuTest, ScalarItemGraysBothAddCommands) {
    FormatTree tree;
    FormatNode* message = TreeSurgery::AddChild(tree, nullptr, "S1F1", false);
    TreeSurgery::MakeMessage(tree, message);
    FormatNode* item = TreeSurgery::AddChild(tree, message, "<U4[3]  ids>", false);
    TreeSurgery::SetItemFormat(tree, item, UINT4, 3);
    ExpectEntries(*TreeContextMenu::Build(item, CrispFont()),
                  WithTitle(QStringLiteral("<U4[3]  ids>"), CommonEntries(MENU_ITEM_GRAYED, MENU_ITEM_ENABLED)));
}

TEST(TreeContextMenuTest, TitleIsCutAfterFortyFiveCharacters) {
    const std::string exact(45, 'x');
    EXPECT_EQ(TreeContextMenu::TitleText(exact), QString(45, QLatin1Char('x')));
    EXPECT_EQ(TreeContextMenu::TitleText(exact + "y"), QString(45, QLatin1Char('x')) + QStringLiteral("..."));
    EXPECT_EQ(TreeContextMenu::TitleText(""), QString());

    FormatTree tree;
    FormatNode* message = TreeSurgery::AddChild(tree, nullptr, std::string(60, 'A'), false);
    TreeSurgery::MakeMessage(tree, message);
    const auto menu = TreeContextMenu::Build(message, CrispFont());
    EXPECT_EQ(menu->ItemTexts().at(0), QString(45, QLatin1Char('A')) + QStringLiteral("..."));
}

TEST(TreeContextMenuTest, TitleCountsMultiByteCharactersAsOne) {
    // "가" is three bytes in UTF-8: 45 of them (135 bytes) fit whole.
    std::string hangul;
    for (int i = 0; i < 45; ++i) {
        hangul += "\xEA\xB0\x80";
    }
    const QString ga = QString::fromUtf8("\xEA\xB0\x80");
    EXPECT_EQ(TreeContextMenu::TitleText(hangul), ga.repeated(45));
    EXPECT_EQ(TreeContextMenu::TitleText(hangul + "\xEA\xB0\x80"), ga.repeated(45) + QStringLiteral("..."));

    // A character outside the basic plane (four bytes, a surrogate pair in a
    // QString) at the cut stays whole or goes whole.
    const std::string note = "\xF0\x9D\x84\x9E"; // U+1D11E
    const QString noteText = QString::fromUtf8(note.c_str());
    const std::string prefix(44, 'a');
    EXPECT_EQ(TreeContextMenu::TitleText(prefix + note), QString(44, QLatin1Char('a')) + noteText);
    EXPECT_EQ(TreeContextMenu::TitleText(prefix + note + "b"),
              QString(44, QLatin1Char('a')) + noteText + QStringLiteral("..."));
    EXPECT_EQ(TreeContextMenu::TitleText(prefix + "b" + note), QString(44, QLatin1Char('a')) + QStringLiteral("b..."));
}

TEST(TreeContextMenuTest, MenuUsesTheTreeFontAndTheFiveColours) {
    FormatTree tree;
    FormatNode* message = TreeSurgery::AddChild(tree, nullptr, "S6F12", false);
    TreeSurgery::MakeMessage(tree, message);
    const QFont font = CrispFont();
    const auto menu = TreeContextMenu::Build(message, font);
    EXPECT_EQ(menu->MenuFont(), font);
    EXPECT_EQ(menu->MaxTextWidth(), QFontMetrics(font).horizontalAdvance(QStringLiteral("Set Background Color")));

    const QImage title = menu->RenderEntry(0, true);
    EXPECT_EQ(title.pixel(0, 0), Pixel(TreeContextMenu::BACKGROUND_COLOR));
    EXPECT_TRUE(Contains(title, TreeContextMenu::DISABLED_TEXT_COLOR));
    EXPECT_FALSE(Contains(title, TreeContextMenu::SELECTION_FILL_COLOR));

    const QImage separator = menu->RenderEntry(1, false);
    EXPECT_EQ(separator.pixel(4, 2), Pixel(TreeContextMenu::SELECTION_FRAME_COLOR));

    const QImage selected = menu->RenderEntry(2, true);
    EXPECT_EQ(selected.pixel(2, 2), Pixel(TreeContextMenu::SELECTION_FRAME_COLOR));
    EXPECT_EQ(selected.pixel(3, 3), Pixel(TreeContextMenu::SELECTION_FILL_COLOR));
    EXPECT_TRUE(Contains(selected, TreeContextMenu::TEXT_COLOR));
}

// The menu on screen, found from inside its own modal loop.
OwnerDrawMenu* ShownMenu() { return qobject_cast<OwnerDrawMenu*>(QApplication::activePopupWidget()); }

void ClickEntry(OwnerDrawMenu& menu, int index) {
    const QPoint centre = menu.actionGeometry(menu.EntryAction(index)).center();
    QTest::mouseMove(&menu, centre);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, centre);
}

TEST(TreeContextMenuTest, ExecShowsTheMenuOverTheViewAndReturnsTheChosenCommand) {
    test::TreeViewHarness harness;
    const QPoint at = harness.View().mapToGlobal(QPoint(20, 30));
    bool inspected = false;
    QTimer::singleShot(0, &harness.View(), [&] {
        OwnerDrawMenu* menu = ShownMenu();
        ASSERT_NE(menu, nullptr);
        inspected = true;
        EXPECT_EQ(menu->parentWidget(), &harness.View());
        EXPECT_EQ(menu->pos(), at);
        EXPECT_EQ(menu->MenuFont(), harness.View().TreeFont());
        ASSERT_EQ(menu->EntryCount(), 12);
        ClickEntry(*menu, 9);
    });
    EXPECT_EQ(TreeContextMenu::Exec(harness.View().SelectedNode(), harness.View().TreeFont(), &harness.View(), at),
              std::optional<int>(ID_TREE_SET_LINE_COLOR));
    EXPECT_TRUE(inspected);

    QTimer::singleShot(0, &harness.View(), [] {
        if (OwnerDrawMenu* menu = ShownMenu()) {
            QTest::keyClick(menu, Qt::Key_Escape);
        }
    });
    EXPECT_EQ(TreeContextMenu::Exec(harness.View().SelectedNode(), harness.View().TreeFont(), &harness.View(), at),
              std::nullopt);
}

TEST(TreeContextMenuTest, RightClickOnAMessageOffersItsCommandsAndDeleteNodeRemovesIt) {
    test::TreeViewHarness harness;
    harness.AddMessage("S1F1W");
    FormatNode* second = harness.AddMessage("S2F41W");
    harness.Render();
    ASSERT_FALSE(harness.View().DrawnRect(second).IsEmpty());
    const QPoint client((harness.View().DrawnRect(second).left + harness.View().DrawnRect(second).right) / 2,
                        (harness.View().DrawnRect(second).top + harness.View().DrawnRect(second).bottom) / 2);

    QStringList texts;
    QTimer::singleShot(0, &harness.View(), [&] {
        OwnerDrawMenu* menu = ShownMenu();
        ASSERT_NE(menu, nullptr);
        texts = menu->ItemTexts();
        ClickEntry(*menu, 4); // "Delete Node"
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, client, harness.View().viewport()->mapToGlobal(client));
    QApplication::sendEvent(harness.View().viewport(), &event);

    ASSERT_EQ(texts.size(), 14);
    EXPECT_EQ(texts.at(0), QStringLiteral("S2F41W"));
    EXPECT_EQ(texts.at(4), QStringLiteral("Delete Node"));
    EXPECT_EQ(harness.Root()->Count(), 1);
    EXPECT_EQ(harness.Root()->FirstChild()->NextSibling(), nullptr);
    EXPECT_EQ(harness.View().SelectedNode(), nullptr);
}

// The row a right click paints as chosen is chosen for the window too.
TEST(TreeContextMenuTest, RightClickChoosesTheRowAsAClickDoes) {
    test::TreeViewHarness harness;
    harness.AddMessage("S1F1W");
    FormatNode* second = harness.AddMessage("S2F41W");
    harness.Render();
    std::vector<std::pair<int, FormatNode*>> heard;
    test::RecordNotifications(harness.View(), heard);
    QTimer::singleShot(0, &harness.View(), [] {
        if (OwnerDrawMenu* menu = ShownMenu()) {
            menu->close();
        }
    });
    const QPoint client(harness.View().DrawnRect(second).left + 2, harness.View().DrawnRect(second).top + 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, client, harness.View().viewport()->mapToGlobal(client));
    QApplication::sendEvent(harness.View().viewport(), &event);
    QApplication::processEvents();
    EXPECT_EQ(heard, (std::vector<std::pair<int, FormatNode*>>{{test::NODE_SELECTED, second}}));
}

} // namespace
} // namespace tqf
