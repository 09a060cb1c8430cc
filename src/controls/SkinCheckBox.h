#pragma once

#include "SkinButton.h"

namespace tqf {

// The check form of the skinned button. It does all of its pressing, checking
// and notifying itself: the mouse and the Space key hold it down, releasing
// toggles the check state and then emits clicked().
class SkinCheckBox : public SkinButton {
    Q_OBJECT

public:
    explicit SkinCheckBox(const QString& caption = QString(), QWidget* parent = nullptr);

    // What a click on the box does: flips the check state, emits clicked()
    // and repaints the square. Mnemonics and assistive tools use it.
    void Toggle();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Flips the check state and emits clicked() with the new state.
    void ToggleAndNotify();

    // Whether this box took the mouse with a left-button press and has not
    // let go of it yet.
    bool capturing_ = false;
};

} // namespace tqf
