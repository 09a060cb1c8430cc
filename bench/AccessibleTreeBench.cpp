// The tree as a screen reader reads it, on a generated library with every
// node expanded: what flat review and "read all" ask for. The row count of
// the tree's table, a screenful of consecutive rows (name, role, state) at
// a place not read before, and the memory taken after every row was read.
#include "BenchLibrary.h"
#include "BenchPrompts.h"
#include "FormatReader.h"
#include "FormatTreeView.h"
#include "GuiBench.h"
#include "TreeAccessible.h"

#include <QAccessible>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>

namespace {

constexpr int CLIENT_WIDTH = 800;
constexpr int CLIENT_HEIGHT = 600;
// About what an 800 x 600 tree shows.
constexpr int ROWS_READ = 40;

// The resident size of the process in KB.
long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct ReadView {
    tqf::BenchPrompts prompts;
    tqf::FormatTreeView view{prompts};
    tqf::TreeAccessible* tree = nullptr;
    // The resident size once the library was laid out, before any row was
    // read.
    long loadedKb = 0;

    explicit ReadView(int messageCount) {
        tqf::FormatReader reader(view.Tree());
        (void)reader.ReadFormatFile(tqf::LibraryFile(messageCount));
        view.resize(CLIENT_WIDTH, CLIENT_HEIGHT);
        view.show();
        (void)view.RenderImage();
        tree = static_cast<tqf::TreeAccessible*>(QAccessible::queryAccessibleInterface(&view));
        (void)tree->childCount();
        loadedKb = ResidentKb();
    }
};

ReadView& Loaded(int messageCount) {
    static std::map<int, std::unique_ptr<ReadView>> views;
    if (views.empty()) {
        tqf::AtBenchmarksEnd([] { views.clear(); });
    }
    std::unique_ptr<ReadView>& entry = views[messageCount];
    if (!entry) {
        entry = std::make_unique<ReadView>(messageCount);
    }
    return *entry;
}

// The same counters for every benchmark, as the CSV output bench/run reads
// has one set of columns: the rows, how much the resident size grew since
// the library was loaded, and the row interfaces alive.
void Count(benchmark::State& state, ReadView& loaded) {
    state.counters["rows"] = loaded.tree->childCount();
    state.counters["grown_kb"] = static_cast<double>(ResidentKb() - loaded.loadedKb);
    state.counters["kept_rows"] = static_cast<double>(loaded.tree->KeptRowCount());
}

void ReadRow(QAccessibleTableInterface* table, int row) {
    QAccessibleInterface* cell = table->cellAt(row, 0);
    benchmark::DoNotOptimize(cell->text(QAccessible::Name));
    benchmark::DoNotOptimize(cell->role());
    benchmark::DoNotOptimize(cell->state());
}

void BM_AccessibleRowCount(benchmark::State& state) {
    ReadView& loaded = Loaded(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(loaded.tree->childCount());
        benchmark::DoNotOptimize(loaded.tree->tableInterface()->rowCount());
    }
    Count(state, loaded);
}

// A screenful of rows at a place not read before, as flat review after a
// page down: each row's interface is made anew.
void BM_AccessibleReadScreen(benchmark::State& state) {
    ReadView& loaded = Loaded(static_cast<int>(state.range(0)));
    QAccessibleTableInterface* table = loaded.tree->tableInterface();
    const int rows = table->rowCount();
    int first = rows / 2;
    for (auto _ : state) {
        for (int row = first; row < first + ROWS_READ && row < rows; ++row) {
            ReadRow(table, row);
        }
        first = (first + ROWS_READ) % std::max(1, rows - ROWS_READ);
    }
    Count(state, loaded);
}

// Every row read once, in order, as "read all" does; how much the resident
// size grew since the library was loaded, and the row interfaces left alive.
void BM_AccessibleReadAll(benchmark::State& state) {
    ReadView& loaded = Loaded(static_cast<int>(state.range(0)));
    QAccessibleTableInterface* table = loaded.tree->tableInterface();
    for (auto _ : state) {
        const int rows = table->rowCount();
        for (int row = 0; row < rows; ++row) {
            ReadRow(table, row);
        }
    }
    Count(state, loaded);
}

BENCHMARK(BM_AccessibleRowCount)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY);
BENCHMARK(BM_AccessibleReadScreen)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AccessibleReadAll)->Arg(tqf::LARGE_LIBRARY)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
