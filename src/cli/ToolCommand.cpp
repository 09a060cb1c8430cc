#include "ToolCommand.h"

#include "FileIdentity.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "HostFileReader.h"
#include "InputFile.h"
#include "LibraryLines.h"
#include "MemoryBudget.h"
#include "OutputBudget.h"
#include "SafeFileWriter.h"
#include "SmlMerge.h"
#include "SmlReader.h"
#include "SmlValidator.h"
#include "SmlWriter.h"
#include "ToolArguments.h"
#include "ToolInput.h"
#include "TqfVersion.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tqf {

namespace {

constexpr std::string_view PROGRAM = "tqf-tool: ";
constexpr std::string_view USAGE =
    "usage: tqf-tool check FILE | tqf-tool normalize FILE [-o OUT] | tqf-tool from-sml [--log] [--open-examples] "
    "[--merge] FILE [-o OUT] | tqf-tool to-sml FILE [-o OUT] | tqf-tool from-host FILE [-o OUT] | tqf-tool validate "
    "[--log] LIBRARY MESSAGES | tqf-tool --help";
constexpr std::string_view HELP_TEXT =
    "tqf-tool: reads a TQF message format file as the editor opens it.\n"
    "\n"
    "  tqf-tool normalize FILE   write to standard output the bytes the editor would save\n"
    "  tqf-tool check FILE       list each statement that reading drops (error:), and what reads but is\n"
    "                            rarely meant (warning:), as FILE:LINE:COLUMN: lines; then a summary\n"
    "  tqf-tool from-sml FILE    read an SML file and write it as a TQF file; what was dropped or\n"
    "                            changed is listed on standard error\n"
    "  tqf-tool to-sml FILE      write a TQF file as SML\n"
    "  tqf-tool from-host FILE   read a host's message definition file (S1F2 =name OUTPUT <L [2] <A [MAX 32]\n"
    "                            = Mdln> ...>.) and write it as a TQF file with its rules; what cannot be\n"
    "                            said in a library is listed on standard error\n"
    "  tqf-tool validate LIBRARY MESSAGES\n"
    "                            check each SML message of MESSAGES (- for standard input) against the\n"
    "                            definitions of LIBRARY; one line for each mismatch, then a summary\n"
    "  --log                     (from-sml, validate) the SML is inside a log's lines: statements begin at\n"
    "                            their headers, other lines are skipped (a text whose first line is not a\n"
    "                            statement is read so anyway)\n"
    "  --open-examples           (from-sml) a text or binary count that only an example value gives is open\n"
    "  --merge                   (from-sml) one definition for each stream, function and direction, the least\n"
    "                            general that accepts every message of FILE, with the rules it infers: formats\n"
    "                            seen, count ranges, optional reply\n"
    "  -o OUT                    (normalize, from-sml, to-sml, from-host) write OUT instead of standard output, whole\n"
    "                            or not at all; OUT may be FILE itself; a device or a named pipe is\n"
    "                            written as a stream\n"
    "  -                         as FILE: standard input; as OUT: standard output\n"
    "  --                        what follows is FILE or OUT, even when it starts with -\n"
    "  tqf-tool --help, -h       show this text (also after a command)\n"
    "  tqf-tool --version, -v    show the version\n"
    "\n"
    "Exit status: 0 success, 1 dropped statements (check, normalize, from-sml, to-sml), no message to\n"
    "save, or a message that does not match (validate), 2 wrong arguments, a file that cannot be read,\n"
    "or output that cannot be written or would take more than a quarter of the memory this program\n"
    "may use.\n";
constexpr std::string_view NO_MESSAGE_TO_SAVE = "No message to save.";
// The name that stands for standard input as FILE and standard output as OUT.
constexpr std::string_view STANDARD_STREAM = "-";

// Reads path into document, or standard input (in) for "-"; a pipe or a
// device is read as a stream. On failure says why on err.
bool ReadInto(FormatTree& document, const std::string& path, std::size_t nodeLimit, std::istream& in,
              ReadResult& result, std::ostream& err) {
    FormatReader reader(document);
    reader.SetNodeLimit(nodeLimit);
    if (path == STANDARD_STREAM) {
        result = reader.ReadFormatFile(in);
    } else if (ToolInput::IsStream(path)) {
        errno = 0;
        std::ifstream stream(ToolInput::PathOf(path), std::ios::in | std::ios::binary);
        if (!stream.is_open()) {
            result.status = ReadStatus::OPEN_FAILED;
            result.errorText = errno != 0 ? std::generic_category().message(errno) : "cannot be opened";
        } else {
            result = reader.ReadFormatFile(stream);
        }
    } else {
        result = reader.ReadFormatFile(ToolInput::PathOf(path));
    }
    if (!result.Complete()) {
        err << PROGRAM << path << ": " << result.errorText << '\n';
        return false;
    }
    return true;
}

// Each finding as compilers write theirs, FILE:LINE:COLUMN: SEVERITY: REASON,
// in file order, so that editors and CI jump to it. A statement dropped is
// an error; anything else a warning, its kind in front of the reason where
// the severity alone does not say it.
struct Finding {
    const ReadDiagnostic* diagnostic;
    const char* kind;
};

void AddFindings(std::vector<Finding>& findings, const std::vector<ReadDiagnostic>& diagnostics, const char* kind) {
    for (const ReadDiagnostic& diagnostic : diagnostics) {
        findings.push_back({&diagnostic, kind});
    }
}

constexpr const char* DROPPED = "error: dropped";
constexpr const char* CHANGED = "warning: changed";
constexpr const char* WARNING = "warning";

void PrintFindings(std::vector<Finding>& findings, const std::string& path, std::ostream& out) {
    std::ranges::stable_sort(findings, [](const Finding& a, const Finding& b) {
        return std::pair(a.diagnostic->line, a.diagnostic->column) <
               std::pair(b.diagnostic->line, b.diagnostic->column);
    });
    for (const Finding& finding : findings) {
        out << path << ':' << finding.diagnostic->line << ':' << finding.diagnostic->column << ": " << finding.kind
            << ": " << finding.diagnostic->reason << '\n';
    }
}

using Producer = bool (*)(const FormatTree& document, std::ostream& out);

bool ProduceFormatFile(const FormatTree& document, std::ostream& out) {
    return FormatWriter::WriteFormatFile(document.GetRootNode(), out, &document.Rules());
}

bool ProduceSml(const FormatTree& document, std::ostream& out) {
    return SmlWriter::WriteSml(document.GetRootNode(), out, &document.Rules());
}

// A character device (/dev/null, a terminal) or a named pipe cannot be
// replaced by another file: it is written to as a stream, as Unix tools do.
// A block device is a disk, and is refused as any file that is not regular.
bool IsStreamTarget(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && (std::filesystem::is_character_file(status) || std::filesystem::is_fifo(status));
}

// Writes the text produce makes of the document to output, or to standard
// output when output is empty or "-", within the output budget; a file is
// written whole or not at all. False when it was not, after saying why; Run
// reports standard output that failed, once.
bool WriteOutput(const std::string& output, const FormatTree& document, Producer produce, std::uint64_t limit,
                 std::ostream& out, std::ostream& err) {
    const FormatNode* root = document.GetRootNode();
    const bool toStandardOutput = output.empty() || output == STANDARD_STREAM;
    const std::string name = toStandardOutput ? std::string("standard output") : output;
    // A format file's size is known before it is written: nothing is written
    // when it would not fit. Its bound is quicker to count and settles it for
    // all but a library near the limit.
    if (produce == &ProduceFormatFile && FormatWriter::FileSizeBound(root, &document.Rules()) > limit) {
        if (const std::uint64_t size = FormatWriter::FileSize(root, &document.Rules()); size > limit) {
            err << PROGRAM << name << ": " << OutputBudget::Reason(size, limit) << '\n';
            return false;
        }
    }
    bool exceeded = false;
    const auto write = [&](std::ostream& stream) {
        OutputBudget budget(stream, limit);
        const bool written = produce(document, budget.Stream()) && budget.Stream().flush();
        exceeded = budget.Exceeded();
        return written;
    };
    if (toStandardOutput) {
        if (!write(out) && exceeded) {
            err << PROGRAM << name << ": " << OutputBudget::Reason(std::nullopt, limit) << '\n';
            return false;
        }
        return static_cast<bool>(out);
    }
    if (IsStreamTarget(ToolInput::PathOf(output))) {
        std::ofstream stream(ToolInput::PathOf(output), std::ios::binary | std::ios::out);
        if (stream && write(stream)) {
            return true;
        }
        err << PROGRAM << name << ": "
            << (exceeded ? OutputBudget::Reason(std::nullopt, limit) : std::string("it cannot be written")) << '\n';
        return false;
    }
    // A file that may not be written is not replaced behind its mode.
    if (IsReadOnlyFile(ToolInput::PathOf(output))) {
        err << PROGRAM << output << ": the file is read-only\n";
        return false;
    }
    if (const SaveResult saved = SafeFileWriter::WriteStreamed(ToolInput::PathOf(output), write); !saved.written) {
        err << PROGRAM << output << ": " << (exceeded ? OutputBudget::Reason(std::nullopt, limit) : saved.reason)
            << '\n';
        return false;
    }
    return true;
}

// The end of normalize, from-sml and to-sml: a library without messages is
// not written; otherwise its text goes to output.
int WriteConversion(const FormatTree& document, Producer produce, bool dropped, const std::string& output,
                    std::uint64_t limit, std::ostream& out, std::ostream& err) {
    if (document.GetRootNode()->FirstChild() == nullptr) {
        err << PROGRAM << NO_MESSAGE_TO_SAVE << '\n';
        return ToolCommand::EXIT_FINDINGS;
    }
    if (!WriteOutput(output, document, produce, limit, out, err)) {
        return ToolCommand::EXIT_UNUSABLE;
    }
    return dropped ? ToolCommand::EXIT_FINDINGS : ToolCommand::EXIT_OK;
}

std::string Counted(std::size_t number, std::string_view one, std::string_view many) {
    return std::to_string(number) + ' ' + std::string(number == 1 ? one : many);
}

// What the summary says of a log: the lines that held no statement.
std::string LogSummary(const SmlReadResult& result) {
    if (!result.readAsLog) {
        return {};
    }
    return "; read as a log, " + Counted(result.linesSkipped, "line", "lines") + " skipped";
}

} // namespace

int ToolCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     std::optional<std::size_t> nodeLimit, std::optional<std::uint64_t> outputLimit) {
    return Run(args, std::cin, out, err, nodeLimit, outputLimit);
}

int ToolCommand::Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                     std::optional<std::size_t> nodeLimit, std::optional<std::uint64_t> outputLimit) {
    int status = EXIT_UNUSABLE;
    try {
        status = RunCommand(args, in, out, err, nodeLimit, outputLimit.value_or(OutputBudget::Limit()));
    } catch (const std::bad_alloc&) {
        err << PROGRAM << "not enough memory\n";
        return EXIT_UNUSABLE;
    }
    // Output that did not arrive is no result, whatever the command found.
    if (!out.flush()) {
        err << PROGRAM << "cannot write to standard output\n";
        status = EXIT_UNUSABLE;
    }
    return status;
}

int ToolCommand::RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                            std::ostream& err, std::optional<std::size_t> nodeLimit, std::uint64_t outputLimit) {
    const std::size_t limit = nodeLimit.value_or(FormatReader::DefaultNodeLimit());
    const ToolArguments arguments = ToolArguments::Parse(args);
    switch (arguments.action) {
    case ToolArguments::Action::HELP:
        out << USAGE << "\n\n" << HELP_TEXT;
        return EXIT_OK;
    case ToolArguments::Action::VERSION:
        out << "tqf-tool " << TQF_VERSION << '\n';
        return EXIT_OK;
    case ToolArguments::Action::WRONG:
        err << PROGRAM << arguments.error << '\n' << PROGRAM << USAGE << '\n';
        return EXIT_UNUSABLE;
    case ToolArguments::Action::RUN:
        break;
    }
    const std::string& command = arguments.command;
    const Output to{arguments.output, outputLimit};
    SmlImportOptions options;
    options.log = arguments.log;
    options.openExampleCounts = arguments.openExamples;
    if (command == "normalize") {
        return Normalize(arguments.input, limit, to, in, out, err);
    }
    if (command == "check") {
        return Check(arguments.input, limit, in, out, err);
    }
    if (command == "validate") {
        return Validate(arguments.input, arguments.messages, options, limit, in, out, err);
    }
    if (command == "from-sml") {
        return FromSml(arguments.input, options, arguments.merge, to, in, out, err);
    }
    if (command == "from-host") {
        return FromHost(arguments.input, to, in, out, err);
    }
    return ToSml(arguments.input, to, limit, in, out, err);
}

int ToolCommand::Normalize(const std::string& path, std::size_t nodeLimit, const Output& output, std::istream& in,
                           std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, in, result, err)) {
        return EXIT_UNUSABLE;
    }
    // The whole file is read before a byte is written, so OUT may be FILE.
    if (const int status = WriteConversion(document, &ProduceFormatFile, false, output.path, output.limit, out, err);
        status != EXIT_OK) {
        return status;
    }
    // The output is what Save would write; that it lacks what was dropped
    // must not pass for success in a script.
    if (!result.dropped.empty()) {
        const std::size_t count = result.dropped.size();
        err << PROGRAM << path << ": " << count << (count == 1 ? " statement" : " statements")
            << " dropped and not written; tqf-tool check lists them\n";
        return EXIT_FINDINGS;
    }
    return EXIT_OK;
}

int ToolCommand::Check(const std::string& path, std::size_t nodeLimit, std::istream& in, std::ostream& out,
                       std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, in, result, err)) {
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.dropReasons, DROPPED);
    AddFindings(findings, result.warnings, WARNING);
    PrintFindings(findings, path, out);
    out << result.messagesRead << " messages, " << result.dropped.size() << " dropped\n";
    return result.dropped.empty() ? EXIT_OK : EXIT_FINDINGS;
}

int ToolCommand::FromHost(const std::string& path, const Output& output, std::istream& in, std::ostream& out,
                          std::ostream& err) {
    std::string bytes;
    std::string error;
    InputFile file;
    const bool read = path == STANDARD_STREAM ? ToolInput::ReadAll(in, LibraryMemoryBudget(), bytes, error)
                                              : file.Open(ToolInput::PathOf(path)) && file.ReadAll(bytes);
    if (!read) {
        err << PROGRAM << path << ": " << (error.empty() ? file.Error() : error) << '\n';
        return EXIT_UNUSABLE;
    }
    FormatTree document;
    const HostReadResult result = HostFileReader(document).Read(bytes);
    std::vector<Finding> findings;
    AddFindings(findings, result.dropped, DROPPED);
    PrintFindings(findings, path, err);
    err << result.messagesRead << " messages, " << result.dropped.size() << " dropped\n";
    return WriteConversion(document, &ProduceFormatFile, !result.dropped.empty(), output.path, output.limit, out, err);
}

int ToolCommand::FromSml(const std::string& path, const SmlImportOptions& options, bool merge, const Output& output,
                         std::istream& in, std::ostream& out, std::ostream& err) {
    FormatTree document;
    SmlReader reader(document);
    reader.SetOptions(options);
    SmlReadResult result;
    if (path == STANDARD_STREAM) {
        std::string bytes;
        std::string error;
        if (!ToolInput::ReadAll(in, LibraryMemoryBudget(), bytes, error)) {
            err << PROGRAM << path << ": " << error << '\n';
            return EXIT_UNUSABLE;
        }
        result = reader.ReadSmlBytes(bytes);
    } else {
        result = reader.ReadSmlFile(ToolInput::PathOf(path));
    }
    if (!result.Complete()) {
        err << PROGRAM << path << ": " << result.errorText << '\n';
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.dropped, DROPPED);
    AddFindings(findings, result.changed, CHANGED);
    AddFindings(findings, result.warnings, WARNING);
    PrintFindings(findings, path, err);
    // One definition for each message, or folded: what is alike or folded is
    // said without a place, as it concerns messages all over the file.
    FormatTree merged;
    const std::vector<std::string> notes = merge ? SmlMerge::Merge(document.GetRootNode(), merged, &document.Rules())
                                                 : SmlMerge::Duplicates(document.GetRootNode());
    for (const std::string& note : notes) {
        err << path << ": " << (merge ? "warning: merged: " : "warning: ") << note << '\n';
    }
    err << result.messagesRead << " messages, " << result.dropped.size() << " dropped, " << result.changed.size()
        << " changed" << SmlReader::ChangeCounts(result) << ", " << result.valuesDropped
        << " values left out (a TQF file keeps no values)";
    if (result.exampleCounts > 0) {
        err << ", " << Counted(result.exampleCounts, "count", "counts")
            << " of texts and binary items taken from an example value (--open-examples makes them open)";
    }
    err << LogSummary(result) << '\n';
    return WriteConversion(merge ? merged : document, &ProduceFormatFile, !result.dropped.empty(), output.path,
                           output.limit, out, err);
}

int ToolCommand::Validate(const std::string& library, const std::string& messages, const SmlImportOptions& options,
                          std::size_t nodeLimit, std::istream& in, std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult read;
    if (!ReadInto(document, library, nodeLimit, in, read, err)) {
        return EXIT_UNUSABLE;
    }
    if (!read.dropped.empty()) {
        err << PROGRAM << library << ": " << Counted(read.dropped.size(), "statement", "statements")
            << " dropped, their messages are not checked against; tqf-tool check lists them\n";
    }
    // The library's text once more, for the lines its definitions stand on.
    std::string libraryBytes;
    InputFile libraryFile;
    if (library == STANDARD_STREAM || !libraryFile.Open(ToolInput::PathOf(library)) ||
        !libraryFile.ReadAll(libraryBytes)) {
        libraryBytes.clear();
    }
    const LibraryLines lines(libraryBytes, document.GetRootNode(), read.messageLines);
    const std::string shownPath = messages == STANDARD_STREAM ? std::string("<stdin>") : messages;
    SmlValidator validator(
        document.GetRootNode(),
        [&](const ValidationFinding& finding) {
            out << shownPath << ':' << finding.line << ':' << finding.column << ": error: ";
            if (!finding.message.empty()) {
                out << finding.message << (finding.itemPath.empty() ? "" : " item ") << finding.itemPath << ": ";
            }
            out << finding.reason;
            const FormatNode* place = finding.item != nullptr ? finding.item : finding.definition;
            if (place != nullptr) {
                out << " (" << library;
                if (const std::size_t line = lines.LineOf(place); line != 0) {
                    out << ':' << line;
                }
                out << ')';
            }
            out << '\n';
        },
        &document.Rules());
    validator.SetOptions(options);
    const SmlReadResult result =
        messages == STANDARD_STREAM ? validator.CheckStream(in) : validator.CheckFile(ToolInput::PathOf(messages));
    if (!result.Complete()) {
        err << PROGRAM << shownPath << ": " << result.errorText << '\n';
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.warnings, WARNING);
    PrintFindings(findings, shownPath, out);
    out << validator.Messages() << " messages, " << validator.Passed() << " passed, " << validator.Failed() << " failed"
        << LogSummary(result) << '\n';
    return validator.Failed() == 0 ? EXIT_OK : EXIT_FINDINGS;
}

int ToolCommand::ToSml(const std::string& path, const Output& output, std::size_t nodeLimit, std::istream& in,
                       std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, in, result, err)) {
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.dropReasons, DROPPED);
    AddFindings(findings, result.warnings, WARNING);
    PrintFindings(findings, path, err);
    return WriteConversion(document, &ProduceSml, !result.dropped.empty(), output.path, output.limit, out, err);
}

} // namespace tqf
