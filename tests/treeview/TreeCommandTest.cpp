#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

#include <QDir>
#include <QFile>

#include <utility>
#include <vector>

namespace tqf::test {
namespace {

struct CommandFixture {
    TreeViewHarness h{240, 200};
    std::vector<std::pair<int, FormatNode*>> received;

    CommandFixture() { RecordNotifications(*h.view, received); }

    // Selects a node as a right click on it does.
    void Select(FormatNode* node) {
        h.Render();
        const NodeRect rect = h.View().LaidOutRect(node);
        h.View().SelectForContextMenu(QPoint(rect.left, rect.top));
        ASSERT_EQ(h.View().SelectedNode(), node);
    }

    std::vector<int> Delivered() {
        QApplication::processEvents();
        std::vector<int> messages;
        for (const auto& entry : received) {
            messages.push_back(entry.first);
        }
        received.clear();
        return messages;
    }
};

SubItemChoice Choice(int format, int notFixed, std::string count, std::string description) {
    SubItemChoice choice;
    choice.format = format;
    choice.notFixed = notFixed;
    choice.countText = std::move(count);
    choice.description = std::move(description);
    return choice;
}

TEST(TreeCommandTest, AddListItemUnderAMessageThenRefusesASecond) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    f.Select(message);
    f.h.View().RunCommand(ID_TREE_ADD_LIST_ITEM);
    ASSERT_NE(message->FirstChild(), nullptr);
    EXPECT_EQ(message->FirstChild()->Label(), "<L[0]>");
    EXPECT_EQ(message->FirstChild()->IsList(), 1);
    EXPECT_EQ(message->FirstChild()->Format(), LIST);
    EXPECT_EQ(message->FirstChild()->Count(), 0);
    EXPECT_EQ(message->Count(), 1);
    EXPECT_EQ(f.h.View().SelectedNode(), nullptr);
    EXPECT_EQ(f.Delivered(), std::vector<int>{CHANGED});

    f.Select(message);
    f.h.View().RunCommand(ID_TREE_ADD_LIST_ITEM);
    EXPECT_EQ(f.h.prompts.messages, QStringList{QStringLiteral("Cannot add new item.")});
    EXPECT_TRUE(f.Delivered().empty());
    // The new list shows once painted.
    f.h.Render();
    EXPECT_EQ(f.h.View().LaidOutRect(message->FirstChild()).left, 32);
}

TEST(TreeCommandTest, AddListItemOnFixedAndOpenLists) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    FormatNode* list = f.h.AddItem(message, "<L[0]>", true);
    for (int i = 0; i < 2; ++i) {
        f.Select(list);
        f.h.View().RunCommand(ID_TREE_ADD_LIST_ITEM);
    }
    EXPECT_EQ(list->Label(), "<L[2]>");
    EXPECT_EQ(FormatTree::CountListChildren(list), 2);

    FormatNode* open = f.h.AddItem(list, "<L[n]>", true);
    TreeSurgery::SetItemFormat(f.h.Tree(), open, open->Format(), OPEN_COUNT);
    for (int i = 0; i < 2; ++i) {
        f.Select(open);
        f.h.View().RunCommand(ID_TREE_ADD_LIST_ITEM);
    }
    EXPECT_EQ(open->Label(), "<L[n]>");
    EXPECT_EQ(FormatTree::CountListChildren(open), 2);
    f.Select(open);
    f.h.prompts.subItemAnswers.push_back(Choice(ASCII, 0, "1", "x"));
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    EXPECT_EQ(f.h.prompts.subItemCounts.back(), 2);
    EXPECT_EQ(f.h.prompts.messages.back(), QStringLiteral("Only one item is available."));
    EXPECT_EQ(FormatTree::CountListChildren(open), 2);
}

TEST(TreeCommandTest, AddCommandsWithoutSelectionOrOnAScalarItem) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    FormatNode* scalar = f.h.AddItem(message, "<B>");
    f.h.View().RunCommand(ID_TREE_ADD_LIST_ITEM);
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    EXPECT_EQ(f.h.prompts.messages, (QStringList{QStringLiteral("Not Selected"), QStringLiteral("Not Selected")}));
    EXPECT_TRUE(f.h.prompts.subItemCounts.empty());

    f.h.prompts.messages.clear();
    f.Select(scalar);
    f.h.View().RunCommand(ID_TREE_ADD_LIST_ITEM);
    EXPECT_EQ(f.h.prompts.messages, QStringList{QStringLiteral("It is not a list item.")});
    EXPECT_EQ(scalar->FirstChild(), nullptr);
    EXPECT_TRUE(f.Delivered().empty());
}

TEST(TreeCommandTest, AddSubItemBuildsTheItemFromTheDialog) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    FormatNode* list = f.h.AddItem(message, "<L[0]>", true);
    f.Select(list);
    f.h.prompts.subItemAnswers.push_back(Choice(ASCII, 0, "1", "name"));
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    ASSERT_NE(list->FirstChild(), nullptr);
    EXPECT_EQ(list->FirstChild()->Label(), "<A  name>");
    EXPECT_EQ(list->FirstChild()->Count(), 1);
    EXPECT_EQ(list->FirstChild()->Description(), "name");
    EXPECT_EQ(list->Label(), "<L[1]>");
    EXPECT_EQ(f.h.View().SelectedNode(), list);
    EXPECT_EQ(f.Delivered(), std::vector<int>{CHANGED});

    f.h.prompts.subItemAnswers.push_back(Choice(INT2, 1, "n", ""));
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    FormatNode* second = list->FirstChild()->NextSibling();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Label(), "<I2[n]>");
    EXPECT_EQ(second->Count(), OPEN_COUNT);
    EXPECT_EQ(second->Format(), INT2);
    EXPECT_EQ(f.h.prompts.subItemCounts, (std::deque<int>{0, 1}));

    f.h.prompts.subItemAnswers.push_back(Choice(LIST, 0, "0", ""));
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    FormatNode* third = second->NextSibling();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->IsList(), 1);
    EXPECT_EQ(third->Label(), "<L[0]>");
}

TEST(TreeCommandTest, AddSubItemCancelAndItsRefusals) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    f.Select(message);
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM); // no answer scripted: cancel
    EXPECT_EQ(message->FirstChild(), nullptr);
    EXPECT_TRUE(f.Delivered().empty());

    f.h.prompts.subItemAnswers.push_back(Choice(BINARY, 0, "3", ""));
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    ASSERT_NE(message->FirstChild(), nullptr);
    EXPECT_EQ(message->FirstChild()->Label(), "<B[3]>");
    EXPECT_EQ(f.Delivered(), std::vector<int>{CHANGED});

    // A message that holds its item is refused before the dialog.
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    EXPECT_EQ(f.h.prompts.messages.back(), QStringLiteral("Cannot add new item."));
    EXPECT_EQ(f.h.prompts.subItemCounts.size(), 2U);

    // A message whose count is not 0 without an item is refused after it.
    FormatNode* odd = f.h.AddMessage("S1F2");
    TreeSurgery::SetItemFormat(f.h.Tree(), odd, odd->Format(), 1);
    f.Select(odd);
    f.h.prompts.subItemAnswers.push_back(Choice(BINARY, 0, "1", ""));
    f.h.View().RunCommand(ID_TREE_ADD_SUB_ITEM);
    EXPECT_EQ(f.h.prompts.subItemCounts.size(), 3U);
    EXPECT_EQ(f.h.prompts.messages.back(), QStringLiteral("Cannot add sub item."));
    EXPECT_EQ(odd->FirstChild(), nullptr);
}

TEST(TreeCommandTest, DeleteNodeNotifiesMessageDeletionBeforeTheChange) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    FormatNode* list = f.h.AddItem(message, "<L[2]>", true);
    f.h.AddItem(list, "<B>");
    FormatNode* last = f.h.AddItem(list, "<U1>");
    f.Select(last);
    f.h.View().RunCommand(ID_TREE_DELETE_NODE);
    EXPECT_EQ(list->Label(), "<L[1]>");
    EXPECT_EQ(f.h.View().SelectedNode(), nullptr);
    EXPECT_EQ(f.h.View().HighlightedNode(), nullptr);
    EXPECT_EQ(f.Delivered(), std::vector<int>{CHANGED});

    f.Select(message);
    f.h.View().RunCommand(ID_TREE_DELETE_NODE);
    EXPECT_EQ(f.h.Root()->FirstChild(), nullptr);
    EXPECT_EQ(f.h.Root()->Count(), 0);
    EXPECT_EQ(f.Delivered(), (std::vector<int>{MESSAGE_DELETED, CHANGED}));

    // With nothing selected the command does nothing.
    f.h.View().RunCommand(ID_TREE_DELETE_NODE);
    EXPECT_TRUE(f.Delivered().empty());
    EXPECT_EQ(FirstDifference(f.h.Render(), f.h.Reference()), "");
}

TEST(TreeCommandTest, MoveCommandsAskTheWindowWithTheSelectedNode) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    f.Select(message);
    f.h.View().RunCommand(ID_TREE_MOVE_UP);
    f.h.View().RunCommand(ID_TREE_MOVE_DOWN);
    QApplication::processEvents();
    ASSERT_EQ(f.received.size(), 2U);
    EXPECT_EQ(f.received[0], std::make_pair(MOVE_UP, message));
    EXPECT_EQ(f.received[1], std::make_pair(MOVE_DOWN, message));
    // The title entry is not a command.
    f.h.View().RunCommand(ID_TREE_MENU_TITLE);
    EXPECT_EQ(f.Delivered().size(), 2U);
}

TEST(TreeCommandTest, ColourCommandsStartFromTheCurrentColourAndCancelChangesNothing) {
    CommandFixture f;
    FormatTreeView& view = f.h.View();
    f.h.prompts.colorAnswers.push_back(QColor(10, 20, 30));
    view.RunCommand(ID_TREE_SET_LINE_COLOR);
    EXPECT_EQ(f.h.prompts.colorInitials.back(), QColor(128, 128, 128));
    EXPECT_EQ(view.LineColor(), Rgb(10, 20, 30));

    f.h.prompts.colorAnswers.push_back(QColor(40, 50, 60));
    view.RunCommand(ID_TREE_SET_BACKGROUND_COLOR);
    EXPECT_EQ(f.h.prompts.colorInitials.back(), QColor(255, 255, 255));
    EXPECT_EQ(view.BackgroundColor(), Rgb(40, 50, 60));

    f.h.prompts.colorAnswers.push_back(QColor(70, 80, 90));
    view.RunCommand(ID_TREE_SET_TEXT_COLOR_2);
    EXPECT_EQ(view.TextColor(), Rgb(70, 80, 90));

    view.RunCommand(ID_TREE_SET_TEXT_COLOR); // cancelled
    EXPECT_EQ(f.h.prompts.colorInitials.back(), QColor(70, 80, 90));
    EXPECT_EQ(view.TextColor(), Rgb(70, 80, 90));

    f.h.AddMessage("S1F1");
    const QImage image = f.h.Render();
    EXPECT_EQ(Pixel(image, 5, 5), Rgb24(Rgb(40, 50, 60)));
    EXPECT_EQ(Pixel(image, 8, 4 + view.RowHeight() / 2), Rgb24(Rgb(10, 20, 30)));
}

TEST(TreeCommandTest, FontCommandKeepsWholePointsAndBoldOnlyAtSevenHundred) {
    CommandFixture f;
    FormatTreeView& view = f.h.View();
    view.SetTreeFont(9, false, false, "Tahoma");
    FontChoice choice;
    choice.pointSizeTenths = 105;
    choice.weight = 600;
    choice.italic = true;
    choice.faceName = QStringLiteral("Tahoma");
    f.h.prompts.fontAnswers.push_back(choice);
    view.RunCommand(ID_TREE_SET_FONT);
    const FontChoice& initial = f.h.prompts.fontInitials.back();
    EXPECT_EQ(initial.pointSizeTenths, 90);
    EXPECT_EQ(initial.weight, 400);
    EXPECT_FALSE(initial.italic);
    EXPECT_EQ(initial.faceName, QStringLiteral("Tahoma"));
    EXPECT_EQ(view.TreeFontChoice().pointSizeTenths, 100);
    EXPECT_EQ(view.TreeFont().weight(), QFont::Normal);
    EXPECT_TRUE(view.TreeFont().italic());
    EXPECT_EQ(view.FontPixelHeight(), (10 * view.logicalDpiY() + 36) / 72);
    EXPECT_EQ(view.RowHeight(), QFontMetrics(view.TreeFont()).height() + 4);

    choice.weight = 800;
    f.h.prompts.fontAnswers.push_back(choice);
    view.RunCommand(ID_TREE_SET_FONT);
    EXPECT_EQ(view.TreeFont().weight(), QFont::Normal);
    choice.weight = 700;
    f.h.prompts.fontAnswers.push_back(choice);
    view.RunCommand(ID_TREE_SET_FONT);
    EXPECT_EQ(view.TreeFont().weight(), QFont::Bold);
    EXPECT_EQ(view.TreeFontChoice().weight, 700);

    view.RunCommand(ID_TREE_SET_FONT); // cancelled
    EXPECT_EQ(view.TreeFont().weight(), QFont::Bold);
}

TEST(TreeCommandTest, BackgroundPictureLoadsBitmapsOnly) {
    CommandFixture f;
    FormatTreeView& view = f.h.View();
    const QString bitmap = QDir::temp().filePath(QStringLiteral("tqf-treeview-picture.bmp"));
    const QString notBitmap = QDir::temp().filePath(QStringLiteral("tqf-treeview-picture-png.bmp"));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(qRgb(1, 2, 3));
    ASSERT_TRUE(picture.save(bitmap, "BMP"));
    ASSERT_TRUE(picture.save(notBitmap, "PNG"));

    f.h.prompts.openFileAnswers.push_back(bitmap);
    view.RunCommand(ID_TREE_SET_BACKGROUND_PICTURE);
    EXPECT_EQ(f.h.prompts.openFilters.back(), QStringLiteral("Bitmap Files (*.bmp)|*.bmp||"));
    EXPECT_EQ(view.BackgroundPicture().size(), QSize(4, 4));
    EXPECT_EQ(Pixel(f.h.Render(), 50, 50), 0x010203U);

    view.RunCommand(ID_TREE_SET_BACKGROUND_PICTURE); // cancelled: the picture stays
    EXPECT_FALSE(view.BackgroundPicture().isNull());

    f.h.prompts.openFileAnswers.push_back(notBitmap);
    view.RunCommand(ID_TREE_SET_BACKGROUND_PICTURE);
    EXPECT_TRUE(view.BackgroundPicture().isNull());
    EXPECT_TRUE(f.h.prompts.messages.isEmpty());
    EXPECT_EQ(Pixel(f.h.Render(), 50, 50), 0xFFFFFFU);
    QFile::remove(bitmap);
    QFile::remove(notBitmap);
}

TEST(TreeCommandTest, NodeOperationRefusalsAreShownThroughThePrompts) {
    CommandFixture f;
    FormatNode* message = f.h.AddMessage("S1F1");
    FormatNode* item = f.h.AddItem(message, "<B>");
    EXPECT_EQ(TreeSurgery::AddSibling(f.h.Tree(), item, "<B>", false), nullptr);
    EXPECT_EQ(TreeSurgery::AddChild(f.h.Tree(), item, "<B>", false), nullptr);
    EXPECT_EQ(f.h.prompts.messages,
              (QStringList{QStringLiteral("Cannot add new sub item."), QStringLiteral("It is not a list item.")}));
}

} // namespace
} // namespace tqf::test
