// Where Windows keeps the player's language: the user's UI languages, most wanted first.

#include "forms/Language.h"
#include "forms/win32/Native.h"

#include <cwchar>

namespace forms {

std::vector<std::string> PlayerLanguages()
{
    ULONG count = 0, size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0)
        return {};
    // Names such as "ja-JP", each ended by a null, the list by another.
    std::wstring names(size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size))
        return {};
    std::vector<std::string> languages;
    for (const wchar_t *name = names.c_str(); *name; name += std::wcslen(name) + 1)
        languages.push_back(win32::narrow(name));
    return languages;
}

} // namespace forms
