// Where a POSIX desktop keeps the player's language: the locale variables.

#include <cstdlib>

#include "forms/Language.h"

namespace forms {

namespace {

std::string variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::vector<std::string> PlayerLanguages()
{
    return LanguagesFromVariables(
        {variable("LANGUAGE"), variable("LC_ALL"), variable("LC_MESSAGES"), variable("LANG")});
}

} // namespace forms
