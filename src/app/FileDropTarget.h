#pragma once

#include <QObject>
#include <QString>

class QMimeData;
class QWidget;

namespace tqf {

class FileCommands;

// Lets one local file dropped anywhere on a window open as Open opens it,
// after the same question about unsaved changes. Every other drag over the
// window is refused, so the pointer shows that it cannot be dropped.
class FileDropTarget : public QObject {
    Q_OBJECT

public:
    // Watches the drags over window and its controls. It is a child of
    // files, so it never outlives the commands it runs.
    FileDropTarget(QWidget& window, FileCommands& files);
    ~FileDropTarget() override;
    FileDropTarget(const FileDropTarget&) = delete;
    FileDropTarget& operator=(const FileDropTarget&) = delete;

    // The path of the one local file that data carries, or empty when it
    // carries anything else: text, several files, a folder, a remote file.
    static QString DroppableFile(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    FileCommands& files_;
};

} // namespace tqf
