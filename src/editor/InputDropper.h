#pragma once

#include <QObject>

class QWidget;

namespace tqf {

// While one lives, what the user clicks, types, turns or drops anywhere in
// the program is dropped, not kept for later: a long read lets the window
// repaint between messages, and a click made meanwhile must not run once the
// read is over, on a document it never saw.
class InputDropper : public QObject {
public:
    InputDropper();
    ~InputDropper() override;
    InputDropper(const InputDropper&) = delete;
    InputDropper& operator=(const InputDropper&) = delete;

    // Input to window, and to what it holds, passes: the progress dialog's
    // Cancel, say.
    void Allow(const QWidget* window) { allowed_ = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when watched belongs to the window whose input passes.
    bool Allowed(QObject* watched) const;

    const QWidget* allowed_ = nullptr;
};

} // namespace tqf
