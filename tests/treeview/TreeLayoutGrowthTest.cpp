#include "FormatTree.h"
#include "TreeLayout.h"

#include <gtest/gtest.h>

#include <functional>

namespace tqf::test {
namespace {

struct LayoutListener : FormatTreeListener {
    TreeLayout* layout = nullptr;
    void ShowTreeMessage(std::string_view) override {}
    void RequestRepaint() override {}
    void NodesAboutToBeDeleted(const FormatNode& node) override { layout->NodesAboutToBeDeleted(node); }
    void NodeAdded(const FormatNode& node) override { layout->NodeAdded(node); }
};

// Messages added in runs and one by one, in and against document order, with
// updates after every few additions: each addition takes a bounded number of
// steps to place, and the rows are those a fresh layout gives.
TEST(TreeLayoutGrowthTest, AdditionsCostStepsInProportionAndLandWhereAFreshLayoutPutsThem) {
    constexpr int ADDITIONS = 3000;
    constexpr int WIDTH = 300;
    // Each pattern moves one of two marks: "mark" starts at the first of two
    // messages, "end" at the last.
    using Add = std::function<void(FormatTree&, FormatNode * &mark, FormatNode * &end)>;
    const std::vector<std::pair<const char*, Add>> patterns = {
        {"at the end", [](FormatTree& t, FormatNode*&, FormatNode*& end) { end = t.AddSibling(end, "S1F1", false); }},
        {"before the first",
         [](FormatTree& t, FormatNode*&, FormatNode*&) { (void)t.AddChild(nullptr, "S2F2", false); }},
        {"in order in between",
         [](FormatTree& t, FormatNode*& mark, FormatNode*&) { mark = t.AddSibling(mark, "S3F3", false); }},
        {"each after the first",
         [](FormatTree& t, FormatNode*& mark, FormatNode*&) { (void)t.AddSibling(mark, "S4F4", false); }},
    };
    for (const auto& [name, add] : patterns) {
        for (const int batch : {1, 7, 900}) {
            LayoutListener listener;
            FormatTree tree(&listener);
            TreeLayout layout(tree.GetRootNode());
            listener.layout = &layout;
            layout.SetFont(QFont("Tahoma", 9), 16);
            FormatNode* mark = tree.AddChild(nullptr, "S9F9", false);
            FormatNode* end = tree.AddSibling(mark, "S9F8", false);
            layout.Update(WIDTH);
            for (int i = 1; i <= ADDITIONS; ++i) {
                add(tree, mark, end);
                if (i % batch == 0) {
                    layout.Update(WIDTH);
                }
            }
            layout.Update(WIDTH);
            EXPECT_LE(layout.PlacementSteps(), 3U * ADDITIONS) << name << " batch " << batch;
            TreeLayout fresh(tree.GetRootNode());
            fresh.SetFont(QFont("Tahoma", 9), 16);
            fresh.Update(WIDTH);
            ASSERT_EQ(layout.Size(), fresh.Size()) << name << " batch " << batch;
            for (std::size_t r = 0; r < fresh.Size(); ++r) {
                ASSERT_EQ(layout.Entry(r).node, fresh.Entry(r).node) << name << " batch " << batch << " row " << r;
            }
        }
    }
}

} // namespace
} // namespace tqf::test
