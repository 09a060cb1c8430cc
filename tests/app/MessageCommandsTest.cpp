#include "EditorWindowTest.h"

#include "Color.h"
#include "ItemFormat.h"
#include "TreeCommands.h"
#include "TreeSurgery.h"

namespace tqf {
namespace {

using MessageCommandsTest = EditorWindowTest;

const QString S = QStringLiteral("Invalid Stream Number");
const QString F = QStringLiteral("Invalid Function Number");

TEST_F(MessageCommandsTest, CreateRefusesStreamsOutsideOneTo127First) {
    const struct {
        const char* stream;
        const char* function;
        QString message;
    } cases[] = {
        {"0", "1", S},
        {"128", "1", S},
        {"", "1", S},
        {"0", "300", S},
        {"1", "256", F},
        // Pasted texts: a sign, letters, a number far too long for 32 bits.
        {"-1", "1", S},
        {"abc", "1", S},
        {"99999999999999999999999999999999999999999999999999", "1", S},
        {"4294967297", "1", S},
        {"1", "-3", F},
        {"1", "99999999999999999999999999999999999999999999999999", F},
    };
    for (const auto& c : cases) {
        Commands().Doc().MarkSaved();
        Paste(IDC_STREAM, QString::fromLatin1(c.stream));
        Paste(IDC_FUNCTION, QString::fromLatin1(c.function));
        Click(IDC_CREATE_MESSAGE);
        EXPECT_EQ(prompts.TakeMessages(), QStringList{c.message}) << c.stream << " " << c.function;
        // A refused Create still counts as a change.
        EXPECT_TRUE(Commands().Doc().IsModified());
    }
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("0"));
}

TEST_F(MessageCommandsTest, CreateAcceptsTheLimitsAndLabelsTheMessage) {
    FormatNode* limit = CreateMessage(QStringLiteral("127"), QStringLiteral("255"), QStringLiteral("  last one \t"));
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->Label(), "S127F255W");
    EXPECT_EQ(limit->Description(), "last one");
    EXPECT_EQ(limit->IsMessage(), 1);
    Paste(IDC_STREAM, QStringLiteral(" 1"));
    Type(IDC_FUNCTION, QStringLiteral("0"));
    Click(IDC_CREATE_MESSAGE);
    FormatNode* zero = Commands().CurrentNode();
    EXPECT_EQ(zero->Label(), "S1F0");
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("2"));
    EXPECT_TRUE(Enabled(IDC_UPDATE_MESSAGE));
    EXPECT_TRUE(Enabled(IDC_DELETE_MESSAGE));
    EXPECT_TRUE(Enabled(IDC_FORMAT));
    EXPECT_FALSE(Enabled(IDC_ADD_ITEM));
    // The panel keeps what was typed.
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral(" 1"));
}

TEST_F(MessageCommandsTest, TypingTheFunctionSetsTheReplyFlagByParity) {
    Type(IDC_FUNCTION, QStringLiteral("3"));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 1);
    Type(IDC_FUNCTION, QStringLiteral("4"));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 0);
    Type(IDC_FUNCTION, QStringLiteral("41"));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 1);
    Type(IDC_FUNCTION, QString());
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 0);
    // The user can change the flag afterwards.
    Type(IDC_FUNCTION, QStringLiteral("5"));
    Click(IDC_REPLY_REQUIRED);
    Type(IDC_STREAM, QStringLiteral("1"));
    Click(IDC_CREATE_MESSAGE);
    EXPECT_EQ(MessageLabels(), std::vector<std::string>{"S1F5"});
}

TEST_F(MessageCommandsTest, NewMessagesArePlacedByTheirNumbers) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    CreateMessage(QStringLiteral("1"), QStringLiteral("3"));
    CreateMessage(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S1F2", "S1F3W"}));
    // The walk stops at the first message with a greater stream or a greater
    // function: F2 > F1 stops it right after S1F1.
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"));
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S2F1W", "S1F2", "S1F3W"}));
    CreateMessage(QStringLiteral("2"), QStringLiteral("2"));
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S2F1W", "S1F2", "S2F2", "S1F3W"}));
    // Duplicates are accepted and go after their equals.
    FormatNode* again = CreateMessage(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("second"));
    EXPECT_EQ(Root()->FirstChild()->NextSibling(), again);
    EXPECT_EQ(again->Label(), "S1F1W");
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("6"));
}

TEST_F(MessageCommandsTest, ANewMessageIsScrolledIntoView) {
    for (int i = 1; i <= 60; ++i) {
        ASSERT_TRUE(Tree().Tree().CreateMessage({"1", std::to_string(i), false, ""}).Done());
    }
    const std::optional<RowPlacement> row =
        Tree().UpToDateLayout().Find(CreateMessage(QStringLiteral("127"), QStringLiteral("255")));
    ASSERT_TRUE(row && row->top > Tree().viewport()->height()) << "placed below the first page";
    const std::int64_t top = FormatTreeView::MARGIN + row->top - Tree().ScrollPosition();
    EXPECT_TRUE(top >= 0 && top + row->height <= Tree().viewport()->height()) << top;
}

TEST_F(MessageCommandsTest, StreamAndFunctionAreComparedEachOnItsOwn) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"));
    CreateMessage(QStringLiteral("1"), QStringLiteral("3"));
    ASSERT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S1F3W", "S2F1W"}));
    CreateMessage(QStringLiteral("2"), QStringLiteral("2"));
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S2F2", "S1F3W", "S2F1W"}));
}

TEST_F(MessageCommandsTest, NoMessageIsPlacedBeforeTheFirst) {
    CreateMessage(QStringLiteral("5"), QStringLiteral("1"));
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S5F1W", "S1F1W"}));
}

TEST_F(MessageCommandsTest, TheLastCreatedMessageIsHighlightedUntilTheNextSelection) {
    FormatNode* first = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    EXPECT_EQ(first->UsesTreeColor(), 0);
    EXPECT_EQ(first->Color(), HIGHLIGHT_COLOR);
    FormatNode* second = CreateMessage(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(first->Color(), Rgb(0, 64, 128));
    EXPECT_EQ(second->Color(), HIGHLIGHT_COLOR);
    EXPECT_EQ(Commands().LastCreatedNode(), second);

    ClickNode(first);
    EXPECT_EQ(Commands().LastCreatedNode(), nullptr);
    EXPECT_EQ(second->Color(), Tree().TextColor());
    EXPECT_EQ(Commands().CurrentNode(), first);
}

TEST_F(MessageCommandsTest, ClickingAMessageOrAnItemFillsThePanels) {
    FormatNode* message = CreateMessage(QStringLiteral("6"), QStringLiteral("11"), QStringLiteral("event report"));
    AddItem(LIST);
    FormatNode* list = message->FirstChild();
    ASSERT_NE(list, nullptr);
    ClickNode(list);
    AddItem(UINT4, QStringLiteral("3"), false, QStringLiteral("ids"));
    FormatNode* ids = list->FirstChild();
    ASSERT_NE(ids, nullptr);

    // Clear the message panel, then let a click on the item fill it again.
    Type(IDC_STREAM, QString());
    Type(IDC_FUNCTION, QStringLiteral("2"));
    ClickNode(ids);
    EXPECT_EQ(Commands().CurrentNode(), ids);
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("6"));
    EXPECT_EQ(Text(IDC_FUNCTION), QStringLiteral("11"));
    EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION), QStringLiteral("event report"));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 1);
    EXPECT_EQ(Formats()->currentIndex(), UINT4);
    EXPECT_EQ(Text(IDC_ITEM_COUNT), QStringLiteral("3"));
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("ids"));
    for (int id :
         {IDC_ADD_ITEM, IDC_UPDATE_ITEM, IDC_DELETE_ITEM, IDC_NOT_FIXED, IDC_ITEM_COUNT, IDC_ITEM_DESCRIPTION}) {
        EXPECT_TRUE(Enabled(id)) << id;
    }

    ClickNode(message);
    EXPECT_EQ(Formats()->currentIndex(), -1);
    EXPECT_TRUE(Enabled(IDC_FORMAT));
    for (int id :
         {IDC_ADD_ITEM, IDC_UPDATE_ITEM, IDC_DELETE_ITEM, IDC_NOT_FIXED, IDC_ITEM_COUNT, IDC_ITEM_DESCRIPTION}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_TRUE(Text(IDC_ITEM_COUNT).isEmpty());
    EXPECT_TRUE(Text(IDC_ITEM_DESCRIPTION).isEmpty());
}

TEST_F(MessageCommandsTest, UpdateChangesTheMessageOfTheSelectedNodeInPlace) {
    // Without messages Update does nothing at all.
    Commands().UpdateMessage();
    EXPECT_TRUE(prompts.messages.isEmpty());

    FormatNode* first = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    CreateMessage(QStringLiteral("2"), QStringLiteral("1"));
    AddItem(ASCII);
    FormatNode* item = Root()->FirstChild()->NextSibling()->FirstChild();
    ASSERT_NE(item, nullptr);
    ClickNode(item);
    Commands().Doc().MarkSaved();

    Type(IDC_STREAM, QStringLiteral("0"));
    Click(IDC_UPDATE_MESSAGE);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{S});
    Type(IDC_STREAM, QStringLiteral("9"));
    Paste(IDC_FUNCTION, QStringLiteral("256"));
    Click(IDC_UPDATE_MESSAGE);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{F});
    EXPECT_FALSE(Commands().Doc().IsModified());

    // No re-ordering: S9F0 stays second although S1F1 precedes it.
    Type(IDC_FUNCTION, QStringLiteral("0"));
    Type(IDC_MESSAGE_DESCRIPTION, QStringLiteral(" renamed "));
    Click(IDC_UPDATE_MESSAGE);
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Updated Successfully")});
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S1F1W", "S9F0"}));
    EXPECT_EQ(Root()->FirstChild()->NextSibling()->Description(), "renamed");
    EXPECT_EQ(Root()->FirstChild()->NextSibling()->FirstChild(), item);
    EXPECT_EQ(first->Label(), "S1F1W");
    EXPECT_TRUE(Commands().Doc().IsModified());
}

TEST_F(MessageCommandsTest, UpdateAndDeleteWithoutASelectionSayNoMessageSelected) {
    FormatNode* message = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    AddItem(BINARY);
    ClickNode(message->FirstChild());
    Click(IDC_DELETE_ITEM);
    ASSERT_EQ(Commands().CurrentNode(), nullptr);
    Commands().Doc().MarkSaved();
    Click(IDC_UPDATE_MESSAGE);
    Click(IDC_DELETE_MESSAGE);
    EXPECT_EQ(prompts.TakeMessages(),
              QStringList({QStringLiteral("No message selected."), QStringLiteral("No message selected.")}));
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(Commands().Doc().IsModified());
}

TEST_F(MessageCommandsTest, DeleteAsksAndRemovesTheMessageWithItsItems) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    FormatNode* second = CreateMessage(QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("doomed"));
    AddItem(LIST);
    ClickNode(second->FirstChild());
    AddItem(BOOLEAN);
    ClickNode(second->FirstChild()->FirstChild());
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("kept"));
    Commands().Doc().MarkSaved();

    prompts.answers = {false};
    Click(IDC_DELETE_MESSAGE);
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].caption, QStringLiteral("Delete Message"));
    EXPECT_EQ(prompts.questions[0].text, QStringLiteral("Are you sure ?"));
    EXPECT_EQ(prompts.questions[0].detail, QStringLiteral("S1F2 (doomed)"));
    EXPECT_EQ(Root()->Count(), 2);
    EXPECT_FALSE(Commands().Doc().IsModified());

    prompts.answers = {true};
    Click(IDC_DELETE_MESSAGE);
    EXPECT_EQ(MessageLabels(), std::vector<std::string>{"S1F1W"});
    EXPECT_EQ(Commands().CurrentNode(), nullptr);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("1"));
    EXPECT_TRUE(Text(IDC_STREAM).isEmpty());
    EXPECT_TRUE(Text(IDC_FUNCTION).isEmpty());
    EXPECT_TRUE(Text(IDC_MESSAGE_DESCRIPTION).isEmpty());
    EXPECT_TRUE(Text(IDC_ITEM_COUNT).isEmpty());
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION), QStringLiteral("kept"));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 0);
    EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 0);
    EXPECT_EQ(Formats()->currentIndex(), -1);
    EXPECT_TRUE(Commands().Doc().IsModified());
}

TEST_F(MessageCommandsTest, DeletingTheLastMessageDisablesThePanels) {
    FormatNode* only = CreateMessage(QStringLiteral("3"), QStringLiteral("1"));
    ASSERT_EQ(Commands().LastCreatedNode(), only);
    prompts.answers = {true};
    Click(IDC_DELETE_MESSAGE);
    EXPECT_EQ(Commands().LastCreatedNode(), nullptr);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("0"));
    for (int id : {IDC_UPDATE_MESSAGE, IDC_DELETE_MESSAGE, IDC_FORMAT, IDC_ITEM_COUNT, IDC_NOT_FIXED,
                   IDC_ITEM_DESCRIPTION, IDC_ADD_ITEM, IDC_UPDATE_ITEM, IDC_DELETE_ITEM}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
}

TEST_F(MessageCommandsTest, TreeNotificationsReachTheWindowAfterTheViewsEvent) {
    FormatNode* first = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    FormatNode* second = CreateMessage(QStringLiteral("2"), QStringLiteral("2"));
    Commands().Doc().MarkSaved();

    emit Tree().TreeChanged();
    EXPECT_FALSE(Commands().Doc().IsModified()) << "handled before the view's event ended";
    Settle();
    EXPECT_TRUE(Commands().Doc().IsModified());

    emit Tree().MoveUpRequested(second);
    Settle();
    EXPECT_EQ(MessageLabels(), (std::vector<std::string>{"S2F2", "S1F1W"}));
    emit Tree().MoveUpRequested(second);
    Settle();
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Cannot move up.")});
    emit Tree().MoveDownRequested(first);
    Settle();
    EXPECT_EQ(prompts.TakeMessages(), QStringList{QStringLiteral("Cannot move down.")});
    EXPECT_EQ(Commands().CurrentNode(), first);

    // "Delete Node" removed a message: the counter follows, the message
    // panel empties.
    ClickNode(first);
    TreeSurgery::DeleteNode(Tree().Tree(), first, true);
    emit Tree().MessageDeleted();
    Settle();
    EXPECT_EQ(Commands().CurrentNode(), nullptr);
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("1"));
    EXPECT_TRUE(Text(IDC_STREAM).isEmpty());
    EXPECT_TRUE(Text(IDC_FUNCTION).isEmpty());
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 0);
}

TEST_F(MessageCommandsTest, NotificationsAboutDeletedNodesAreDropped) {
    FormatNode* first = CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    FormatNode* second = CreateMessage(QStringLiteral("1"), QStringLiteral("2"));
    AddItem(LIST);
    FormatNode* list = second->FirstChild();
    emit Tree().NodeSelected(list);
    emit Tree().MoveUpRequested(second);
    emit Tree().NodeSelected(first);
    prompts.answers = {true};
    Click(IDC_DELETE_MESSAGE); // deletes second, which the first two name
    EXPECT_EQ(Commands().CurrentNode(), first);
    EXPECT_EQ(MessageLabels(), std::vector<std::string>{"S1F1W"});
    EXPECT_TRUE(prompts.messages.isEmpty());
}

} // namespace
} // namespace tqf
