#include "HeadlessEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need one QApplication for the whole run; they run headless.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tqf::test::PrepareHeadlessEnvironment();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
