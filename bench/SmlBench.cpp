// Importing SML against reading the same library as a format file: the
// generated library of BenchLibrary, written once as SML beside its .TQF.
// Its label names the .TQF file, so that bench/run compares it with wc -l
// too; the target is its ratio to BM_ReadFormatFile on the same library.
#include "BenchLibrary.h"
#include "BlockSupply.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "SmlReader.h"
#include "SmlWriter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

// library-N.sml beside library-N.TQF, written from it on first use.
std::filesystem::path SmlFile(int messageCount) {
    const std::filesystem::path tqf = tqf::LibraryFile(messageCount);
    std::filesystem::path sml = tqf;
    sml.replace_extension(".sml");
    if (!std::filesystem::exists(sml)) {
        tqf::FormatTree document;
        tqf::FormatReader reader(document);
        (void)reader.ReadFormatFile(tqf);
        std::ofstream out(sml, std::ios::binary | std::ios::trunc);
        if (!tqf::SmlWriter::WriteSml(document.GetRootNode(), out)) {
            std::filesystem::remove(sml);
        }
    }
    return sml;
}

// fresh: none of the last document's storage is kept for the next one, as
// for the first import of a program.
void ImportSml(benchmark::State& state, bool fresh) {
    const int messages = static_cast<int>(state.range(0));
    const std::filesystem::path path = SmlFile(messages);
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    std::size_t read = 0;
    for (auto _ : state) {
        auto document = std::make_unique<tqf::FormatTree>();
        tqf::SmlReader reader(*document);
        const tqf::SmlReadResult result = reader.ReadSmlFile(path);
        read = result.messagesRead;
        benchmark::DoNotOptimize(read);
        state.PauseTiming();
        document.reset();
        if (fresh) {
            tqf::BlockSupply::ReleaseSpareBlocks();
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetLabel("wc:" + tqf::LibraryFile(messages).filename().string());
    state.counters["messages"] = static_cast<double>(read);
}

void BM_ImportSml(benchmark::State& state) { ImportSml(state, false); }

void BM_ImportSmlFresh(benchmark::State& state) {
    tqf::BlockSupply::ReleaseSpareBlocks();
    ImportSml(state, true);
}

void BM_ExportSml(benchmark::State& state) {
    const std::filesystem::path path = tqf::LibraryFile(static_cast<int>(state.range(0)));
    tqf::FormatTree document;
    tqf::FormatReader reader(document);
    (void)reader.ReadFormatFile(path);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const std::string text = tqf::SmlWriter::SmlText(document.GetRootNode());
        bytes = static_cast<std::int64_t>(text.size());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(bytes * state.iterations());
}

BENCHMARK(BM_ImportSml)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportSmlFresh)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSml)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
