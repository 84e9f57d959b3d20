// Test entry point: every suite runs the program's real windows on this platform's body,
// started as the program starts it; the body's own settings for tests (no display, where
// it can do without one) come from the build.

#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/Form.h"
#include "forms/Language.h"
#include "forms/Runtime.h"
#include "tests/support/ChildProcess.h"

int main(int argc, char **argv)
{
    // NAME=VALUE, or nothing: a variable set in the environment already wins.
    const std::string bodySetting = KESTRIN_BODY_TEST_ENVIRONMENT;
    if (const auto equals = bodySetting.find('='); equals != std::string::npos) {
        const std::string name = bodySetting.substr(0, equals);
        if (!std::getenv(name.c_str()))
            setEnvironment(name, bodySetting.substr(equals + 1));
    }
    // The tests read the game's own Japanese texts, whatever the machine's language; the
    // programs they start inherit the locale that asks for them.
    forms::UseLanguage(forms::kSourceLanguage);
    setEnvironment("LC_ALL", "ja_JP.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests re-run this binary instead of forking a process that holds the window
    // system's state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int status = 1;
    const int started = forms::Run(argc, argv, [&status] {
        status = RUN_ALL_TESTS();
        forms::DestroyDefaultInstances();
    });
    return started != 0 ? started : status;
}
