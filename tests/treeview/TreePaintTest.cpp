#include "TreePainter.h"
#include "TreeViewTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>

namespace tqf::test {
namespace {

constexpr ColorRef WHITE = Rgb(255, 255, 255);
constexpr ColorRef BLACK = Rgb(0, 0, 0);
constexpr ColorRef GREY = Rgb(128, 128, 128);

// Counts the pixels of a colour inside a rectangle of the image.
int CountColor(const QImage& image, const QRect& area, ColorRef color) {
    int count = 0;
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y) {
        for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
            count += Pixel(image, x, y) == Rgb24(color) ? 1 : 0;
        }
    }
    return count;
}

// The worked example: a message with one leaf item. Everything left of the
// item's text is checked pixel by pixel against the figure drawn here.
void CheckWorkedExample(TreeViewHarness& h) {
    FormatNode* message = h.AddMessage("S1F1W");
    FormatNode* item = h.AddItem(message, "<A  name>");
    const QImage image = h.Render();
    const int w = image.width();
    const int hgt = image.height();
    const int rh = h.View().RowHeight();
    const int m1 = 4 + rh / 2;
    const int m2 = 4 + rh + rh / 2;

    EXPECT_EQ(h.View().LaidOutRect(message), (NodeRect{16, 4, w - 4, 4 + rh}));
    EXPECT_EQ(h.View().LaidOutRect(item), (NodeRect{32, 4 + rh, w - 4, 4 + 2 * rh}));
    EXPECT_EQ(h.View().DrawnRect(message), h.View().LaidOutRect(message));
    EXPECT_EQ(h.View().DrawnRect(item), h.View().LaidOutRect(item));
    EXPECT_EQ(h.View().ContentHeight(), 2 * rh);

    QImage expected(w, hgt, QImage::Format_RGB32);
    expected.fill(Rgb24(WHITE));
    QPainter p(&expected);
    const auto fill = [&](int x, int y, int fw, int fh, ColorRef c) { p.fillRect(x, y, fw, fh, QColor(Rgb24(c))); };
    fill(8, m1 - 2, 5, 5, GREY);    // the message's solid box
    fill(10, m2, 16, 1, GREY);      // the item's horizontal line, x 10..25
    fill(10, m1, 1, m2 - m1, GREY); // the vertical line, y m1..m2-1
    fill(24, m2 - 2, 5, 5, GREY);   // the item's box, x 24..28
    fill(25, m2 - 1, 3, 3, WHITE);  // its white centre, x 25..27
    fill(0, 0, w, 1, BLACK);        // the frame
    fill(0, 0, 1, hgt, BLACK);
    fill(w - 1, 0, 1, hgt, BLACK);
    fill(0, hgt - 1, w, 1, BLACK);
    p.end();
    for (int y = 0; y < hgt; ++y) {
        const int textLeft = y >= 4 && y < 4 + rh ? 16 : 32;
        for (int x = 0; x < textLeft; ++x) {
            ASSERT_EQ(Pixel(image, x, y), Pixel(expected, x, y)) << "at (" << x << ", " << y << ")";
        }
        ASSERT_EQ(Pixel(image, w - 1, y), Rgb24(BLACK));
    }
    // Below the item nothing is drawn but the frame.
    EXPECT_EQ(CountColor(image, QRect(1, 4 + 2 * rh, w - 2, hgt - 5 - 2 * rh), WHITE), (w - 2) * (hgt - 5 - 2 * rh));
    // Both labels are drawn in the text colour inside their rows.
    EXPECT_GT(CountColor(image, QRect(16, 4, w - 20, rh), BLACK), 0);
    EXPECT_GT(CountColor(image, QRect(32, 4 + rh, w - 36, rh), BLACK), 0);
    EXPECT_EQ(FirstDifference(image, h.Reference()), "");
}

TEST(TreePaintTest, WorkedExampleInTheDefaultFont) {
    TreeViewHarness h(240, 120);
    CheckWorkedExample(h);
}

TEST(TreePaintTest, WorkedExampleWithRowsOfEighteenPixels) {
    // The figures of the worked example, literally: find a font whose row is
    // 18 pixels high.
    TreeViewHarness h(240, 120);
    bool found = false;
    for (const char* face : {"Tahoma", "DejaVu Sans"}) {
        for (int points = 6; points <= 14 && !found; ++points) {
            h.View().SetTreeFont(points, false, false, face);
            found = h.View().RowHeight() == 18;
        }
        if (found) {
            break;
        }
    }
    if (!found) {
        GTEST_SKIP() << "no installed font gives rows of 18 pixels";
    }
    FormatNode* message = h.AddMessage("S1F1");
    FormatNode* item = h.AddItem(message, "<B>");
    const QImage image = h.Render();
    const int w = image.width();
    EXPECT_EQ(h.View().LaidOutRect(message), (NodeRect{16, 4, w - 4, 22}));
    EXPECT_EQ(h.View().LaidOutRect(item), (NodeRect{32, 22, w - 4, 40}));
    for (int x = 8; x <= 12; ++x) {
        for (int y = 11; y <= 15; ++y) {
            EXPECT_EQ(Pixel(image, x, y), Rgb24(GREY)) << x << "," << y;
        }
    }
    for (int y = 13; y <= 30; ++y) {
        EXPECT_EQ(Pixel(image, 10, y), Rgb24(GREY)) << y;
    }
    EXPECT_EQ(Pixel(image, 10, 32), Rgb24(WHITE));
    EXPECT_EQ(Pixel(image, 10, 10), Rgb24(WHITE));
    for (int x = 24; x <= 28; ++x) {
        for (int y = 29; y <= 33; ++y) {
            const bool centre = x >= 25 && x <= 27 && y >= 30 && y <= 32;
            EXPECT_EQ(Pixel(image, x, y), Rgb24(centre ? WHITE : GREY)) << x << "," << y;
        }
    }
    for (int x = 10; x <= 23; ++x) {
        EXPECT_EQ(Pixel(image, x, 31), Rgb24(GREY)) << x;
    }
}

TEST(TreePaintTest, LabelsWrapAndNodesWithoutRoomTakeNoRows) {
    TreeViewHarness h(160, 300);
    const int rh = h.View().RowHeight();
    const QFontMetrics metrics(h.View().TreeFont());
    // A word wider than its row: one character per row until the rest fits.
    FormatNode* word = h.AddMessage("abcdefghijklmnopqrstuvwxyzabcdefghijkl");
    // Words: each row ends after the last space that leaves it narrower.
    FormatNode* words = h.AddMessage("alpha beta gamma delta epsilon zeta eta theta");
    FormatNode* list = h.AddItem(h.AddMessage("S1F1"), "<L[1]>", true);
    FormatNode* deep = list;
    for (int i = 0; i < 8; ++i) {
        deep = h.AddItem(deep, i < 7 ? "<L[1]>" : "<B>", i < 7);
    }
    FormatNode* last = h.AddMessage("S1F2");
    ReferenceTreePainter reference;
    ASSERT_EQ(h.RenderAndCompare(&reference), "");
    const NodeRect wordRect = h.View().LaidOutRect(word);
    const int available = wordRect.right - wordRect.left;
    const int wordRows = (wordRect.bottom - wordRect.top) / rh;
    EXPECT_EQ(
        wordRows, 1 + 38 - [&] {
            // The longest tail that fits on one row.
            int tail = 0;
            while (metrics.horizontalAdvance(
                       QStringLiteral("abcdefghijklmnopqrstuvwxyzabcdefghijkl").right(tail + 1)) <= available) {
                ++tail;
            }
            return tail;
        }());
    const NodeRect wordsRect = h.View().LaidOutRect(words);
    EXPECT_GE(wordsRect.bottom - wordsRect.top, 2 * rh);
    EXPECT_EQ(wordsRect.top, wordRect.bottom);
    // Depth 9 starts at 144, right of the row's end: no room, no rows.
    ASSERT_LE(h.view->viewport()->width() - 4, 144);
    EXPECT_EQ(h.View().LaidOutRect(deep), NodeRect{});
    EXPECT_EQ(reference.rects[deep], NodeRect{});
    EXPECT_EQ(h.View().LaidOutRect(last).top, h.View().LaidOutRect(deep->Parent()).bottom);
    EXPECT_EQ(h.View().HitTestNode(QPoint(150, 2), h.Root()->FirstChild()), nullptr);
}

TEST(TreePaintTest, EmptyDocumentPaintsBackgroundAndFrameOnly) {
    TreeViewHarness h(100, 80);
    const QImage image = h.Render();
    ASSERT_EQ(image.size(), QSize(100, 80));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.devicePixelRatio(), 1.0);
    EXPECT_EQ(CountColor(image, QRect(1, 1, 98, 78), WHITE), 98 * 78);
    EXPECT_EQ(CountColor(image, QRect(0, 0, 100, 80), BLACK), 2 * 100 + 2 * 78);
    EXPECT_EQ(h.View().ContentHeight(), 0);
}

TEST(TreePaintTest, EmptyLabelTakesOneRowAndDrawsOnlyItsBox) {
    TreeViewHarness h(200, 100);
    FormatNode* empty = h.AddMessage("");
    FormatNode* next = h.AddMessage("S1F2");
    const QImage image = h.Render();
    const int rh = h.View().RowHeight();
    EXPECT_EQ(h.View().LaidOutRect(empty), (NodeRect{16, 4, 196, 4 + rh}));
    EXPECT_EQ(h.View().LaidOutRect(next).top, 4 + rh);
    EXPECT_EQ(CountColor(image, QRect(16, 4, 180, rh), BLACK), 0);
    // A leaf: hollow box with a white centre.
    EXPECT_EQ(Pixel(image, 8, 4 + rh / 2), Rgb24(GREY));
    EXPECT_EQ(Pixel(image, 10, 4 + rh / 2), Rgb24(WHITE));
}

TEST(TreePaintTest, LeafCentreStaysWhiteOnColouredBackgroundAndPicture) {
    TreeViewHarness h(200, 100);
    h.AddMessage("S1F1");
    const int mid = 4 + h.View().RowHeight() / 2;
    h.View().SetBackgroundColor(Rgb(0, 0, 255));
    QImage image = h.Render();
    EXPECT_EQ(Pixel(image, 10, mid), Rgb24(WHITE));
    EXPECT_EQ(Pixel(image, 5, mid), Rgb24(Rgb(0, 0, 255)));

    // A 2 x 2 picture stretched over the client area, quadrant by quadrant.
    const QString path = QDir::temp().filePath(QStringLiteral("tqf-treeview-paint.bmp"));
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(200, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 200, 0));
    picture.setPixel(0, 1, qRgb(0, 0, 200));
    picture.setPixel(1, 1, qRgb(200, 200, 0));
    ASSERT_TRUE(picture.save(path, "BMP"));
    h.prompts.openFileAnswers.push_back(path);
    h.View().RunCommand(ID_TREE_SET_BACKGROUND_PICTURE);
    image = h.Render();
    EXPECT_EQ(Pixel(image, 10, mid), Rgb24(WHITE));
    EXPECT_EQ(Pixel(image, 50, 30), 0xC80000U);
    EXPECT_EQ(Pixel(image, 150, 30), 0x00C800U);
    EXPECT_EQ(Pixel(image, 50, 80), 0x0000C8U);
    EXPECT_EQ(Pixel(image, 150, 80), 0xC8C800U);
    EXPECT_EQ(Pixel(image, 0, 50), Rgb24(BLACK));
    QFile::remove(path);
}

TEST(TreePaintTest, WithoutLinesNeitherLinesNorBoxesAreDrawn) {
    TreeViewHarness h(200, 100);
    FormatNode* message = h.AddMessage("S1F1");
    h.AddItem(message, "<B>");
    h.View().RunCommand(ID_TREE_TOGGLE_LINES);
    EXPECT_FALSE(h.View().ShowLines());
    const QImage image = h.Render();
    EXPECT_EQ(CountColor(image, QRect(1, 1, 30, 98), GREY), 0);
    EXPECT_EQ(FirstDifference(image, h.Reference()), "");
}

TEST(TreePaintTest, CollapsedNodeKeepsSolidBoxAndRowsBelowMoveUp) {
    TreeViewHarness h(200, 150);
    FormatNode* first = h.AddMessage("S1F1");
    FormatNode* list = h.AddItem(first, "<L[2]>", true);
    h.AddItem(list, "<B>");
    h.AddItem(list, "<U1>");
    FormatNode* second = h.AddMessage("S1F2");
    h.Render();
    const int rh = h.View().RowHeight();
    EXPECT_EQ(h.View().LaidOutRect(second).top, 4 + 4 * rh);
    h.View().ToggleExpanded(first, true);
    const QImage image = h.Render();
    EXPECT_EQ(h.View().LaidOutRect(second).top, 4 + rh);
    EXPECT_EQ(h.View().ContentHeight(), 2 * rh);
    EXPECT_EQ(Pixel(image, 10, 4 + rh / 2), Rgb24(GREY)); // solid, not hollow
    EXPECT_EQ(FirstDifference(image, h.Reference()), "");
}

TEST(TreePaintTest, TextColourFollowsTheNodeFlag) {
    TreeViewHarness h(200, 100);
    FormatNode* plain = h.AddMessage("S1F1");
    FormatNode* red = h.AddMessage("S1F2");
    h.View().SetTreeTextColor(Rgb(0, 64, 128));
    h.View().SetNodeColor(red, HIGHLIGHT_COLOR, false);
    const QImage image = h.Render();
    const int rh = h.View().RowHeight();
    EXPECT_GT(CountColor(image, QRect(16, 4, 180, rh), Rgb(0, 64, 128)), 0);
    EXPECT_EQ(CountColor(image, QRect(16, 4, 180, rh), HIGHLIGHT_COLOR), 0);
    EXPECT_GT(CountColor(image, QRect(16, 4 + rh, 180, rh), HIGHLIGHT_COLOR), 0);
    EXPECT_EQ(plain->UsesTreeColor(), 1);
}

TEST(TreePaintTest, FrameCoversWhatIsDrawnAtTheEdges) {
    // Scrolled so that a box and a label meet the top edge.
    TreeViewHarness h(120, 60);
    for (int i = 0; i < 20; ++i) {
        h.AddMessage("S1F" + std::to_string(i) + " with a longer label");
    }
    h.Render();
    h.View().VerticalScroll(SCROLL_THUMB_POSITION, 4 + h.View().RowHeight() / 2);
    const QImage image = h.Render();
    for (int x = 0; x < image.width(); ++x) {
        ASSERT_EQ(Pixel(image, x, 0), Rgb24(BLACK));
        ASSERT_EQ(Pixel(image, x, image.height() - 1), Rgb24(BLACK));
    }
    EXPECT_EQ(FirstDifference(image, h.Reference()), "");
}

} // namespace
} // namespace tqf::test

namespace tqf::test {
namespace {

TEST(TreePaintTest, RulesFollowTheLabelWithoutHidingItAndGoWithUndo) {
    TreeViewHarness h;
    FormatNode* message = h.AddMessage("S1F1W");
    FormatNode* item = h.AddItem(message, "<A  name>");
    const QImage before = h.Render();
    const int rh = h.View().RowHeight();
    const int top = 4 + rh;
    // Where the label's text ends: its rightmost pixel that is not white.
    int labelEnd = 0;
    for (int y = top; y < top + rh; ++y) {
        for (int x = 32; x < before.width() - 4; ++x) {
            labelEnd = Pixel(before, x, y) != Rgb24(WHITE) ? std::max(labelEnd, x) : labelEnd;
        }
    }
    ASSERT_GT(labelEnd, 32);
    NodeRules rules;
    rules.formats = {ASCII, UINT4};
    ASSERT_TRUE(h.Tree().SetRules(item, rules).Done());
    const QImage with = h.Render();
    int shown = 0;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (x <= labelEnd || y < top || y >= top + rh) {
                ASSERT_EQ(Pixel(with, x, y), Pixel(before, x, y)) << x << "," << y;
            } else {
                shown += Pixel(with, x, y) == Rgb24(TreePainter::RULES_COLOR) ? 1 : 0;
            }
        }
    }
    EXPECT_GT(shown, 0);
    ASSERT_TRUE(h.Tree().Undo());
    EXPECT_EQ(h.Render(), before);
}

} // namespace
} // namespace tqf::test
