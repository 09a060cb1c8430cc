#include "EditorWindowTest.h"

#include "Decimal.h"
#include "ItemFormat.h"
#include "ModalHelper.h"
#include "SubItemDialog.h"
#include "TreeCommands.h"
#include "TreeSurgery.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tqf {
namespace {

constexpr int MEGABYTE = 1 << 20;
constexpr int RANDOM_TEXT_BYTES = 4096;
constexpr std::uint32_t RANDOM_SEED = 20240611U;
// The constants of a plain linear congruential generator, so that every
// platform pastes the same bytes.
constexpr std::uint32_t RANDOM_MULTIPLIER = 1664525U;
constexpr std::uint32_t RANDOM_INCREMENT = 1013904223U;
constexpr int RANDOM_BYTE_SHIFT = 24;
constexpr int COMBINING_MARKS = 1000;

// Bytes of every value, NUL and invalid UTF-8 sequences included, as another
// program may leave them on the clipboard; the platform hands them over as
// text decoded from the locale's encoding.
QString RandomBytesAsText(std::uint32_t seed, int size) {
    QByteArray bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * RANDOM_MULTIPLIER + RANDOM_INCREMENT;
        byte = static_cast<char>(state >> RANDOM_BYTE_SHIFT);
    }
    return QString::fromLocal8Bit(bytes);
}

// Code points that upset text handling: unpaired surrogates, a right-to-left
// override, a long run of combining marks, characters outside the basic
// plane, control characters and line breaks.
QString AwkwardText() {
    QString text;
    text += QChar(0xD800);
    text += QStringLiteral("x");
    text += QChar(0xDC00);
    text += QChar(0x202E);
    text += QStringLiteral("reversed");
    text += QString(COMBINING_MARKS, QChar(0x0301));
    text += QString::fromUtf8("\xF0\x9F\x98\x80\xE2\x80\x8D\xF0\x9F\x91\xA9");
    text += QStringLiteral("\t\r\n\x01\x7F end");
    return text;
}

std::string Bytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

// The "Add Sub Item" dialog, run for real, filled by the test from inside its
// modal loop; everything else as the scripted prompts answer it.
class SubItemDialogPrompts : public ScriptedPrompts {
public:
    std::function<void(SubItemDialog&)> fill;
    int runs = 0;

    std::optional<SubItemChoice> RunSubItemDialog(int listChildCount) override {
        ++runs;
        SubItemDialog dialog;
        dialog.listChildCount = listChildCount;
        OnNextModal([this](QWidget* shown) {
            auto* running = qobject_cast<SubItemDialog*>(shown);
            EXPECT_NE(running, nullptr);
            if (running == nullptr) {
                shown->close();
                return;
            }
            fill(*running);
        });
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.Choice();
    }
};

// The real main window, its texts pasted through the clipboard.
class PanelInputTest : public EditorWindowTest {
protected:
    void SetUp() override {
        // The window asks these prompts, which run the real sub-item dialog.
        dialog = std::make_unique<EditorDialog>(&subItemPrompts);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        Settle();
    }

    void TearDown() override {
        dialog.reset();
        EXPECT_TRUE(subItemPrompts.answers.empty()) << "scripted answers left unused";
    }

    // Pastes as a user does: the text on the clipboard, the field's whole
    // text selected, Ctrl+V.
    void PasteFromClipboard(QLineEdit* field, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        Settle();
    }
    void PasteFromClipboard(int id, const QString& text) { PasteFromClipboard(Edit(id), text); }

    // Chooses a row of a dropped format list with the mouse.
    static void ChooseRow(QComboBox* combo, int row) {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(index).center());
        Settle();
    }

    QStringList Messages() { return subItemPrompts.TakeMessages(); }

    FormatNode* NewMessage() {
        PasteFromClipboard(IDC_STREAM, QStringLiteral("1"));
        PasteFromClipboard(IDC_FUNCTION, QStringLiteral("1"));
        PasteFromClipboard(IDC_MESSAGE_DESCRIPTION, {});
        Click(IDC_CREATE_MESSAGE);
        EXPECT_TRUE(Messages().isEmpty());
        return Commands().CurrentNode();
    }

    static std::vector<QString> HostileTexts() {
        return {RandomBytesAsText(RANDOM_SEED, RANDOM_TEXT_BYTES), AwkwardText(), QString(MEGABYTE, QLatin1Char('W')),
                QString(3, QChar(0))};
    }

    SubItemDialogPrompts subItemPrompts;
};

TEST_F(PanelInputTest, NumberFieldsRefuseWhatIsNoNumberInRange) {
    const QString S = QString::fromLatin1(MSG_INVALID_STREAM);
    const QString F = QString::fromLatin1(MSG_INVALID_FUNCTION);
    FormatNode* message = NewMessage();
    ASSERT_NE(message, nullptr);
    ClickNode(message);
    const struct {
        QString stream;
        QString function;
        QString message;
    } cases[] = {
        {QString(MEGABYTE, QLatin1Char('9')), QStringLiteral("1"), S},
        {QStringLiteral("1"), QString(MEGABYTE, QLatin1Char('9')), F},
        {QStringLiteral("x") + RandomBytesAsText(RANDOM_SEED, RANDOM_TEXT_BYTES), QStringLiteral("1"), S},
        {QStringLiteral("1"), QStringLiteral("256") + AwkwardText(), F},
        // Digits of other scripts are no decimal digits.
        {QString::fromUtf8("\xEF\xBC\x91"), QStringLiteral("1"), S},
        {QString(QChar(0)) + QStringLiteral("5"), QStringLiteral("1"), S},
        {QStringLiteral("-4294967295"), QStringLiteral("1"), S},
        {QStringLiteral("1"), QStringLiteral("4294967296"), F},
    };
    for (const auto& c : cases) {
        PasteFromClipboard(IDC_STREAM, c.stream);
        PasteFromClipboard(IDC_FUNCTION, c.function);
        EXPECT_EQ(Text(IDC_STREAM).size(), c.stream.size()) << "the whole paste reaches the field";
        Click(IDC_CREATE_MESSAGE);
        EXPECT_EQ(Messages(), QStringList{c.message}) << c.message.toStdString();
        ClickNode(message);
        PasteFromClipboard(IDC_STREAM, c.stream);
        PasteFromClipboard(IDC_FUNCTION, c.function);
        Click(IDC_UPDATE_MESSAGE);
        EXPECT_EQ(Messages(), QStringList{c.message}) << c.message.toStdString();
    }
    EXPECT_EQ(Root()->Count(), 1);
    EXPECT_EQ(message->Label(), "S1F1W");
}

TEST_F(PanelInputTest, NumbersAfterWhiteSpaceOrBeforeOtherTextAreRead) {
    // White space of any length before the digits is skipped, and the digits
    // end at the first other character, however much follows.
    PasteFromClipboard(IDC_STREAM, QString(MEGABYTE, QLatin1Char(' ')) + QStringLiteral("\t\n5"));
    PasteFromClipboard(IDC_FUNCTION, QStringLiteral("+7") + RandomBytesAsText(RANDOM_SEED, RANDOM_TEXT_BYTES));
    Click(IDC_CREATE_MESSAGE);
    EXPECT_TRUE(Messages().isEmpty());
    ASSERT_NE(Commands().CurrentNode(), nullptr);
    // Pasting into the function field sets the reply flag by its parity too.
    EXPECT_EQ(Commands().CurrentNode()->Label(), "S5F7W");
}

TEST_F(PanelInputTest, DescriptionsTakeAnyPastedTextWhole) {
    FormatNode* message = NewMessage();
    ASSERT_NE(message, nullptr);
    for (const QString& text : HostileTexts()) {
        ClickNode(message);
        PasteFromClipboard(IDC_MESSAGE_DESCRIPTION, text);
        EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION).size(), text.size()) << "nothing of the paste is cut off";
        Click(IDC_UPDATE_MESSAGE);
        EXPECT_EQ(Messages(), QStringList{QString::fromLatin1(MSG_UPDATED)});
        EXPECT_EQ(message->Description(), std::string(TrimSpace(Bytes(Text(IDC_MESSAGE_DESCRIPTION)))));

        ChooseFormat(BINARY);
        PasteFromClipboard(IDC_ITEM_DESCRIPTION, text);
        Click(IDC_ADD_ITEM);
        EXPECT_TRUE(Messages().isEmpty());
        FormatNode* item = message->FirstChild();
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->Description() == Bytes(text)) << "the item description is whole and not trimmed";
        EXPECT_TRUE(item->Label() == "<B  " + Bytes(text) + ">");

        // Shown in the panel, the item gives back the same text.
        ClickNode(item);
        EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION).size(), QString::fromLocal8Bit(Bytes(text)).size());
        Click(IDC_DELETE_ITEM);
        ASSERT_EQ(message->FirstChild(), nullptr);
    }
}

TEST_F(PanelInputTest, ItemCountsFromPastedText) {
    FormatNode* message = NewMessage();
    ASSERT_NE(message, nullptr);
    ClickNode(message);
    AddItem(LIST);
    ASSERT_TRUE(Messages().isEmpty());
    FormatNode* list = message->FirstChild();
    const QString A = QString::fromLatin1(MSG_ASCII_ZERO_LENGTH);
    const struct {
        int format;
        QString count;
        QStringList messages;
        const char* label; // of the added item; none when refused
    } cases[] = {
        {ASCII, QStringLiteral("0"), {A}, nullptr},
        {ASCII, QString(), {A}, nullptr},
        // Only "0" and an empty field are zero length; other texts that read
        // as 0 pass, as they always have.
        {ASCII, QStringLiteral("00"), {}, "<A>"},
        {ASCII, QStringLiteral("x") + AwkwardText(), {}, "<A>"},
        // Counts beyond 32 bits keep the largest count there is.
        {UINT4, QString(MEGABYTE, QLatin1Char('7')), {}, "<U4[2147483647]>"},
        {UINT4, QStringLiteral(" 12 and more"), {}, "<U4[12]>"},
    };
    for (const auto& c : cases) {
        ClickNode(list);
        ChooseFormat(c.format);
        PasteFromClipboard(IDC_ITEM_COUNT, c.count);
        const int before = list->Count();
        Click(IDC_ADD_ITEM);
        EXPECT_EQ(Messages(), c.messages) << c.label;
        if (c.label == nullptr) {
            EXPECT_EQ(list->Count(), before);
            continue;
        }
        ASSERT_EQ(list->Count(), before + 1);
        const FormatNode* added = list->FirstChild();
        while (added->NextSibling() != nullptr) {
            added = added->NextSibling();
        }
        EXPECT_EQ(added->Label(), c.label);
    }

    // Update checks the same pasted counts.
    FormatNode* ascii = list->FirstChild();
    ClickNode(ascii);
    ChooseFormat(ASCII);
    PasteFromClipboard(IDC_ITEM_COUNT, QString());
    Click(IDC_UPDATE_ITEM);
    EXPECT_EQ(Messages(), QStringList{A});
    EXPECT_EQ(ascii->Label(), "<A>");
}

// Texts longer than a line edit keeps by default must not be cut off when a
// node is shown in the panels and then updated.
TEST_F(PanelInputTest, LongDescriptionsSurviveShowingAndUpdating) {
    const std::string longText(MEGABYTE, 'D');
    FormatNode* message = NewMessage();
    ASSERT_NE(message, nullptr);
    TreeSurgery::SetDescription(Tree().Tree(), message, longText);
    ClickNode(message);
    ChooseFormat(ASCII);
    PasteFromClipboard(IDC_ITEM_DESCRIPTION, QString::fromStdString(longText));
    Click(IDC_ADD_ITEM);
    FormatNode* item = message->FirstChild();
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->Description().size(), longText.size());

    QElapsedTimer timer;
    timer.start();
    ClickNode(message);
    EXPECT_EQ(Text(IDC_MESSAGE_DESCRIPTION).size(), MEGABYTE);
    PasteFromClipboard(IDC_STREAM, QStringLiteral("2"));
    Click(IDC_UPDATE_MESSAGE);
    EXPECT_EQ(Messages(), QStringList{QString::fromLatin1(MSG_UPDATED)});
    EXPECT_EQ(message->Label(), "S2F1W");
    EXPECT_EQ(message->Description(), longText);

    ClickNode(item);
    EXPECT_EQ(Text(IDC_ITEM_DESCRIPTION).size(), MEGABYTE);
    ChooseFormat(ASCII);
    PasteFromClipboard(IDC_ITEM_COUNT, QStringLiteral("3"));
    Click(IDC_UPDATE_ITEM);
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(item->Label(), "<A[3]  " + longText + ">");
    EXPECT_EQ(item->Description(), longText);
    std::cout << "[          ] showing and updating megabyte descriptions: " << timer.elapsed() << " ms\n";
}

TEST_F(PanelInputTest, SubItemDialogTakesAnyPastedText) {
    FormatNode* message = NewMessage();
    ASSERT_NE(message, nullptr);
    ClickNode(message);
    AddItem(LIST);
    FormatNode* list = message->FirstChild();
    ASSERT_NE(list, nullptr);

    struct Case {
        QString count;
        QString description;
        std::string label;
    };
    const std::vector<Case> cases = {
        // The count field takes digits only, so a paste with other text is refused whole.
        {QStringLiteral("12x") + AwkwardText(), RandomBytesAsText(RANDOM_SEED, RANDOM_TEXT_BYTES), {}},
        {QString(MEGABYTE, QLatin1Char('8')), QString(MEGABYTE, QLatin1Char('d')), {}},
    };
    for (const Case& c : cases) {
        QString countShown;
        QString descriptionShown;
        subItemPrompts.fill = [&](SubItemDialog& shown) {
            auto* combo = shown.findChild<QComboBox*>(QStringLiteral("formatCombo"));
            auto* count = shown.findChild<QLineEdit*>(QStringLiteral("countEdit"));
            auto* description = shown.findChild<QLineEdit*>(QStringLiteral("descriptionEdit"));
            auto* add = shown.findChild<QWidget*>(QStringLiteral("addButton"));
            ASSERT_TRUE(combo && count && description && add);
            ChooseRow(combo, UINT2);
            PasteFromClipboard(count, c.count);
            PasteFromClipboard(description, c.description);
            countShown = count->text();
            descriptionShown = description->text();
            QTest::mouseClick(add, Qt::LeftButton, Qt::NoModifier, add->rect().center());
        };
        const NodeRect rect = Tree().DrawnRect(list);
        Tree().SelectForContextMenu(QPoint(rect.left + 1, rect.top + 1));
        ASSERT_EQ(Tree().SelectedNode(), list);
        Tree().RunCommand(ID_TREE_ADD_SUB_ITEM);
        Settle();
        EXPECT_TRUE(Messages().isEmpty());
        const FormatNode* added = list->FirstChild();
        ASSERT_NE(added, nullptr);
        while (added->NextSibling() != nullptr) {
            added = added->NextSibling();
        }
        const bool countTaken = countShown == c.count;
        EXPECT_EQ(descriptionShown.size(), c.description.size()) << "nothing of the paste is cut off";
        EXPECT_EQ(added->Description(), Bytes(descriptionShown));
        const std::string count = countTaken ? "[2147483647]" : "";
        EXPECT_EQ(added->Label(), "<U2" + count + "  " + Bytes(descriptionShown) + ">");
        EXPECT_EQ(countTaken, c.count.size() == MEGABYTE) << "only the digits were taken";
        EXPECT_TRUE(Commands().Doc().IsModified());
    }
    EXPECT_EQ(subItemPrompts.runs, 2);
}

} // namespace
} // namespace tqf
