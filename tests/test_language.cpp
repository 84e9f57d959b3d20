// The player's language: every text of the door translated, the choice from the locale
// variables, and the English game.

#include <gtest/gtest.h>

#include <algorithm>

#include "forms/Language.h"
#include "forms/Values.h"
#include "game/Game.h"

namespace {

// Every literal that the program's sources pass to Tr or TrNoop, found by the build.
constexpr std::string_view kDoorTexts[] = {
#include "door_texts.inc"
};

TEST(Catalogues, EveryCatalogueTranslatesEveryTextKeepingItsPlaceholders)
{
    ASSERT_TRUE(std::ranges::any_of(forms::Catalogues(), [](auto &c) { return c.language == "en"; }));
    ASSERT_GT(std::size(kDoorTexts), 20u) << "the texts were not found in the sources";
    for (const forms::Catalogue &catalogue : forms::Catalogues()) {
        for (const std::string_view source : kDoorTexts) {
            const auto message = std::ranges::find(catalogue.messages, source, &forms::Message::source);
            ASSERT_NE(message, catalogue.messages.end()) << catalogue.language << " lacks \"" << source << "\"";
            for (const std::string_view p : {"%1", "%2", "%3", "%4", "%5", "%6"})
                EXPECT_EQ(source.find(p) == source.npos, message->translation.find(p) == source.npos)
                    << catalogue.language << " \"" << message->translation << "\" and " << p;
        }
    }
}

TEST(PlayerLanguage, TheLocaleVariablesChooseInTheirOrderAndEnglishIsTheRest)
{
    const std::pair<forms::LocaleVariables, const char *> cases[] = { // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        {{}, "en"}, {{"", "", "", "C"}, "en"}, {{"", "", "", "POSIX"}, "en"}, {{"", "", "", "C.UTF-8"}, "en"},
        {{"", "", "", "ja_JP.UTF-8"}, "ja"}, {{"", "", "", "ja_JP.eucJP@mod"}, "ja"}, {{"", "", "", "fr_FR"}, "en"},
        {{"", "C", "", "ja_JP.UTF-8"}, "en"},
        {{"", "", "ja_JP.UTF-8", "en_US.UTF-8"}, "ja"},
        {{"", "ja_JP.UTF-8", "en_GB.UTF-8", "en_US.UTF-8"}, "ja"},
        {{"ja:en", "", "", "en_US.UTF-8"}, "ja"}, {{"de:ja", "", "", "en_US.UTF-8"}, "ja"},
        {{"en:ja", "", "", "ja_JP.UTF-8"}, "en"}, {{"de", "", "", "ja_JP.UTF-8"}, "ja"},
        {{"ja", "", "", "C.UTF-8"}, "ja"}, {{"ja", "", "", "C"}, "en"}, {{"ja", "", "", ""}, "en"},
    };
    for (const auto &[v, spoken] : cases)
        EXPECT_EQ(forms::ChooseLanguage(forms::LanguagesFromVariables(v)), spoken)
            << "LANGUAGE=" << v.language << " LC_ALL=" << v.lcAll << " LC_MESSAGES=" << v.lcMessages
            << " LANG=" << v.lang;
    EXPECT_EQ(forms::ChooseLanguage({"ja-JP"}), "ja") << "as Windows names it";
}

class EnglishGame : public ::testing::Test {
protected:
    void SetUp() override { forms::UseLanguage("en"); }
    void TearDown() override { forms::UseLanguage(forms::kSourceLanguage); }
};

TEST_F(EnglishGame, TheResultAndTheDatesReadInEnglish)
{
    EXPECT_EQ(game::ResultMessage(25, 1), "Perfect!!\r\nYour score: 25\r\nYou are number 1 in the high scores");
    EXPECT_EQ(game::ResultMessage(3, -1), "Your score: 3\r\nYour score could not be saved");
    EXPECT_EQ(forms::FormatDisplay({2004, 5, 12, 0, 5, 9}), "2004-05-12 00:05:09");
}

TEST(FillIn, AnArgumentsOwnPlaceholdersStayAsTheyAre)
{
    EXPECT_EQ(forms::FillIn("%1  HIT数:%2", {"%2", "1%1"}), "%2  HIT数:1%1");
    EXPECT_EQ(forms::FillIn("%1 %3 100%", {"a"}), "a %3 100%");
}

} // namespace
