// Reads a library into a tree view, paints it once (which lays out every
// node) and prints what the process took at its peak; then makes 1,000 edits
// of every kind and prints what their history holds:
//   tqf_measure_memory FILE
// prints "nodes=N peak_kb=P before_kb=B history_kb=H edits_kb=E": the
// document's node count, the peak resident size, the peak resident size
// before the file was read (the program, Qt and an empty view), the bytes
// the history counts for the edits, and how much the peak grew while they
// were made.
#include "BenchPrompts.h"
#include "FormatReader.h"
#include "FormatTreeView.h"
#include "TreeSurgery.h"

#include <QApplication>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int CLIENT_WIDTH = 800;
constexpr int CLIENT_HEIGHT = 600;

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CountNodes(const tqf::FormatNode* root) {
    long nodes = 0;
    for (const tqf::FormatNode* n = root->FirstChild(); n != nullptr;) {
        ++nodes;
        if (n->FirstChild() != nullptr) {
            n = n->FirstChild();
            continue;
        }
        while (n != nullptr && n->NextSibling() == nullptr) {
            n = n->Parent() == root ? nullptr : n->Parent();
        }
        if (n != nullptr) {
            n = n->NextSibling();
        }
    }
    return nodes;
}

constexpr int HISTORY_EDITS = 1000;

// 1,000 edits spread over the library: items changed, added and deleted,
// messages created, moved and deleted (each deleted message, with its items,
// stays in the history).
void MakeEdits(tqf::FormatTree& tree) {
    std::vector<tqf::FormatNode*> messages;
    for (tqf::FormatNode* m = tree.GetRootNode()->FirstChild(); m != nullptr; m = m->NextSibling()) {
        messages.push_back(m);
    }
    const std::size_t stride = std::max<std::size_t>(1, messages.size() / HISTORY_EDITS);
    std::size_t at = 0;
    for (int edit = 0; edit < HISTORY_EDITS; ++edit) {
        const std::size_t index = at % messages.size();
        tqf::FormatNode* message = messages[index];
        at += stride;
        tqf::FormatNode* item = message->FirstChild();
        switch (edit % 6) {
        case 0:
            (void)tree.CreateMessage({"5", std::to_string(edit % 256), false, "MADE BY AN EDIT"});
            break;
        case 1:
            (void)tree.UpdateMessage(message, {"7", "7", true, "CHANGED BY AN EDIT"});
            break;
        case 2:
            if (item != nullptr && item->IsList() != 0) {
                (void)tree.AddItem(item, {tqf::UINT4, "1", false, "ADDED"});
            }
            break;
        case 3:
            if (item != nullptr && item->FirstChild() == nullptr) {
                (void)tree.UpdateItem(item, {tqf::ASCII, "20", false, "CHANGED"});
            } else if (item != nullptr) {
                (void)tree.DeleteItem(item->FirstChild());
            }
            break;
        case 4:
            (void)tree.MoveDown(message);
            break;
        default:
            (void)tree.DeleteMessage(message);
            messages[index] = messages.back();
            messages.pop_back();
            break;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tqf_measure_memory FILE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    tqf::BenchPrompts prompts;
    tqf::FormatTreeView view(prompts);
    view.resize(CLIENT_WIDTH, CLIENT_HEIGHT);
    view.show();
    (void)view.RenderImage();
    const long before = PeakResidentKb();

    tqf::FormatReader reader(view.Tree());
    const tqf::ReadResult result = reader.ReadFormatFile(std::filesystem::path(argv[1]));
    if (!result.Complete()) {
        std::fprintf(stderr, "tqf_measure_memory: %s\n", result.errorText.c_str());
        return 1;
    }
    (void)view.RenderImage();
    const long nodes = CountNodes(view.GetRootNode());
    const long loaded = PeakResidentKb();
    MakeEdits(view.Tree());
    (void)view.RenderImage();
    constexpr long BYTES_PER_KB = 1024;
    std::printf("nodes=%ld peak_kb=%ld before_kb=%ld history_kb=%ld edits_kb=%ld\n", nodes, loaded, before,
                static_cast<long>(tqf::TreeSurgery::History(view.Tree()).Bytes()) / BYTES_PER_KB,
                PeakResidentKb() - loaded);
    return 0;
}
