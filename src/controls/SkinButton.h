#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QPen>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>

class QPainter;

namespace tqf {

class PixelCanvas;

// The two forms of a skinned button, fixed at construction.
enum ButtonKind : int { PUSH_BUTTON = 0, CHECK_BOX = 1 };

// A push button drawn entirely by itself in a rounded, pixel-shaded 3D style
// whose colours come from the palette. The push form keeps QAbstractButton's
// pressing, focus and click behaviour; SkinCheckBox adds the check form.
// clicked() is the click notification of both forms and is emitted
// synchronously.
class SkinButton : public QAbstractButton {
    Q_OBJECT

public:
    // The state flags a paint request carries besides the button's members.
    enum DrawFlag : int { DRAW_SELECTED = 0x1, DRAW_DISABLED = 0x2, DRAW_FOCUS = 0x4 };

    explicit SkinButton(const QString& caption = QString(), QWidget* parent = nullptr);
    ~SkinButton() override;

    // Stores the check state (0 or 1) of a check box and repaints its square
    // when the state changed; no clicked() is emitted. A push button ignores it.
    void SetCheck(int state);
    // The check state; always 0 for a push button.
    int GetCheck() const { return checkState_; }

    ButtonKind Kind() const { return kind_; }
    // Whether a check box is being held down by the mouse or the Space key.
    bool IsPressed() const { return pressed_ != 0; }

    // Reads the seven colours from the palette; CreatePens then makes the pens
    // from them. Both run at construction and after every palette change.
    void LoadColours();
    void CreatePens();

    QRgb HighlightColour() const { return highlightColour_; }
    QRgb LightColour() const { return lightColour_; }
    QRgb FaceColour() const { return faceColour_; }
    QRgb FaceShadowColour() const { return faceShadowColour_; }
    QRgb ShadowColour() const { return shadowColour_; }
    QRgb DarkShadowColour() const { return darkShadowColour_; }
    QRgb ShadowDarkColour() const { return shadowDarkColour_; }

    // Halfway from a to b, channel by channel: a + floor((b - a) / 2), so the
    // half step always rounds down (100 and 99 give 99). The result is opaque.
    static QRgb MidpointColour(QRgb a, QRgb b);

    // The square of a check box inside the given client rectangle (QRect
    // x, y, width, height with the client's top-left at 0, 0).
    static QRect CheckSquareRect(const QRect& clientRect);
    // Where the caption goes for a button of the given kind and item size when
    // the caption measures textSize.
    static QRect CaptionRect(ButtonKind kind, const QSize& itemSize, const QSize& textSize);

    // Paints the whole button off-screen at the item rectangle's size and
    // copies it to the target at the item rectangle's position in one call.
    void DrawItem(QPainter& target, const QRect& itemRect, int stateFlags) const;
    // The off-screen image of the whole button with the given state flags and
    // the button's own kind, pressed and check state; DrawItem copies exactly
    // this image.
    QImage Render(bool selected, bool disabled, bool focus) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // Marks only the check square for repainting.
    void InvalidateCheckSquare();

    // The flags a paint of the widget in its present state passes.
    int CurrentDrawFlags() const;

    ButtonKind kind_ = PUSH_BUTTON;
    int pressed_ = 0;
    int checkState_ = 0;

private:
    QImage RenderItem(const QSize& itemSize, int stateFlags) const;
    void DrawPushFace(PixelCanvas& canvas, const QSize& itemSize, int stateFlags) const;
    void DrawRaisedFace(PixelCanvas& canvas, int left, int top, int right, int bottom) const;
    void DrawSunkenFace(PixelCanvas& canvas, int left, int top, int right, int bottom) const;
    void DrawCornerPixels(PixelCanvas& canvas, int left, int top, int right, int bottom) const;
    QRect DrawCaption(QImage& surface, int stateFlags) const;
    void DrawFocus(PixelCanvas& canvas, const QSize& itemSize, const QRect& captionRect) const;
    void DrawCheckSquare(PixelCanvas& canvas, const QSize& itemSize, int stateFlags) const;
    void DrawTick(PixelCanvas& canvas, int x0, int y0, bool disabled) const;
    QRgb WindowFrameColour() const;

    QRgb highlightColour_ = 0;
    QRgb lightColour_ = 0;
    QRgb faceColour_ = 0;
    QRgb faceShadowColour_ = 0;
    QRgb shadowColour_ = 0;
    QRgb darkShadowColour_ = 0;
    QRgb shadowDarkColour_ = 0;

    QPen highlightPen_;
    QPen lightPen_;
    QPen facePen_;
    QPen faceShadowPen_;
    QPen shadowPen_;
    QPen darkShadowPen_;
    QPen shadowDarkPen_;
};

} // namespace tqf
