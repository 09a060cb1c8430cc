#include "SkinButton.h"

#include "PixelCanvas.h"
#include "SkinCheckBoxAccessible.h"

#include <QColor>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace tqf {

namespace {

// The check square: 14 pixels wide and 12 high in the box's client area; the
// drawn square leaves out the two rightmost columns, which only the tick's
// long stroke reaches.
constexpr int CHECK_SQUARE_WIDTH = 14;
constexpr int CHECK_SQUARE_HEIGHT = 12;
constexpr int CHECK_SQUARE_RIGHT_GAP = 2;
// The check square sits one pixel above the vertical centre, and so does a
// check box's caption.
constexpr int CHECK_BOX_LIFT = 1;
// Where a check box's caption starts, right of the square.
constexpr int CHECK_CAPTION_LEFT = 17;
// The push button's focus border lies this far inside its edges.
constexpr int PUSH_FOCUS_INSET = 4;
// A check box's focus border surrounds its caption with this much room; the
// extra pixel at the bottom keeps descenders inside.
constexpr int CHECK_FOCUS_GROW_LEFT = 1;
constexpr int CHECK_FOCUS_GROW_TOP = 1;
constexpr int CHECK_FOCUS_GROW_RIGHT = 1;
constexpr int CHECK_FOCUS_GROW_BOTTOM = 2;

// The caption colour of an enabled button that is not held down.
constexpr QRgb CAPTION_COLOUR = 0xFF000000;

// Half of value, rounded toward minus infinity (arithmetic shift).
constexpr int FloorHalf(int value) { return value >> 1; }

QRgb PenColour(const QPen& pen) { return pen.color().rgb(); }

} // namespace

SkinButton::SkinButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    // Every paint covers the whole button, so Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setText(caption);
    LoadColours();
    CreatePens();
}

SkinButton::~SkinButton() = default;

void SkinButton::SetCheck(int state) {
    if (kind_ == PUSH_BUTTON) {
        return;
    }
    // Only 0 and 1 are check states; anything else would make a toggle leave
    // them.
    const int newState = state != 0 ? 1 : 0;
    if (newState == checkState_) {
        return;
    }
    checkState_ = newState;
    InvalidateCheckSquare();
    SkinCheckBoxAccessible::NotifyCheckChanged(this);
}

QRgb SkinButton::MidpointColour(QRgb a, QRgb b) {
    const auto mid = [](int from, int to) { return from + ((to - from) >> 1); };
    return qRgb(mid(qRed(a), qRed(b)), mid(qGreen(a), qGreen(b)), mid(qBlue(a), qBlue(b)));
}

void SkinButton::LoadColours() {
    // The colours do not depend on the button's own state, so they all come
    // from the active group of its palette.
    const QPalette& colours = palette();
    const auto role = [&colours](QPalette::ColorRole colourRole) {
        return colours.color(QPalette::Active, colourRole).rgb();
    };
    highlightColour_ = role(QPalette::Light);
    lightColour_ = role(QPalette::Midlight);
    faceColour_ = role(QPalette::Button);
    shadowColour_ = role(QPalette::Dark);
    darkShadowColour_ = role(QPalette::Shadow);
    faceShadowColour_ = MidpointColour(faceColour_, shadowColour_);
    shadowDarkColour_ = MidpointColour(shadowColour_, darkShadowColour_);
}

void SkinButton::CreatePens() {
    const auto pen = [](QRgb colour) { return QPen(QColor::fromRgb(colour), 1, Qt::SolidLine); };
    highlightPen_ = pen(highlightColour_);
    lightPen_ = pen(lightColour_);
    facePen_ = pen(faceColour_);
    faceShadowPen_ = pen(faceShadowColour_);
    shadowPen_ = pen(shadowColour_);
    darkShadowPen_ = pen(darkShadowColour_);
    shadowDarkPen_ = pen(shadowDarkColour_);
}

QRgb SkinButton::WindowFrameColour() const { return palette().color(QPalette::Active, QPalette::WindowText).rgb(); }

QRect SkinButton::CheckSquareRect(const QRect& clientRect) {
    const int top = clientRect.top() + FloorHalf(clientRect.height() - CHECK_SQUARE_HEIGHT) - CHECK_BOX_LIFT;
    return {clientRect.left(), top, CHECK_SQUARE_WIDTH, CHECK_SQUARE_HEIGHT};
}

QRect SkinButton::CaptionRect(ButtonKind kind, const QSize& itemSize, const QSize& textSize) {
    if (kind == CHECK_BOX) {
        const int top = FloorHalf(itemSize.height() - textSize.height()) - CHECK_BOX_LIFT;
        return {CHECK_CAPTION_LEFT, top, textSize.width(), textSize.height()};
    }
    return {FloorHalf(itemSize.width() - textSize.width()), FloorHalf(itemSize.height() - textSize.height()),
            textSize.width(), textSize.height()};
}

int SkinButton::CurrentDrawFlags() const {
    int flags = 0;
    if (kind_ == PUSH_BUTTON && isDown()) {
        flags |= DRAW_SELECTED;
    }
    if (!isEnabled()) {
        flags |= DRAW_DISABLED;
    }
    if (hasFocus()) {
        flags |= DRAW_FOCUS;
    }
    return flags;
}

QImage SkinButton::Render(bool selected, bool disabled, bool focus) const {
    const int flags = (selected ? DRAW_SELECTED : 0) | (disabled ? DRAW_DISABLED : 0) | (focus ? DRAW_FOCUS : 0);
    return RenderItem(size(), flags);
}

void SkinButton::DrawItem(QPainter& target, const QRect& itemRect, int stateFlags) const {
    const QImage surface = RenderItem(itemRect.size(), stateFlags);
    if (surface.isNull()) {
        return;
    }
    target.drawImage(itemRect.topLeft(), surface);
}

QImage SkinButton::RenderItem(const QSize& itemSize, int stateFlags) const {
    QImage surface(itemSize, QImage::Format_RGB32);
    if (surface.isNull()) {
        return surface;
    }
    surface.setDevicePixelRatio(1.0);
    PixelCanvas canvas(surface);
    canvas.FillRect(QRect(QPoint(0, 0), itemSize), faceColour_);
    if (kind_ == PUSH_BUTTON) {
        DrawPushFace(canvas, itemSize, stateFlags);
    }
    const QRect captionRect = DrawCaption(surface, stateFlags);
    if ((stateFlags & DRAW_FOCUS) != 0) {
        DrawFocus(canvas, itemSize, captionRect);
    }
    if (kind_ == CHECK_BOX) {
        DrawCheckSquare(canvas, itemSize, stateFlags);
    }
    return surface;
}

void SkinButton::DrawPushFace(PixelCanvas& canvas, const QSize& itemSize, int stateFlags) const {
    const QRect item(QPoint(0, 0), itemSize);
    if ((stateFlags & DRAW_DISABLED) != 0) {
        canvas.RoundRect(item, shadowColour_, faceColour_);
        return;
    }
    if ((stateFlags & DRAW_SELECTED) != 0) {
        DrawSunkenFace(canvas, 0, 0, itemSize.width(), itemSize.height());
    } else {
        DrawRaisedFace(canvas, 0, 0, itemSize.width(), itemSize.height());
    }
}

void SkinButton::DrawRaisedFace(PixelCanvas& canvas, int left, int top, int right, int bottom) const {
    const int l = left;
    const int t = top;
    const int r = right;
    const int b = bottom;
    canvas.RoundRect(QRect(l, t, r - l, b - t), WindowFrameColour(), faceColour_);
    canvas.Polyline({{l + 2, b - 4}, {l + 2, t + 2}, {r - 3, t + 2}}, PenColour(highlightPen_));
    canvas.SetPixel(l + 3, t + 3, highlightColour_);
    canvas.Polyline({{l + 3, b - 3}, {r - 4, b - 3}, {r - 4, b - 4}, {r - 3, b - 4}, {r - 3, t + 2}},
                    PenColour(faceShadowPen_));
    canvas.Polyline({{l + 3, b - 2}, {r - 3, b - 2}, {r - 3, b - 3}, {r - 2, b - 3}, {r - 2, t + 2}},
                    PenColour(shadowPen_));
    DrawCornerPixels(canvas, l, t, r, b);
    for (const QPoint& point : {QPoint(l + 1, t + 2), QPoint(l + 2, t + 1), QPoint(r - 3, t + 1), QPoint(r - 2, t + 2),
                                QPoint(l + 2, b - 2), QPoint(l + 1, b - 3)}) {
        canvas.SetPixel(point, faceShadowColour_);
    }
    // The shading above touches the corners, so they are set once more last.
    DrawCornerPixels(canvas, l, t, r, b);
}

void SkinButton::DrawSunkenFace(PixelCanvas& canvas, int left, int top, int right, int bottom) const {
    const int l = left;
    const int t = top;
    const int r = right;
    const int b = bottom;
    canvas.RoundRect(QRect(l, t, r - l, b - t), WindowFrameColour(), faceShadowColour_);
    canvas.Polyline({{l + 1, b - 4}, {l + 1, t + 2}, {l + 2, t + 2}, {l + 2, t + 1}, {r - 3, t + 1}},
                    PenColour(shadowDarkPen_));
    canvas.Polyline({{l + 2, b - 4}, {l + 2, t + 3}, {l + 3, t + 3}, {l + 3, t + 2}, {r - 3, t + 2}},
                    PenColour(shadowPen_));
    canvas.Polyline({{l + 3, b - 2}, {r - 4, b - 2}, {r - 2, b - 4}, {r - 2, t + 2}}, PenColour(lightPen_));
    canvas.Polyline({{l + 3, b - 3}, {r - 4, b - 3}, {r - 4, b - 4}, {r - 3, b - 4}, {r - 3, t + 2}},
                    PenColour(facePen_));
    canvas.SetPixel(r - 2, t + 2, faceColour_);
    canvas.SetPixel(l + 2, b - 2, faceColour_);
    canvas.SetPixel(r - 3, t + 1, shadowColour_);
    canvas.SetPixel(l + 1, b - 3, shadowColour_);
    DrawCornerPixels(canvas, l, t, r, b);
}

void SkinButton::DrawCornerPixels(PixelCanvas& canvas, int left, int top, int right, int bottom) const {
    const int l = left;
    const int t = top;
    const int r = right;
    const int b = bottom;
    for (const QPoint& point : {QPoint(l, t + 2), QPoint(l + 2, t), QPoint(r - 3, t), QPoint(r - 1, t + 2),
                                QPoint(r - 1, b - 3), QPoint(r - 3, b - 1), QPoint(l + 2, b - 1), QPoint(l, b - 3)}) {
        canvas.SetPixel(point, shadowDarkColour_);
    }
}

QRect SkinButton::DrawCaption(QImage& surface, int stateFlags) const {
    QPainter painter(&surface);
    painter.setFont(font());
    const QFontMetrics metrics(font(), &surface);
    const QString caption = text();
    const QSize textSize(metrics.horizontalAdvance(caption), metrics.height());
    const QRect captionRect = CaptionRect(kind_, surface.size(), textSize);

    QRgb colour = CAPTION_COLOUR;
    if (kind_ == PUSH_BUTTON && (stateFlags & DRAW_SELECTED) != 0) {
        colour = highlightColour_;
    }
    if ((stateFlags & DRAW_DISABLED) != 0) {
        colour = shadowColour_;
    }
    painter.setPen(QColor::fromRgb(colour));
    painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);
    return captionRect;
}

void SkinButton::DrawFocus(PixelCanvas& canvas, const QSize& itemSize, const QRect& captionRect) const {
    if (kind_ == PUSH_BUTTON) {
        canvas.FocusRect(QRect(QPoint(0, 0), itemSize)
                             .adjusted(PUSH_FOCUS_INSET, PUSH_FOCUS_INSET, -PUSH_FOCUS_INSET, -PUSH_FOCUS_INSET));
        return;
    }
    // Grow the caption rectangle, then keep every edge inside the item.
    const int left = std::max(captionRect.left() - CHECK_FOCUS_GROW_LEFT, 0);
    const int top = std::max(captionRect.top() - CHECK_FOCUS_GROW_TOP, 0);
    const int right = std::min(captionRect.left() + captionRect.width() + CHECK_FOCUS_GROW_RIGHT, itemSize.width());
    const int bottom = std::min(captionRect.top() + captionRect.height() + CHECK_FOCUS_GROW_BOTTOM, itemSize.height());
    canvas.FocusRect(QRect(left, top, right - left, bottom - top));
}

void SkinButton::DrawCheckSquare(PixelCanvas& canvas, const QSize& itemSize, int stateFlags) const {
    const bool disabled = (stateFlags & DRAW_DISABLED) != 0;
    const QRect square = CheckSquareRect(QRect(QPoint(0, 0), itemSize));
    const QRect framed(square.left(), square.top(), square.width() - CHECK_SQUARE_RIGHT_GAP, square.height());
    canvas.Frame(framed, disabled ? shadowColour_ : WindowFrameColour());

    const QRect inner = framed.adjusted(1, 1, -1, -1);
    if (pressed_ != 0) {
        canvas.FillRect(inner, faceShadowColour_);
        canvas.Frame3D(inner, shadowColour_, lightColour_);
    } else {
        canvas.FillRect(inner, faceColour_);
        if (!disabled) {
            canvas.Frame3D(inner, highlightColour_, shadowColour_);
        }
    }
    canvas.SetPixel(inner.right(), inner.top(), faceColour_);
    canvas.SetPixel(inner.left(), inner.bottom(), faceColour_);

    if (checkState_ == 1) {
        DrawTick(canvas, inner.left(), inner.top(), disabled);
    }
}

void SkinButton::DrawTick(PixelCanvas& canvas, int x0, int y0, bool disabled) const {
    canvas.Polyline({{x0 + 4, y0 + 8}, {x0 + 9, y0 + 3}, {x0 + 9, y0 + 5}},
                    PenColour(disabled ? faceShadowPen_ : shadowPen_));
    canvas.Polyline({{x0 + 2, y0 + 6}, {x0 + 4, y0 + 8}}, PenColour(faceShadowPen_));
    canvas.Polyline({{x0 + 5, y0 + 8}, {x0 + 9, y0 + 4}}, PenColour(faceShadowPen_));
    canvas.SetPixel(x0 + 11, y0 + 1, disabled ? faceShadowColour_ : shadowColour_);
    canvas.SetPixel(x0 + 12, y0 + 1, faceShadowColour_);
    canvas.SetPixel(x0 + 11, y0 + 2, faceShadowColour_);
    const QRgb stroke = PenColour(disabled ? shadowPen_ : darkShadowPen_);
    canvas.Polyline({{x0 + 1, y0 + 4}, {x0 + 4, y0 + 7}, {x0 + 12, y0 - 1}}, stroke);
    canvas.Polyline({{x0 + 2, y0 + 4}, {x0 + 4, y0 + 6}, {x0 + 11, y0 - 1}}, stroke);
}

void SkinButton::InvalidateCheckSquare() { update(CheckSquareRect(rect())); }

void SkinButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    DrawItem(painter, rect(), CurrentDrawFlags());
}

void SkinButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    // A change of the application's palette reaches the button as a change of
    // its own resolved palette.
    if (event->type() == QEvent::PaletteChange) {
        LoadColours();
        CreatePens();
        update();
    }
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mouseDoubleClickEvent(event);
        return;
    }
    // A double click counts as one more press at the same point, with no keys
    // or buttons reported as held, so two quick clicks are two clicks.
    QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(), event->globalPosition(),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier, event->pointingDevice());
    mousePressEvent(&press);
    event->setAccepted(press.isAccepted());
}

} // namespace tqf
