#include "AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace tqf {

namespace {

// Colours of the 16-colour palette that the picture uses.
constexpr QRgb NAVY = qRgb(0, 0, 128);
constexpr QRgb WHITE = qRgb(255, 255, 255);
constexpr QRgb SILVER = qRgb(192, 192, 192);
constexpr QRgb GRAY = qRgb(128, 128, 128);
constexpr QRgb TEAL = qRgb(0, 128, 128);
constexpr QRgb RED = qRgb(255, 0, 0);
constexpr QRgb BLACK = qRgb(0, 0, 0);

// The page, with its top right corner folded.
constexpr int PAGE_LEFT = 4;
constexpr int PAGE_TOP = 1;
constexpr int PAGE_RIGHT = 27;
constexpr int PAGE_BOTTOM = 30;
constexpr int FOLD = 6;

// The tree on the page: a root box, a vertical line below it, and three
// branches ending in nodes.
constexpr int BOX_SIZE = 5;
constexpr int ROOT_X = 8;
constexpr int ROOT_Y = 6;
constexpr int TRUNK_X = ROOT_X + BOX_SIZE / 2;
constexpr int BRANCH_YS[] = {14, 20, 26};
constexpr int NODE_X = 15;
constexpr int NODE_WIDTH = 9;
constexpr int NODE_HEIGHT = 3;

void DrawPage(QPainter& painter) {
    painter.fillRect(QRect(PAGE_LEFT, PAGE_TOP, PAGE_RIGHT - PAGE_LEFT + 1, PAGE_BOTTOM - PAGE_TOP + 1), WHITE);
    // The corner beyond the fold is cut away, and the flap lies below it.
    for (int row = 0; row < FOLD; ++row) {
        const int firstCut = PAGE_RIGHT - FOLD + 1 + row;
        painter.fillRect(QRect(firstCut, PAGE_TOP + row, PAGE_RIGHT - firstCut + 1, 1), Qt::transparent);
        painter.fillRect(QRect(PAGE_RIGHT - FOLD, PAGE_TOP + row, row + 1, 1), SILVER);
    }
    painter.setPen(QColor(NAVY));
    painter.drawLine(PAGE_LEFT, PAGE_TOP, PAGE_RIGHT - FOLD, PAGE_TOP);
    painter.drawLine(PAGE_RIGHT - FOLD, PAGE_TOP, PAGE_RIGHT, PAGE_TOP + FOLD);
    painter.drawLine(PAGE_RIGHT, PAGE_TOP + FOLD, PAGE_RIGHT, PAGE_BOTTOM);
    painter.drawLine(PAGE_RIGHT, PAGE_BOTTOM, PAGE_LEFT, PAGE_BOTTOM);
    painter.drawLine(PAGE_LEFT, PAGE_BOTTOM, PAGE_LEFT, PAGE_TOP);
    painter.drawLine(PAGE_RIGHT - FOLD, PAGE_TOP, PAGE_RIGHT - FOLD, PAGE_TOP + FOLD);
    painter.drawLine(PAGE_RIGHT - FOLD, PAGE_TOP + FOLD, PAGE_RIGHT, PAGE_TOP + FOLD);
}

void DrawTree(QPainter& painter) {
    painter.setPen(QColor(GRAY));
    painter.drawLine(TRUNK_X, ROOT_Y + BOX_SIZE, TRUNK_X, BRANCH_YS[2]);
    for (int y : BRANCH_YS) {
        painter.drawLine(TRUNK_X, y, NODE_X - 1, y);
    }
    painter.setPen(QColor(BLACK));
    painter.setBrush(QColor(WHITE));
    painter.drawRect(ROOT_X, ROOT_Y, BOX_SIZE - 1, BOX_SIZE - 1);
    painter.drawLine(ROOT_X + 1, ROOT_Y + BOX_SIZE / 2, ROOT_X + BOX_SIZE - 2, ROOT_Y + BOX_SIZE / 2);
    constexpr int LAST_BRANCH = 2;
    for (int i = 0; i <= LAST_BRANCH; ++i) {
        const QRgb colour = i == LAST_BRANCH ? RED : TEAL;
        painter.fillRect(QRect(NODE_X, BRANCH_YS[i] - NODE_HEIGHT / 2, NODE_WIDTH, NODE_HEIGHT), colour);
    }
}

} // namespace

QImage AppIcon::Image() {
    QImage image(ICON_SIZE, ICON_SIZE, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    DrawPage(painter);
    DrawTree(painter);
    painter.end();
    return image;
}

QIcon AppIcon::Icon() { return QIcon(QPixmap::fromImage(Image())); }

} // namespace tqf
