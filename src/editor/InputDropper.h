#pragma once

#include <QObject>

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tqf
