#pragma once

#include "FormatReader.h"
#include "FormatTree.h"
#include "ReadDiagnostic.h"
#include "SmlStatement.h"
#include "StatementBuilder.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqf {

// The kinds of change an import makes to fit a .TQF file, counted in the
// report's summary.
enum class SmlChange {
    DESCRIPTION,   // a description made safe
    LIST_NAME,     // a list's name left out
    LIST_COUNT,    // a list's count set to its number of items
    ITEM_LEFT_OUT, // a second top-level item left out
    COUNT,         // an item's count of 0 or less made open
    VALUE_COUNT,   // an item's count set to the values it holds
};
inline constexpr std::size_t SML_CHANGE_KINDS = 6;

// How an SML text is read.
struct SmlImportOptions {
    // A log: statements are found at their headers after any prefix, and
    // the lines between them are skipped. Without it a text is read as a log
    // when its first line that is not blank or a comment does not begin a
    // statement; an SML file's first line does.
    bool log = false;
    // A text or binary item's count that only an example value gives is
    // open, rather than the example's length.
    bool openExampleCounts = false;
};

// What importing an SML file did.
struct SmlReadResult {
    ReadStatus status = ReadStatus::READ;
    std::string errorText; // why opening or reading failed
    std::size_t messagesRead = 0;
    // Statements that were not imported, each where it went wrong and why.
    std::vector<ReadDiagnostic> dropped;
    // What was imported otherwise than SML says: descriptions made safe for
    // a .TQF file, list names and extra items left out, list counts.
    std::vector<ReadDiagnostic> changed;
    // How many of changed are of each kind, by SmlChange.
    std::array<std::size_t, SML_CHANGE_KINDS> changeCounts{};
    // What reads but is rarely meant: a comment never closed, a number
    // beyond the 32-bit range.
    std::vector<ReadDiagnostic> warnings;
    // Item values read and left out: a .TQF file keeps no values.
    std::size_t valuesDropped = 0;
    // Text and binary counts that only an example value gave.
    std::size_t exampleCounts = 0;
    // Whether the text was read as a log, and its lines (not blank) that
    // were not part of a statement.
    bool readAsLog = false;
    std::size_t linesSkipped = 0;

    bool Complete() const { return status == ReadStatus::READ; }
};

// Reads SML (SECS Message Language), as equipment manuals and SECS libraries
// write it, into a document: each statement "header items ." becomes a
// message after the document's last one. A statement that cannot be read is
// reported with its place and reason, and the rest is read.
//
// Headers: S1F1, S1F1W, S1F1 W, 'S1F1' W, NAME: 'S1F1' W, NAME:S1F1 W, in any
// letter case. Items: <L[k] ...>, <L k ...>, <L ...>, <L[n] ...>, <L [...] ...>
// and <CODE[k] values>, codes in any letter case, values being quoted texts,
// numbers (decimal, 0x, 0b, real) and TRUE/FALSE/T/F; anything but a number
// in the brackets is an open count. A bare name after the code is the item's
// description, and so is a // comment on the item's line.
//
// A log holds statements inside its own lines: each begins at a header after
// any prefix on its line (a time stamp, a level), with a comment or the log's
// text after it, and what lies between statements is skipped and counted.
class SmlReader {
public:
    explicit SmlReader(FormatTree& document, FormatReader::MessageCallback onMessage = {});

    // Reads the file a piece at a time: what is held of its text grows with
    // the longest statement, not with the file.
    [[nodiscard]] SmlReadResult ReadSmlFile(const std::filesystem::path& path);
    [[nodiscard]] SmlReadResult ReadSmlBytes(std::string_view bytes);
    // The same for a stream, standard input say, that may never end.
    [[nodiscard]] SmlReadResult ReadSmlStream(std::istream& in);

    // Read as the three above, the messages going after the document's
    // last one as one step of its history, which Undo takes out whole;
    // nothing is added of a text that cannot be read whole. FirstAdded
    // then tells the first message added (none: none was).
    [[nodiscard]] SmlReadResult AddSmlFile(const std::filesystem::path& path);
    [[nodiscard]] SmlReadResult AddSmlBytes(std::string_view bytes);
    FormatNode* FirstAdded() const { return firstAdded_; }

    // A text made fit to be a description in a .TQF file, which would read
    // "." and the brackets as structure and "//" and "/*" as comments; false
    // when nothing had to change.
    static bool MakeDescriptionSafe(std::string& text);

    // The changes of result counted by kind, as " (2 counts made open, 1
    // list name left out)"; empty when there are none.
    static std::string ChangeCounts(const SmlReadResult& result);

    // Statements go to handler, as they were sent, instead of becoming
    // messages of the document; the result counts them as messages read.
    void SetStatementHandler(SmlStatementHandler* handler) { handler_ = handler; }

    void SetOptions(const SmlImportOptions& options) { options_ = options; }

    // Asked before each statement; true stops the import with CANCELLED.
    void SetCancelCheck(FormatReader::CancelCheck check) { cancelCheck_ = std::move(check); }
    // How many bytes of the text have been read so far; any thread may ask.
    std::uintmax_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

private:
    // Runs read as an addition to the document.
    SmlReadResult Adding(const std::function<SmlReadResult()>& read);
    // read puts up to size bytes at data and says how many, 0 at the end;
    // nothing when the input failed.
    SmlReadResult ReadPieces(const std::function<std::optional<std::size_t>(char* data, std::size_t size)>& read);
    // Runs read, which builds the document from a text of size bytes, beside
    // a thread that makes its storage ready when the text is large.
    void BesideBlockSupply(std::uintmax_t size, const std::function<void()>& read);

    // A text of at least this many bytes is imported while a second thread
    // makes the document's storage ready.
    static constexpr std::size_t BLOCKS_BESIDE_READING_BYTES = std::size_t{64} * 1024;

    FormatTree& document_;
    SmlStatementHandler* handler_ = nullptr;
    FormatReader::CancelCheck cancelCheck_;
    std::atomic<std::uintmax_t> bytesRead_{0};
    FormatReader::MessageCallback onMessage_;
    StatementBuilder builder_;
    SmlImportOptions options_;
    FormatNode* firstAdded_ = nullptr;
};

} // namespace tqf
