// The tree keeps its layout between paints and works off only what each
// change touches. Whatever the real commands do to the document, the paint
// must be the one a view that has never painted before gives the same
// document: same labels, expansion, colours, font, width and scroll position.

#include "EditorWindowTest.h"

#include "FormatTree.h"
#include "ItemFormat.h"
#include "TreeCommands.h"
#include "TreeSurgery.h"

#include <QImage>
#include <QScrollBar>

#include <string>
#include <utility>
#include <vector>

namespace tqf {
namespace {

// The first pixel at which two paints differ, as "(x, y)"; empty when none.
std::string FirstDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return "sizes differ";
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if ((a.pixel(x, y) & 0xFFFFFFU) != (b.pixel(x, y) & 0xFFFFFFU)) {
                return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return {};
}

// Copies every node of the document under from into the empty document of a
// fresh view, shape first and then every field, so that the fresh view lays
// out only the finished document.
void CopyDocument(const FormatNode* from, FormatTreeView& to) {
    std::vector<std::pair<const FormatNode*, FormatNode*>> copies;
    std::vector<std::pair<const FormatNode*, FormatNode*>> pending{{from, to.GetRootNode()}};
    while (!pending.empty()) {
        const auto [source, target] = pending.back();
        pending.pop_back();
        FormatNode* last = nullptr;
        for (const FormatNode* child = source->FirstChild(); child != nullptr; child = child->NextSibling()) {
            FormatNode* copy = last == nullptr ? TreeSurgery::AddChild(to.Tree(), target, {}, false)
                                               : TreeSurgery::AddSibling(to.Tree(), last, {}, false);
            // What decides where sub-nodes may go; the rest follows below.
            if (child->IsMessage()) {
                TreeSurgery::MakeMessage(to.Tree(), copy);
            }
            TreeSurgery::SetItemFormat(to.Tree(), copy, child->IsList() ? LIST : NONE, 0);
            copies.emplace_back(child, copy);
            pending.emplace_back(child, copy);
            last = copy;
        }
    }
    for (const auto& [source, copy] : copies) {
        // Stored again: the texts belong to the document that holds them.
        TreeSurgery::SetLabel(to.Tree(), copy, source->Label());
        TreeSurgery::SetDescription(to.Tree(), copy, source->Description());
        if (!source->UsesTreeColor()) {
            to.Tree().SetNodeColor(copy, source->Color());
        }
        to.Tree().SetExpanded(copy, source->IsExpanded());
        TreeSurgery::SetItemFormat(to.Tree(), copy, source->Format(), source->Count());
    }
}

class KeepPixelsTest : public EditorWindowTest {
protected:
    // Paints the window's tree as the screen shows it and compares it with
    // the first paint of a fresh view of a copy of the document.
    void ExpectFreshPaint(const std::string& after) {
        FormatTreeView& view = Tree();
        view.viewport()->repaint();
        const QImage painted = view.RenderImage();

        ScriptedPrompts freshPrompts;
        FormatTreeView fresh(freshPrompts);
        const FontChoice font = view.TreeFontChoice();
        fresh.SetTreeFont(font.pointSizeTenths / 10, font.weight == 700, font.italic,
                          font.faceName.toLocal8Bit().toStdString());
        fresh.SetTreeTextColor(view.TextColor())
            .SetLineColor(view.LineColor())
            .SetBackgroundColor(view.BackgroundColor());
        CopyDocument(Root(), fresh);
        fresh.resize(view.size());
        fresh.show();
        // The first paint finds the content height and with it the scroll
        // bar, which takes its width from the client area.
        (void)fresh.RenderImage();
        fresh.VerticalScroll(SCROLL_THUMB_POSITION, view.ScrollPosition());
        const QImage expected = fresh.RenderImage();

        ASSERT_EQ(fresh.ScrollPosition(), view.ScrollPosition()) << after;
        ASSERT_EQ(FirstDifference(painted, expected), "") << "after " << after;
        ++comparisons;
    }

    FormatNode* Item(FormatNode* parent, int index) {
        FormatNode* node = parent->FirstChild();
        for (int i = 0; i < index && node != nullptr; ++i) {
            node = node->NextSibling();
        }
        return node;
    }

    int comparisons = 0;
};

TEST_F(KeepPixelsTest, EveryCommandPaintsAsAFreshViewWould) {
    // Messages in and out of order, with descriptions long enough to wrap in
    // the narrow tree once they are items.
    FormatNode* first = CreateMessage(QStringLiteral("6"), QStringLiteral("11"), QStringLiteral("EVENT REPORT"));
    ExpectFreshPaint("creating a message");
    FormatNode* second = CreateMessage(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("ARE YOU THERE"));
    CreateMessage(QStringLiteral("2"), QStringLiteral("41"));
    ExpectFreshPaint("creating messages before and after");

    ClickNode(first);
    AddItem(LIST);
    FormatNode* list = first->FirstChild();
    ASSERT_NE(list, nullptr);
    ClickNode(list);
    AddItem(UINT4, QStringLiteral("1"), false, QStringLiteral("DATAID"));
    ClickNode(list);
    AddItem(ASCII, QStringLiteral("40"), false,
            QStringLiteral("A DESCRIPTION LONG ENOUGH TO BREAK OVER SEVERAL ROWS OF THE NARROW TREE VIEW"));
    ClickNode(list);
    AddItem(LIST, {}, true);
    FormatNode* inner = Item(list, 2);
    ASSERT_NE(inner, nullptr);
    ClickNode(inner);
    AddItem(VARIANT, {}, false, QStringLiteral("ANY VALUE"));
    ExpectFreshPaint("adding items, which relabels their lists");
    for (int i = 0; i < 12; ++i) {
        ClickNode(list);
        AddItem(BINARY, QStringLiteral("2"), false, QStringLiteral("FILLER %1").arg(i));
    }
    ExpectFreshPaint("adding enough items for the scroll bar");

    // Labels that change their number of rows.
    ClickNode(Item(list, 0));
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("NOW A MUCH LONGER DESCRIPTION THAT WRAPS ONTO A SECOND ROW AT LEAST"));
    Click(IDC_UPDATE_ITEM);
    ExpectFreshPaint("updating an item to more rows");
    ClickNode(Item(list, 1));
    Type(IDC_ITEM_DESCRIPTION, QStringLiteral("SHORT"));
    Click(IDC_UPDATE_ITEM);
    ExpectFreshPaint("updating an item to fewer rows");
    ClickNode(second);
    Type(IDC_STREAM, QStringLiteral("127"));
    Click(IDC_UPDATE_MESSAGE);
    ExpectFreshPaint("updating a message");

    // Expansion, by double clicks as the user toggles it.
    Tree().viewport()->repaint();
    QTest::mouseDClick(Tree().viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(Tree().DrawnRect(list).left + 1, Tree().DrawnRect(list).top + 1));
    Settle();
    ASSERT_EQ(list->IsExpanded(), 0);
    ExpectFreshPaint("collapsing a list");
    ClickNode(list);
    AddItem(FLOAT8, QStringLiteral("3"));
    ExpectFreshPaint("adding under a collapsed list");
    Tree().viewport()->repaint();
    QTest::mouseDClick(Tree().viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(Tree().DrawnRect(list).left + 1, Tree().DrawnRect(list).top + 1));
    Settle();
    ASSERT_EQ(list->IsExpanded(), 1);
    ExpectFreshPaint("expanding it again");

    // Moves, of items and of messages.
    ClickNode(inner);
    Click(IDC_MOVE_UP);
    ExpectFreshPaint("moving an item up");
    Click(IDC_MOVE_DOWN);
    Click(IDC_MOVE_DOWN);
    ExpectFreshPaint("moving an item down twice");
    ClickNode(first);
    Click(IDC_MOVE_DOWN);
    ExpectFreshPaint("moving a message down");
    Click(IDC_MOVE_DOWN);
    ASSERT_EQ(first->NextSibling(), nullptr);
    ExpectFreshPaint("moving a message down to the end");
    Click(IDC_MOVE_UP);
    ExpectFreshPaint("moving a message up");

    // Width, scroll position and font.
    Tree().resize(Tree().width() - 90, Tree().height());
    ExpectFreshPaint("narrowing the tree");
    Tree().VerticalScroll(SCROLL_PAGE_DOWN);
    ExpectFreshPaint("scrolling a page down");
    Tree().SetTreeFont(12, true, false, "Tahoma");
    Tree().Redraw();
    ExpectFreshPaint("a larger bold font");
    Tree().resize(Tree().width() + 90, Tree().height());
    ExpectFreshPaint("widening the tree again");

    // Deleting items and messages.
    ClickNode(Item(list, 1));
    Click(IDC_DELETE_ITEM);
    ExpectFreshPaint("deleting an item");
    ClickNode(inner);
    Click(IDC_DELETE_ITEM);
    ExpectFreshPaint("deleting a list with its items");
    ClickNode(first);
    prompts.answers = {true};
    Click(IDC_DELETE_MESSAGE);
    ExpectFreshPaint("deleting a message with its items");
    EXPECT_GE(comparisons, 20);
}

} // namespace
} // namespace tqf
