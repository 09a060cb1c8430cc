#include "BenchLibrary.h"

#include "FormatTree.h"
#include "FormatWriter.h"
#include "LibraryGenerator.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace tqf {

std::filesystem::path BenchDataDir() {
    if (const char* dir = std::getenv("TQF_BENCH_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    return std::filesystem::temp_directory_path() / "tqf-bench";
}

std::filesystem::path LibraryFile(int messageCount) {
    const std::filesystem::path path = BenchDataDir() / ("library-" + std::to_string(messageCount) + ".TQF");
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(path.parent_path());
        FormatTree document;
        GenerateLibrary(document, messageCount);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!FormatWriter::WriteFormatFile(document.GetRootNode(), out)) {
            std::abort();
        }
    }
    return path;
}

} // namespace tqf
