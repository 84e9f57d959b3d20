// The player's language: choosing it, and looking the game's texts up in its catalogue.

#include "forms/Language.h"

#include <algorithm>
#include <optional>

namespace forms {

namespace {

// Spoken to a player whose languages the game does not know.
constexpr std::string_view kFallbackLanguage = "en";

// "ja" of "ja_JP.UTF-8@euro" or of "ja-JP".
std::string_view languageCode(std::string_view name)
{
    return name.substr(0, name.find_first_of("_-.@"));
}

// A C locale asks for untranslated messages: gettext then ignores LANGUAGE, and so does the game.
bool isCLocale(std::string_view locale)
{
    return locale.empty() || locale == "C" || locale == "POSIX";
}

const Catalogue *catalogueFor(std::string_view language)
{
    const auto catalogues = Catalogues();
    const auto found = std::find_if(catalogues.begin(), catalogues.end(),
                                    [&](const Catalogue &c) { return c.language == language; });
    return found == catalogues.end() ? nullptr : &*found;
}

// Chosen on first use: nothing, that is the game's own texts, for Japanese.
const Catalogue *&spokenCatalogue()
{
    static const Catalogue *catalogue = catalogueFor(ChooseLanguage(PlayerLanguages()));
    return catalogue;
}

// The argument that a "%n" at text[i] stands for; nothing where none does.
std::optional<std::string_view> placeholderAt(std::string_view text, std::size_t i,
                                              std::initializer_list<std::string_view> args)
{
    if (text[i] != '%' || i + 1 == text.size())
        return std::nullopt;
    const int n = text[i + 1] - '0';
    if (n < 1 || n > static_cast<int>(args.size()))
        return std::nullopt;
    return args.begin()[n - 1];
}

void appendList(std::vector<std::string> &languages, std::string_view list)
{
    while (!list.empty()) {
        const std::string_view item = list.substr(0, list.find(':'));
        if (!item.empty())
            languages.emplace_back(item);
        list.remove_prefix(std::min(list.size(), item.size() + 1));
    }
}

} // namespace

std::string Tr(std::string_view source)
{
    if (const Catalogue *catalogue = spokenCatalogue()) {
        for (const Message &message : catalogue->messages) {
            if (message.source == source)
                return std::string(message.translation);
        }
    }
    return std::string(source);
}

std::string FillIn(std::string_view text, std::initializer_list<std::string_view> args)
{
    std::string filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const auto arg = placeholderAt(text, i, args)) {
            filled += *arg;
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

std::vector<std::string> LanguagesFromVariables(const LocaleVariables &variables)
{
    const std::string &locale = !variables.lcAll.empty()        ? variables.lcAll
                                : !variables.lcMessages.empty() ? variables.lcMessages
                                                                : variables.lang;
    std::vector<std::string> languages;
    if (isCLocale(locale))
        return languages;
    appendList(languages, variables.language);
    languages.push_back(locale);
    return languages;
}

std::string ChooseLanguage(const std::vector<std::string> &wanted)
{
    for (const std::string &name : wanted) {
        const std::string_view code = languageCode(name);
        if (code == kSourceLanguage || catalogueFor(code))
            return std::string(code);
    }
    return std::string(kFallbackLanguage);
}

void UseLanguage(std::string_view language)
{
    spokenCatalogue() = catalogueFor(language);
}

} // namespace forms
