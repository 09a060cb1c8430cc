#include "TextMeasurer.h"

#include <QFontMetricsF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>

namespace tqf {

namespace {

// Strings that check the ASCII table against the text engine: every pair of
// characters once, then pseudo-random strings of this many and this long.
constexpr int CHECK_STRING_COUNT = 200;
constexpr int CHECK_STRING_MAX_LENGTH = 48;
constexpr std::uint32_t CHECK_SEED = 12345U;
constexpr std::uint32_t LCG_MULTIPLIER = 1664525U;
constexpr std::uint32_t LCG_INCREMENT = 1013904223U;
constexpr int LCG_SHIFT = 16;

std::int64_t ToSubpixels(qreal width, std::int64_t subpixels) {
    return std::llround(width * static_cast<double>(subpixels));
}

QString Triple(QChar first, QChar second, QChar third) {
    const QChar characters[] = {first, second, third};
    return QString(characters, std::size(characters));
}

// Whether every byte is printable ASCII, eight bytes at a time: a byte below
// the first printable or above the last sets its top bit in one of the two
// sums, and bytes never carry into each other. The last eight bytes are
// tested as one word too, overlapping those before them.
bool IsPrintableAscii(std::string_view bytes) {
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t TOPS = 0x8080808080808080ULL;
    constexpr std::uint64_t FIRST = 0x20;
    constexpr std::uint64_t LAST = 0x7E;
    constexpr std::size_t WORD = sizeof(std::uint64_t);
    const auto outsideIn = [&](std::size_t at) {
        std::uint64_t w = 0;
        std::memcpy(&w, bytes.data() + at, WORD);
        return (((w - ONES * FIRST) & ~w) | ((w + ONES * (0x7F - LAST)) | w)) & TOPS;
    };
    if (bytes.size() < WORD) {
        return std::all_of(bytes.begin(), bytes.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b >= FIRST && b <= LAST;
        });
    }
    std::uint64_t outside = outsideIn(bytes.size() - WORD);
    for (std::size_t i = 0; i + WORD <= bytes.size(); i += WORD) {
        outside |= outsideIn(i);
    }
    return outside == 0;
}

} // namespace

// O(1) widths of any piece of one printable-ASCII label, from the running sum
// of its advances and corrections.
class TextMeasurer::PrefixWidths {
public:
    PrefixWidths(const AsciiTable& table, const LabelText& text) : table_(table), text_(text) {
        const int n = text.Length();
        sums_.resize(static_cast<std::size_t>(n) + 1);
        std::int64_t sum = 0;
        for (int i = 0; i < n; ++i) {
            if (i > 0) {
                sum += table.Correction(text.Byte(i - 1), text.Byte(i));
            }
            sum += table.Advance(text.Byte(i));
            sums_[static_cast<std::size_t>(i) + 1] = sum;
        }
    }

    int operator()(int begin, int end) const {
        if (end <= begin) {
            return 0;
        }
        std::int64_t sum = sums_[static_cast<std::size_t>(end)] - sums_[static_cast<std::size_t>(begin)];
        if (begin > 0) {
            // The pair across the cut belongs to neither piece.
            sum -= table_.Correction(text_.Byte(begin - 1), text_.Byte(begin));
        }
        return RoundSubpixels(sum);
    }

private:
    const AsciiTable& table_;
    const LabelText& text_;
    std::vector<std::int64_t> sums_;
};

TextMeasurer::TextMeasurer() : metrics_(font_) {}

TextMeasurer::TextMeasurer(const QFont& font) : metrics_(font) { SetFont(font); }

void TextMeasurer::SetFont(const QFont& font) {
    font_ = font;
    metrics_ = QFontMetrics(font_);
    table_ = TableFor(font_);
    asciiTable_ = table_->valid;
}

int TextMeasurer::RoundSubpixels(std::int64_t subpixels) {
    // The text engine rounds its sum of advances half up to whole pixels.
    return static_cast<int>((subpixels + SUBPIXELS / 2) / SUBPIXELS);
}

std::shared_ptr<const TextMeasurer::AsciiTable> TextMeasurer::TableFor(const QFont& font) {
    // Building a table takes thousands of measurements; fonts are few.
    static std::map<QString, std::shared_ptr<const AsciiTable>> tables;
    const QString key = font.key();
    const auto found = tables.find(key);
    if (found != tables.end()) {
        return found->second;
    }
    std::shared_ptr<const AsciiTable> table = BuildTable(font);
    tables.emplace(key, table);
    return table;
}

std::shared_ptr<const TextMeasurer::AsciiTable> TextMeasurer::BuildTable(const QFont& font) {
    auto table = std::make_shared<AsciiTable>();
    const QFontMetricsF exact(font);
    const QFontMetrics whole(font);
    for (int c = 0; c < ASCII_COUNT; ++c) {
        table->advance[static_cast<std::size_t>(c)] =
            ToSubpixels(exact.horizontalAdvance(QString(QChar(FIRST_ASCII + c))), SUBPIXELS);
    }
    table->pairCorrection.assign(static_cast<std::size_t>(ASCII_COUNT) * ASCII_COUNT, 0);
    QString allPairs;
    for (int a = 0; a < ASCII_COUNT; ++a) {
        for (int b = 0; b < ASCII_COUNT; ++b) {
            QString pair;
            pair += QChar(FIRST_ASCII + a);
            pair += QChar(FIRST_ASCII + b);
            allPairs += pair;
            table->pairCorrection[static_cast<std::size_t>(a) * ASCII_COUNT + static_cast<std::size_t>(b)] =
                ToSubpixels(exact.horizontalAdvance(pair), SUBPIXELS) - table->advance[static_cast<std::size_t>(a)] -
                table->advance[static_cast<std::size_t>(b)];
        }
    }
    table->maxAdvance = *std::max_element(table->advance.begin(), table->advance.end());
    const auto [least, most] = std::minmax_element(table->pairCorrection.begin(), table->pairCorrection.end());
    table->minCorrection = *least;
    table->maxCorrection = *most;

    // The table holds only if the engine's widths add up from advances and
    // pair corrections; a font with effects over three or more characters
    // fails one of these checks and is measured by the engine instead.
    table->valid = true;
    const auto check = [&](const QString& sample) {
        const std::string bytes = sample.toStdString();
        const LabelText text(bytes);
        const PrefixWidths widths(*table, text);
        if (widths(0, text.Length()) != whole.horizontalAdvance(sample)) {
            table->valid = false;
        }
    };
    check(allPairs);
    std::uint32_t seed = CHECK_SEED;
    for (int i = 0; i < CHECK_STRING_COUNT && table->valid; ++i) {
        seed = seed * LCG_MULTIPLIER + LCG_INCREMENT;
        const int length = 1 + static_cast<int>((seed >> LCG_SHIFT) % CHECK_STRING_MAX_LENGTH);
        QString sample;
        for (int k = 0; k < length; ++k) {
            seed = seed * LCG_MULTIPLIER + LCG_INCREMENT;
            sample += QChar(FIRST_ASCII + static_cast<int>((seed >> LCG_SHIFT) % ASCII_COUNT));
        }
        check(sample);
    }
    // Triples whose two pairs both have a correction ("ffi") are where longer
    // ligatures live.
    for (int a = 0; a < ASCII_COUNT && table->valid; ++a) {
        for (int b = 0; b < ASCII_COUNT && table->valid; ++b) {
            if (table->pairCorrection[static_cast<std::size_t>(a) * ASCII_COUNT + static_cast<std::size_t>(b)] == 0) {
                continue;
            }
            for (int c = 0; c < ASCII_COUNT && table->valid; ++c) {
                const bool leftCorrected =
                    table->pairCorrection[static_cast<std::size_t>(c) * ASCII_COUNT + static_cast<std::size_t>(a)] != 0;
                const bool rightCorrected =
                    table->pairCorrection[static_cast<std::size_t>(b) * ASCII_COUNT + static_cast<std::size_t>(c)] != 0;
                if (leftCorrected) {
                    check(Triple(QChar(FIRST_ASCII + c), QChar(FIRST_ASCII + a), QChar(FIRST_ASCII + b)));
                }
                if (rightCorrected) {
                    check(Triple(QChar(FIRST_ASCII + a), QChar(FIRST_ASCII + b), QChar(FIRST_ASCII + c)));
                }
            }
        }
    }
    return table;
}

int TextMeasurer::AsciiWidth(const LabelText& text, int begin, int end) const {
    std::int64_t sum = 0;
    for (int i = begin; i < end; ++i) {
        if (i > begin) {
            sum += table_->Correction(text.Byte(i - 1), text.Byte(i));
        }
        sum += table_->Advance(text.Byte(i));
    }
    return RoundSubpixels(sum);
}

int TextMeasurer::Width(const LabelText& text, int begin, int end) const {
    if (end <= begin) {
        return 0;
    }
    if (asciiTable_ && text.IsPrintableAscii()) {
        return AsciiWidth(text, begin, end);
    }
    return metrics_.horizontalAdvance(text.Slice(begin, end));
}

bool TextMeasurer::Fits(std::string_view label, int available) const {
    if (asciiTable_ && !label.empty()) {
        if (IsPrintableAscii(label)) {
            // Rounding keeps the order of sums, so bounds of the sum bound
            // the width: first from the widest character alone, then from
            // the label's own advances.
            const AsciiTable& table = *table_;
            const auto count = static_cast<std::int64_t>(label.size());
            const std::int64_t corrections = (count - 1) * table.maxCorrection;
            if (RoundSubpixels(count * table.maxAdvance + corrections) <= available) {
                return true;
            }
            std::int64_t advances = 0;
            for (const char c : label) {
                advances += table.Advance(static_cast<unsigned char>(c));
            }
            if (RoundSubpixels(advances + corrections) <= available) {
                return true;
            }
            if (RoundSubpixels(advances + (count - 1) * table.minCorrection) > available) {
                return false;
            }
        }
    }
    const LabelText text(label);
    return Width(text, 0, text.Length()) <= available;
}

template <class WidthFunction>
int TextMeasurer::FindLineBreakWith(const LabelText& text, int begin, int available, const WidthFunction& width) const {
    const int n = text.Length();
    const int length = n - begin;
    if (available <= 0) {
        return length - 1;
    }
    // The prefixes are measured first and the whole rest only when a prefix
    // does not decide: widths grow with the text, so a prefix wider than the
    // row means the whole rest is wider too. The two tests stay as they are:
    // the whole rest fits when it is at most as wide as the row, a prefix only
    // when it is narrower.
    int b = 0;
    int e = 0;
    for (;;) {
        b = e;
        e = text.FindSpace(begin + b + 1) - begin;
        if (e >= length) {
            return width(begin, n) <= available ? length - 1 : b;
        }
        const int w = width(begin, begin + e);
        if (w < available) {
            continue;
        }
        if (w > available) {
            return b;
        }
        return width(begin, n) <= available ? length - 1 : b;
    }
}

int TextMeasurer::FindLineBreak(const LabelText& text, int begin, int available) const {
    return FindLineBreakWith(text, begin, available, [&](int from, int to) { return Width(text, from, to); });
}

std::vector<std::int32_t> TextMeasurer::BreakIntoRows(const LabelText& text, int available) const {
    std::vector<std::int32_t> starts;
    const int n = text.Length();
    if (n == 0) {
        return starts;
    }
    starts.push_back(0);
    if (available <= 0) {
        return starts;
    }
    const bool table = asciiTable_ && text.IsPrintableAscii();
    std::unique_ptr<PrefixWidths> prefix;
    if (table) {
        prefix = std::make_unique<PrefixWidths>(*table_, text);
    }
    const auto width = [&](int from, int to) {
        return table ? (*prefix)(from, to) : metrics_.horizontalAdvance(text.Slice(from, to));
    };
    int begin = 0;
    for (;;) {
        const int b = FindLineBreakWith(text, begin, available, width);
        int next = begin + b + 1;
        if (b == 0 && !table) {
            // A word wider than the row goes one character per row. Measured
            // by the engine, each row costs a measurement of the whole rest,
            // so the end of the run is found by halving instead: a row holds
            // one character exactly while the rest is wider than the row and
            // the rest of the first word is at least as wide.
            const int space = text.FindSpace(begin + 1);
            const auto singleCharacterRow = [&](int k) {
                return width(k, n) > available && width(k, space) >= available;
            };
            int low = begin;
            int high = space - 1;
            while (low < high) {
                const int middle = low + (high - low + 1) / 2;
                if (singleCharacterRow(middle)) {
                    low = middle;
                } else {
                    high = middle - 1;
                }
            }
            for (int k = begin + 1; k <= low && k < n; ++k) {
                starts.push_back(k);
            }
            next = low + 1;
        }
        if (next >= n) {
            return starts;
        }
        starts.push_back(next);
        begin = next;
    }
}

} // namespace tqf
