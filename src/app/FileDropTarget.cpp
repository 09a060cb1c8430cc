#include "FileDropTarget.h"

#include "FileCommands.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QList>
#include <QMetaObject>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tqf {

namespace {

// Opening reads the file and leaves it where it is: the source is asked to
// copy (or link), never to move, so that it does not delete its file.
Qt::DropAction ReadingAction(Qt::DropActions possible) {
    if (possible.testFlag(Qt::CopyAction)) {
        return Qt::CopyAction;
    }
    if (possible.testFlag(Qt::LinkAction)) {
        return Qt::LinkAction;
    }
    return Qt::IgnoreAction;
}

bool IsDragEvent(const QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

FileDropTarget::FileDropTarget(QWidget& window, FileCommands& files) : QObject(&files), window_(window), files_(files) {
    // The window takes the drags that reach no control; the controls'
    // drags pass through the filter first, whichever control is under the
    // pointer.
    window_.setAcceptDrops(true);
    QCoreApplication::instance()->installEventFilter(this);
}

FileDropTarget::~FileDropTarget() { QCoreApplication::instance()->removeEventFilter(this); }

QString FileDropTarget::DroppableFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return {};
    }
    const QString path = urls.front().toLocalFile();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        return {};
    }
    return path;
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (!IsDragEvent(event)) {
        return false;
    }
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &window_) {
        return false;
    }
    // Every drag over the window ends here, also over an edit field that
    // would take dropped text.
    auto* drag = static_cast<QDropEvent*>(event);
    const QString path = DroppableFile(drag->mimeData());
    const Qt::DropAction action = ReadingAction(drag->possibleActions());
    if (path.isEmpty() || action == Qt::IgnoreAction || files_.Busy()) {
        drag->ignore();
        return true;
    }
    drag->setDropAction(action);
    drag->accept();
    if (event->type() == QEvent::Drop) {
        // The drop ends first, so that the source is not kept waiting by
        // the question about unsaved changes or by reading the file.
        FileCommands* files = &files_;
        QMetaObject::invokeMethod(
            files, [files, path] { files->OpenPath(path); }, Qt::QueuedConnection);
    }
    return true;
}

} // namespace tqf
