// Reading and writing a generated library of 10,000 and of 100,000 messages.
// The files come from TQF_BENCH_DIR (library-N.TQF, as bench/run makes them)
// or are generated into a temporary folder on first use.
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "LibraryGenerator.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

std::filesystem::path DataDir() {
    if (const char* dir = std::getenv("TQF_BENCH_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    return std::filesystem::temp_directory_path() / "tqf-bench";
}

// The library file of messageCount messages, made once when missing.
std::filesystem::path LibraryFile(int messageCount) {
    const std::filesystem::path path = DataDir() / ("library-" + std::to_string(messageCount) + ".TQF");
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(path.parent_path());
        tqf::FormatTree document;
        tqf::GenerateLibrary(document, messageCount);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!tqf::FormatWriter::WriteFormatFile(document.GetRootNode(), out)) {
            std::abort();
        }
    }
    return path;
}

void BM_ReadFormatFile(benchmark::State& state) {
    const std::filesystem::path path = LibraryFile(static_cast<int>(state.range(0)));
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    std::size_t messages = 0;
    for (auto _ : state) {
        auto document = std::make_unique<tqf::FormatTree>();
        tqf::FormatReader reader(*document);
        const tqf::ReadResult result = reader.ReadFormatFile(path);
        messages = result.messagesRead;
        benchmark::DoNotOptimize(messages);
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetLabel(path.filename().string());
    state.counters["messages"] = static_cast<double>(messages);
}

void BM_WriteFormatFile(benchmark::State& state) {
    const std::filesystem::path path = LibraryFile(static_cast<int>(state.range(0)));
    const std::filesystem::path target = DataDir() / ("written-" + path.filename().string());
    tqf::FormatTree document;
    tqf::FormatReader reader(document);
    (void)reader.ReadFormatFile(path);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!tqf::FormatWriter::WriteFormatFile(document.GetRootNode(), out)) {
            state.SkipWithError("the file could not be written");
            break;
        }
        out.close();
        bytes = static_cast<std::int64_t>(std::filesystem::file_size(target));
    }
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetLabel(path.filename().string());
}

constexpr int SMALL_LIBRARY = 10'000;
constexpr int LARGE_LIBRARY = 100'000;

BENCHMARK(BM_ReadFormatFile)->Arg(SMALL_LIBRARY)->Arg(LARGE_LIBRARY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFormatFile)->Arg(SMALL_LIBRARY)->Arg(LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
