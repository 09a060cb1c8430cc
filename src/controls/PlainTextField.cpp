#include "PlainTextField.h"

#include <QMimeData>

namespace tqf {

namespace {

bool HoldsSomething(const QMimeData* source) { return source != nullptr && !source->formats().isEmpty(); }

} // namespace

bool PlainTextField::canInsertFromMimeData(const QMimeData* source) const {
    return HoldsSomething(source) && QPlainTextEdit::canInsertFromMimeData(source);
}

void PlainTextField::insertFromMimeData(const QMimeData* source) {
    if (HoldsSomething(source)) {
        QPlainTextEdit::insertFromMimeData(source);
    }
}

} // namespace tqf
