// Find and the tree's keyboard in the real (headless) window with a generated
// library loaded. Find Next runs from the first message to the last, the
// worst case of a text that only the last message holds: every node of the
// library is looked at. A key move is timed with the paint it causes.
#include "BenchLibrary.h"
#include "BenchPrompts.h"
#include "DialogFont.h"
#include "EditorCommands.h"
#include "EditorDialog.h"
#include "FindDialog.h"
#include "FormatReader.h"
#include "FormatTreeView.h"
#include "GuiBench.h"
#include "NodeSearch.h"
#include "TreeSurgery.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

// Only the last message holds it; the generated texts never do.
constexpr const char* TARGET_TEXT = "unique find target";

struct FindEditor {
    tqf::BenchPrompts prompts;
    std::unique_ptr<tqf::EditorDialog> dialog;
    tqf::FormatNode* first = nullptr;
    tqf::FormatNode* last = nullptr;

    explicit FindEditor(int messageCount) {
        tqf::DialogFont::RegisterFonts();
        dialog = std::make_unique<tqf::EditorDialog>(&prompts);
        dialog->show();
        dialog->activateWindow();
        (void)QTest::qWaitForWindowActive(dialog.get());
        tqf::FormatReader reader(View().Tree());
        (void)reader.ReadFormatFile(tqf::LibraryFile(messageCount));
        View().Repaint();
        Settle();
        first = View().GetRootNode()->FirstChild();
        for (last = first; last != nullptr && last->NextSibling() != nullptr;) {
            last = last->NextSibling();
        }
        if (last != nullptr) {
            tqf::TreeSurgery::SetDescription(View().Tree(), last, TARGET_TEXT);
        }
        dialog->Finder().findChild<QLineEdit*>(QStringLiteral("findText"))->setText(QString::fromLatin1(TARGET_TEXT));
    }

    tqf::FormatTreeView& View() { return dialog->TreeView(); }

    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    // Chooses the first message with a click, which gives the tree the
    // focus, and lets the window take it as its current node.
    void ClickFirst() {
        dialog->activateWindow();
        (void)QTest::qWaitForWindowActive(dialog.get());
        View().ChooseNode(first);
        Settle();
        (void)View().RenderImage();
        const tqf::NodeRect rect = View().LaidOutRect(first);
        QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          View().viewport()->mapTo(dialog.get(), QPoint(rect.left + 2, rect.top + 2)));
        Settle();
    }
};

FindEditor& Editor(int messageCount) {
    static std::map<int, std::unique_ptr<FindEditor>> editors;
    if (editors.empty()) {
        tqf::AtBenchmarksEnd([] { editors.clear(); });
    }
    std::unique_ptr<FindEditor>& entry = editors[messageCount];
    if (!entry) {
        entry = std::make_unique<FindEditor>(messageCount);
    }
    return *entry;
}

// Find Next from the first message to the last through the dialog, with
// the window's handling of the selection and the paint that follows.
void BM_FindNextToLast(benchmark::State& state) {
    FindEditor& e = Editor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        e.dialog->Commands().ShowNode(e.first);
        state.ResumeTiming();
        (void)e.dialog->Finder().FindNext();
        FindEditor::Settle();
    }
    if (e.dialog->Commands().CurrentNode() != e.last) {
        state.SkipWithError("Find Next did not reach the last message");
    }
}
BENCHMARK(BM_FindNextToLast)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

// The search alone, without choosing the node.
void BM_SearchToLast(benchmark::State& state) {
    FindEditor& e = Editor(static_cast<int>(state.range(0)));
    const tqf::NodeSearch search(TARGET_TEXT);
    for (auto _ : state) {
        benchmark::DoNotOptimize(search.FindNext(e.View().GetRootNode(), e.first).node);
    }
}
BENCHMARK(BM_SearchToLast)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

// One key move in the focused tree (Down, then Up on the next run), with the
// window's handling of the selection and the paint.
void BM_KeyMove(benchmark::State& state) {
    FindEditor& e = Editor(static_cast<int>(state.range(0)));
    e.ClickFirst();
    if (QApplication::focusWidget() != &e.View()) {
        state.SkipWithError("the tree did not take the focus");
        return;
    }
    QWindow* window = e.dialog->windowHandle();
    bool down = true;
    for (auto _ : state) {
        QTest::keyClick(window, down ? Qt::Key_Down : Qt::Key_Up);
        FindEditor::Settle();
        down = !down;
    }
    if (e.dialog->Commands().CurrentNode() == nullptr) {
        state.SkipWithError("the key chose nothing");
    }
}
BENCHMARK(BM_KeyMove)->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);

} // namespace
