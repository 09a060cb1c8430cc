#include "PixelCanvas.h"
#include "SkinTestSupport.h"

#include <gtest/gtest.h>

namespace tqf {
namespace {

using test::PixelSet;
using test::PixelsOfColour;

constexpr QRgb BACKGROUND = 0xFF102030;
constexpr QRgb INK = 0xFFF0E0D0;
constexpr QRgb OTHER_INK = 0xFF00FF00;

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(BACKGROUND);
    return image;
}

TEST(PixelCanvasTest, PolylinePaintsEachStartAndNeverTheLastPoint) {
    QImage image = Blank(12, 12);
    PixelCanvas canvas(image);
    // Right, down, then down-left at 45 degrees.
    canvas.Polyline({{1, 1}, {4, 1}, {4, 3}, {1, 6}}, INK);
    const PixelSet expected = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {4, 3}, {3, 4}, {2, 5}};
    EXPECT_EQ(PixelsOfColour(image, INK), expected);
}

TEST(PixelCanvasTest, FortyFiveDegreeSegmentsInEveryDirection) {
    QImage image = Blank(12, 12);
    PixelCanvas canvas(image);
    canvas.Polyline({{5, 5}, {8, 2}}, INK);       // up-right
    canvas.Polyline({{5, 6}, {2, 9}}, OTHER_INK); // down-left
    EXPECT_EQ(PixelsOfColour(image, INK), (PixelSet{{5, 5}, {6, 4}, {7, 3}}));
    EXPECT_EQ(PixelsOfColour(image, OTHER_INK), (PixelSet{{5, 6}, {4, 7}, {3, 8}}));
}

TEST(PixelCanvasTest, ZeroLengthSegmentAndPointsOutsideAreHarmless) {
    QImage image = Blank(4, 4);
    PixelCanvas canvas(image);
    canvas.Polyline({{2, 2}, {2, 2}}, INK);
    canvas.Polyline({{-3, 1}, {6, 1}}, OTHER_INK);
    canvas.SetPixel(-1, 0, INK);
    canvas.SetPixel(0, 4, INK);
    EXPECT_TRUE(PixelsOfColour(image, INK).empty());
    EXPECT_EQ(PixelsOfColour(image, OTHER_INK), (PixelSet{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
}

TEST(PixelCanvasTest, FillRectCoversExactlyWidthTimesHeight) {
    QImage image = Blank(8, 8);
    PixelCanvas canvas(image);
    canvas.FillRect(QRect(2, 3, 3, 2), INK);
    EXPECT_EQ(PixelsOfColour(image, INK), (PixelSet{{2, 3}, {3, 3}, {4, 3}, {2, 4}, {3, 4}, {4, 4}}));
}

TEST(PixelCanvasTest, FrameAndBevelOwnTheirCornersAsDescribed) {
    QImage image = Blank(8, 8);
    PixelCanvas canvas(image);
    canvas.Frame3D(QRect(1, 1, 4, 3), INK, OTHER_INK);
    // Top row without its right end, left column without its bottom end.
    EXPECT_EQ(PixelsOfColour(image, INK), (PixelSet{{1, 1}, {2, 1}, {3, 1}, {1, 2}}));
    EXPECT_EQ(PixelsOfColour(image, OTHER_INK), (PixelSet{{4, 1}, {4, 2}, {4, 3}, {1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(image.pixel(2, 2), BACKGROUND);

    QImage framed = Blank(5, 5);
    PixelCanvas frameCanvas(framed);
    frameCanvas.Frame(QRect(1, 1, 3, 3), INK);
    EXPECT_EQ(PixelsOfColour(framed, INK).size(), 8U);
    EXPECT_EQ(framed.pixel(2, 2), BACKGROUND);
}

TEST(PixelCanvasTest, RoundRectCutsEachCornerWithADiagonal) {
    QImage image = Blank(10, 8);
    PixelCanvas canvas(image);
    canvas.RoundRect(QRect(0, 0, 10, 8), INK, OTHER_INK);
    // The three pixels of every corner outside the arc keep the background.
    for (const auto& [x, y] :
         PixelSet{{0, 0}, {1, 0}, {0, 1}, {9, 0}, {8, 0}, {9, 1}, {9, 7}, {8, 7}, {9, 6}, {0, 7}}) {
        EXPECT_EQ(image.pixel(x, y), BACKGROUND) << x << "," << y;
    }
    for (const auto& [x, y] :
         PixelSet{{2, 0}, {1, 1}, {0, 2}, {7, 0}, {8, 1}, {9, 2}, {9, 5}, {8, 6}, {7, 7}, {0, 5}}) {
        EXPECT_EQ(image.pixel(x, y), INK) << x << "," << y;
    }
    for (const auto& [x, y] : PixelSet{{2, 1}, {1, 2}, {7, 1}, {8, 2}, {8, 5}, {7, 6}, {2, 6}, {1, 5}, {5, 4}}) {
        EXPECT_EQ(image.pixel(x, y), OTHER_INK) << x << "," << y;
    }
}

TEST(PixelCanvasTest, FocusRectInvertsAlternatePixelsAndUndoesItself) {
    QImage image = Blank(12, 12);
    PixelCanvas canvas(image);
    canvas.FillRect(QRect(3, 3, 2, 2), INK);
    const QImage before = image;
    canvas.FocusRect(QRect(2, 2, 6, 5));
    const PixelSet changed = test::DifferingPixels(before, image);
    EXPECT_EQ(changed, test::FocusDots(QRect(2, 2, 6, 5)));
    for (const auto& [x, y] : changed) {
        EXPECT_EQ(image.pixel(x, y), before.pixel(x, y) ^ 0x00FFFFFFU);
    }
    canvas.FocusRect(QRect(2, 2, 6, 5));
    EXPECT_EQ(image, before);
}

TEST(PixelCanvasTest, FocusRectOneColumnWideVisitsEachPixelOnce) {
    QImage image = Blank(6, 6);
    const QImage before = image;
    PixelCanvas canvas(image);
    canvas.FocusRect(QRect(2, 0, 1, 6));
    EXPECT_EQ(test::DifferingPixels(before, image), (PixelSet{{2, 0}, {2, 2}, {2, 4}}));
}

} // namespace
} // namespace tqf
