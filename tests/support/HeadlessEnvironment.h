#pragma once

namespace tqf::test {

// Widget tests run headless: the offscreen platform, and a private runtime
// folder when the environment has none. Call before creating QApplication.
void PrepareHeadlessEnvironment();

} // namespace tqf::test
