// Test entry point: every test executable runs the real widgets on Qt's offscreen
// platform, so no display is needed.

#include <QApplication>
#include <gtest/gtest.h>

#include "forms/Form.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests read the game's own Japanese texts, whatever the machine's language; the
    // programs they start inherit it.
    qputenv("LC_ALL", "ja_JP.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests re-run this binary instead of forking a process that holds Qt's state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrin");
    const int status = RUN_ALL_TESTS();
    forms::DestroyDefaultInstances();
    return status;
}
