#include "EditorWindowTest.h"

#include "AboutDialog.h"
#include "AppIcon.h"
#include "Color.h"
#include "ModalHelper.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRegularExpression>

#include <set>

namespace tqf {
namespace {

using EditorDialogTest = EditorWindowTest;

TEST_F(EditorDialogTest, WindowHasTheFixedSizeOfItsDialogUnits) {
    // 379 x 311 units with Tahoma 9's base units of 7 x 14 pixels.
    EXPECT_EQ(dialog->size(), QSize(663, 544));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
}

TEST_F(EditorDialogTest, ControlsSitWhereTheLayoutPutsThem) {
    EXPECT_EQ(dialog->Control(IDC_TREE)->geometry(), QRect(12, 72, 401, 432));
    EXPECT_EQ(dialog->Control(IDC_CREATE_MESSAGE)->geometry(), QRect(432, 200, 67, 33));
    EXPECT_EQ(dialog->Control(IDC_STREAM)->geometry(), QRect(487, 93, 24, 21));
    EXPECT_EQ(dialog->Control(IDC_MOVE_UP)->geometry(), QRect(436, 469, 87, 26));
    // The closed format list is as high as an edit field; its rows drop below.
    EXPECT_EQ(dialog->Control(IDC_FORMAT)->geometry(), QRect(511, 273, 123, 21));
    // The one-unit gap between the file buttons stays a gap.
    EXPECT_EQ(dialog->Control(IDC_NEW)->geometry().right() + 2, dialog->Control(IDC_OPEN)->geometry().left());
}

TEST_F(EditorDialogTest, ControlsHaveTheirKindsAndCaptions) {
    const struct {
        int id;
        const char* caption;
    } buttons[] = {
        {IDC_CREATE_MESSAGE, "Create"},
        {IDC_UPDATE_MESSAGE, "Update"},
        {IDC_DELETE_MESSAGE, "Delete"},
        {IDC_ADD_ITEM, "Add"},
        {IDC_UPDATE_ITEM, "Update"},
        {IDC_DELETE_ITEM, "Delete"},
        {IDC_MOVE_UP, "UP \u25B2"},
        {IDC_MOVE_DOWN, "\u25BC  DOWN"},
        {IDC_NEW, "New"},
        {IDC_OPEN, "Open"},
        {IDC_SAVE, "Save"},
        {IDC_SAVE_AS, "Save As"},
        {IDC_EXIT, "Exit"},
    };
    for (const auto& button : buttons) {
        auto* control = Control<SkinButton>(button.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->text(), QString::fromUtf8(button.caption)) << button.id;
        EXPECT_EQ(control->Kind(), PUSH_BUTTON) << button.id;
    }
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->text(), QStringLiteral("Reply Required"));
    EXPECT_EQ(Check(IDC_NOT_FIXED)->text(), QStringLiteral("Not Fixed"));
    for (int id : {IDC_STREAM, IDC_FUNCTION, IDC_MESSAGE_DESCRIPTION, IDC_ITEM_COUNT, IDC_ITEM_DESCRIPTION}) {
        EXPECT_NE(Edit(id), nullptr);
        EXPECT_EQ(dialog->Control(id)->objectName(), QString::number(id));
    }
    EXPECT_NE(Control<QLabel>(IDC_MESSAGE_COUNT), nullptr);
    EXPECT_NE(Control<QLabel>(IDC_PATH), nullptr);
    EXPECT_EQ(dialog->Control(IDC_TREE), &Tree());
    EXPECT_EQ(Edit(IDC_ITEM_COUNT)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(EditorDialogTest, FormatListHoldsTheEighteenRowsWithNoneSelected) {
    QComboBox* combo = Formats();
    ASSERT_EQ(combo->count(), 18);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("LIST"));
    EXPECT_EQ(combo->itemText(1), QString(48, QLatin1Char('-')));
    EXPECT_EQ(combo->itemText(4), QStringLiteral("ASCII"));
    EXPECT_EQ(combo->itemText(5), QStringLiteral("JIS 8 BYTE"));
    EXPECT_EQ(combo->itemText(15), QStringLiteral("FLOAT 8 BYTE"));
    EXPECT_EQ(combo->itemText(16), QString(48, QLatin1Char('-')));
    EXPECT_EQ(combo->itemText(17), QStringLiteral("VARIANT"));
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_FALSE(combo->isEditable());
}

TEST_F(EditorDialogTest, StartsEmptyWithOnlyTheMessageEntryEnabled) {
    EXPECT_EQ(Control<QLabel>(IDC_MESSAGE_COUNT)->text(), QStringLiteral("0"));
    for (int id : {IDC_UPDATE_MESSAGE, IDC_DELETE_MESSAGE, IDC_FORMAT, IDC_ITEM_COUNT, IDC_NOT_FIXED,
                   IDC_ITEM_DESCRIPTION, IDC_ADD_ITEM, IDC_UPDATE_ITEM, IDC_DELETE_ITEM}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    for (int id : {IDC_CREATE_MESSAGE, IDC_STREAM, IDC_FUNCTION, IDC_REPLY_REQUIRED, IDC_MESSAGE_DESCRIPTION, IDC_NEW,
                   IDC_OPEN, IDC_SAVE, IDC_SAVE_AS, IDC_EXIT, IDC_MOVE_UP, IDC_MOVE_DOWN, IDC_TREE}) {
        EXPECT_TRUE(Enabled(id)) << id;
    }
    EXPECT_EQ(dialog->focusWidget(), dialog->Control(IDC_CREATE_MESSAGE));
    EXPECT_EQ(Check(IDC_REPLY_REQUIRED)->GetCheck(), 0);
    EXPECT_EQ(Check(IDC_NOT_FIXED)->GetCheck(), 0);
    EXPECT_TRUE(Text(IDC_STREAM).isEmpty());
    EXPECT_EQ(Tree().TextColor(), Rgb(0, 64, 128));
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_FALSE(Commands().Doc().IsModified());
    EXPECT_EQ(Commands().CurrentNode(), nullptr);
    EXPECT_EQ(Commands().LastCreatedNode(), nullptr);
}

TEST_F(EditorDialogTest, TabOrderFollowsTheLayout) {
    const std::vector<int> expected = {
        IDC_CREATE_MESSAGE,
        IDC_STREAM,
        IDC_FUNCTION,
        IDC_REPLY_REQUIRED,
        IDC_MESSAGE_DESCRIPTION,
        IDC_FORMAT,
        IDC_UPDATE_ITEM,
        IDC_OPEN,
        IDC_SAVE,
        IDC_SAVE_AS,
        IDC_EXIT,
        IDC_NEW,
        IDC_UPDATE_MESSAGE,
        IDC_ITEM_COUNT,
        IDC_NOT_FIXED,
        IDC_ITEM_DESCRIPTION,
        IDC_ADD_ITEM,
        IDC_DELETE_MESSAGE,
        IDC_DELETE_ITEM,
        IDC_MOVE_UP,
        IDC_MOVE_DOWN,
        IDC_TREE,
    };
    std::vector<int> order;
    QWidget* widget = dialog->Control(IDC_CREATE_MESSAGE);
    do {
        if (widget->focusPolicy() & Qt::TabFocus && widget->window() == dialog.get() &&
            !widget->objectName().isEmpty()) {
            bool isNumber = false;
            const int id = widget->objectName().toInt(&isNumber);
            if (isNumber) {
                order.push_back(id);
            }
        }
        widget = widget->nextInFocusChain();
    } while (widget != dialog->Control(IDC_CREATE_MESSAGE));
    EXPECT_EQ(order, expected);
}

TEST_F(EditorDialogTest, TitleNamesTheProductAndItsBuildDateAndTheWindowHasAnIcon) {
    EXPECT_TRUE(dialog->windowTitle().startsWith(QStringLiteral("TQF Editor")));
    EXPECT_TRUE(dialog->windowTitle().contains(QRegularExpression(QStringLiteral("\\d{4}-\\d{2}-\\d{2}$"))));
    EXPECT_FALSE(dialog->windowIcon().isNull());

    const QImage icon = AppIcon::Image();
    ASSERT_EQ(icon.size(), QSize(32, 32));
    std::set<QRgb> colours;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            colours.insert(icon.pixel(x, y));
        }
    }
    EXPECT_LE(colours.size(), 16U);
    EXPECT_GE(colours.size(), 4U);
}

TEST_F(EditorDialogTest, EnterAndEscapeDoNothingWhereverTheFocusIs) {
    Type(IDC_STREAM, QStringLiteral("1"));
    Type(IDC_FUNCTION, QStringLiteral("1"));
    for (int id : {IDC_STREAM, IDC_FUNCTION, IDC_CREATE_MESSAGE, IDC_MESSAGE_DESCRIPTION}) {
        QWidget* control = dialog->Control(id);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter);
        QTest::keyClick(control, Qt::Key_Escape);
        Settle();
    }
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Root()->Count(), 0);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("1"));
}

TEST_F(EditorDialogTest, NumberFieldsTakeOnlyDigitsFromTheKeyboard) {
    Type(IDC_STREAM, QStringLiteral("1a2 -3"));
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral("123"));
    Paste(IDC_STREAM, QStringLiteral(" 7x"));
    EXPECT_EQ(Text(IDC_STREAM), QStringLiteral(" 7x"));
}

void ExpectAboutBoxAndClose(QWidget* modal, bool* shown) {
    auto* about = qobject_cast<AboutDialog*>(modal);
    ASSERT_NE(about, nullptr);
    *shown = true;
    EXPECT_EQ(about->windowTitle(), QString::fromUtf8("TQF 정보"));
    auto* ok = about->findChild<QPushButton*>(QStringLiteral("1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QString::fromUtf8("확인"));
    EXPECT_TRUE(AboutDialog::ProductLine().contains(QStringLiteral("TQF Editor")));
    ok->click();
}

TEST_F(EditorDialogTest, F1OpensTheAboutBox) {
    bool shown = false;
    OnNextModal([&](QWidget* modal) { ExpectAboutBoxAndClose(modal, &shown); });
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    Settle();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(EditorDialogTest, ContextMenuOnTheFreeAreaOffersTheAboutBox) {
    QString entry;
    bool shown = false;
    OnNextModal(
        [&](QWidget* popup) {
            auto* menu = qobject_cast<QMenu*>(popup);
            ASSERT_NE(menu, nullptr);
            QStringList texts;
            for (const QAction* action : menu->actions()) {
                texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            const QString expected =
                QStringLiteral("New|Open...|Open Recent|Save|Save As...|Exit|-|Undo|Redo|-|"
                               "Find...|-|Import SML...|Add SML Messages...|Export SML...|Check SML "
                               "Messages...|-|Rules...|Data Item Dictionary...|-|TQF 정보(&A)...");
            EXPECT_EQ(texts, expected.split(QLatin1Char('|')));
            entry = menu->actions().back()->text();
            OnNextModal([&](QWidget* modal) { ExpectAboutBoxAndClose(modal, &shown); });
            menu->actions().back()->trigger();
            menu->close();
        },
        true);
    // Left of the file frame: the window's own background.
    const QPoint free(4, 4);
    ASSERT_EQ(dialog->childAt(free), nullptr);
    QContextMenuEvent event(QContextMenuEvent::Mouse, free, dialog->mapToGlobal(free));
    QCoreApplication::sendEvent(dialog.get(), &event);
    Settle();
    EXPECT_EQ(entry, QString::fromUtf8("TQF 정보(&A)..."));
    EXPECT_TRUE(shown);
}

TEST_F(EditorDialogTest, ClosingTheWindowWithUnsavedChangesAsksFirst) {
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    ASSERT_TRUE(Commands().Doc().IsModified());
    prompts.answers = {true};
    dialog->close();
    Settle();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(prompts.questions.size(), 1U);
    EXPECT_EQ(prompts.questions[0].text, QStringLiteral("Not saved. Are you sure to close without saving ?"));
}

TEST(EditorStartUpTest, WithoutADisplayItSaysHowToRunItAndFails) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TQF_EDITOR_EXECUTABLE), {});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(process.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(output.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("no display")));
    // The advice repeats the command as it was run, not a path of the build.
    EXPECT_TRUE(output.trimmed().endsWith(QStringLiteral("xvfb-run -a " TQF_EDITOR_EXECUTABLE)))
        << output.toStdString();
}

} // namespace
} // namespace tqf
