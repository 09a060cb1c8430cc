#include "ReferenceTreePainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <vector>

namespace tqf {

namespace {

constexpr int INDENT = 16;
constexpr int MARGIN = 4;

QRgb ToRgb(ColorRef color) { return qRgb(RedOf(color), GreenOf(color), BlueOf(color)); }

// Fills as the platform does: a negative extent covers the rectangle between
// the two corners; everything is clipped to the image.
void Fill(QImage& image, long long x, long long y, long long w, long long h, ColorRef color) {
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    for (long long row = std::max(y, 0LL); row < std::min(y + h, static_cast<long long>(image.height())); ++row) {
        for (long long col = std::max(x, 0LL); col < std::min(x + w, static_cast<long long>(image.width())); ++col) {
            image.setPixel(static_cast<int>(col), static_cast<int>(row), ToRgb(color));
        }
    }
}

NodeRect Union(const NodeRect& a, const NodeRect& b) {
    if (a.IsEmpty() && b.IsEmpty()) {
        return {};
    }
    if (a.IsEmpty()) {
        return b;
    }
    if (b.IsEmpty()) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

} // namespace

int ReferenceTreePainter::FindLineBreak(const std::u32string& text, int available, const QFont& font) {
    // One character is one code point.
    const QFontMetrics metrics(font);
    const auto width = [&](std::size_t count) {
        return metrics.horizontalAdvance(QString::fromUcs4(text.data(), static_cast<qsizetype>(count)));
    };
    const int length = static_cast<int>(text.size());
    if (width(text.size()) <= available || available <= 0) {
        return length - 1;
    }
    std::size_t b = 0;
    std::size_t e = 0;
    do {
        b = e;
        e = text.find(U' ', b + 1);
        if (e == std::u32string::npos) {
            e = text.size();
        }
    } while (width(e) < available);
    return static_cast<int>(b);
}

QImage ReferenceTreePainter::Paint(const FormatNode* root, int width, int height, int scroll) {
    rects.clear();
    QImage image(width, height, QImage::Format_RGB32);
    if (picture != nullptr) {
        image = picture->convertToFormat(QImage::Format_RGB32);
    } else {
        image.fill(ToRgb(backgroundColor));
    }
    QPainter painter(&image);
    painter.setFont(font);

    // Layout and text, in document order.
    const FormatNode* node = root->FirstChild();
    int x = INDENT;
    int y = MARGIN - scroll;
    while (node != nullptr) {
        NodeRect rect{x, y, width - MARGIN, y + rowHeight};
        const ColorRef color = node->UsesTreeColor() != 0 ? textColor : node->Color();
        painter.setPen(QColor(RedOf(color), GreenOf(color), BlueOf(color)));
        std::u32string rest =
            QString::fromUtf8(node->Label().data(), static_cast<qsizetype>(node->Label().size())).toStdU32String();
        int rowTop = y;
        while (!rest.empty()) {
            const NodeRect row{x, rowTop, width - MARGIN, rowTop + rowHeight};
            const int b = FindLineBreak(rest, width - x - MARGIN, font);
            if (row.bottom > 0 && row.top < height) {
                const QRect rowRect(row.left, row.top, row.right - row.left, rowHeight);
                if (rowRect.width() > 0) {
                    painter.setClipRect(rowRect);
                    painter.drawText(rowRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                                     QString::fromUcs4(rest.data(), b + 1));
                }
            }
            rest.erase(0, static_cast<std::size_t>(b) + 1);
            rect = Union(rect, row);
            rowTop = row.bottom;
        }
        rects[node] = rect;
        const int nodeHeight = rect.bottom - rect.top;
        y += nodeHeight;
        if (node->IsExpanded() != 0 && node->FirstChild() != nullptr) {
            node = node->FirstChild();
            x += INDENT;
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = node->Parent();
            x -= INDENT;
            if (node == root) {
                node = nullptr;
            }
        }
        if (node != nullptr) {
            // The next sibling starts below the rows of everything before it.
            node = node->NextSibling();
        }
    }
    painter.end();

    if (showLines && root->FirstChild() != nullptr) {
        // Sub-nodes before their node, siblings in order.
        struct Step {
            const FormatNode* node;
            bool childrenDone;
        };
        std::vector<Step> stack{{root->FirstChild(), false}};
        while (!stack.empty()) {
            Step& step = stack.back();
            const FormatNode* n = step.node;
            if (!step.childrenDone) {
                step.childrenDone = true;
                if (n->IsExpanded() != 0 && n->FirstChild() != nullptr) {
                    stack.push_back({n->FirstChild(), false});
                    continue;
                }
            }
            stack.pop_back();
            const NodeRect& r = rects[n];
            const int midY = r.top + rowHeight / 2;
            const int left = r.left;
            if (n->Parent() != root) {
                const int parentMid = rects[n->Parent()].top + rowHeight / 2;
                Fill(image, left - INDENT - 6, midY, INDENT, 1, lineColor);
                Fill(image, left - INDENT - 6, parentMid, 1, midY - parentMid, lineColor);
            }
            Fill(image, left - 8, midY - 2, 5, 5, lineColor);
            if (n->FirstChild() == nullptr) {
                Fill(image, left - 7, midY - 1, 3, 3, Rgb(255, 255, 255));
            }
            if (n->NextSibling() != nullptr) {
                stack.push_back({n->NextSibling(), false});
            }
        }
    }
    Fill(image, 0, 0, width, 1, 0);
    Fill(image, 0, 0, 1, height, 0);
    Fill(image, width - 1, 0, 1, height, 0);
    Fill(image, 0, height - 1, width, 1, 0);
    return image;
}

} // namespace tqf
