#include "RowSequence.h"
#include "FormatNode.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace tqf {
namespace {

// The sequence against a plain vector under random inserts, erasures, height
// changes and forgotten rows, in numbers that split and merge blocks.
class RowSequenceModel {
public:
    explicit RowSequenceModel(unsigned seed) : random_(seed) {}

    RowEntry NewRow() {
        nodes_.emplace_back();
        return {&nodes_.back(), static_cast<std::int32_t>(random_() % 4) * 9, static_cast<std::int32_t>(random_() % 5)};
    }

    void Step() {
        const std::size_t size = model_.size();
        switch (random_() % 6) {
        case 0:
        case 1: {
            std::vector<RowEntry> rows(1 + random_() % (random_() % 10 == 0 ? 1500 : 20));
            for (RowEntry& row : rows) {
                row = NewRow();
            }
            const std::size_t at = random_() % (size + 1);
            sequence_.Insert(at, rows);
            model_.insert(model_.begin() + static_cast<std::ptrdiff_t>(at), rows.begin(), rows.end());
            break;
        }
        case 2:
            if (size > 0) {
                const std::size_t first = random_() % size;
                const std::size_t last = std::min(size, first + random_() % (random_() % 5 == 0 ? 1000 : 30));
                sequence_.Erase(first, last);
                model_.erase(model_.begin() + static_cast<std::ptrdiff_t>(first),
                             model_.begin() + static_cast<std::ptrdiff_t>(last));
            }
            break;
        case 3:
            if (size > 0) {
                const std::size_t at = random_() % size;
                const auto height = static_cast<std::int32_t>(random_() % 50);
                sequence_.SetHeight(at, height);
                model_[at].height = height;
            }
            break;
        case 4:
            for (int i = 0; i < 10 && size > 0; ++i) {
                const std::size_t at = random_() % size;
                sequence_.Forget(at);
                model_[at].node = nullptr;
            }
            break;
        default:
            sequence_.RemoveForgotten();
            std::erase_if(model_, [](const RowEntry& row) { return row.node == nullptr; });
            break;
        }
    }

    void Check() {
        ASSERT_EQ(sequence_.Size(), model_.size());
        std::int64_t top = 0;
        for (std::size_t i = 0; i < model_.size(); ++i) {
            const RowEntry& row = sequence_.At(i);
            ASSERT_EQ(row.node, model_[i].node) << i;
            ASSERT_EQ(row.height, model_[i].height) << i;
            ASSERT_EQ(row.depth, model_[i].depth) << i;
            if (i % 37 == 0) {
                ASSERT_EQ(sequence_.TopOf(i), top) << i;
            }
            if (model_[i].node != nullptr) {
                ASSERT_EQ(sequence_.IndexOf(model_[i].node), i);
            }
            top += model_[i].height;
        }
        ASSERT_EQ(sequence_.TotalHeight(), top);
        ASSERT_EQ(sequence_.HasForgotten(),
                  std::any_of(model_.begin(), model_.end(), [](const RowEntry& r) { return r.node == nullptr; }));
        for (int k = 0; k < 30; ++k) {
            const std::int64_t y =
                top == 0 ? 0 : static_cast<std::int64_t>(random_() % static_cast<unsigned>(top + 5)) - 2;
            std::size_t expected = model_.size();
            std::int64_t end = 0;
            for (std::size_t i = 0; i < model_.size(); ++i) {
                end += model_[i].height;
                if (end > y) {
                    expected = i;
                    break;
                }
            }
            ASSERT_EQ(sequence_.FirstEndingAfter(y), expected) << y;
        }
    }

    const RowSequence& Sequence() const { return sequence_; }

private:
    std::mt19937 random_;
    std::deque<FormatNode> nodes_;
    std::vector<RowEntry> model_;
    RowSequence sequence_;
};

TEST(RowSequenceTest, AgreesWithAPlainVectorUnderRandomChanges) {
    for (const unsigned seed : {1U, 2U, 3U, 4U}) {
        RowSequenceModel model(seed);
        for (int step = 0; step < 400; ++step) {
            model.Step();
            if (step % 10 == 0) {
                model.Check();
                if (::testing::Test::HasFatalFailure()) {
                    return;
                }
            }
        }
        model.Check();
    }
}

TEST(RowSequenceTest, EmptyAndForgottenRows) {
    RowSequence rows;
    EXPECT_EQ(rows.Size(), 0U);
    EXPECT_EQ(rows.FirstEndingAfter(0), 0U);
    FormatNode a;
    FormatNode b;
    rows.Assign({{&a, 10, 1}, {&b, 0, 1}});
    EXPECT_EQ(rows.FirstEndingAfter(9), 0U);
    EXPECT_EQ(rows.FirstEndingAfter(10), 2U);
    rows.Forget(0);
    // A forgotten row keeps its pixels until the forgotten rows are removed.
    EXPECT_FALSE(rows.Contains(&a));
    EXPECT_EQ(rows.TopOf(1), 10);
    rows.RemoveForgotten();
    EXPECT_EQ(rows.Size(), 1U);
    EXPECT_EQ(rows.TopOf(0), 0);
    EXPECT_EQ(rows.IndexOf(&b), 0U);
    rows.Erase(0, 1);
    EXPECT_EQ(rows.Size(), 0U);
    EXPECT_EQ(rows.TotalHeight(), 0);
}

} // namespace
} // namespace tqf
