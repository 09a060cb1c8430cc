#pragma once

#include "SmlReader.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tqf {

// tqf-tool: checks format files and writes them back as the editor would
// save them. Scripts compare its output byte for byte.
class ToolCommand {
public:
    static constexpr int EXIT_OK = 0;
    static constexpr int EXIT_FINDINGS = 1; // dropped statements, or nothing to save
    static constexpr int EXIT_UNUSABLE = 2; // wrong arguments, a file that cannot be read, or output lost

    // args are the arguments after the program name; nodeLimit is how many
    // messages and items a file may hold (none: the reader's default), and
    // outputLimit how many bytes one output may take (none: the budget every
    // writer has). "-" as FILE reads in, standard input unless given.
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::optional<std::size_t> nodeLimit = std::nullopt,
                   std::optional<std::uint64_t> outputLimit = std::nullopt);
    static int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   std::optional<std::size_t> nodeLimit = std::nullopt,
                   std::optional<std::uint64_t> outputLimit = std::nullopt);

private:
    // Where a command's output goes: path, or standard output when it is
    // empty or "-"; at most limit bytes.
    struct Output {
        std::string path;
        std::uint64_t limit;
    };

    static int RunCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                          std::optional<std::size_t> nodeLimit, std::uint64_t outputLimit);
    static int Normalize(const std::string& path, std::size_t nodeLimit, const Output& output, std::istream& in,
                         std::ostream& out, std::ostream& err);
    static int Check(const std::string& path, std::size_t nodeLimit, std::istream& in, std::ostream& out,
                     std::ostream& err);
    // messages "-": standard input (in); the library's lines are known only
    // when it is read from a file.
    static int Validate(const std::string& library, const std::string& messages, const SmlImportOptions& options,
                        std::size_t nodeLimit, std::istream& in, std::ostream& out, std::ostream& err);
    static int FromHost(const std::string& path, const Output& output, std::istream& in, std::ostream& out,
                        std::ostream& err);
    static int FromSml(const std::string& path, const SmlImportOptions& options, bool merge, const Output& output,
                       std::istream& in, std::ostream& out, std::ostream& err);
    static int ToSml(const std::string& path, const Output& output, std::size_t nodeLimit, std::istream& in,
                     std::ostream& out, std::ostream& err);
};

} // namespace tqf
