#include "SkinButton.h"
#include "SkinTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace tqf {
namespace {

using namespace test;

class SkinButtonInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(200, 60);
        button = new SkinButton(QStringLiteral("Save"), &window);
        Prepare(*button, 60, 24);
        button->move(10, 10);
        QObject::connect(button, &QAbstractButton::clicked, button, [this] { ++clicks; });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void SendMouse(QEvent::Type type, QPoint local) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, button->mapTo(&window, local), button->mapToGlobal(local), Qt::LeftButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }

    QWidget window;
    SkinButton* button = nullptr;
    int clicks = 0;
};

TEST_F(SkinButtonInputTest, ClickNotifiesOnceAndHeldButtonPaintsSunken) {
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(30, 12));
    EXPECT_TRUE(button->isDown());
    const QImage held = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(held.pixel(1, 5), SHADOW_DARK);
    EXPECT_EQ(held.pixel(30, 20), FACE_SHADOW);
    EXPECT_EQ(clicks, 0);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(30, 12));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->isDown());
    const QImage released = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(released.pixel(2, 5), HIGHLIGHT);
}

TEST_F(SkinButtonInputTest, DoubleClickGivesTwoClicks) {
    SendMouse(QEvent::MouseButtonPress, QPoint(30, 12));
    SendMouse(QEvent::MouseButtonRelease, QPoint(30, 12));
    SendMouse(QEvent::MouseButtonDblClick, QPoint(30, 12));
    EXPECT_TRUE(button->isDown());
    SendMouse(QEvent::MouseButtonRelease, QPoint(30, 12));
    EXPECT_EQ(clicks, 2);
}

TEST_F(SkinButtonInputTest, DisabledButtonPaintsFlat) {
    button->setEnabled(false);
    const QImage image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image, button->Render(false, true, false));
    EXPECT_EQ(image.pixel(10, 0), SHADOW);
}

} // namespace
} // namespace tqf
