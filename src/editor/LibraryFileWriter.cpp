#include "LibraryFileWriter.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <streambuf>
#include <vector>

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

// Writes bytes into the save file, every write's length checked; a write
// may take fewer bytes than it was given (the disk filled up half-way), the
// rest is offered again, and the write that takes nothing fails. Remembers
// the system's error of the first failure.
class CheckedWrites {
public:
    explicit CheckedWrites(QSaveFile& file) : file_(file) {}

    bool Write(const char* data, std::size_t size) {
        std::size_t done = 0;
        while (!failed_ && done < size) {
            const std::size_t chunk = std::min(LibraryFileWriter::WRITE_CHUNK_BYTES, size - done);
            errno = 0;
            const qint64 written = file_.write(data + done, static_cast<qint64>(chunk));
            if (written <= 0 || written > static_cast<qint64>(chunk)) {
                failed_ = true;
                error_ = errno;
                break;
            }
            done += static_cast<std::size_t>(written);
        }
        return !failed_;
    }

    bool Failed() const { return failed_; }
    int Error() const { return error_; }

private:
    QSaveFile& file_;
    bool failed_ = false;
    int error_ = 0;
};

// A stream buffer that hands what is written to it on to CheckedWrites in
// large pieces.
class SaveFileBuffer : public std::streambuf {
public:
    explicit SaveFileBuffer(CheckedWrites& writes) : writes_(writes), buffer_(LibraryFileWriter::WRITE_CHUNK_BYTES) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return writes_.Write(buffer_.data(), size);
    }

    CheckedWrites& writes_;
    std::vector<char> buffer_;
};

// Opens the temporary file beside path; the reason when it cannot.
QString OpenSaveFile(QSaveFile& file, const QString& path) {
    if (QFileInfo(path).isDir()) {
        return QString::fromLatin1(REASON_FOLDER);
    }
    // Never write the target in place, not even where no temporary file can
    // be made beside it: a failure half-way would leave it truncated.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that each write reaches the file at once and a failing
    // one says why; the file's own buffer loses the reason of a failed flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QString reason = file.errorString();
        return reason.isEmpty() ? QString::fromLatin1(REASON_UNKNOWN) : reason;
    }
    return {};
}

// After every byte was written: flush, sync and let the file take the
// target's place. The save file's own bookkeeping can miss a failed flush
// and still replace the target, so every step is checked here.
WriteOutcome Finish(QSaveFile& file) {
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

} // namespace

WriteOutcome LibraryFileWriter::Write(const QString& path, std::string_view bytes) {
    QSaveFile file(path);
    if (const QString reason = OpenSaveFile(file, path); !reason.isEmpty()) {
        return Failure(reason);
    }
    CheckedWrites writes(file);
    if (!writes.Write(bytes.data(), bytes.size())) {
        return Abandon(file, {}, writes.Error());
    }
    return Finish(file);
}

WriteOutcome LibraryFileWriter::WriteStreamed(const QString& path, const std::function<bool(std::ostream&)>& produce) {
    QSaveFile file(path);
    if (const QString reason = OpenSaveFile(file, path); !reason.isEmpty()) {
        return Failure(reason);
    }
    CheckedWrites writes(file);
    SaveFileBuffer buffer(writes);
    std::ostream out(&buffer);
    const bool produced = produce(out) && out.flush();
    if (writes.Failed() || !produced) {
        return Abandon(file, {}, writes.Error());
    }
    return Finish(file);
}

} // namespace tqf
