#include "OwnerDrawMenu.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tqf {
namespace {

constexpr ColorRef TEXT = Rgb(10, 20, 30);
constexpr ColorRef BACKGROUND = Rgb(250, 250, 240);
constexpr ColorRef DISABLED = Rgb(170, 90, 90);
constexpr ColorRef FILL = Rgb(230, 230, 200);
constexpr ColorRef FRAME = Rgb(180, 100, 110);

QRgb Pixel(ColorRef color) { return qRgb(RedOf(color), GreenOf(color), BlueOf(color)); }

// A font without anti-aliasing, so that text pixels carry exactly the text
// colour.
QFont CrispFont(int pointSize = 9) {
    QFont font(QStringLiteral("DejaVu Sans"), pointSize);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Entries: 0 "Short", 1 separator, 2 "A much longer entry", 3 grayed
// "Grayed", 4 disabled "Title".
void Fill(OwnerDrawMenu& menu, const QFont& font) {
    const QFontMetrics metrics(font);
    menu.SetMenuFont(font)
        .SetMenuColors(TEXT, BACKGROUND, DISABLED, FILL, FRAME)
        .AppendItem(MENU_ITEM_ENABLED, 101, QStringLiteral("Short"), metrics)
        .AppendItem(MENU_ITEM_SEPARATOR, 0, QString(), metrics)
        .AppendItem(MENU_ITEM_ENABLED, 102, QStringLiteral("A much longer entry"), metrics)
        .AppendItem(MENU_ITEM_GRAYED, 103, QStringLiteral("Grayed"), metrics)
        .AppendItem(MENU_ITEM_DISABLED, 104, QStringLiteral("Title"), metrics);
}

// The columns of an image that hold at least one pixel of the colour.
std::optional<int> FirstColumnWith(const QImage& image, QRgb color) {
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) == color) {
                return x;
            }
        }
    }
    return std::nullopt;
}

int CountPixels(const QImage& image, QRgb color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

TEST(OwnerDrawMenuTest, MeasuresEveryEntryByTheWidestAndTallestText) {
    OwnerDrawMenu menu;
    const QFont small = CrispFont(8);
    const QFont large = CrispFont(20);
    const QFontMetrics smallMetrics(small);
    const QFontMetrics largeMetrics(large);

    menu.AppendItem(MENU_ITEM_ENABLED, 1, QStringLiteral("wide wide wide text"), smallMetrics);
    EXPECT_EQ(menu.MaxTextWidth(), smallMetrics.horizontalAdvance(QStringLiteral("wide wide wide text")));
    EXPECT_EQ(menu.MaxItemHeight(), smallMetrics.height() + OwnerDrawMenu::ITEM_HEIGHT_PADDING);

    // A taller but narrower text raises the height only.
    menu.AppendItem(MENU_ITEM_ENABLED, 2, QStringLiteral("Hi"), largeMetrics);
    EXPECT_EQ(menu.MaxTextWidth(), smallMetrics.horizontalAdvance(QStringLiteral("wide wide wide text")));
    EXPECT_EQ(menu.MaxItemHeight(), largeMetrics.height() + OwnerDrawMenu::ITEM_HEIGHT_PADDING);

    // Separators and empty texts are not measured, whatever the metrics.
    const QFont huge = CrispFont(60);
    menu.AppendItem(MENU_ITEM_SEPARATOR, 0, QString(), QFontMetrics(huge));
    EXPECT_EQ(menu.MaxItemHeight(), largeMetrics.height() + OwnerDrawMenu::ITEM_HEIGHT_PADDING);

    EXPECT_EQ(menu.MeasureItem(false), QSize(menu.MaxTextWidth(), menu.MaxItemHeight()));
    EXPECT_EQ(menu.MeasureItem(true), QSize(menu.MaxTextWidth(), OwnerDrawMenu::SEPARATOR_HEIGHT));
    EXPECT_EQ(menu.ItemTexts(), QStringList({QStringLiteral("wide wide wide text"), QStringLiteral("Hi"), QString()}));
}

TEST(OwnerDrawMenuTest, KeepsFlagsIdsAndAvailabilityPerEntry) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    ASSERT_EQ(menu.EntryCount(), 5);
    ASSERT_EQ(menu.actions().size(), 5);
    EXPECT_EQ(menu.EntryCommandId(2), 102);
    EXPECT_TRUE(menu.EntryAction(1)->isSeparator());
    EXPECT_TRUE(menu.EntryAction(0)->isEnabled());
    EXPECT_FALSE(menu.EntryAction(3)->isEnabled());
    EXPECT_FALSE(menu.EntryAction(4)->isEnabled());
    EXPECT_EQ(menu.EntryFlags(3), MENU_ITEM_GRAYED);
    EXPECT_EQ(menu.EntryFlags(4), MENU_ITEM_DISABLED);
}

TEST(OwnerDrawMenuTest, ShownMenuLaysOutEntriesAtTheMeasuredSizes) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    const int width = menu.MaxTextWidth() + OwnerDrawMenu::TEXT_INSET + OwnerDrawMenu::TEXT_TRAILING_ROOM;
    int y = 0;
    for (int i = 0; i < menu.EntryCount(); ++i) {
        const bool separator = (menu.EntryFlags(i) & MENU_ITEM_SEPARATOR) != 0;
        const int height = separator ? OwnerDrawMenu::SEPARATOR_HEIGHT : menu.MaxItemHeight();
        EXPECT_EQ(menu.actionGeometry(menu.EntryAction(i)), QRect(0, y, width, height)) << "entry " << i;
        y += height;
    }
    EXPECT_EQ(menu.size(), QSize(width, y));
    menu.close();
}

TEST(OwnerDrawMenuTest, SeparatorIsATwoPixelBarFourPixelsIn) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    const QImage image = menu.RenderEntry(1, false);
    ASSERT_EQ(image.height(), OwnerDrawMenu::SEPARATOR_HEIGHT);
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < w; ++x) {
            const bool bar = y >= 2 && y <= 3 && x >= 4 && x <= w - 5;
            EXPECT_EQ(image.pixel(x, y), bar ? Pixel(FRAME) : Pixel(BACKGROUND)) << x << "," << y;
        }
    }
    // Choosing the look under the mouse does not change a separator.
    EXPECT_EQ(menu.RenderEntry(1, true), image);
}

TEST(OwnerDrawMenuTest, SelectedEntryHasFrameTwoPixelsInAndFilledInside) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    const QImage image = menu.RenderEntry(0, true);
    const int w = image.width();
    const int h = image.height();

    // Outside the frame: background.
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(image.pixel(x, 0), Pixel(BACKGROUND));
        EXPECT_EQ(image.pixel(x, 1), Pixel(BACKGROUND));
        EXPECT_EQ(image.pixel(x, h - 1), Pixel(BACKGROUND));
        EXPECT_EQ(image.pixel(x, h - 2), Pixel(BACKGROUND));
    }
    // The frame: rows 2 and h-3 from column 2 to w-3, and those two columns.
    for (int x = 2; x <= w - 3; ++x) {
        EXPECT_EQ(image.pixel(x, 2), Pixel(FRAME)) << x;
        EXPECT_EQ(image.pixel(x, h - 3), Pixel(FRAME)) << x;
    }
    for (int y = 2; y <= h - 3; ++y) {
        EXPECT_EQ(image.pixel(1, y), Pixel(BACKGROUND)) << y;
        EXPECT_EQ(image.pixel(2, y), Pixel(FRAME)) << y;
        EXPECT_EQ(image.pixel(w - 3, y), Pixel(FRAME)) << y;
        EXPECT_EQ(image.pixel(w - 2, y), Pixel(BACKGROUND)) << y;
    }
    // Inside the frame the fill, left of the text and right of it.
    for (int y = 3; y <= h - 4; ++y) {
        for (int x = 3; x < OwnerDrawMenu::TEXT_INSET; ++x) {
            EXPECT_EQ(image.pixel(x, y), Pixel(FILL)) << x << "," << y;
        }
        EXPECT_EQ(image.pixel(w - 4, y), Pixel(FILL)) << y;
    }
    EXPECT_GT(CountPixels(image, Pixel(TEXT)), 0);
}

TEST(OwnerDrawMenuTest, SelectedTextSitsWhereUnselectedTextSits) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    const QImage plain = menu.RenderEntry(2, false);
    const QImage selected = menu.RenderEntry(2, true);
    ASSERT_EQ(plain.size(), selected.size());
    int textPixels = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const bool inPlain = plain.pixel(x, y) == Pixel(TEXT);
            EXPECT_EQ(inPlain, selected.pixel(x, y) == Pixel(TEXT)) << x << "," << y;
            textPixels += inPlain ? 1 : 0;
        }
    }
    EXPECT_GT(textPixels, 0);
    // The text starts at the inset and is centred over the entry's height.
    const std::optional<int> first = FirstColumnWith(plain, Pixel(TEXT));
    ASSERT_TRUE(first.has_value());
    EXPECT_GE(*first, OwnerDrawMenu::TEXT_INSET);
    EXPECT_LE(*first, OwnerDrawMenu::TEXT_INSET + 2);
}

TEST(OwnerDrawMenuTest, UnavailableEntriesUseDisabledColourInsetAndNeverShowSelection) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    for (int index : {3, 4}) {
        const QImage image = menu.RenderEntry(index, true);
        EXPECT_EQ(CountPixels(image, Pixel(FRAME)), 0) << index;
        EXPECT_EQ(CountPixels(image, Pixel(FILL)), 0) << index;
        EXPECT_EQ(CountPixels(image, Pixel(TEXT)), 0) << index;
        EXPECT_GT(CountPixels(image, Pixel(DISABLED)), 0) << index;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < OwnerDrawMenu::TEXT_INSET; ++x) {
                EXPECT_EQ(image.pixel(x, y), Pixel(BACKGROUND)) << index << ": " << x << "," << y;
            }
        }
        // Selected or not, it looks the same.
        EXPECT_EQ(image, menu.RenderEntry(index, false)) << index;
    }
}

TEST(OwnerDrawMenuTest, ShownMenuIsDrawnByTheMenuItself) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    // A check mark is never drawn, even for a checked entry.
    menu.EntryAction(0)->setCheckable(true);
    menu.EntryAction(0)->setChecked(true);
    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    menu.setActiveAction(menu.EntryAction(2));
    const QImage shot = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), menu.size());

    const QRect checked = menu.actionGeometry(menu.EntryAction(0));
    EXPECT_EQ(shot.copy(checked), menu.RenderEntry(0, false));
    const QRect separator = menu.actionGeometry(menu.EntryAction(1));
    EXPECT_EQ(shot.copy(separator), menu.RenderEntry(1, false));
    const QRect selected = menu.actionGeometry(menu.EntryAction(2));
    EXPECT_EQ(shot.copy(selected), menu.RenderEntry(2, true));
    const QRect title = menu.actionGeometry(menu.EntryAction(4));
    EXPECT_EQ(shot.copy(title), menu.RenderEntry(4, false));

    // An unavailable entry under the keyboard or mouse stays unselected.
    menu.setActiveAction(menu.EntryAction(3));
    const QImage grayedShot = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grayedShot.copy(menu.actionGeometry(menu.EntryAction(3))), menu.RenderEntry(3, false));
    menu.close();
}

TEST(OwnerDrawMenuTest, ChooseReturnsTheIdOfTheEntryClickedWithTheLeftButton) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    std::vector<int> triggered;
    QObject::connect(&menu, &QMenu::triggered, &menu,
                     [&triggered](QAction* action) { triggered.push_back(action->data().toInt()); });
    QTimer::singleShot(0, &menu, [&menu] {
        // The right button does not choose; the left one does.
        const QPoint third = menu.actionGeometry(menu.EntryAction(2)).center();
        QTest::mouseMove(&menu, third);
        QTest::mousePress(&menu, Qt::RightButton, {}, third);
        QTest::mouseRelease(&menu, Qt::RightButton, {}, third);
        const QPoint first = menu.actionGeometry(menu.EntryAction(0)).center();
        QTest::mouseMove(&menu, first);
        QTest::mouseClick(&menu, Qt::LeftButton, {}, first);
    });
    EXPECT_EQ(menu.Choose(QPoint(30, 30)), std::optional<int>(101));
    EXPECT_EQ(triggered, std::vector<int>({101}));
}

TEST(OwnerDrawMenuTest, ChooseReturnsNothingWhenDismissedOrWhenAnUnavailableEntryIsClicked) {
    OwnerDrawMenu menu;
    Fill(menu, CrispFont());
    QTimer::singleShot(0, &menu, [&menu] {
        QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(menu.EntryAction(4)).center());
        QTest::keyClick(&menu, Qt::Key_Escape);
    });
    EXPECT_EQ(menu.Choose(QPoint(30, 30)), std::nullopt);
}

} // namespace
} // namespace tqf
