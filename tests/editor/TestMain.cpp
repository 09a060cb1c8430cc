#include "DialogFont.h"
#include "HeadlessEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests share one QApplication and run headless.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tqf::test::PrepareHeadlessEnvironment();
    QApplication app(argc, argv);
    tqf::DialogFont::RegisterFonts();
    return RUN_ALL_TESTS();
}
