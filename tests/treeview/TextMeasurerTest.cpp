#include "TextMeasurer.h"
#include "ReferenceTreePainter.h"
#include "TahomaFont.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tqf {
namespace {

QFont TreeFont(bool bold = false) {
    EnsureTahomaRegistered();
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    font.setBold(bold);
    font.setKerning(false);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The rows of a label the plain way: one FindLineBreak after the other on
// the rest, measured by QFontMetrics.
std::vector<std::int32_t> PlainRows(const std::string& label, int available, const QFont& font) {
    std::u32string rest = QString::fromUtf8(label).toStdU32String();
    std::vector<std::int32_t> starts;
    std::int32_t at = 0;
    while (!rest.empty()) {
        starts.push_back(at);
        const int b = ReferenceTreePainter::FindLineBreak(rest, available, font);
        rest.erase(0, static_cast<std::size_t>(b) + 1);
        at += b + 1;
    }
    return starts;
}

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

TEST(TextMeasurerTest, AsciiTableMeasuresAsTheTextEngineDoes) {
    for (const bool bold : {false, true}) {
        const QFont font = TreeFont(bold);
        const TextMeasurer measurer(font);
        const QFontMetrics metrics(font);
        std::mt19937 random(5);
        for (int i = 0; i < 500; ++i) {
            std::string text;
            const int length = static_cast<int>(random() % 60);
            for (int k = 0; k < length; ++k) {
                // Often f, i and l, which Tahoma joins into ligatures.
                text += random() % 3 == 0 ? "fil"[random() % 3] : static_cast<char>(' ' + random() % 95);
            }
            const LabelText label(text);
            const int width = metrics.horizontalAdvance(QString::fromStdString(text));
            ASSERT_EQ(measurer.Width(label, 0, label.Length()), width) << text;
            for (const int slack : {-20, -1, 0, 1, 20}) {
                ASSERT_EQ(measurer.Fits(text, width + slack), slack >= 0) << text << " " << slack;
            }
            if (label.Length() > 2) {
                ASSERT_EQ(measurer.Width(label, 1, label.Length() - 1),
                          metrics.horizontalAdvance(QString::fromStdString(text.substr(1, text.size() - 2))))
                    << text;
            }
        }
    }
}

TEST(TextMeasurerTest, WholeTextFitsAtEqualWidthButAPrefixOnlyWhenNarrower) {
    const QFont font = TreeFont();
    const TextMeasurer measurer(font);
    const QFontMetrics metrics(font);
    const LabelText text("aaa bbb ccc");
    const int whole = metrics.horizontalAdvance(QStringLiteral("aaa bbb ccc"));
    const int twoWords = metrics.horizontalAdvance(QStringLiteral("aaa bbb"));
    EXPECT_EQ(measurer.FindLineBreak(text, 0, whole), 10);
    EXPECT_EQ(measurer.FindLineBreak(text, 0, whole - 1), 7); // "aaa bbb " and the space ends the row
    EXPECT_EQ(measurer.FindLineBreak(text, 0, twoWords + 1), 7);
    EXPECT_EQ(measurer.FindLineBreak(text, 0, twoWords), 3); // not narrower: "aaa "
    EXPECT_EQ(measurer.FindLineBreak(text, 0, 0), 10);       // no room: all on one row
    EXPECT_EQ(measurer.FindLineBreak(text, 0, -5), 10);
    EXPECT_EQ(measurer.FindLineBreak(text, 4, twoWords), 6); // from "bbb ccc"
}

TEST(TextMeasurerTest, WordWiderThanTheRowGoesOneCharacterPerRow) {
    const QFont font = TreeFont();
    const TextMeasurer measurer(font);
    const QFontMetrics metrics(font);
    const std::string word = "abcdefghijklmnop";
    const int available = metrics.horizontalAdvance(QStringLiteral("abcdef"));
    const std::vector<std::int32_t> rows = measurer.BreakIntoRows(LabelText(word), available);
    EXPECT_EQ(rows, PlainRows(word, available, font));
    ASSERT_GE(rows.size(), 3U);
    EXPECT_EQ(rows[1], 1);
    EXPECT_EQ(rows[2], 2);
    // The last row holds the rest that fits.
    EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(word.substr(static_cast<std::size_t>(rows.back())))),
              available);
}

TEST(TextMeasurerTest, MultiByteLabelsBreakBetweenCharacters) {
    const QFont font = TreeFont();
    const TextMeasurer measurer(font);
    // Hangul (three bytes each) and an emoji (four bytes, two UTF-16 units).
    const std::string label = "한글한글한글 😀😀😀😀 <A[n]  이름>";
    const LabelText text(label);
    EXPECT_FALSE(text.IsPrintableAscii());
    EXPECT_EQ(text.Length(), 6 + 1 + 4 + 1 + 10);
    EXPECT_EQ(text.Slice(7, 9), QString::fromUtf8("😀😀"));
    for (int available = 1; available < 200; available += 7) {
        EXPECT_EQ(measurer.BreakIntoRows(text, available), PlainRows(label, available, font)) << available;
    }
    // Invalid bytes are characters of their own, never joined to a neighbour.
    const std::string broken = "ab\xE2\x82 cd\xFF";
    const LabelText brokenText(broken);
    EXPECT_EQ(brokenText.Length(), 8);
    EXPECT_EQ(brokenText.Slice(0, 2), QStringLiteral("ab"));
    EXPECT_EQ(brokenText.FindSpace(0), 4);
    EXPECT_EQ(brokenText.Slice(5, 7), QStringLiteral("cd"));
}

TEST(TextMeasurerTest, BreaksAgreeWithThePlainWayOnAnyText) {
    const QFont font = TreeFont();
    const TextMeasurer measurer(font);
    std::mt19937 random(9);
    const std::vector<std::string> pieces = {"word", " ", "x", "한", "😀", "verylongwordwithoutspaces", "fi", "  "};
    for (int i = 0; i < 150; ++i) {
        std::string label;
        const int count = 1 + static_cast<int>(random() % 25);
        for (int k = 0; k < count; ++k) {
            label += pieces[random() % pieces.size()];
        }
        const int available = static_cast<int>(random() % 150) - 10;
        ASSERT_EQ(measurer.BreakIntoRows(LabelText(label), available), PlainRows(label, available, font))
            << label << " in " << available;
    }
}

TEST(TextMeasurerTest, LongLabelsBreakWithoutMeasuringEveryRestAgain) {
    const QFont font = TreeFont();
    const TextMeasurer measurer(font);
    // Ten thousand characters in one word, ASCII and Hangul; and with spaces.
    const std::vector<std::int32_t> ascii = measurer.BreakIntoRows(LabelText(Repeat("x", 10000)), 300);
    const std::vector<std::int32_t> hangul = measurer.BreakIntoRows(LabelText(Repeat("한", 10000)), 300);
    const std::vector<std::int32_t> words = measurer.BreakIntoRows(LabelText(Repeat("word ", 2000)), 300);
    ASSERT_GT(ascii.size(), 9000U);
    for (std::size_t i = 1; i + 1 < ascii.size(); ++i) {
        ASSERT_EQ(ascii[i], static_cast<std::int32_t>(i));
    }
    ASSERT_GT(hangul.size(), 9000U);
    EXPECT_EQ(hangul[hangul.size() - 2], static_cast<std::int32_t>(hangul.size()) - 2);
    ASSERT_GT(words.size(), 10U);
    EXPECT_EQ(words[1] % 5, 0); // rows start at a word
    EXPECT_EQ(measurer.BreakIntoRows(LabelText(""), 300), std::vector<std::int32_t>{});
}

} // namespace
} // namespace tqf
