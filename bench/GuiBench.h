#pragma once

#include <functional>

namespace tqf {

// Widgets a benchmark keeps between its runs must go before the application
// object does; cleanup runs after the last benchmark, while it still exists.
void AtBenchmarksEnd(std::function<void()> cleanup);

} // namespace tqf
