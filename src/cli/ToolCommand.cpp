#include "ToolCommand.h"

#include "FileIdentity.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "SafeFileWriter.h"
#include "SmlReader.h"
#include "SmlWriter.h"
#include "TqfVersion.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace tqf {

namespace {

constexpr std::string_view USAGE =
    "usage: tqf-tool check FILE | tqf-tool normalize FILE | tqf-tool from-sml FILE [-o OUT] | "
    "tqf-tool to-sml FILE [-o OUT] | tqf-tool --help";
constexpr std::string_view HELP_TEXT =
    "tqf-tool: reads a TQF message format file as the editor opens it.\n"
    "\n"
    "  tqf-tool normalize FILE   write to standard output the bytes the editor would save\n"
    "  tqf-tool check FILE       list each statement that reading drops, with where and why, and what\n"
    "                            reads but is rarely meant, as FILE:LINE:COLUMN: lines; then a summary\n"
    "  tqf-tool from-sml FILE    read an SML file and write it as a TQF file; what was dropped or\n"
    "                            changed is listed on standard error\n"
    "  tqf-tool to-sml FILE      write a TQF file as SML\n"
    "  -o OUT                    (from-sml, to-sml) write OUT instead of standard output, whole or not at all\n"
    "  tqf-tool --help           show this text\n"
    "  tqf-tool --version        show the version\n"
    "\n"
    "Exit status: 0 success, 1 dropped statements (check, from-sml, to-sml) or no message to save,\n"
    "2 wrong arguments, a file that cannot be read, or output that cannot be written.\n";
constexpr std::string_view NO_MESSAGE_TO_SAVE = "No message to save.";

// Reads path into document; on failure says why on err.
bool ReadInto(FormatTree& document, const std::string& path, std::size_t nodeLimit, ReadResult& result,
              std::ostream& err) {
    FormatReader reader(document);
    reader.SetNodeLimit(nodeLimit);
    result = reader.ReadFormatFile(path);
    if (!result.Complete()) {
        err << "tqf-tool: " << path << ": " << result.errorText << '\n';
        return false;
    }
    return true;
}

// Each finding as compilers write theirs, FILE:LINE:COLUMN: KIND: REASON,
// in file order, so that editors and CI jump to it.
struct Finding {
    const ReadDiagnostic* diagnostic;
    const char* kind;
};

void AddFindings(std::vector<Finding>& findings, const std::vector<ReadDiagnostic>& diagnostics, const char* kind) {
    for (const ReadDiagnostic& diagnostic : diagnostics) {
        findings.push_back({&diagnostic, kind});
    }
}

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

// Writes bytes to output, or to standard output when output is empty.
bool WriteOutput(const std::string& output, const std::string& bytes, std::ostream& out, std::ostream& err) {
    if (output.empty()) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            err << "tqf-tool: cannot write to standard output\n";
            return false;
        }
        return true;
    }
    // A file that may not be written is not replaced behind its mode.
    if (IsReadOnlyFile(output)) {
        err << "tqf-tool: " << output << ": the file is read-only\n";
        return false;
    }
    if (const SaveResult saved = SafeFileWriter::Write(output, bytes); !saved.written) {
        err << "tqf-tool: " << output << ": " << saved.reason << '\n';
        return false;
    }
    return true;
}

// The end of from-sml and to-sml: a library without messages is not
// written; otherwise its text goes to output.
int WriteConversion(const FormatTree& document, std::string (*text)(const FormatNode*), bool dropped,
                    const std::string& output, std::ostream& out, std::ostream& err) {
    if (document.GetRootNode()->firstChild == nullptr) {
        err << NO_MESSAGE_TO_SAVE << '\n';
        return ToolCommand::EXIT_FINDINGS;
    }
    if (!WriteOutput(output, text(document.GetRootNode()), out, err)) {
        return ToolCommand::EXIT_UNUSABLE;
    }
    return dropped ? ToolCommand::EXIT_FINDINGS : ToolCommand::EXIT_OK;
}

// FILE [-o OUT] or -o OUT FILE; false when the arguments are neither.
bool ReadConversionArgs(const std::vector<std::string>& args, std::string& input, std::string& output) {
    if (args.size() == 2) {
        input = args[1];
        return args[1] != "-o";
    }
    if (args.size() == 4 && args[2] == "-o" && args[1] != "-o") {
        input = args[1];
        output = args[3];
        return true;
    }
    if (args.size() == 4 && args[1] == "-o" && args[3] != "-o") {
        output = args[2];
        input = args[3];
        return true;
    }
    return false;
}

} // namespace

int ToolCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     std::optional<std::size_t> nodeLimit) {
    int status = EXIT_UNUSABLE;
    try {
        status = RunCommand(args, out, err, nodeLimit);
    } catch (const std::bad_alloc&) {
        err << "tqf-tool: not enough memory\n";
        return EXIT_UNUSABLE;
    }
    // Output that did not arrive is no result, whatever the command found.
    if (!out.flush()) {
        err << "tqf-tool: cannot write to standard output\n";
        status = EXIT_UNUSABLE;
    }
    return status;
}

int ToolCommand::RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                            std::optional<std::size_t> nodeLimit) {
    const std::size_t limit = nodeLimit.value_or(FormatReader::DefaultNodeLimit());
    if (args.size() == 1 && args[0] == "--help") {
        out << USAGE << "\n\n" << HELP_TEXT;
        return EXIT_OK;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "tqf-tool " << TQF_VERSION << '\n';
        return EXIT_OK;
    }
    if (args.size() == 2 && args[0] == "normalize") {
        return Normalize(args[1], limit, out, err);
    }
    if (args.size() == 2 && args[0] == "check") {
        return Check(args[1], limit, out, err);
    }
    std::string input;
    std::string output;
    if (!args.empty() && (args[0] == "from-sml" || args[0] == "to-sml") && ReadConversionArgs(args, input, output)) {
        return args[0] == "from-sml" ? FromSml(input, output, out, err) : ToSml(input, output, limit, out, err);
    }
    err << USAGE << '\n';
    return EXIT_UNUSABLE;
}

int ToolCommand::Normalize(const std::string& path, std::size_t nodeLimit, std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, result, err)) {
        return EXIT_UNUSABLE;
    }
    if (document.GetRootNode()->firstChild == nullptr) {
        err << NO_MESSAGE_TO_SAVE << '\n';
        return EXIT_FINDINGS;
    }
    if (!FormatWriter::WriteFormatFile(document.GetRootNode(), out)) {
        return EXIT_UNUSABLE; // Run says why
    }
    return EXIT_OK;
}

int ToolCommand::Check(const std::string& path, std::size_t nodeLimit, std::ostream& out, std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, result, err)) {
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.dropReasons, "dropped");
    AddFindings(findings, result.warnings, "warning");
    PrintFindings(findings, path, out);
    out << result.messagesRead << " messages, " << result.dropped.size() << " dropped\n";
    return result.dropped.empty() ? EXIT_OK : EXIT_FINDINGS;
}

int ToolCommand::FromSml(const std::string& path, const std::string& output, std::ostream& out, std::ostream& err) {
    FormatTree document;
    SmlReader reader(document);
    const SmlReadResult result = reader.ReadSmlFile(path);
    if (!result.Complete()) {
        err << "tqf-tool: " << path << ": " << result.errorText << '\n';
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.dropped, "dropped");
    AddFindings(findings, result.changed, "changed");
    AddFindings(findings, result.warnings, "warning");
    PrintFindings(findings, path, err);
    err << result.messagesRead << " messages, " << result.dropped.size() << " dropped, " << result.valuesDropped
        << " values left out (a TQF file keeps no values)\n";
    return WriteConversion(document, &FormatWriter::FormatFileText, !result.dropped.empty(), output, out, err);
}

int ToolCommand::ToSml(const std::string& path, const std::string& output, std::size_t nodeLimit, std::ostream& out,
                       std::ostream& err) {
    FormatTree document;
    ReadResult result;
    if (!ReadInto(document, path, nodeLimit, result, err)) {
        return EXIT_UNUSABLE;
    }
    std::vector<Finding> findings;
    AddFindings(findings, result.dropReasons, "dropped");
    PrintFindings(findings, path, err);
    return WriteConversion(document, &SmlWriter::SmlText, !result.dropped.empty(), output, out, err);
}

} // namespace tqf
