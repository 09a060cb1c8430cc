#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class QProgressDialog;
class QWidget;

namespace tqf {

// How far the read of a library has come: a modal dialog, in the program's
// font, that appears once the read has taken a moment, shows the share of
// the file's bytes read and the messages so far, and has Cancel. The read
// polls it; it answers whether the user has cancelled. A save shows its
// stages, checking and writing, in the same dialog.
class ReadProgress : public QObject {
    Q_OBJECT

public:
    // How long a read goes on before the dialog appears: a file read sooner
    // shows none.
    static constexpr int SHOW_AFTER_MS = 500;
    // How often, at most, the dialog is updated and the program answers
    // input during the read: often enough that Cancel is answered at once.
    static constexpr int POLL_INTERVAL_MS = 40;
    // The bar's steps from the start of the file to its end.
    static constexpr int BAR_STEPS = 1000;

    // A read of totalBytes bytes from the file at path, on behalf of the
    // window parent; title is the dialog's caption.
    ReadProgress(QWidget* parent, const QString& title, const QString& path, std::uintmax_t totalBytes,
                 int showAfterMs = SHOW_AFTER_MS);
    ~ReadProgress() override;
    ReadProgress(const ReadProgress&) = delete;
    ReadProgress& operator=(const ReadProgress&) = delete;

    // Called often during the read: now and then it shows the dialog,
    // updates it and lets the program answer input. True when the user has
    // cancelled the read.
    bool Poll(std::uintmax_t bytesRead, std::size_t messages);

    // The work goes on with another stage ("Checking", "Writing") of
    // totalBytes bytes; the bar starts again. Without messages, the dialog
    // shows the share of bytes only.
    void SetStage(const QString& action, std::uintmax_t totalBytes, bool messages);

    // Shows the dialog at once, with note under the progress: something the
    // user should know before the work starts.
    void ShowNote(const QString& note);

    bool Cancelled() const { return cancelled_; }
    // The dialog, shown or not yet, for input to pass to it while the rest
    // of the program drops input.
    QWidget* Dialog() const;

private:
    void Update(std::uintmax_t bytesRead, std::size_t messages);

    std::unique_ptr<QProgressDialog> dialog_;
    QString fileName_;
    QString action_;
    QString note_;
    bool showMessages_ = true;
    std::uintmax_t totalBytes_;
    int showAfterMs_;
    QElapsedTimer sinceStart_;
    QElapsedTimer sincePoll_;
    bool cancelled_ = false;
};

} // namespace tqf
