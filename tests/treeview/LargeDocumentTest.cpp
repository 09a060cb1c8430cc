#include "TreeSurgery.h"
#include "TreeViewTestSupport.h"

#include <QElapsedTimer>

namespace tqf::test {
namespace {

// Appends messages in one pass: AddSibling after the last one found so far.
void AppendMessages(TreeViewHarness& h, int count) {
    FormatNode* last = h.Root()->FirstChild();
    while (last != nullptr && last->NextSibling() != nullptr) {
        last = last->NextSibling();
    }
    for (int i = 0; i < count; ++i) {
        const std::string label = "S" + std::to_string(1 + i % 127) + "F" + std::to_string(i % 256) + "W";
        last = last == nullptr ? TreeSurgery::AddChild(h.Tree(), nullptr, label, false)
                               : TreeSurgery::AddSibling(h.Tree(), last, label, false);
        TreeSurgery::MakeMessage(h.Tree(), last);
    }
}

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

TEST(LargeDocumentTest, MillionMessagesPaintAndHitTestAnywhere) {
    TreeViewHarness h(800, 600);
    AppendMessages(h, 1000000);
    h.Render();
    FormatTreeView& view = h.View();
    const int rh = view.RowHeight();
    EXPECT_EQ(view.ContentHeight(), 1000000 * rh);

    view.VerticalScroll(SCROLL_THUMB_POSITION, 500000 * rh);
    QElapsedTimer timer;
    timer.start();
    h.Render();
    const qint64 firstPaint = timer.elapsed();
    timer.restart();
    const QImage image = h.Render();
    const qint64 secondPaint = timer.elapsed();
    FormatNode* hit = view.HitTestNode(QPoint(100, 4 + rh / 2), h.Root()->FirstChild());
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(view.LaidOutRect(hit).top, 4);

    // An edit in the middle and a paint touch only what they change.
    timer.restart();
    TreeSurgery::DeleteNode(h.Tree(), hit, true);
    FormatNode* added = TreeSurgery::AddSibling(h.Tree(), h.Root()->FirstChild(), "S9F9", false);
    TreeSurgery::MakeMessage(h.Tree(), added);
    h.Render();
    const qint64 editAndPaint = timer.elapsed();
    EXPECT_EQ(view.ContentHeight(), 1000000 * rh);
    EXPECT_NE(view.HitTestNode(QPoint(100, 4 + rh / 2), h.Root()->FirstChild()), nullptr);
    std::cout << "[          ] paints in the middle " << firstPaint << " and " << secondPaint
              << " ms, delete + add + paint " << editAndPaint << " ms\n";

    // Clearing the document as New does, one message at a time.
    timer.restart();
    while (h.Root()->FirstChild() != nullptr) {
        TreeSurgery::DeleteNode(h.Tree(), h.Root()->FirstChild(), true);
    }
    h.Render();
    EXPECT_EQ(view.ContentHeight(), 0);
    std::cout << "[          ] clearing " << timer.elapsed() << " ms\n";
}

TEST(LargeDocumentTest, HundredThousandLevelsPaintAndHitTest) {
    TreeViewHarness h(400, 300);
    FormatNode* message = h.AddMessage("S1F1");
    FormatNode* node = message;
    for (int i = 0; i < 100000; ++i) {
        node = TreeSurgery::AddChild(h.Tree(), node, "<L[1]>", false);
        TreeSurgery::SetItemFormat(h.Tree(), node, LIST, node->Count());
    }
    FormatNode* deepest = TreeSurgery::AddChild(h.Tree(), node, "", false);
    h.Render();
    ReferenceTreePainter reference;
    EXPECT_EQ(h.RenderAndCompare(&reference), "");
    FormatTreeView& view = h.View();
    EXPECT_EQ(view.HitTestNode(QPoint(20, 5), h.Root()->FirstChild()), message);

    // Nodes beyond the width take no rows; the empty label at the bottom does.
    int height = 0;
    for (const auto& entry : reference.rects) {
        height += entry.second.bottom - entry.second.top;
    }
    EXPECT_EQ(view.ContentHeight(), height);
    EXPECT_EQ(view.LaidOutRect(deepest).bottom - view.LaidOutRect(deepest).top, view.RowHeight());
    view.VerticalScroll(SCROLL_THUMB_POSITION, view.ScrollLimit());
    EXPECT_EQ(h.RenderAndCompare(), "");
    EXPECT_EQ(view.HitTestNode(QPoint(390, 290), h.Root()->FirstChild()), nullptr);

    // Collapsing near the top hides the whole chain at once.
    view.ToggleExpanded(message->FirstChild(), true);
    h.Render();
    EXPECT_EQ(view.LaidOutRect(deepest), view.DrawnRect(deepest));
    view.ToggleExpanded(message->FirstChild(), true);
    h.Render();
    TreeSurgery::DeleteNode(h.Tree(), message, true);
    h.Render();
    EXPECT_EQ(view.ContentHeight(), 0);
}

TEST(LargeDocumentTest, TenThousandCharacterLabels) {
    TreeViewHarness h(400, 300);
    FormatNode* word = h.AddMessage(Repeat("x", 10000));
    FormatNode* words = h.AddMessage(Repeat("word ", 2000));
    FormatNode* hangul = h.AddMessage(Repeat("한", 10000));
    FormatNode* empty = h.AddMessage("");
    h.Render();
    FormatTreeView& view = h.View();
    const int rh = view.RowHeight();
    const NodeRect wordRect = view.LaidOutRect(word);
    // One character per row until the rest fits on one.
    EXPECT_GT((wordRect.bottom - wordRect.top) / rh, 9000);

    const NodeRect hangulRect = view.LaidOutRect(hangul);
    view.VerticalScroll(SCROLL_THUMB_POSITION, hangulRect.top + 5000 * rh);
    const QImage image = h.Render();
    EXPECT_EQ(view.HitTestNode(QPoint(100, 100), h.Root()->FirstChild()), hangul);
    // One character on every row of the client area, in the text colour.
    for (int y = 4 + rh; y + rh < image.height(); y += rh) {
        int inked = 0;
        for (int x = 16; x < 16 + 2 * rh; ++x) {
            for (int dy = 0; dy < rh; ++dy) {
                inked += Pixel(image, x, y + dy) == 0 ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 0) << y;
    }

    view.VerticalScroll(SCROLL_THUMB_POSITION, view.ScrollLimit());
    h.Render();
    const NodeRect emptyRect = view.LaidOutRect(empty);
    EXPECT_EQ(emptyRect.bottom - emptyRect.top, rh);
    EXPECT_EQ(view.HitTestNode(QPoint(100, emptyRect.top), h.Root()->FirstChild()), empty);
    const NodeRect wordsRect = view.LaidOutRect(words);
    EXPECT_GT((wordsRect.bottom - wordsRect.top) / rh, 20);
}

} // namespace
} // namespace tqf::test
