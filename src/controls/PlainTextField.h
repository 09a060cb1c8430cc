#pragma once

#include <QPlainTextEdit>

namespace tqf {

// A plain text field that a paste from an empty clipboard leaves as it is.
// Qt 6.4 takes the first format of what is pasted without asking whether
// there is one, so Ctrl+V with nothing copied (as after a fresh login) ends
// the program in a QPlainTextEdit.
class PlainTextField : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace tqf
