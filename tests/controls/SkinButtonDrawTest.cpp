#include "SkinButton.h"
#include "SkinTestSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace tqf {
namespace {

using namespace test;

struct Expected {
    int x;
    int y;
    QRgb colour;
};

void ExpectPixels(const QImage& image, const std::vector<Expected>& pixels) {
    for (const Expected& pixel : pixels) {
        EXPECT_EQ(image.pixel(pixel.x, pixel.y), pixel.colour)
            << "at (" << pixel.x << ", " << pixel.y << "): got " << std::hex << image.pixel(pixel.x, pixel.y)
            << ", want " << pixel.colour;
    }
}

// The corner pixels of a 40 x 20 face.
const std::vector<Expected> CORNERS_40X20 = {{0, 2, SHADOW_DARK},  {2, 0, SHADOW_DARK},   {37, 0, SHADOW_DARK},
                                             {39, 2, SHADOW_DARK}, {39, 17, SHADOW_DARK}, {37, 19, SHADOW_DARK},
                                             {2, 19, SHADOW_DARK}, {0, 17, SHADOW_DARK}};

class SkinButtonDrawTest : public ::testing::Test {
protected:
    SkinButtonDrawTest() { Prepare(button, 40, 20); }
    SkinButton button;
};

TEST(SkinButtonColourTest, MidpointRoundsTowardMinusInfinity) {
    EXPECT_EQ(SkinButton::MidpointColour(qRgb(212, 208, 200), qRgb(128, 128, 128)), qRgb(170, 168, 164));
    EXPECT_EQ(SkinButton::MidpointColour(qRgb(100, 100, 100), qRgb(99, 99, 99)), qRgb(99, 99, 99));
    EXPECT_EQ(SkinButton::MidpointColour(qRgb(99, 0, 255), qRgb(100, 255, 0)), qRgb(99, 127, 127));
    EXPECT_EQ(SkinButton::MidpointColour(qRgb(7, 7, 7), qRgb(7, 7, 7)), qRgb(7, 7, 7));
}

TEST_F(SkinButtonDrawTest, ColoursComeFromThePaletteRoles) {
    EXPECT_EQ(button.HighlightColour(), HIGHLIGHT);
    EXPECT_EQ(button.LightColour(), LIGHT);
    EXPECT_EQ(button.FaceColour(), FACE);
    EXPECT_EQ(button.ShadowColour(), SHADOW);
    EXPECT_EQ(button.DarkShadowColour(), DARK_SHADOW);
    EXPECT_EQ(button.FaceShadowColour(), FACE_SHADOW);
    EXPECT_EQ(button.ShadowDarkColour(), SHADOW_DARK);
}

TEST_F(SkinButtonDrawTest, PaletteChangeRebuildsColoursAndTheNextPaint) {
    QPalette changed = TestPalette();
    changed.setColor(QPalette::Button, QColor(100, 150, 200));
    changed.setColor(QPalette::Dark, QColor(51, 50, 0));
    changed.setColor(QPalette::Shadow, QColor(0, 0, 1));
    changed.setColor(QPalette::WindowText, QColor(1, 2, 3));
    button.setPalette(changed);

    EXPECT_EQ(button.FaceColour(), qRgb(100, 150, 200));
    EXPECT_EQ(button.FaceShadowColour(), qRgb(75, 100, 100));
    EXPECT_EQ(button.ShadowDarkColour(), qRgb(25, 25, 0));
    const QImage image = button.Render(false, false, false);
    ExpectPixels(image, {{0, 2, qRgb(25, 25, 0)}, {10, 0, qRgb(1, 2, 3)}, {1, 2, qRgb(75, 100, 100)}});
}

TEST(SkinButtonColourTest, ApplicationPaletteChangeReachesButtonsWithoutTheirOwnPalette) {
    const QPalette original = QApplication::palette();
    QApplication::setPalette(TestPalette());
    SkinButton button;
    EXPECT_EQ(button.FaceShadowColour(), FACE_SHADOW);

    QPalette changed = TestPalette();
    changed.setColor(QPalette::Button, QColor(0, 0, 0));
    changed.setColor(QPalette::Dark, QColor(255, 255, 255));
    QApplication::setPalette(changed);
    // A running application tells every widget itself; these tests run no
    // event loop, so the notice is delivered here.
    QEvent notice(QEvent::ApplicationPaletteChange);
    QApplication::sendEvent(&button, &notice);
    const QRgb faceShadow = button.FaceShadowColour();
    const QRgb shadowDark = button.ShadowDarkColour();
    QApplication::setPalette(original);

    EXPECT_EQ(faceShadow, qRgb(127, 127, 127));
    EXPECT_EQ(shadowDark, qRgb(159, 159, 159));
}

TEST_F(SkinButtonDrawTest, RaisedFaceEveryStep) {
    const QImage image = button.Render(false, false, false);
    ASSERT_EQ(image.size(), QSize(40, 20));
    ExpectPixels(image, CORNERS_40X20);
    // The outline with its cut corners, the highlight along the left and top
    // without its last point, the inner and outer shadows with their steps at
    // the bottom right, and the smoothing pixels beside the corners.
    ExpectPixels(image, {{10, 0, FRAME},        {10, 19, FRAME},       {0, 10, FRAME},        {39, 10, FRAME},
                         {1, 1, FRAME},         {38, 18, FRAME},       {0, 0, FACE},          {1, 0, FACE},
                         {39, 19, FACE},        {2, 16, HIGHLIGHT},    {2, 3, HIGHLIGHT},     {2, 2, HIGHLIGHT},
                         {36, 2, HIGHLIGHT},    {37, 2, FACE},         {3, 3, HIGHLIGHT},     {2, 17, FACE},
                         {3, 17, FACE_SHADOW},  {35, 17, FACE_SHADOW}, {36, 17, FACE_SHADOW}, {36, 16, FACE_SHADOW},
                         {37, 16, FACE_SHADOW}, {37, 3, FACE_SHADOW},  {3, 18, SHADOW},       {36, 18, SHADOW},
                         {37, 18, SHADOW},      {37, 17, SHADOW},      {38, 17, SHADOW},      {38, 3, SHADOW},
                         {1, 2, FACE_SHADOW},   {2, 1, FACE_SHADOW},   {37, 1, FACE_SHADOW},  {38, 2, FACE_SHADOW},
                         {2, 18, FACE_SHADOW},  {1, 17, FACE_SHADOW},  {1, 10, FACE},         {20, 10, FACE}});
}

TEST_F(SkinButtonDrawTest, SunkenFaceEveryStep) {
    const QImage image = button.Render(true, false, false);
    ExpectPixels(image, CORNERS_40X20);
    // The dark edge and the shadow inside it along the left and top, each with
    // its step, the light bottom edge with its diagonal, the face line inside
    // it, and the single face and shadow pixels.
    ExpectPixels(image, {{10, 0, FRAME},       {1, 1, FRAME},        {0, 0, FACE},        {20, 10, FACE_SHADOW},
                         {1, 16, SHADOW_DARK}, {1, 3, SHADOW_DARK},  {1, 2, SHADOW_DARK}, {2, 2, SHADOW_DARK},
                         {2, 1, SHADOW_DARK},  {36, 1, SHADOW_DARK}, {2, 16, SHADOW},     {2, 4, SHADOW},
                         {2, 3, SHADOW},       {3, 3, SHADOW},       {3, 2, SHADOW},      {36, 2, SHADOW},
                         {37, 2, FACE_SHADOW}, {3, 18, LIGHT},       {35, 18, LIGHT},     {36, 18, LIGHT},
                         {37, 17, LIGHT},      {38, 16, LIGHT},      {38, 3, LIGHT},      {3, 17, FACE},
                         {36, 17, FACE},       {36, 16, FACE},       {37, 16, FACE},      {37, 3, FACE},
                         {38, 2, FACE},        {2, 18, FACE},        {37, 1, SHADOW},     {1, 17, SHADOW}});
}

TEST_F(SkinButtonDrawTest, DisabledIsFlatWhateverTheSelectedFlag) {
    const QImage image = button.Render(false, true, false);
    ExpectPixels(image, {{10, 0, SHADOW},
                         {1, 1, SHADOW},
                         {0, 2, SHADOW},
                         {2, 0, SHADOW},
                         {39, 10, SHADOW},
                         {0, 0, FACE},
                         {2, 5, FACE},
                         {3, 3, FACE},
                         {38, 10, FACE},
                         {20, 10, FACE}});
    EXPECT_EQ(button.Render(true, true, false), image);
}

TEST_F(SkinButtonDrawTest, CaptionStaysInPlaceAndChangesOnlyColour) {
    button.setText(QStringLiteral("HH"));
    const QRect caption = ExpectedCaptionRect(button);
    const PixelSet raised = PixelsOfColour(button.Render(false, false, false), BLACK);
    ASSERT_FALSE(raised.empty());
    for (const auto& [x, y] : raised) {
        EXPECT_TRUE(caption.contains(x, y)) << x << "," << y;
    }
    const QImage sunken = button.Render(true, false, false);
    EXPECT_TRUE(PixelsOfColour(sunken, BLACK).empty());
    EXPECT_EQ(PixelsOfColour(sunken, HIGHLIGHT), raised);

    const QImage disabled = button.Render(false, true, false);
    PixelSet disabledText;
    for (const auto& pixel : PixelsOfColour(disabled, SHADOW)) {
        if (caption.contains(pixel.first, pixel.second)) {
            disabledText.insert(pixel);
        }
    }
    EXPECT_EQ(disabledText, raised);
    EXPECT_EQ(button.Render(true, true, false), disabled);
}

TEST(SkinButtonCaptionTest, CaptionRectHalvesRoundTowardMinusInfinity) {
    EXPECT_EQ(SkinButton::CaptionRect(PUSH_BUTTON, QSize(40, 20), QSize(15, 14)), QRect(12, 3, 15, 14));
    EXPECT_EQ(SkinButton::CaptionRect(PUSH_BUTTON, QSize(20, 10), QSize(35, 15)), QRect(-8, -3, 35, 15));
    EXPECT_EQ(SkinButton::CaptionRect(CHECK_BOX, QSize(80, 20), QSize(30, 14)), QRect(17, 2, 30, 14));
    EXPECT_EQ(SkinButton::CaptionRect(CHECK_BOX, QSize(80, 13), QSize(40, 16)), QRect(17, -3, 40, 16));
}

TEST_F(SkinButtonDrawTest, CaptionWiderThanTheButtonIsClippedAtBothEdges) {
    button.resize(30, 20);
    button.setText(QStringLiteral("MMMMMMMMMMMM"));
    ASSERT_LT(ExpectedCaptionRect(button).left(), 0);
    const PixelSet text = PixelsOfColour(button.Render(false, false, false), BLACK);
    bool nearLeft = false;
    bool nearRight = false;
    for (const auto& pixel : text) {
        nearLeft = nearLeft || pixel.first <= 2;
        nearRight = nearRight || pixel.first >= 27;
    }
    EXPECT_TRUE(nearLeft);
    EXPECT_TRUE(nearRight);
}

TEST_F(SkinButtonDrawTest, FocusRectangleIsDottedFourPixelsInside) {
    const QImage plain = button.Render(false, false, false);
    const QImage focused = button.Render(false, false, true);
    EXPECT_EQ(DifferingPixels(plain, focused), FocusDots(QRect(4, 4, 32, 12)));
    EXPECT_EQ(focused.pixel(4, 4), FACE ^ 0x00FFFFFFU);
    // The sunken look is inverted in the same places.
    EXPECT_EQ(DifferingPixels(button.Render(true, false, false), button.Render(true, false, true)),
              FocusDots(QRect(4, 4, 32, 12)));
}

TEST_F(SkinButtonDrawTest, TinyAndEmptyButtonsDrawWithoutFault) {
    button.resize(0, 0);
    EXPECT_TRUE(button.Render(false, false, true).isNull());
    for (const auto& [width, height] : {std::tuple{1, 1}, std::tuple{3, 2}, std::tuple{5, 5}, std::tuple{2, 30}}) {
        button.resize(width, height);
        const QImage image = button.Render(true, false, true);
        EXPECT_EQ(image.size(), QSize(width, height));
        EXPECT_EQ(button.Render(false, true, false).size(), QSize(width, height));
    }
}

TEST_F(SkinButtonDrawTest, PushButtonIgnoresCheckState) {
    const QImage before = button.Render(false, false, false);
    button.SetCheck(1);
    EXPECT_EQ(button.GetCheck(), 0);
    EXPECT_EQ(button.Kind(), PUSH_BUTTON);
    EXPECT_EQ(button.Render(false, false, false), before);
}

} // namespace
} // namespace tqf
