#include "DialogFont.h"
#include "HeadlessEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

// The window and dialog tests share one QApplication, the dialog fonts, and
// run headless.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tqf::test::PrepareHeadlessEnvironment();
    QApplication app(argc, argv);
    tqf::DialogFont::RegisterFonts();
    return RUN_ALL_TESTS();
}
