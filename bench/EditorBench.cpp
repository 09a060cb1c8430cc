// The main window's commands on a generated library, through the real
// (headless) window: the editing commands next to a node in the middle of the
// library, and New, Open and Save As. Each command is timed with the events
// it leaves behind, the paint of the tree included; whatever a command changed
// is undone with the timer stopped. Undo and redo of each command are timed
// the same way.
#include "BenchLibrary.h"
#include "BenchPrompts.h"
#include "DialogFont.h"
#include "EditorCommands.h"
#include "EditorDialog.h"
#include "FileCommands.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "GuiBench.h"
#include "ItemFormat.h"
#include "SkinCheckBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// Counts the paints of the tree, to show that every timed command ends with
// one.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
    long paints = 0;
};

// The real window with a library opened through its Open command.
struct LoadedEditor {
    tqf::BenchPrompts prompts;
    std::unique_ptr<tqf::EditorDialog> dialog;
    PaintCounter counter;
    // A message in the middle of the library whose item is a fixed list with
    // a leaf among its sub-items.
    tqf::FormatNode* message = nullptr;

    explicit LoadedEditor(int messageCount) {
        tqf::DialogFont::RegisterFonts();
        dialog = std::make_unique<tqf::EditorDialog>(&prompts);
        dialog->show();
        (void)QTest::qWaitForWindowExposed(dialog.get());
        View().viewport()->installEventFilter(&counter);
        Open(messageCount);
    }

    tqf::FormatTreeView& View() { return dialog->TreeView(); }
    tqf::EditorCommands& Commands() { return dialog->Commands(); }
    tqf::FileCommands& Files() { return dialog->Files(); }
    const tqf::EditorPanel& Panel() { return dialog->Panel(); }
    tqf::FormatNode* Root() { return View().GetRootNode(); }

    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    void Open(int messageCount) {
        prompts.openPath = QString::fromStdString(tqf::LibraryFile(messageCount).string());
        Files().OnOpen();
        Settle();
    }

    static bool Suits(const tqf::FormatNode* m) {
        const tqf::FormatNode* list = m->FirstChild();
        if (list == nullptr || list->IsList() == 0 || list->Count() == tqf::OPEN_COUNT || list->Count() < 3) {
            return false;
        }
        for (const tqf::FormatNode* c = list->FirstChild(); c != nullptr; c = c->NextSibling()) {
            if (c->FirstChild() == nullptr && c->IsList() == 0) {
                return true;
            }
        }
        return false;
    }

    // Finds the target message from the middle on and scrolls it into view.
    bool FindTarget() {
        const int middle = Root()->Count() / 2;
        tqf::FormatNode* m = Root()->FirstChild();
        for (int i = 0; i < middle && m != nullptr; ++i) {
            m = m->NextSibling();
        }
        while (m != nullptr && !Suits(m)) {
            m = m->NextSibling();
        }
        if (m == nullptr) {
            return false;
        }
        message = m;
        ScrollToTarget();
        return true;
    }

    void ScrollToTarget() {
        (void)View().RenderImage();
        const int top = View().LaidOutRect(message).top;
        View().VerticalScroll(tqf::SCROLL_THUMB_POSITION, View().ScrollPosition() + top - View().RowHeight());
        Settle();
    }

    tqf::FormatNode* List() { return message->FirstChild(); }
    tqf::FormatNode* Leaf() {
        for (tqf::FormatNode* c = List()->FirstChild(); c != nullptr; c = c->NextSibling()) {
            if (c->FirstChild() == nullptr && c->IsList() == 0) {
                return c;
            }
        }
        return nullptr;
    }
};

LoadedEditor& Editor(int messageCount) {
    static std::map<int, std::unique_ptr<LoadedEditor>> editors;
    if (editors.empty()) {
        tqf::AtBenchmarksEnd([] { editors.clear(); });
    }
    std::unique_ptr<LoadedEditor>& entry = editors[messageCount];
    if (!entry) {
        entry = std::make_unique<LoadedEditor>(messageCount);
    }
    return *entry;
}

// The editor for the editing commands, with its target found and in view.
LoadedEditor* EditingEditor(benchmark::State& state) {
    LoadedEditor& editor = Editor(static_cast<int>(state.range(0)));
    if (!editor.FindTarget()) {
        state.SkipWithError("no message with a fixed list of three items or more");
        return nullptr;
    }
    editor.counter.paints = 0;
    return &editor;
}

void ReportPaints(benchmark::State& state, const LoadedEditor& editor) {
    state.counters["paints"] =
        benchmark::Counter(static_cast<double>(editor.counter.paints), benchmark::Counter::kAvgIterations);
}

void BM_CreateMessage(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    const tqf::EditorPanel& panel = e->Panel();
    for (auto _ : state) {
        state.PauseTiming();
        // The greatest numbers: the new message goes after every other one,
        // which is the longest search for its place.
        panel.streamEdit->setText(QStringLiteral("127"));
        panel.functionEdit->setText(QStringLiteral("255"));
        panel.replyRequiredCheck->SetCheck(0);
        panel.messageDescriptionEdit->setText(QStringLiteral("BENCH MESSAGE"));
        state.ResumeTiming();
        e->Commands().CreateMessage();
        LoadedEditor::Settle();
        state.PauseTiming();
        e->Commands().Undo();
        LoadedEditor::Settle();
        state.ResumeTiming();
    }
    ReportPaints(state, *e);
}

void BM_AddItem(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    const tqf::EditorPanel& panel = e->Panel();
    for (auto _ : state) {
        state.PauseTiming();
        e->Commands().ShowNode(e->List());
        panel.formatCombo->setCurrentIndex(tqf::UINT4);
        panel.itemCountEdit->setText(QStringLiteral("1"));
        panel.notFixedCheck->SetCheck(0);
        panel.itemDescriptionEdit->setText(QStringLiteral("BENCH ITEM"));
        state.ResumeTiming();
        e->Commands().AddItem();
        LoadedEditor::Settle();
        state.PauseTiming();
        e->Commands().Undo();
        LoadedEditor::Settle();
        state.ResumeTiming();
    }
    ReportPaints(state, *e);
}

void BM_UpdateItem(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    const tqf::EditorPanel& panel = e->Panel();
    bool longer = false;
    for (auto _ : state) {
        state.PauseTiming();
        e->Commands().ShowNode(e->Leaf());
        longer = !longer;
        panel.itemDescriptionEdit->setText(longer ? QStringLiteral("A LONGER DESCRIPTION OF THE ITEM")
                                                  : QStringLiteral("SHORT"));
        state.ResumeTiming();
        e->Commands().UpdateItem();
        LoadedEditor::Settle();
    }
    ReportPaints(state, *e);
}

void BM_DeleteItem(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        e->Commands().ShowNode(e->Leaf());
        state.ResumeTiming();
        e->Commands().DeleteItem();
        LoadedEditor::Settle();
        state.PauseTiming();
        e->Commands().Undo();
        LoadedEditor::Settle();
        state.ResumeTiming();
    }
    ReportPaints(state, *e);
}

// Moves a node up and down in turn; node chooses it.
template <class Choose> void MoveInTurn(benchmark::State& state, LoadedEditor& e, Choose choose) {
    tqf::FormatNode* node = choose(e);
    bool up = false;
    for (auto _ : state) {
        state.PauseTiming();
        e.Commands().ShowNode(node);
        up = !up;
        state.ResumeTiming();
        if (up) {
            e.Commands().MoveUp();
        } else {
            e.Commands().MoveDown();
        }
        LoadedEditor::Settle();
    }
    // Back in its place, when the count was odd.
    if (up) {
        e.Commands().ShowNode(node);
        e.Commands().MoveDown();
        LoadedEditor::Settle();
    }
    ReportPaints(state, e);
}

void BM_MoveItem(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    MoveInTurn(state, *e, [](LoadedEditor& editor) { return editor.List()->FirstChild()->NextSibling(); });
}

void BM_MoveMessage(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    MoveInTurn(state, *e, [](LoadedEditor& editor) { return editor.message; });
}

void BM_DeleteMessage(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        e->Commands().ShowNode(e->message);
        state.ResumeTiming();
        e->Commands().DeleteMessage();
        LoadedEditor::Settle();
        state.PauseTiming();
        // The message itself comes back, not a copy of it.
        e->Commands().Undo();
        LoadedEditor::Settle();
        state.ResumeTiming();
    }
    ReportPaints(state, *e);
}

void BM_SelectNode(benchmark::State& state) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    bool first = false;
    for (auto _ : state) {
        state.PauseTiming();
        first = !first;
        const tqf::NodeRect rect = e->View().LaidOutRect(first ? e->List() : e->Leaf());
        const QPoint point(rect.left + 1, rect.top + 1);
        state.ResumeTiming();
        QTest::mouseClick(e->View().viewport(), Qt::LeftButton, Qt::NoModifier, point);
        LoadedEditor::Settle();
    }
    ReportPaints(state, *e);
}

// ---- Undo and redo of each command ----

// The commands whose undo and redo are timed, in the order of their index.
enum class HistoryCommand {
    CREATE_MESSAGE,
    UPDATE_MESSAGE,
    DELETE_MESSAGE,
    ADD_ITEM,
    UPDATE_ITEM,
    DELETE_ITEM,
    MOVE_ITEM,
    MOVE_MESSAGE,
    ADD_LIST_ITEM,
    COUNT
};

// Runs one command through the window, as a click would, so that the history
// has it as its last step.
void RunHistoryCommand(LoadedEditor& e, HistoryCommand command) {
    const tqf::EditorPanel& panel = e.Panel();
    tqf::EditorCommands& commands = e.Commands();
    switch (command) {
    case HistoryCommand::CREATE_MESSAGE:
        panel.streamEdit->setText(QStringLiteral("127"));
        panel.functionEdit->setText(QStringLiteral("255"));
        commands.CreateMessage();
        break;
    case HistoryCommand::UPDATE_MESSAGE:
        commands.ShowNode(e.message);
        panel.messageDescriptionEdit->setText(QStringLiteral("CHANGED"));
        commands.UpdateMessage();
        break;
    case HistoryCommand::DELETE_MESSAGE:
        commands.ShowNode(e.message);
        commands.DeleteMessage();
        break;
    case HistoryCommand::ADD_ITEM:
        commands.ShowNode(e.List());
        panel.formatCombo->setCurrentIndex(tqf::UINT4);
        panel.itemCountEdit->setText(QStringLiteral("1"));
        panel.notFixedCheck->SetCheck(0);
        commands.AddItem();
        break;
    case HistoryCommand::UPDATE_ITEM:
        commands.ShowNode(e.Leaf());
        panel.itemDescriptionEdit->setText(QStringLiteral("CHANGED"));
        commands.UpdateItem();
        break;
    case HistoryCommand::DELETE_ITEM:
        commands.ShowNode(e.Leaf());
        commands.DeleteItem();
        break;
    case HistoryCommand::MOVE_ITEM:
        commands.ShowNode(e.List()->FirstChild()->NextSibling());
        commands.MoveUp();
        break;
    case HistoryCommand::MOVE_MESSAGE:
        commands.ShowNode(e.message);
        commands.MoveUp();
        break;
    case HistoryCommand::ADD_LIST_ITEM:
        e.View().ChooseNode(e.List());
        LoadedEditor::Settle();
        e.View().RunCommand(tqf::ID_TREE_ADD_LIST_ITEM);
        break;
    case HistoryCommand::COUNT:
        break;
    }
    LoadedEditor::Settle();
}

// Undo (or redo) of the command state.range(1), with the paint and the
// choosing of its node that follow; the other direction is untimed.
void UndoOrRedo(benchmark::State& state, bool timeUndo) {
    LoadedEditor* e = EditingEditor(state);
    if (e == nullptr) {
        return;
    }
    tqf::EditorCommands& commands = e->Commands();
    RunHistoryCommand(*e, static_cast<HistoryCommand>(state.range(1)));
    for (auto _ : state) {
        if (!timeUndo) {
            state.PauseTiming();
        }
        commands.Undo();
        LoadedEditor::Settle();
        if (timeUndo) {
            state.PauseTiming();
        } else {
            state.ResumeTiming();
        }
        commands.Redo();
        LoadedEditor::Settle();
        if (timeUndo) {
            state.ResumeTiming();
        }
    }
    // The library as it was for the next benchmark.
    commands.Undo();
    LoadedEditor::Settle();
    ReportPaints(state, *e);
}

void BM_Undo(benchmark::State& state) { UndoOrRedo(state, true); }
void BM_Redo(benchmark::State& state) { UndoOrRedo(state, false); }

void HistorySizes(benchmark::internal::Benchmark* b) {
    for (int command = 0; command < static_cast<int>(HistoryCommand::COUNT); ++command) {
        for (const int size : {tqf::TINY_LIBRARY, tqf::LARGE_LIBRARY}) {
            b->Args({size, command});
        }
    }
    b->Unit(benchmark::kMillisecond);
}

// ---- The file commands, on an editor of their own ----

LoadedEditor& FileEditor(int messageCount) { return Editor(-messageCount); }

void BM_EditorNew(benchmark::State& state) {
    const int messages = static_cast<int>(state.range(0));
    LoadedEditor& e = FileEditor(messages);
    for (auto _ : state) {
        state.PauseTiming();
        if (e.Root()->Count() == 0) {
            e.Open(messages);
        }
        state.ResumeTiming();
        e.Files().OnNew();
        LoadedEditor::Settle();
    }
}

void OpenInTurn(benchmark::State& state, bool withPaint) {
    const int messages = static_cast<int>(state.range(0));
    LoadedEditor& e = FileEditor(messages);
    e.prompts.openPath = QString::fromStdString(tqf::LibraryFile(messages).string());
    for (auto _ : state) {
        state.PauseTiming();
        e.Files().OnNew();
        LoadedEditor::Settle();
        state.ResumeTiming();
        e.Files().OnOpen();
        if (withPaint) {
            LoadedEditor::Settle();
        } else {
            state.PauseTiming();
            LoadedEditor::Settle();
            state.ResumeTiming();
        }
    }
    state.SetLabel("wc:" + tqf::LibraryFile(messages).filename().string());
}

// Open without the paint that follows it: reading, building and the count.
void BM_EditorOpen(benchmark::State& state) { OpenInTurn(state, false); }

// Open and the first paint, which lays out the whole library.
void BM_EditorOpenAndPaint(benchmark::State& state) { OpenInTurn(state, true); }

void BM_EditorSaveAs(benchmark::State& state) {
    const int messages = static_cast<int>(state.range(0));
    LoadedEditor& e = FileEditor(messages);
    if (e.Root()->Count() == 0) {
        e.Open(messages);
    }
    const std::filesystem::path target =
        tqf::BenchDataDir() / ("saved-" + tqf::LibraryFile(messages).filename().string());
    e.prompts.savePath = QString::fromStdString(target.string());
    for (auto _ : state) {
        e.Files().OnSaveAs();
        LoadedEditor::Settle();
    }
    state.SetLabel("cp:" + tqf::LibraryFile(messages).filename().string());
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(tqf::TINY_LIBRARY)->Arg(tqf::LARGE_LIBRARY)->Unit(benchmark::kMillisecond);
}

// The file commands take long on the large library; a few runs say enough.
constexpr double FILE_COMMAND_MIN_SECONDS = 0.1;

void FileSizes(benchmark::internal::Benchmark* b) {
    b->Arg(tqf::TINY_LIBRARY)
        ->Arg(tqf::LARGE_LIBRARY)
        ->MinTime(FILE_COMMAND_MIN_SECONDS)
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SelectNode)->Apply(Sizes);
BENCHMARK(BM_CreateMessage)->Apply(Sizes);
BENCHMARK(BM_AddItem)->Apply(Sizes);
BENCHMARK(BM_UpdateItem)->Apply(Sizes);
BENCHMARK(BM_DeleteItem)->Apply(Sizes);
BENCHMARK(BM_MoveItem)->Apply(Sizes);
BENCHMARK(BM_MoveMessage)->Apply(Sizes);
BENCHMARK(BM_DeleteMessage)->Apply(Sizes);
BENCHMARK(BM_Undo)->Apply(HistorySizes);
BENCHMARK(BM_Redo)->Apply(HistorySizes);
BENCHMARK(BM_EditorNew)->Apply(FileSizes);
BENCHMARK(BM_EditorOpen)->Apply(FileSizes);
BENCHMARK(BM_EditorOpenAndPaint)->Apply(FileSizes);
BENCHMARK(BM_EditorSaveAs)->Apply(FileSizes);

} // namespace
