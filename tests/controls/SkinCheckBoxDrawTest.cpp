#include "SkinCheckBox.h"
#include "SkinTestSupport.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <vector>

namespace tqf {
namespace {

using namespace test;

struct Expected {
    int x;
    int y;
    QRgb colour;
};

// Checks pixels given relative to the check square's top.
void ExpectPixels(const QImage& image, int top, const std::vector<Expected>& pixels) {
    for (const Expected& pixel : pixels) {
        const int y = top + pixel.y;
        EXPECT_EQ(image.pixel(pixel.x, y), pixel.colour)
            << "at (" << pixel.x << ", top + " << pixel.y << "): got " << std::hex << image.pixel(pixel.x, y)
            << ", want " << pixel.colour;
    }
}

// Holds the box down the way the mouse does.
void Hold(SkinCheckBox& box) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&box, &press);
    ASSERT_TRUE(box.IsPressed());
}

class SkinCheckBoxDrawTest : public ::testing::Test {
protected:
    SkinCheckBoxDrawTest() { Prepare(box, 80, 20); }
    SkinCheckBox box;
    // The square's top in a 20-pixel-high box: (20 - 12) / 2 - 1.
    static constexpr int TOP = 3;
};

TEST(SkinCheckBoxGeometryTest, CheckSquareSitsOnePixelAboveCentre) {
    EXPECT_EQ(SkinButton::CheckSquareRect(QRect(0, 0, 80, 20)), QRect(0, 3, 14, 12));
    EXPECT_EQ(SkinButton::CheckSquareRect(QRect(0, 0, 80, 12)), QRect(0, -1, 14, 12));
    EXPECT_EQ(SkinButton::CheckSquareRect(QRect(0, 0, 80, 13)), QRect(0, -1, 14, 12));
    EXPECT_EQ(SkinButton::CheckSquareRect(QRect(0, 0, 80, 14)), QRect(0, 0, 14, 12));
    EXPECT_EQ(SkinButton::CheckSquareRect(QRect(0, 0, 80, 11)), QRect(0, -2, 14, 12));
}

TEST_F(SkinCheckBoxDrawTest, UncheckedReleasedSquare) {
    EXPECT_EQ(box.Kind(), CHECK_BOX);
    const QImage image = box.Render(false, false, false);
    // The frame leaves out the square's two rightmost columns; the bevel's two
    // far corners are face-coloured.
    ExpectPixels(image, TOP,
                 {{0, 0, FRAME},
                  {11, 0, FRAME},
                  {0, 11, FRAME},
                  {11, 11, FRAME},
                  {12, 5, FACE},
                  {13, 0, FACE},
                  {1, 1, HIGHLIGHT},
                  {9, 1, HIGHLIGHT},
                  {1, 9, HIGHLIGHT},
                  {10, 1, FACE},
                  {10, 2, SHADOW},
                  {10, 10, SHADOW},
                  {2, 10, SHADOW},
                  {1, 10, FACE},
                  {5, 5, FACE}});
    EXPECT_EQ(image.pixel(0, TOP - 1), FACE);
    // A check box has no push face, whatever the selected flag says.
    EXPECT_EQ(box.Render(true, false, false), image);
}

TEST_F(SkinCheckBoxDrawTest, TickOfACheckedBox) {
    box.SetCheck(1);
    const QImage image = box.Render(false, false, false);
    // The two long dark strokes, their end points left out and reaching past
    // the square onto the face beside it, the shading under them, and parts
    // of the square the tick does not touch.
    ExpectPixels(image, TOP, {{2, 5, DARK_SHADOW},  {4, 7, DARK_SHADOW}, {5, 8, DARK_SHADOW},  {11, 2, DARK_SHADOW},
                              {12, 1, DARK_SHADOW}, {13, 0, FACE},       {3, 5, DARK_SHADOW},  {5, 7, DARK_SHADOW},
                              {11, 1, DARK_SHADOW}, {12, 0, FACE},       {5, 9, SHADOW},       {9, 5, SHADOW},
                              {10, 4, SHADOW},      {6, 8, SHADOW},      {3, 7, FACE_SHADOW},  {4, 8, FACE_SHADOW},
                              {9, 6, FACE_SHADOW},  {12, 2, SHADOW},     {13, 2, FACE_SHADOW}, {12, 3, FACE_SHADOW},
                              {1, 1, HIGHLIGHT},    {2, 2, FACE},        {8, 9, FACE}});
}

TEST_F(SkinCheckBoxDrawTest, PressedSquareIsInvertedAndShaded) {
    Hold(box);
    const QImage image = box.Render(false, false, false);
    ExpectPixels(image, TOP,
                 {{0, 0, FRAME},
                  {1, 1, SHADOW},
                  {1, 9, SHADOW},
                  {9, 1, SHADOW},
                  {10, 2, LIGHT},
                  {2, 10, LIGHT},
                  {10, 10, LIGHT},
                  {10, 1, FACE},
                  {1, 10, FACE},
                  {5, 5, FACE_SHADOW},
                  {2, 5, FACE_SHADOW}});
}

TEST_F(SkinCheckBoxDrawTest, CheckedAndPressedShowsTheTickOnTheShadedSquare) {
    box.SetCheck(1);
    Hold(box);
    const QImage image = box.Render(false, false, false);
    ExpectPixels(image, TOP,
                 {{1, 1, SHADOW},
                  {10, 7, LIGHT},
                  {10, 1, FACE},
                  {1, 10, FACE},
                  {8, 8, FACE_SHADOW},
                  {2, 5, DARK_SHADOW},
                  {12, 1, DARK_SHADOW},
                  {9, 5, SHADOW}});
}

TEST_F(SkinCheckBoxDrawTest, DisabledBoxesAreFlatAndGrey) {
    const QImage unchecked = box.Render(false, true, false);
    ExpectPixels(unchecked, TOP,
                 {{0, 0, SHADOW}, {11, 11, SHADOW}, {1, 1, FACE}, {10, 10, FACE}, {5, 5, FACE}, {10, 1, FACE}});

    box.SetCheck(1);
    const QImage checked = box.Render(false, true, false);
    ExpectPixels(checked, TOP,
                 {{2, 5, SHADOW},
                  {12, 1, SHADOW},
                  {11, 1, SHADOW},
                  {9, 5, FACE_SHADOW},
                  {5, 9, FACE_SHADOW},
                  {12, 2, FACE_SHADOW},
                  {13, 2, FACE_SHADOW},
                  {1, 1, FACE}});
}

TEST_F(SkinCheckBoxDrawTest, SmallHeightsPutTheSquareAtTheTop) {
    struct Case {
        int height;
        int top;
    };
    for (const Case& c : {Case{12, -1}, Case{13, -1}, Case{14, 0}}) {
        SCOPED_TRACE(c.height);
        box.resize(80, c.height);
        box.SetCheck(1);
        const QImage image = box.Render(false, false, false);
        ASSERT_EQ(image.height(), c.height);
        ExpectPixels(image, c.top,
                     {{0, 1, FRAME}, {5, 11, FRAME}, {11, 5, FRAME}, {5, 1, HIGHLIGHT}, {12, 1, DARK_SHADOW}});
        if (c.top == 0) {
            EXPECT_EQ(image.pixel(5, 0), FRAME);
        } else {
            // The frame's top row lies above the box; row 0 is the bevel.
            EXPECT_EQ(image.pixel(0, 0), FRAME);
            EXPECT_EQ(image.pixel(5, 0), HIGHLIGHT);
        }
    }
}

TEST_F(SkinCheckBoxDrawTest, CaptionStartsRightOfTheSquareInBlackOrGrey) {
    box.setText(QStringLiteral("Not Fixed"));
    const QRect caption = ExpectedCaptionRect(box);
    EXPECT_EQ(caption.left(), 17);
    const PixelSet text = PixelsOfColour(box.Render(false, false, false), BLACK);
    ASSERT_FALSE(text.empty());
    for (const auto& [x, y] : text) {
        EXPECT_TRUE(caption.contains(x, y)) << x << "," << y;
    }
    EXPECT_EQ(PixelsOfColour(box.Render(true, false, false), BLACK), text);

    const QImage disabled = box.Render(false, true, false);
    EXPECT_TRUE(PixelsOfColour(disabled, BLACK).empty());
    PixelSet grey;
    for (const auto& pixel : PixelsOfColour(disabled, SHADOW)) {
        if (pixel.first >= 17) {
            grey.insert(pixel);
        }
    }
    EXPECT_EQ(grey, text);
}

TEST_F(SkinCheckBoxDrawTest, FocusSurroundsTheCaption) {
    box.resize(160, 20);
    box.setText(QStringLiteral("Reply Required"));
    const QRect caption = ExpectedCaptionRect(box);
    const QRect focus(caption.left() - 1, caption.top() - 1, caption.width() + 2, caption.height() + 3);
    ASSERT_GE(focus.top(), 0);
    ASSERT_LE(focus.bottom(), 19);
    EXPECT_EQ(DifferingPixels(box.Render(false, false, false), box.Render(false, false, true)), FocusDots(focus));
}

TEST_F(SkinCheckBoxDrawTest, FocusIsClippedToTheBox) {
    box.resize(60, 12);
    box.setText(QStringLiteral("A much longer caption than the box"));
    const QRect caption = ExpectedCaptionRect(box);
    ASSERT_LT(caption.top(), 1);
    ASSERT_GT(caption.left() + caption.width(), 59);
    const QRect focus(caption.left() - 1, 0, 60 - (caption.left() - 1), 12);
    EXPECT_EQ(DifferingPixels(box.Render(false, false, false), box.Render(false, false, true)), FocusDots(focus));
}

TEST_F(SkinCheckBoxDrawTest, EmptyCaptionStillGetsItsFocusRectangle) {
    const QRect caption = ExpectedCaptionRect(box);
    ASSERT_EQ(caption.width(), 0);
    const QRect focus(16, caption.top() - 1, 2, caption.height() + 3);
    const PixelSet changed = DifferingPixels(box.Render(false, false, false), box.Render(false, false, true));
    EXPECT_FALSE(changed.empty());
    EXPECT_EQ(changed, FocusDots(focus));
}

} // namespace
} // namespace tqf
