#include "DialogPlacement.h"

#include <gtest/gtest.h>

#include <array>

namespace tqf {
namespace {

// A 1600 x 900 screen, a dialog of 500 x 300 that shrinks to 200 x 100 at
// the least; each row: the window, the tree in it, where the dialog goes.
TEST(DialogPlacementTest, BesideTheWindowElseBesideTheTreeElseShrunkNeverOverTheTree) {
    const QRect screen(0, 0, 1600, 900);
    const QSize size(500, 300);
    const QSize minimum(200, 100);
    // The window, the tree in it, where the dialog goes.
    const std::array<QRect, 3> cases[] = {
        {QRect(100, 100, 700, 500), {110, 140, 300, 400}, {800, 100, 500, 300}},  // right of the window
        {QRect(900, 100, 700, 500), {910, 140, 300, 400}, {400, 100, 500, 300}},  // left of it
        {QRect(100, 400, 1400, 500), {110, 440, 300, 400}, {100, 100, 500, 300}}, // above it
        {QRect(100, 50, 1400, 500), {110, 90, 300, 400}, {100, 550, 500, 300}},   // below it
        {screen, {20, 40, 400, 800}, {420, 40, 500, 300}},                        // right of the tree
        {screen, {1000, 40, 400, 800}, {500, 40, 500, 300}},                      // left of it
        {screen, {0, 400, 1600, 500}, {0, 100, 500, 300}},                        // above it
        {screen, {0, 0, 1600, 500}, {0, 500, 500, 300}},                          // below it
        {screen, {400, 0, 1000, 900}, {0, 0, 400, 300}},                          // shrunk, on the wider side
        {screen, {0, 100, 1600, 600}, {0, 700, 500, 200}},                        // shrunk, in the higher strip
        {screen, {100, 50, 1450, 800}, {1100, 600, 500, 300}},                    // no strip holds the least
    };
    for (const auto& [window, tree, placed] : cases) {
        EXPECT_EQ(PlaceClearOf(size, minimum, window, tree, screen), placed) << tree.x() << "," << tree.y();
    }
}

} // namespace
} // namespace tqf
