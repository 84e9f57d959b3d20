// Test entry point of the suites that need no window system.

#include <gtest/gtest.h>

#include "forms/Language.h"

int main(int argc, char **argv)
{
    // The tests read the game's own Japanese texts, whatever the machine's language.
    forms::UseLanguage(forms::kSourceLanguage);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
