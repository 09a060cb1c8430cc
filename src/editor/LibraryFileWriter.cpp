#include "LibraryFileWriter.h"

#include "SafeFileWriter.h"

#include <QFile>

#include <filesystem>
#include <string>

namespace tqf {

namespace {

static_assert(LibraryFileWriter::WRITE_CHUNK_BYTES == SafeFileWriter::WRITE_CHUNK_BYTES);

// The file system's own bytes of a path, whatever the locale makes of them.
std::filesystem::path FileSystemPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

WriteOutcome Outcome(const SaveResult& result) {
    WriteOutcome outcome;
    outcome.written = result.written;
    outcome.reason = QString::fromLocal8Bit(result.reason.data(), static_cast<qsizetype>(result.reason.size()));
    outcome.identity = result.identity;
    outcome.damaged = result.damaged;
    return outcome;
}

} // namespace

WriteOutcome LibraryFileWriter::Write(const QString& path, std::string_view bytes) {
    return Outcome(SafeFileWriter::Write(FileSystemPath(path), bytes));
}

WriteOutcome LibraryFileWriter::WriteStreamed(const QString& path, const std::function<bool(std::ostream&)>& produce) {
    return Outcome(SafeFileWriter::WriteStreamed(FileSystemPath(path), produce));
}

} // namespace tqf
