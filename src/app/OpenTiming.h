#pragma once

#include <QObject>

class QWidget;

namespace tqf {

// For the benchmark of opening a library at start (bench/window-open): with
// the environment variable TQF_OPEN_TIMING set, the editor reports on
// standard error, as seconds since the epoch, when the read starts, when the
// progress dialog first shows and when the window answers with the library
// shown, and then ends. With TQF_OPEN_TIMING=cancel:MS it presses Cancel MS
// milliseconds after the progress dialog shows and reports that moment and
// the one the window answers. Without the variable nothing of this exists.
class OpenTiming : public QObject {
    Q_OBJECT

public:
    static constexpr const char* VARIABLE = "TQF_OPEN_TIMING";

    // None unless the variable is set; the window owns it.
    static OpenTiming* FromEnvironment(QWidget& window);

    // Around the open of the file named on the command line.
    void ReadStarting();
    void ReadEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OpenTiming(QWidget& window, int cancelAfterMs);
    static void Report(const char* what, double seconds);
    static double Now();

    QWidget& window_;
    // Below zero: no Cancel is pressed.
    int cancelAfterMs_;
    bool progressSeen_ = false;
    double cancelPressed_ = 0;
};

} // namespace tqf
