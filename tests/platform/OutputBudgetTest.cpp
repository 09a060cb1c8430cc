#include "OutputBudget.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tqf {
namespace {

// An output of exactly the limit passes whole; one byte more passes nothing.
TEST(OutputBudgetTest, TakesUpToTheLimitAndNotOneByteMore) {
    for (const std::size_t size : {5U, 6U}) {
        std::ostringstream target;
        OutputBudget budget(target, 5);
        budget.Stream() << std::string(size, 'x') << std::flush;
        EXPECT_EQ(budget.Exceeded(), size > 5) << size;
        EXPECT_EQ(target.str(), size > 5 ? "" : std::string(size, 'x')) << size;
    }
}

} // namespace
} // namespace tqf
