#include "OutputBudget.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tqf {
namespace {

// An output of exactly the limit passes whole, written at once or byte by
// byte; one byte more fails and passes nothing more.
TEST(OutputBudgetTest, TakesUpToTheLimitAndNotOneByteMore) {
    for (const bool byByte : {false, true}) {
        for (const std::size_t size : {5U, 6U}) {
            std::ostringstream target;
            OutputBudget budget(target, 5);
            const std::string text(size, 'x');
            if (byByte) {
                for (const char c : text) {
                    budget.Stream().put(c);
                }
            } else {
                budget.Stream().write(text.data(), static_cast<std::streamsize>(text.size()));
            }
            EXPECT_EQ(budget.Exceeded(), size > 5) << byByte << size;
            EXPECT_EQ(static_cast<bool>(budget.Stream()), size <= 5) << byByte << size;
            EXPECT_EQ(target.str().size(), byByte ? 5U : (size <= 5 ? size : 0U)) << byByte << size;
        }
    }
}

} // namespace
} // namespace tqf
