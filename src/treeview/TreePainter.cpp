#include "TreePainter.h"

#include "LabelText.h"

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <limits>

namespace tqf {

namespace {

QRgb ToRgb(ColorRef color) { return qRgb(RedOf(color), GreenOf(color), BlueOf(color)); }

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

TreePainter::TreePainter(const TreeLayout& layout, const FormatNode* root, const TreeAppearance& appearance)
    : layout_(layout), root_(root), appearance_(appearance) {}

NodeRect TreePainter::ClientRect(const RowPlacement& row, int scroll, int clientWidth) {
    if (row.node != nullptr && !row.node->Label().empty() && row.height == 0) {
        return {};
    }
    const std::int64_t top = TreeLayout::MARGIN - scroll + row.top;
    return {TreeLayout::TextLeft(row.depth), ClampToInt32(top), clientWidth - TreeLayout::MARGIN,
            ClampToInt32(top + row.height)};
}

QImage TreePainter::Paint(int width, int height, int scroll) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    scroll_ = scroll;
    drawn_.clear();
    midYCache_.clear();
    image_ = QImage();
    if (width_ == 0 || height_ == 0) {
        return image_;
    }
    FillBackground();

    // The rows that meet the image: from the first that ends below its top to
    // the last that starts above its bottom.
    const std::size_t first = layout_.FirstEndingAfter(static_cast<std::int64_t>(scroll_) - TreeLayout::MARGIN);
    std::size_t last = first;
    std::int64_t firstTop = 0;
    if (first < layout_.Size()) {
        firstTop = layout_.At(first).top;
        std::int64_t top = firstTop;
        while (last < layout_.Size() && ClientTop(top) < height_) {
            top += layout_.Entry(last).height;
            ++last;
        }
    }
    DrawLabels(first, last, firstTop);
    if (appearance_.showLines) {
        if (layout_.HasStrayConnectors()) {
            DrawConnectors(0, layout_.Size(), 0, false);
        } else {
            DrawConnectors(first, last, firstTop, true);
        }
    }
    DrawFrame();
    return image_;
}

void TreePainter::FillBackground() {
    if (appearance_.picture != nullptr && !appearance_.picture->isNull() &&
        appearance_.picture->size() == QSize(width_, height_)) {
        image_ = appearance_.picture->convertToFormat(QImage::Format_RGB32);
        image_.setDevicePixelRatio(1);
        return;
    }
    image_ = QImage(width_, height_, QImage::Format_RGB32);
    image_.setDevicePixelRatio(1);
    image_.fill(ToRgb(appearance_.backgroundColor));
}

void TreePainter::DrawLabels(std::size_t first, std::size_t last, std::int64_t firstTop) {
    QPainter painter(&image_);
    painter.setFont(layout_.Measurer().Font());
    const int rowHeight = layout_.RowHeight();
    const int right = width_ - TreeLayout::MARGIN;
    std::int64_t top = firstTop;
    for (std::size_t i = first; i < last; ++i) {
        const RowEntry& row = layout_.Entry(i);
        const FormatNode* node = row.node;
        drawn_.emplace_back(node, ClientRect({node, top, row.height, row.depth}, scroll_, width_));
        const std::int64_t nodeTop = ClientTop(top);
        top += row.height;
        if (row.height == 0 || node->Label().empty()) {
            continue;
        }
        const ColorRef color = node->UsesTreeColor() ? appearance_.textColor : node->Color();
        painter.setPen(QColor(RedOf(color), GreenOf(color), BlueOf(color)));
        const LabelText text(node->Label());
        const std::vector<std::int32_t>& starts = layout_.RowStarts(node);
        const std::int64_t rows = starts.empty() ? 1 : static_cast<std::int64_t>(starts.size());
        const int x = TreeLayout::TextLeft(row.depth);
        // Rows above the image are skipped without visiting them one by one.
        const std::int64_t firstRow = nodeTop < 0 ? -nodeTop / rowHeight : 0;
        for (std::int64_t r = firstRow; r < rows; ++r) {
            const std::int64_t rowTop = nodeTop + r * rowHeight;
            if (rowTop >= height_) {
                break;
            }
            if (rowTop + rowHeight <= 0) {
                continue;
            }
            const int begin = starts.empty() ? 0 : starts[static_cast<std::size_t>(r)];
            const int end = r + 1 < rows ? starts[static_cast<std::size_t>(r) + 1] : text.Length();
            const QRect rowRect(x, static_cast<int>(rowTop), right - x, rowHeight);
            painter.setClipRect(rowRect);
            const QString slice = text.Slice(begin, end);
            painter.drawText(rowRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, slice);
            if (rules_ != nullptr && r + 1 == rows) {
                DrawRules(painter, node, rowRect, slice);
            }
        }
    }
}

void TreePainter::DrawRules(QPainter& painter, const FormatNode* node, const QRect& rowRect, const QString& text) {
    const NodeRules* rules = rules_->EffectiveFor(node);
    if (rules == nullptr || !rules->Constrains()) {
        return;
    }
    const int left = rowRect.left() + painter.fontMetrics().horizontalAdvance(text) + RULES_GAP;
    if (left >= rowRect.right()) {
        return;
    }
    const QPen labelPen = painter.pen();
    painter.setPen(QColor(RedOf(RULES_COLOR), GreenOf(RULES_COLOR), BlueOf(RULES_COLOR)));
    const QRect room(left, rowRect.top(), rowRect.right() + 1 - left, rowRect.height());
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromLocal8Bit(RulesSummary(*rules, node->Format())));
    painter.setPen(labelPen);
}

TreePainter::Connector TreePainter::MakeConnector(const FormatNode* node, std::int64_t contentTop, std::int32_t height,
                                                  std::int32_t depth) const {
    Connector c;
    c.node = node;
    c.depth = depth;
    const int halfRow = layout_.RowHeight() / 2;
    if (!node->Label().empty() && height == 0) {
        c.invisible = true;
        c.midY = halfRow;
        return c;
    }
    c.left = TreeLayout::TextLeft(depth);
    c.midY = ClientTop(contentTop) + halfRow;
    return c;
}

std::int64_t TreePainter::MidYOf(const FormatNode* node) {
    const auto cached = midYCache_.find(node);
    if (cached != midYCache_.end()) {
        return cached->second;
    }
    std::int64_t midY = layout_.RowHeight() / 2;
    if (const std::optional<RowPlacement> row = layout_.Find(node)) {
        midY = MakeConnector(node, row->top, row->height, row->depth).midY;
    }
    midYCache_.emplace(node, midY);
    return midY;
}

void TreePainter::DrawConnectors(std::size_t first, std::size_t last, std::int64_t firstTop, bool bottomLines) {
    // The nodes whose sub-nodes are not all drawn yet: each row's ancestors
    // among the rows walked so far.
    std::vector<Connector> open;
    std::int64_t top = firstTop;
    for (std::size_t i = first; i < last; ++i) {
        const RowEntry& row = layout_.Entry(i);
        Connector c = MakeConnector(row.node, top, row.height, row.depth);
        top += row.height;
        while (!open.empty() && open.back().depth >= c.depth) {
            Emit(open.back());
            open.pop_back();
        }
        const FormatNode* parent = c.node->Parent();
        if (parent != nullptr && parent != root_) {
            c.hasParentLine = true;
            c.parentMidY = !open.empty() && open.back().node == parent ? open.back().midY : MidYOf(parent);
        }
        if (bottomLines) {
            midYCache_[c.node] = c.midY;
        }
        open.push_back(c);
    }
    if (bottomLines && !open.empty()) {
        // Lines from the walked rows, or from above them, to sub-nodes below
        // the image cross it: draw the first such sub-node of every ancestor
        // of the last row, each where its place in the order puts it.
        const FormatNode* node = open.back().node;
        std::int32_t depth = open.back().depth;
        if (node->IsExpanded() && node->FirstChild() != nullptr) {
            EmitBelow(node->FirstChild(), depth + 1);
        }
        for (; node != nullptr && node != root_; node = node->Parent(), --depth) {
            if (!open.empty() && open.back().node == node) {
                Emit(open.back());
                open.pop_back();
            }
            if (node->NextSibling() != nullptr) {
                EmitBelow(node->NextSibling(), depth);
            }
        }
    }
    while (!open.empty()) {
        Emit(open.back());
        open.pop_back();
    }
}

void TreePainter::EmitBelow(const FormatNode* node, std::int32_t depth) {
    // Messages have no line to their parent; deeper columns may lie right of
    // the image.
    const std::int64_t column =
        static_cast<std::int64_t>(TreeLayout::TextLeft(depth)) - TreeLayout::INDENT - CONNECTOR_OFFSET;
    if (depth <= 1 || column >= width_) {
        return;
    }
    const std::optional<RowPlacement> row = layout_.Find(node);
    if (!row) {
        return;
    }
    Connector c = MakeConnector(node, row->top, row->height, row->depth);
    c.hasParentLine = true;
    c.parentMidY = MidYOf(node->Parent());
    Emit(c);
}

void TreePainter::Emit(const Connector& c) {
    if (c.invisible) {
        return;
    }
    const ColorRef line = appearance_.lineColor;
    if (c.hasParentLine) {
        const std::int64_t column = c.left - TreeLayout::INDENT - CONNECTOR_OFFSET;
        Fill(column, c.midY, TreeLayout::INDENT, 1, line);
        FillColumn(column, c.parentMidY, c.midY, line);
    }
    Fill(c.left - BOX_LEFT, c.midY - BOX_HALF, BOX_SIZE, BOX_SIZE, line);
    if (c.node->FirstChild() == nullptr) {
        Fill(c.left - CENTER_LEFT, c.midY - CENTER_HALF, CENTER_SIZE, CENTER_SIZE, LEAF_CENTER_COLOR);
    }
}

void TreePainter::Fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, ColorRef color) {
    // A negative extent covers the rectangle between the two corners.
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t right = std::min<std::int64_t>(x + w, width_);
    const std::int64_t topRow = std::max<std::int64_t>(y, 0);
    const std::int64_t bottom = std::min<std::int64_t>(y + h, height_);
    if (left >= right || topRow >= bottom) {
        return;
    }
    const QRgb pixel = ToRgb(color);
    for (std::int64_t row = topRow; row < bottom; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(static_cast<int>(row)));
        std::fill(line + left, line + right, pixel);
    }
}

void TreePainter::FillColumn(std::int64_t x, std::int64_t fromY, std::int64_t toY, ColorRef color) {
    Fill(x, fromY, 1, toY - fromY, color);
}

void TreePainter::DrawFrame() {
    Fill(0, 0, width_, 1, FRAME_COLOR);
    Fill(0, 0, 1, height_, FRAME_COLOR);
    Fill(width_ - 1, 0, 1, height_, FRAME_COLOR);
    Fill(0, height_ - 1, width_, 1, FRAME_COLOR);
}

} // namespace tqf
