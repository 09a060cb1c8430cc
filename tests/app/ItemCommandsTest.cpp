#include "EditorWindowTest.h"

#include "ItemFormat.h"

namespace tqf {
namespace {

class ItemCommandsTest : public EditorWindowTest {
protected:
    void SetUp() override {
        EditorWindowTest::SetUp();
        message = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
        ASSERT_NE(message, nullptr);
    }

    // A message holding a list, with the list selected.
    FormatNode* AddListAndSelectIt(bool open = false) {
        ClickNode(message);
        AddItem(LIST, {}, open);
        FormatNode* list = message->FirstChild();
        EXPECT_NE(list, nullptr);
        if (list != nullptr) {
            ClickNode(list);
        }
        return list;
    }

    struct PanelState {
        QString count;
        bool countEnabled;
        bool notFixedEnabled;
        bool descriptionEnabled;
    };
    PanelState State() {
        return {Text(IDC_ITEM_COUNT), Enabled(IDC_ITEM_COUNT), Enabled(IDC_NOT_FIXED), Enabled(IDC_ITEM_DESCRIPTION)};
    }

    FormatNode* message = nullptr;
};

TEST_F(ItemCommandsTest, ChoosingAFormatPresetsThePanel) {
    const struct {
        int row;
        const char* count;
        bool countEnabled;
        bool notFixedEnabled;
        bool descriptionEnabled;
    } table[] = {
        {LIST, "0", false, true, false}, {ASCII, "100", true, false, true}, {VARIANT, "", false, false, true},
        {BINARY, "1", true, true, true}, {BOOLEAN, "1", true, true, true},  {JIS8, "1", true, true, true},
        {INT1, "1", true, true, true},   {UINT8, "1", true, true, true},    {FLOAT8, "1", true, true, true},
    };
    Type(IDC_MESSAGE_DESCRIPTION, QStringLiteral("typed before"));
    for (const auto& row : table) {
        ChooseFormat(row.row);
        const PanelState state = State();
        EXPECT_EQ(state.count, QString::fromLatin1(row.count)) << row.row;
        EXPECT_EQ(state.countEnabled, row.countEnabled) << row.row;
        EXPECT_EQ(state.notFixedEnabled, row.notFixedEnabled) << row.row;
        EXPECT_EQ(state.descriptionEnabled, row.descriptionEnabled) << row.row;
        EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 0);
        EXPECT_TRUE(Enabled(IDC_ADD_ITEM) && Enabled(IDC_UPDATE_ITEM) && Enabled(IDC_DELETE_ITEM)) << row.row;
        EXPECT_EQ(Formats()->currentIndex(), row.row);
    }
    // Choosing a format reads the panel first: nothing typed elsewhere is lost.
    EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION), QStringLiteral("typed before"));
}

TEST_F(ItemCommandsTest, ChoosingASeparatorUndoesTheChoice) {
    ChooseFormat(UINT2);
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("kept"));
    for (int separator : {NONE, SEPARATOR}) {
        ChooseFormat(separator);
        EXPECT_EQ(Formats()->currentIndex(), -1);
        const PanelState state = State();
        EXPECT_TRUE(state.count.isEmpty());
        EXPECT_FALSE(state.countEnabled || state.notFixedEnabled || state.descriptionEnabled);
        EXPECT_FALSE(Enabled(IDC_ADD_ITEM) || Enabled(IDC_UPDATE_ITEM) || Enabled(IDC_DELETE_ITEM));
        EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("kept"));
    }
    // Add and Update treat no row as no format.
    Commands().AddItem();
    Commands().UpdateItem();
    EXPECT_EQ(prompts.TakeMessages(),
              QStringList({QStringLiteral("No item selected."), QStringLiteral("No item selected.")}));
}

TEST_F(ItemCommandsTest, NotFixedOpensTheCountAndUntickingRestoresIt) {
    ChooseFormat(INT4);
    Click(IDC_NOT_FIXED);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("n"));
    EXPECT_FALSE(Enabled(IDC_ITEM_COUNT));
    Click(IDC_NOT_FIXED);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("1"));
    EXPECT_TRUE(Enabled(IDC_ITEM_COUNT));

    // For a list the count goes back to its number of sub-items.
    FormatNode* list = AddListAndSelectIt();
    AddItem(BINARY);
    AddItem(BINARY);
    ClickNode(list);
    Click(IDC_NOT_FIXED);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("n"));
    Click(IDC_NOT_FIXED);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("2"));
    EXPECT_FALSE(Enabled(IDC_ITEM_COUNT));
}

TEST_F(ItemCommandsTest, AddBuildsTheLabelAndReturnsThePanelToIdle) {
    AddItem(LIST);
    FormatNode* list = message->FirstChild();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Label(), "<L[0]>");
    EXPECT_EQ(list->IsList(), 1);
    EXPECT_EQ(message->Count(), 1);
    EXPECT_EQ(Commands().CurrentNode(), message);
    EXPECT_TRUE(Commands().Doc().IsModified());
    // Idle: the format list alone is enabled, with no row; the rest is empty.
    EXPECT_EQ(Formats()->currentIndex(), -1);
    EXPECT_TRUE(Enabled(IDC_FORMAT));
    for (int id :
         {IDC_ITEM_COUNT, IDC_NOT_FIXED, IDC_ITEM_DESCRIPTION, IDC_ADD_ITEM, IDC_UPDATE_ITEM, IDC_DELETE_ITEM}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_TRUE(Text(IDC_ITEM_COUNT).isEmpty());

    ClickNode(list);
    AddItem(ASCII);
    AddItem(BOOLEAN, {}, false, QStringLiteral("flag"));
    AddItem(VARIANT);
    AddItem(UINT2, QStringLiteral("5"), true, QStringLiteral("lot ids"));
    AddItem(ASCII, QStringLiteral("00"));
    AddItem(ASCII, QStringLiteral("99999999999999999999999999999999999999999999999999"));
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"<A[100]>", "<BOOLEAN  flag>", "<VARIANT>", "<U2[n]  lot ids>",
                                                      "<A>", "<A[2147483647]>"}));
    EXPECT_EQ(list->Label(), "<L[6]>");
    EXPECT_EQ(list->FirstChild()->NextSibling()->NextSibling()->NextSibling()->Count(), OPEN_COUNT);
    EXPECT_EQ(list->FirstChild()->NextSibling()->Description(), "flag");
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(ItemCommandsTest, AddRefusesInItsOrder) {
    // ASCII without a count, with the focus on the count field.
    ChooseFormat(ASCII);
    Type(IDC_ITEM_COUNT, QStringLiteral("0"));
    Commands().Doc().MarkSaved();
    Click(IDC_ADD_ITEM);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("AsciiItem Cannot be zero length")});
    EXPECT_EQ(dialog->focusWidget(), dialog->Control(IDC_ITEM_COUNT));
    Type(IDC_ITEM_COUNT, QString());
    Click(IDC_ADD_ITEM);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("AsciiItem Cannot be zero length")});
    EXPECT_EQ(message->Count(), 0);
    EXPECT_FALSE(Commands().Doc().IsModified());

    // A message holds one item.
    AddItem(UINT4);
    AddItem(BINARY);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Cannot add sub item.")});

    // Under an item that is not a list the tree refuses, and nothing stays
    // selected.
    ClickNode(message->FirstChild());
    AddItem(BINARY);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("It is not a list item.")});
    EXPECT_EQ(Commands().CurrentNode(), nullptr);
    AddItem(BINARY);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("No node selected.")});
}

TEST_F(ItemCommandsTest, AnOpenListTakesOneSubItemFromThePanel) {
    FormatNode* list = AddListAndSelectIt(true);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Label(), "<L[n]>");
    EXPECT_EQ(list->Count(), OPEN_COUNT);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("n"));
    EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 1);
    EXPECT_FALSE(Enabled(IDC_ITEM_COUNT));

    AddItem(INT2);
    EXPECT_TRUE(prompts.TakeMessages().isEmpty());
    AddItem(INT2);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Unfixed list item can have only one sub item.")});
    EXPECT_EQ(list->Label(), "<L[n]>");
    EXPECT_EQ(FormatTree::CountListChildren(list), 1);
}

TEST_F(ItemCommandsTest, UpdateRefusesInItsOrder) {
    Click(IDC_UPDATE_ITEM); // the message is current, and the button is off
    EXPECT_TRUE(prompts.messages.isEmpty());
    Commands().UpdateItem();
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("No item selected.")});

    FormatNode* list = AddListAndSelectIt();
    AddItem(BINARY);
    AddItem(BINARY);
    ClickNode(list);
    Commands().Doc().MarkSaved();
    ChooseFormat(SEPARATOR);
    Commands().UpdateItem();
    ChooseFormat(UINT1);
    Click(IDC_UPDATE_ITEM);
    ChooseFormat(LIST);
    Click(IDC_NOT_FIXED);
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(prompts.TakeMessages(),
              QStringList({QStringLiteral("No item selected from item list"), QStringLiteral("Sub item exists."),
                           QStringLiteral("Non-fixed list item can only single item.")}));
    EXPECT_EQ(list->Label(), "<L[2]>");
    EXPECT_FALSE(Commands().Doc().IsModified());

    ClickNode(list->FirstChild());
    ChooseFormat(ASCII);
    Type(IDC_ITEM_COUNT, QString());
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("AsciiItem Cannot be zero length")});
    EXPECT_EQ(list->FirstChild()->Label(), "<B>");
    EXPECT_EQ(list->FirstChild()->Format(), BINARY);
}

TEST_F(ItemCommandsTest, UpdateChangesTheItemInPlace) {
    FormatNode* list = AddListAndSelectIt();
    AddItem(BINARY);
    FormatNode* item = list->FirstChild();
    ClickNode(item);
    ChooseFormat(ASCII);
    Type(IDC_ITEM_COUNT, QStringLiteral("20"));
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("recipe"));
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(item->Label(), "<A[20]  recipe>");
    EXPECT_EQ(item->Format(), ASCII);
    EXPECT_EQ(item->Count(), 20);
    EXPECT_EQ(item->Description(), "recipe");
    EXPECT_EQ(Commands().CurrentNode(), item);
    EXPECT_EQ(Formats()->currentIndex(), -1);
    EXPECT_FALSE(Enabled(IDC_UPDATE_ITEM));
    EXPECT_TRUE(Commands().Doc().IsModified());

    // An item becomes a list without a description; a list with one sub-item
    // can become open.
    ClickNode(item);
    ChooseFormat(LIST);
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(item->Label(), "<L[0]>");
    EXPECT_EQ(item->IsList(), 1);
    EXPECT_TRUE(item->Description().empty());
    ClickNode(list);
    Click(IDC_NOT_FIXED);
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(list->Label(), "<L[n]>");
    EXPECT_EQ(list->Count(), OPEN_COUNT);
}

TEST_F(ItemCommandsTest, ChoosingListAgainKeepsAListsCountInItsLabel) {
    // The format list presets "0" for LIST; the list's label still states
    // the two sub-items it holds.
    FormatNode* list = AddListAndSelectIt();
    AddItem(BINARY);
    AddItem(BINARY);
    ClickNode(list);
    ChooseFormat(LIST);
    ASSERT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("0"));
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(list->Label(), "<L[2]>");
    EXPECT_EQ(list->Count(), 2);
}

TEST_F(ItemCommandsTest, DeleteRemovesTheItemWithoutAQuestion) {
    Commands().DeleteItem();
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("It's not a item.")});

    FormatNode* list = AddListAndSelectIt();
    AddItem(BINARY);
    AddItem(LIST);
    FormatNode* inner = list->FirstChild()->NextSibling();
    ClickNode(inner);
    AddItem(INT1);
    // A list goes with its sub-items.
    ClickNode(inner);
    Commands().Doc().MarkSaved();
    Click(IDC_DELETE_ITEM);
    EXPECT_EQ(list->Label(), "<L[1]>");
    EXPECT_EQ(Labels(list), std::vector<std::string>{"<B>"});
    EXPECT_EQ(Commands().CurrentNode(), nullptr);
    EXPECT_TRUE(Commands().Doc().IsModified());
    EXPECT_TRUE(prompts.questions.empty());

    ClickNode(list->FirstChild());
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("kept"));
    Click(IDC_NOT_FIXED);
    Click(IDC_DELETE_ITEM);
    EXPECT_EQ(list->Label(), "<L[0]>");
    EXPECT_EQ(Formats()->currentIndex(), -1);
    EXPECT_TRUE(Text(IDC_ITEM_COUNT).isEmpty());
    EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 0);
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("kept"));

    Commands().DeleteItem();
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("No item selected.")});
}

TEST_F(ItemCommandsTest, MovesSwapNeighboursAndRefuseAtTheEnds) {
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"));
    FormatNode* third = CreateMessage(QStringLiteral("3"), QStringLiteral("1"));
    Commands().Doc().MarkSaved();
    Click(IDC_MOVE_UP);
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S3F1W", "S2F1W"}));
    Click(IDC_MOVE_UP);
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S3F1W", "S1F1W", "S2F1W"}));
    EXPECT_TRUE(Commands().Doc().IsModified());
    Click(IDC_MOVE_UP);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Cannot move up.")});
    Click(IDC_MOVE_DOWN);
    Click(IDC_MOVE_DOWN);
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S2F1W", "S3F1W"}));
    EXPECT_EQ(Root()->FirstChild()->NextSibling()->NextSibling(), third);
    EXPECT_EQ(third->NextSibling(), nullptr);

    // Among the sub-items of a list; counts and labels stay.
    FormatNode* list = AddListAndSelectIt();
    AddItem(BINARY);
    AddItem(BOOLEAN);
    ClickNode(list->FirstChild()->NextSibling());
    Click(IDC_MOVE_DOWN);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Cannot move down.")});
    Click(IDC_MOVE_UP);
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"<BOOLEAN>", "<B>"}));
    EXPECT_EQ(list->Label(), "<L[2]>");

    ClickNode(list->FirstChild());
    Click(IDC_DELETE_ITEM);
    Click(IDC_MOVE_UP);
    Click(IDC_MOVE_DOWN);
    EXPECT_EQ(prompts.TakeMessages(),
              QStringList({QStringLiteral("No node selected."), QStringLiteral("No node selected.")}));
}

TEST_F(ItemCommandsTest, ClickingAnItemShowsItsFormatRules) {
    FormatNode* list = AddListAndSelectIt();
    AddItem(ASCII, QStringLiteral("8"));
    AddItem(VARIANT);
    AddItem(FLOAT4, {}, true);

    ClickNode(list);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("3"));
    EXPECT_FALSE(Enabled(IDC_ITEM_COUNT));
    EXPECT_FALSE(Enabled(IDC_ITEM_DESCRIPTION));
    EXPECT_TRUE(Enabled(IDC_NOT_FIXED));

    ClickNode(list->FirstChild());
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("8"));
    EXPECT_TRUE(Enabled(IDC_ITEM_COUNT));
    EXPECT_FALSE(Enabled(IDC_NOT_FIXED));

    ClickNode(list->FirstChild()->NextSibling());
    EXPECT_TRUE(Text(IDC_ITEM_COUNT).isEmpty());
    EXPECT_FALSE(Enabled(IDC_ITEM_COUNT));
    EXPECT_FALSE(Enabled(IDC_NOT_FIXED));
    EXPECT_TRUE(Enabled(IDC_ITEM_DESCRIPTION));

    ClickNode(list->FirstChild()->NextSibling()->NextSibling());
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("n"));
    EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 1);
    EXPECT_FALSE(Enabled(IDC_ITEM_COUNT));
}

} // namespace
} // namespace tqf
