#include "SkinCheckBox.h"
#include "SkinCheckBoxAccessible.h"
#include "SkinTestSupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QRegion>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace tqf {
namespace {

using namespace test;

// What the box looked like to a receiver of clicked().
struct Click {
    int check;
    bool pressed;
};

// Collects the regions of the paint events a widget receives.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

// A shown, active window with a check box at (10, 10), 100 x 20.
class SkinCheckBoxInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(200, 60);
        box = new SkinCheckBox(QStringLiteral("Not Fixed"), &window);
        Prepare(*box, 100, 20);
        box->move(10, 10);
        other = new QWidget(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        other->setGeometry(150, 10, 20, 20);
        QObject::connect(box, &QAbstractButton::clicked, box, [this] {
            clicks.push_back({box->GetCheck(), box->IsPressed()});
        });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus();
    }

    void SendMouse(QEvent::Type type, QPoint local, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, local, box->mapTo(&window, local), box->mapToGlobal(local), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(box, &event);
    }

    void SendKey(QEvent::Type type, int key, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(box, &event);
    }

    QWidget window;
    SkinCheckBox* box = nullptr;
    QWidget* other = nullptr;
    std::vector<Click> clicks;
};

TEST_F(SkinCheckBoxInputTest, ClickInsideTogglesBeforeNotifyingAndReleasesAfter) {
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(box->IsPressed());
    EXPECT_TRUE(box->hasFocus());
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(box->GetCheck(), 0);

    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
    ASSERT_EQ(clicks.size(), 1U);
    EXPECT_EQ(clicks[0].check, 1);
    EXPECT_TRUE(clicks[0].pressed);
    EXPECT_FALSE(box->IsPressed());
    EXPECT_EQ(box->GetCheck(), 1);

    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    ASSERT_EQ(clicks.size(), 2U);
    EXPECT_EQ(clicks[1].check, 0);
    EXPECT_EQ(box->GetCheck(), 0);
}

TEST_F(SkinCheckBoxInputTest, LeavingWhileHeldReleasesAndReenteringHoldsAgain) {
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseMove(box, QPoint(120, 5));
    EXPECT_FALSE(box->IsPressed());
    QTest::mouseMove(box, QPoint(99, 19));
    EXPECT_TRUE(box->IsPressed());
    QTest::mouseMove(box, QPoint(100, 19));
    EXPECT_FALSE(box->IsPressed());
    QTest::mouseMove(box, QPoint(50, 10));
    EXPECT_TRUE(box->IsPressed());
    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    ASSERT_EQ(clicks.size(), 1U);
    EXPECT_EQ(box->GetCheck(), 1);
}

TEST_F(SkinCheckBoxInputTest, ReleaseOutsideChangesNothing) {
    box->SetCheck(1);
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseMove(box, QPoint(5, -5));
    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, -5));
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(box->GetCheck(), 1);
    EXPECT_FALSE(box->IsPressed());
    // The capture ended with the release: later moves do not hold the box.
    SendMouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
    EXPECT_FALSE(box->IsPressed());
}

TEST_F(SkinCheckBoxInputTest, MovesWithoutCaptureAreIgnored) {
    SendMouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
    EXPECT_FALSE(box->IsPressed());
    SendKey(QEvent::KeyPress, Qt::Key_Space);
    ASSERT_TRUE(box->IsPressed());
    // Holding by the keyboard is not a capture either.
    SendMouse(QEvent::MouseMove, QPoint(150, 5), Qt::NoButton);
    EXPECT_TRUE(box->IsPressed());
}

TEST_F(SkinCheckBoxInputTest, ReleaseWithoutAPressStillToggles) {
    SendMouse(QEvent::MouseButtonRelease, QPoint(5, 5));
    ASSERT_EQ(clicks.size(), 1U);
    EXPECT_EQ(box->GetCheck(), 1);
    EXPECT_FALSE(box->IsPressed());
}

TEST_F(SkinCheckBoxInputTest, OtherMouseButtonsDoNothing) {
    SendMouse(QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton);
    EXPECT_FALSE(box->IsPressed());
    SendMouse(QEvent::MouseButtonRelease, QPoint(5, 5), Qt::RightButton);
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(box->GetCheck(), 0);
}

TEST_F(SkinCheckBoxInputTest, SpaceHoldsAndItsReleaseToggles) {
    box->setFocus();
    QTest::keyPress(box, Qt::Key_Space);
    EXPECT_TRUE(box->IsPressed());
    EXPECT_TRUE(clicks.empty());
    QTest::keyRelease(box, Qt::Key_Space);
    ASSERT_EQ(clicks.size(), 1U);
    EXPECT_EQ(clicks[0].check, 1);
    EXPECT_FALSE(clicks[0].pressed);
    EXPECT_FALSE(box->IsPressed());
}

TEST_F(SkinCheckBoxInputTest, HeldSpaceRepaintsOnceAndTogglesOnceOnRelease) {
    box->setFocus();
    QApplication::processEvents();
    PaintRecorder recorder;
    box->installEventFilter(&recorder);
    SendKey(QEvent::KeyPress, Qt::Key_Space);
    QApplication::processEvents();
    const int paintsAfterFirst = recorder.paints;
    EXPECT_GE(paintsAfterFirst, 1);
    // Qt reports a held key as repeated release and press pairs.
    for (int i = 0; i < 3; ++i) {
        SendKey(QEvent::KeyRelease, Qt::Key_Space, true);
        SendKey(QEvent::KeyPress, Qt::Key_Space, true);
        QApplication::processEvents();
    }
    EXPECT_EQ(recorder.paints, paintsAfterFirst);
    EXPECT_TRUE(box->IsPressed());
    EXPECT_TRUE(clicks.empty());
    SendKey(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(clicks.size(), 1U);
    EXPECT_EQ(box->GetCheck(), 1);
}

TEST_F(SkinCheckBoxInputTest, SpaceReleaseWithoutPressToggles) {
    SendKey(QEvent::KeyRelease, Qt::Key_Space);
    ASSERT_EQ(clicks.size(), 1U);
    EXPECT_EQ(box->GetCheck(), 1);
}

TEST_F(SkinCheckBoxInputTest, OtherKeysPassToTheDialog) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(box, &press);
    EXPECT_FALSE(press.isAccepted());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &release);
    EXPECT_FALSE(release.isAccepted());
    EXPECT_FALSE(box->IsPressed());
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(box->GetCheck(), 0);
}

TEST_F(SkinCheckBoxInputTest, SetCheckKeepsHeldStateAndNeverNotifies) {
    SendMouse(QEvent::MouseButtonPress, QPoint(5, 5));
    box->SetCheck(1);
    EXPECT_EQ(box->GetCheck(), 1);
    EXPECT_TRUE(box->IsPressed());
    box->SetCheck(0);
    EXPECT_EQ(box->GetCheck(), 0);
    // Any non-zero state counts as checked, so a toggle stays within 0 and 1.
    box->SetCheck(2);
    EXPECT_EQ(box->GetCheck(), 1);
    EXPECT_TRUE(clicks.empty());
}

TEST_F(SkinCheckBoxInputTest, RepaintsOnlyTheSquareAndNothingWhenUnchanged) {
    QApplication::processEvents();
    PaintRecorder recorder;
    box->installEventFilter(&recorder);
    box->SetCheck(1);
    QApplication::processEvents();
    EXPECT_EQ(recorder.painted, QRegion(SkinButton::CheckSquareRect(box->rect())));

    recorder.painted = QRegion();
    recorder.paints = 0;
    box->SetCheck(1);
    QApplication::processEvents();
    EXPECT_EQ(recorder.paints, 0);
}

TEST_F(SkinCheckBoxInputTest, DoubleClickTogglesTwice) {
    SendMouse(QEvent::MouseButtonPress, QPoint(5, 5));
    SendMouse(QEvent::MouseButtonRelease, QPoint(5, 5));
    SendMouse(QEvent::MouseButtonDblClick, QPoint(5, 5));
    EXPECT_TRUE(box->IsPressed());
    SendMouse(QEvent::MouseButtonRelease, QPoint(5, 5));
    ASSERT_EQ(clicks.size(), 2U);
    EXPECT_EQ(clicks[0].check, 1);
    EXPECT_EQ(clicks[1].check, 0);
    EXPECT_EQ(box->GetCheck(), 0);
}

TEST_F(SkinCheckBoxInputTest, MnemonicTogglesLikeAClick) {
    box->setText(QStringLiteral("&Reply Required"));
    QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
    ASSERT_EQ(clicks.size(), 1U);
    EXPECT_EQ(clicks[0].check, 1);
    EXPECT_EQ(box->GetCheck(), 1);
    EXPECT_FALSE(box->IsPressed());
    EXPECT_TRUE(box->hasFocus());
}

// A reader's "grab focus" focuses an enabled box; a disabled one offers nothing.
TEST_F(SkinCheckBoxInputTest, AReaderFocusesAnEnabledBoxAndCannotWorkADisabledOne) {
    SkinCheckBoxAccessible::Install();
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(box)->actionInterface();
    actions->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->GetCheck(), 0);
    box->setEnabled(false);
    EXPECT_TRUE(actions->actionNames().isEmpty());
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(box->GetCheck(), 0);
}

TEST_F(SkinCheckBoxInputTest, ReceiverMayDeleteTheBox) {
    QPointer<SkinCheckBox> watched(box);
    QObject::connect(box, &QAbstractButton::clicked, &window, [this] { delete box; });
    SendMouse(QEvent::MouseButtonPress, QPoint(5, 5));
    SendMouse(QEvent::MouseButtonRelease, QPoint(5, 5));
    EXPECT_TRUE(watched.isNull());
}

TEST_F(SkinCheckBoxInputTest, PaintShowsTheHeldSquare) {
    SendMouse(QEvent::MouseButtonPress, QPoint(5, 5));
    const QImage shown = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(100, 20));
    // Pressed: the inside of the square is shaded and the caption has the focus dots.
    EXPECT_EQ(shown.pixel(5, 8), FACE_SHADOW);
    EXPECT_EQ(shown, box->Render(false, false, true));
}

} // namespace
} // namespace tqf
