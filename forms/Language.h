#pragma once
// The player's language: the one door every text a player reads passes through.

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

// The game's own texts are Japanese; a catalogue gives them in one other language.
inline constexpr std::string_view kSourceLanguage = "ja";

struct Message {
    std::string_view source;
    std::string_view translation;
};
struct Catalogue {
    std::string_view language;
    std::span<const Message> messages;
};
// Every catalogue built into the program, one per translation file.
std::span<const Catalogue> Catalogues();

// The text a player reads, in the player's language. `source` is the text the Japanese
// game shows; "%1" to "%9" in it stand for the arguments.
std::string Tr(std::string_view source);
template <typename... Args>
std::string Tr(std::string_view source, const Args &...args);
// Marks a source text in a table for the door; the table's reader passes it to Tr.
constexpr std::string_view TrNoop(std::string_view source) { return source; }
// Puts args[n-1] where "%n" stands, in one pass: an argument's own "%n" stays as it is.
std::string FillIn(std::string_view text, std::initializer_list<std::string_view> args);

// The four variables that name the language on POSIX systems, empty when unset.
struct LocaleVariables {
    std::string language; // LANGUAGE: a list, "ja:en"
    std::string lcAll;
    std::string lcMessages;
    std::string lang;
};
// The languages the variables ask for, most wanted first, as gettext reads them: the first
// set of LC_ALL, LC_MESSAGES and LANG; LANGUAGE's list before it unless that is C or POSIX.
std::vector<std::string> LanguagesFromVariables(const LocaleVariables &variables);
// The player's languages, most wanted first, from where the platform keeps them.
std::vector<std::string> PlayerLanguages();
// The first wanted language the game speaks ("ja_JP.UTF-8" speaks "ja"), else English.
std::string ChooseLanguage(const std::vector<std::string> &wanted);
// Speaks `language` from now on instead of the player's choice (tests pin the Japanese).
void UseLanguage(std::string_view language);

template <typename... Args>
std::string Tr(std::string_view source, const Args &...args)
{
    return FillIn(Tr(source), {std::string_view(args)...});
}

} // namespace forms
