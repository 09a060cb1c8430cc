#include "LibraryFileWriter.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace tqf {

namespace {

constexpr const char* REASON_FOLDER = "it is a folder";
constexpr const char* REASON_UNKNOWN = "the file could not be written";
// What a file reports for an error it did not learn the cause of.
constexpr const char* UNKNOWN_ERROR_TEXT = "Unknown error";

WriteOutcome Failure(const QString& reason) {
    return {false, reason.isEmpty() ? QString::fromLatin1(REASON_UNKNOWN) : reason};
}

// Gives up the temporary file and returns why: the reason given, else the
// file's own error, else what the system said last. The reason is taken
// before the cancellation, which replaces the file's error text with its own.
WriteOutcome Abandon(QSaveFile& file, const QString& reason, int systemError) {
    QString why = reason;
    if (why.isEmpty() && file.error() != QFileDevice::NoError) {
        why = file.errorString();
    }
    if ((why.isEmpty() || why == QLatin1String(UNKNOWN_ERROR_TEXT)) && systemError != 0) {
        why = QString::fromLocal8Bit(std::strerror(systemError));
    }
    const WriteOutcome outcome = Failure(why);
    file.cancelWriting();
    return outcome;
}

#if defined(Q_OS_UNIX)
// Makes the temporary file's data reach the disk before it replaces the
// target. Some file systems report a full disk or a quota only here; the save
// itself syncs too, but ignores what the sync says. A file system that cannot
// sync at all is no failure.
QString SyncToDisk(QSaveFile& file) {
    const int descriptor = file.handle();
    if (descriptor < 0) {
        return {};
    }
    if (::fsync(descriptor) == 0 || errno == EINVAL || errno == EROFS) {
        return {};
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}
#else
QString SyncToDisk(QSaveFile&) { return {}; }
#endif

} // namespace

WriteOutcome LibraryFileWriter::Write(const QString& path, std::string_view bytes) {
    if (QFileInfo(path).isDir()) {
        return Failure(QString::fromLatin1(REASON_FOLDER));
    }
    QSaveFile file(path);
    // Never write the target in place, not even where no temporary file can
    // be made beside it: a failure half-way would leave it truncated.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that each write reaches the file at once and a failing
    // one says why; the file's own buffer loses the reason of a failed flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return Failure(file.errorString());
    }
    // The save file's own bookkeeping can miss a short write or a failed
    // flush and still replace the target; every step is checked here. A
    // write may take fewer bytes than it was given (the disk filled up
    // half-way); the rest is offered again, and the write that takes nothing
    // says why.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min(WRITE_CHUNK_BYTES, bytes.size() - done);
        errno = 0;
        const qint64 written = file.write(bytes.data() + done, static_cast<qint64>(chunk));
        if (written <= 0 || written > static_cast<qint64>(chunk)) {
            return Abandon(file, {}, errno);
        }
        done += static_cast<std::size_t>(written);
    }
    // A flush can report success while the file holds an error.
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        return Abandon(file, {}, errno);
    }
    if (const QString syncFailure = SyncToDisk(file); !syncFailure.isEmpty()) {
        return Abandon(file, syncFailure, 0);
    }
    if (!file.commit()) {
        return Failure(file.errorString());
    }
    return {true, {}};
}

} // namespace tqf
