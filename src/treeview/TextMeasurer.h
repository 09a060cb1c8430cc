#pragma once

#include "LabelText.h"

#include <QFont>
#include <QFontMetrics>

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tqf {

// Measures and breaks labels in one font, as the tree view lays them out. A
// width is that of the piece of text measured alone, in whole pixels.
//
// Printable ASCII is measured from a table of the font's advances and of the
// corrections between adjacent characters (kerning, ligatures), which gives
// the same widths as QFontMetrics at a fraction of the cost. The table is
// checked against QFontMetrics when the font is set, and not used for a font
// whose widths it does not reproduce.
class TextMeasurer {
public:
    TextMeasurer();
    explicit TextMeasurer(const QFont& font);

    void SetFont(const QFont& font);
    const QFont& Font() const { return font_; }
    const QFontMetrics& Metrics() const { return metrics_; }
    bool UsesAsciiTable() const { return asciiTable_; }

    // The width of the characters [begin, end) of text.
    int Width(const LabelText& text, int begin, int end) const;

    // Whether the whole label is at most available pixels wide, as Width
    // tells. Most labels of printable ASCII are settled from their length or
    // their advances alone, which bound the width from both sides, without
    // the corrections between their characters.
    bool Fits(std::string_view label, int available) const;

    // For the row that starts at character begin: the index, counted from
    // begin, of the last character that goes on the row. The whole rest goes
    // on the row when its width is at most available, or when available is not
    // positive; otherwise the row ends just after the last space before which
    // the text is narrower than available, or after one character when not
    // even the first word is.
    int FindLineBreak(const LabelText& text, int begin, int available) const;

    // The first character of every row of a non-empty label broken into rows
    // of available pixels (one row when available is not positive).
    std::vector<std::int32_t> BreakIntoRows(const LabelText& text, int available) const;

private:
    static constexpr int FIRST_ASCII = 0x20;
    static constexpr int ASCII_COUNT = 0x7F - FIRST_ASCII;
    // Advances are kept in 64ths of a pixel, as the text engine adds them up.
    static constexpr std::int64_t SUBPIXELS = 64;

    // The advances of one font and the corrections between adjacent
    // characters, shared by every measurer of that font.
    struct AsciiTable {
        bool valid = false;
        std::array<std::int64_t, ASCII_COUNT> advance{};
        std::vector<std::int64_t> pairCorrection; // ASCII_COUNT x ASCII_COUNT
        std::int64_t maxAdvance = 0;
        std::int64_t minCorrection = 0;
        std::int64_t maxCorrection = 0;

        std::int64_t Advance(unsigned char c) const { return advance[static_cast<std::size_t>(c - FIRST_ASCII)]; }
        std::int64_t Correction(unsigned char left, unsigned char right) const {
            return pairCorrection[static_cast<std::size_t>(left - FIRST_ASCII) * ASCII_COUNT +
                                  static_cast<std::size_t>(right - FIRST_ASCII)];
        }
    };

    class PrefixWidths;

    static std::shared_ptr<const AsciiTable> TableFor(const QFont& font);
    static std::shared_ptr<const AsciiTable> BuildTable(const QFont& font);
    static int RoundSubpixels(std::int64_t subpixels);
    int AsciiWidth(const LabelText& text, int begin, int end) const;
    template <class WidthFunction>
    int FindLineBreakWith(const LabelText& text, int begin, int available, const WidthFunction& width) const;

    QFont font_;
    QFontMetrics metrics_;
    bool asciiTable_ = false;
    std::shared_ptr<const AsciiTable> table_;
};

} // namespace tqf
