// Reads a library into a tree view, paints it once (which lays out every
// node) and prints what the process took at its peak:
//   tqf_measure_memory FILE
// prints "nodes=N peak_kb=P before_kb=B": the document's node count, the
// peak resident size, and the peak resident size before the file was read
// (the program, Qt and an empty view).
#include "BenchPrompts.h"
#include "FormatReader.h"
#include "FormatTreeView.h"

#include <QApplication>

#include <sys/resource.h>

#include <cstdio>
#include <filesystem>

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
    for (const tqf::FormatNode* n = root->firstChild; n != nullptr;) {
        ++nodes;
        if (n->firstChild != nullptr) {
            n = n->firstChild;
            continue;
        }
        while (n != nullptr && n->nextSibling == nullptr) {
            n = n->parent == root ? nullptr : n->parent;
        }
        if (n != nullptr) {
            n = n->nextSibling;
        }
    }
    return nodes;
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
    std::printf("nodes=%ld peak_kb=%ld before_kb=%ld\n", CountNodes(view.GetRootNode()), PeakResidentKb(), before);
    return 0;
}
