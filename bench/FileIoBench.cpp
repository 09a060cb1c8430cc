// Reading and writing generated libraries, and deleting every message of one,
// at the level of the format file code: no window, no view. The files come
// from BenchDataDir() (library-N.TQF, as bench/run makes them) or are
// generated on first use.
//
// A benchmark's label names the command-line tool bench/run compares it with
// and the file: "wc:library-N.TQF" or "cp:library-N.TQF".
#include "BenchLibrary.h"
#include "BlockSupply.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "RoundTripCheck.h"
#include "TreeSurgery.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace {

// Reading as the editor reads: a large file on a second thread while the
// messages are built.
void ReadFormatFile(benchmark::State& state, std::optional<std::uintmax_t> pipelineThreshold,
                    bool freshMemory = false) {
    const std::filesystem::path path = tqf::LibraryFile(static_cast<int>(state.range(0)));
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    std::size_t messages = 0;
    for (auto _ : state) {
        auto document = std::make_unique<tqf::FormatTree>();
        tqf::FormatReader reader(*document);
        if (pipelineThreshold) {
            reader.SetPipelineThreshold(*pipelineThreshold);
        }
        const tqf::ReadResult result = reader.ReadFormatFile(path);
        messages = result.messagesRead;
        benchmark::DoNotOptimize(messages);
        state.PauseTiming();
        document.reset();
        if (freshMemory) {
            tqf::BlockSupply::ReleaseSpareBlocks();
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetLabel("wc:" + path.filename().string());
    state.counters["messages"] = static_cast<double>(messages);
}

void BM_ReadFormatFile(benchmark::State& state) { ReadFormatFile(state, std::nullopt); }

// The same with none of the last document's storage kept for it: every block
// fresh from the system, as for the first Open of a program.
void BM_ReadFormatFileFresh(benchmark::State& state) {
    tqf::BlockSupply::ReleaseSpareBlocks();
    ReadFormatFile(state, std::nullopt, true);
}

// The same on the calling thread alone: what the second thread gains.
void BM_ReadFormatFileOnOneThread(benchmark::State& state) { ReadFormatFile(state, UINTMAX_MAX); }

void BM_WriteFormatFile(benchmark::State& state) {
    const std::filesystem::path path = tqf::LibraryFile(static_cast<int>(state.range(0)));
    const std::filesystem::path target = tqf::BenchDataDir() / ("written-" + path.filename().string());
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
    state.SetLabel("cp:" + path.filename().string());
}

// The check Save As makes before it writes: the file written in memory and
// read back, compared with the document while it is read.
void BM_CheckRoundTrip(benchmark::State& state) {
    const std::filesystem::path path = tqf::LibraryFile(static_cast<int>(state.range(0)));
    tqf::FormatTree document;
    tqf::FormatReader reader(document);
    (void)reader.ReadFormatFile(path);
    for (auto _ : state) {
        const tqf::RoundTripReport report = tqf::RoundTripCheck::CheckRoundTrip(document.GetRootNode());
        benchmark::DoNotOptimize(report.problems.size());
    }
    state.SetLabel("cp:" + path.filename().string());
}

// What clearing a document costs at the least: its messages deleted one by
// one, as New does, with nobody listening.
void BM_DeleteEveryMessage(benchmark::State& state) {
    const std::filesystem::path path = tqf::LibraryFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<tqf::FormatTree>();
        tqf::FormatReader reader(*document);
        (void)reader.ReadFormatFile(path);
        tqf::FormatNode* root = document->GetRootNode();
        state.ResumeTiming();
        while (root->FirstChild() != nullptr) {
            tqf::TreeSurgery::DeleteNode(*document, root->FirstChild(), false);
        }
    }
}

constexpr int SMALL_LIBRARY = 10'000;
constexpr int HUGE_LIBRARY = 100'000;

// A repetition of a read is one read, so that the median is that of single
// reads, as the median of `wc -l` is that of single runs. A read takes fresh
// memory from the system, and on a virtual machine the host may be slow to
// provide it now and then (a read then takes twice as long or more); in the
// mean of several reads such a read would count in every repetition it
// falls in.
BENCHMARK(BM_ReadFormatFile)
    ->Arg(SMALL_LIBRARY)
    ->Arg(tqf::LARGE_LIBRARY)
    ->Arg(HUGE_LIBRARY)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFormatFileFresh)->Arg(tqf::LARGE_LIBRARY)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFormatFileOnOneThread)
    ->Arg(SMALL_LIBRARY)
    ->Arg(tqf::LARGE_LIBRARY)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFormatFile)
    ->Arg(SMALL_LIBRARY)
    ->Arg(tqf::LARGE_LIBRARY)
    ->Arg(HUGE_LIBRARY)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckRoundTrip)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteEveryMessage)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
