// Painting the tree view with a generated library loaded: one full paint of
// an 800 x 600 client area with every node expanded and the view scrolled to
// the middle, and the first paint after the document was built, which lays
// out every node.
#include "BenchLibrary.h"
#include "BenchPrompts.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "GuiBench.h"
#include "TreeLayout.h"
#include "TreeSurgery.h"

#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

constexpr int CLIENT_WIDTH = 800;
constexpr int CLIENT_HEIGHT = 600;

// A view of exactly CLIENT_WIDTH x CLIENT_HEIGHT client pixels holding a
// library, laid out once.
struct LoadedView {
    tqf::BenchPrompts prompts;
    tqf::FormatTreeView view{prompts};
    std::size_t nodes = 0;

    explicit LoadedView(int messageCount) {
        tqf::FormatReader reader(view.Tree());
        (void)reader.ReadFormatFile(tqf::LibraryFile(messageCount));
        view.resize(CLIENT_WIDTH, CLIENT_HEIGHT);
        view.show();
        (void)view.RenderImage();
        // The scroll bar, once shown, takes its width from the client area.
        const QSize client = view.viewport()->size();
        view.resize(2 * CLIENT_WIDTH - client.width(), 2 * CLIENT_HEIGHT - client.height());
        (void)view.RenderImage();
        for (const tqf::FormatNode* n = view.GetRootNode()->FirstChild(); n != nullptr;) {
            ++nodes;
            if (n->FirstChild() != nullptr) {
                n = n->FirstChild();
                continue;
            }
            while (n != nullptr && n->NextSibling() == nullptr) {
                n = n->Parent() == view.GetRootNode() ? nullptr : n->Parent();
            }
            if (n != nullptr) {
                n = n->NextSibling();
            }
        }
    }

    void ScrollToMiddle() { view.VerticalScroll(tqf::SCROLL_THUMB_POSITION, view.ScrollLimit() / 2); }
};

LoadedView& Loaded(int messageCount) {
    static std::map<int, std::unique_ptr<LoadedView>> views;
    if (views.empty()) {
        tqf::AtBenchmarksEnd([] { views.clear(); });
    }
    std::unique_ptr<LoadedView>& entry = views[messageCount];
    if (!entry) {
        entry = std::make_unique<LoadedView>(messageCount);
    }
    return *entry;
}

bool HasClientSize(benchmark::State& state, const tqf::FormatTreeView& view) {
    if (view.viewport()->size() != QSize(CLIENT_WIDTH, CLIENT_HEIGHT)) {
        state.SkipWithError("the client area is not 800 x 600");
        return false;
    }
    return true;
}

void BM_PaintMiddle(benchmark::State& state) {
    LoadedView& loaded = Loaded(static_cast<int>(state.range(0)));
    if (!HasClientSize(state, loaded.view)) {
        return;
    }
    loaded.ScrollToMiddle();
    (void)loaded.view.RenderImage();
    for (auto _ : state) {
        QImage image = loaded.view.RenderImage();
        benchmark::DoNotOptimize(image);
    }
    state.counters["nodes"] = static_cast<double>(loaded.nodes);
}

void BM_LayoutAllAndPaint(benchmark::State& state) {
    LoadedView& loaded = Loaded(static_cast<int>(state.range(0)));
    if (!HasClientSize(state, loaded.view)) {
        return;
    }
    loaded.ScrollToMiddle();
    for (auto _ : state) {
        // As after an Open: every row is measured again.
        loaded.view.Repaint();
        QImage image = loaded.view.RenderImage();
        benchmark::DoNotOptimize(image);
    }
    state.counters["nodes"] = static_cast<double>(loaded.nodes);
}

// Tells a layout of every node added, as the view does.
struct AddedToLayout : tqf::FormatTreeListener {
    tqf::TreeLayout* layout = nullptr;
    void ShowTreeMessage(std::string_view) override {}
    void RequestRepaint() override {}
    void NodesAboutToBeDeleted(const tqf::FormatNode& node) override { layout->NodesAboutToBeDeleted(node); }
    void NodeAdded(const tqf::FormatNode& node) override { layout->NodeAdded(node); }
};

// Messages added at the end, as a read adds them, with the layout brought up
// to date after every GROWTH_REPAINT_EVERY of them, as the window's repaints
// during a long read do. The time per message should not grow with the
// count.
constexpr int GROWTH_REPAINT_EVERY = 5000;

void BM_GrowWithRepaints(benchmark::State& state) {
    const auto messages = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto listener = std::make_unique<AddedToLayout>();
        auto tree = std::make_unique<tqf::FormatTree>(listener.get());
        auto layout = std::make_unique<tqf::TreeLayout>(*tree);
        listener->layout = layout.get();
        layout->SetFont(QFont("Tahoma", 9), 16);
        tqf::FormatNode* last = tqf::TreeSurgery::AddChild(*tree, nullptr, "S1F1 W", false);
        layout->Update(CLIENT_WIDTH);
        state.ResumeTiming();
        for (int i = 1; i < messages; ++i) {
            last = tqf::TreeSurgery::AddSibling(*tree, last, "S6F11 W  EVENT REPORT", false);
            if (i % GROWTH_REPAINT_EVERY == 0) {
                layout->Update(CLIENT_WIDTH);
            }
        }
        layout->Update(CLIENT_WIDTH);
        benchmark::DoNotOptimize(layout->Size());
        state.PauseTiming();
        layout.reset();
        tree.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_GrowWithRepaints)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintMiddle)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutAllAndPaint)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

} // namespace
