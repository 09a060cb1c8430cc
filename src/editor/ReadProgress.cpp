#include "ReadProgress.h"

#include "DialogFont.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>

#include <algorithm>
#include <limits>

namespace tqf {

ReadProgress::ReadProgress(QWidget* parent, const QString& title, const QString& path, std::uintmax_t totalBytes,
                           int showAfterMs)
    : dialog_(std::make_unique<QProgressDialog>(parent)), fileName_(QFileInfo(path).fileName()),
      action_(QStringLiteral("Reading")), totalBytes_(totalBytes), showAfterMs_(showAfterMs) {
    dialog_->setWindowTitle(title);
    dialog_->setFont(DialogFont::MainFont());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setRange(0, BAR_STEPS);
    // The dialog is shown here, after SHOW_AFTER_MS, not by its own guess
    // of how long the read will take.
    dialog_->setMinimumDuration(std::numeric_limits<int>::max());
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setLabelText(QStringLiteral("%1 %2...").arg(action_, fileName_));
    connect(dialog_.get(), &QProgressDialog::canceled, this, [this] { cancelled_ = true; });
    sinceStart_.start();
    sincePoll_.start();
}

ReadProgress::~ReadProgress() = default;

QWidget* ReadProgress::Dialog() const { return dialog_.get(); }

void ReadProgress::SetStage(const QString& action, std::uintmax_t totalBytes, bool messages) {
    action_ = action;
    totalBytes_ = totalBytes;
    showMessages_ = messages;
    Update(0, 0);
}

void ReadProgress::ShowNote(const QString& note) {
    note_ = note;
    Update(0, 0);
    dialog_->show();
    QCoreApplication::processEvents();
}

bool ReadProgress::Poll(std::uintmax_t bytesRead, std::size_t messages) {
    if (cancelled_) {
        return true;
    }
    // The dialog appears as soon as the read has taken SHOW_AFTER_MS, and is
    // updated every POLL_INTERVAL_MS from then on.
    const bool shown = dialog_->isVisible();
    if (shown ? sincePoll_.elapsed() < POLL_INTERVAL_MS : sinceStart_.elapsed() < showAfterMs_) {
        return false;
    }
    sincePoll_.restart();
    Update(bytesRead, messages);
    if (!shown) {
        dialog_->show();
    }
    QCoreApplication::processEvents();
    return cancelled_;
}

void ReadProgress::Update(std::uintmax_t bytesRead, std::size_t messages) {
    const std::uintmax_t done = std::min(bytesRead, totalBytes_);
    const auto step = totalBytes_ == 0
                          ? BAR_STEPS
                          : static_cast<int>(static_cast<double>(done) / static_cast<double>(totalBytes_) * BAR_STEPS);
    // The value is set without the dialog's own event processing, which
    // Poll does once for the whole update.
    dialog_->blockSignals(true);
    dialog_->setValue(step);
    dialog_->blockSignals(false);
    QString label = QStringLiteral("%1 %2...").arg(action_, fileName_);
    if (showMessages_) {
        label += QStringLiteral("\n%1 messages").arg(QString::number(static_cast<qulonglong>(messages)));
    }
    if (!note_.isEmpty()) {
        label += QStringLiteral("\n\n") + note_;
    }
    dialog_->setLabelText(label);
}

} // namespace tqf
