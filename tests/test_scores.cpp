// The score file, the ranking of a finished game and the high-score lines, all through a
// real file in a temporary folder that stands for the executable's folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "forms/Runtime.h"
#include "scores/FileReplace.h"
#include "scores/HiScoreLines.h"
#include "scores/HiScoreMenu.h"
#include "scores/PrivateProfile.h"
#include "scores/Ranking.h"
#include "scores/ScoreFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

using namespace modSubroutine;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

const std::string kStamp = "2024/03/09 21:07:45";

// A new entry made at the fixed time of these tests.
std::string made(int score) { return kStamp + ',' + std::to_string(score); }
// An older entry that stood at place n; the day tells the entries apart after a move.
std::string was(int n, int score) { return "2001/01/0" + std::to_string(n) + " 10:00:00," + std::to_string(score); }

std::string crlf(const Lines &lines)
{
    std::string text;
    for (const auto &line : lines)
        text += line + "\r\n";
    return text;
}

// The program stores values only by ranking; these tests store single values too.
bool WriteIni(std::string_view section, std::string_view key, std::string_view value)
{
    return UpdateScoreFile(ScoreFilesNow(),
                           [&](const std::string &text) { return WriteIniIn(text, section, key, value); });
}

// A temporary folder stands for the executable's folder, another for the user's home.
class Scores : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty() || home.path().empty());
        // The user's data folder, as each system finds it, is in the temporary home.
        setEnvironment("XDG_DATA_HOME", home.path());
        setEnvironment("APPDATA", home.path());
        forms::hooks().appPath = [this] { return dir.path(); };
        forms::hooks().now = [] { return forms::DateTime{2024, 3, 9, 21, 7, 45}; };
    }
    void TearDown() override { forms::resetHooks(); }

    std::string path() const { return dir.filePath("Qorvel.ini"); }
    void put(const std::string &bytes) { ASSERT_TRUE(writeBytes(path(), bytes)); }
    std::optional<std::string> bytes() const { return readBytes(path()); }
    // Every name in the folder: the table and whatever a save left beside it.
    Lines entries() const { return dir.entries(); }
    // The table in the user's data folder.
    std::string dataTable() const { return ScoreFileIn(disk::dataFolder()); }

    TempDir dir, home;
};

// Entering scores: the place returned and the exact file afterwards. A fault in the tie rule,
// in reading scores as numbers or in the order of the moves shows as a wrong line.
TEST_F(Scores, RankingEntersScoresAndMovesTheTableDown)
{
    const Lines full{"[Data]",           "HISCORE1=" + was(1, 25), "HISCORE2=" + was(2, 20),
                     "HISCORE3=" + was(3, 18), "HISCORE4=" + was(4, 18), "HISCORE5=" + was(5, 10)};
    const Lines three{"[Data]", "HISCORE1=" + was(1, 15), "HISCORE2=" + was(2, 12), "HISCORE3=" + was(3, 7)};
    struct Case {
        const char *name;
        std::optional<Lines> before; // none: no file
        int score;
        int place;
        Lines after;
    };
    const Case cases[] = {
        {"no file, even for a score of 0", std::nullopt, 0, 1, {"[Data]", "HISCORE1=" + made(0)}},
        {"a tie ranks below the older entry", full, 20, 3,
         {"[Data]", "HISCORE1=" + was(1, 25), "HISCORE2=" + was(2, 20), "HISCORE3=" + made(20),
          "HISCORE4=" + was(3, 18), "HISCORE5=" + was(4, 18)}},
        {"equal to the fifth place changes nothing", full, 10, 0, full},
        {"an empty fourth place takes the score", three, 5, 4,
         {three[0], three[1], three[2], three[3], "HISCORE4=" + made(5)}},
        {"the move from an empty place leaves HISCORE5 empty", three, 13, 2,
         {"[Data]", "HISCORE1=" + was(1, 15), "HISCORE2=" + made(13), "HISCORE3=" + was(2, 12), "HISCORE5=",
          "HISCORE4=" + was(3, 7)}},
        {"a best score drops the fifth entry",
         Lines{"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + was(2, 18), "HISCORE3=" + was(3, 15),
               "HISCORE4=" + was(4, 12), "HISCORE5=" + was(5, 10)},
         25, 1,
         {"[Data]", "HISCORE1=" + made(25), "HISCORE2=" + was(1, 20), "HISCORE3=" + was(2, 18),
          "HISCORE4=" + was(3, 15), "HISCORE5=" + was(4, 12)}},
        {"10 ranks above 9", Lines{"[Data]", "HISCORE1=" + was(1, 9)}, 10, 1,
         {"[Data]", "HISCORE1=" + made(10), "HISCORE5=", "HISCORE4=", "HISCORE3=", "HISCORE2=" + was(1, 9)}},
        {"an empty place in the middle moves along",
         Lines{"[Data]", "HISCORE1=" + was(1, 15), "HISCORE2=", "HISCORE3=" + was(3, 7)}, 20, 1,
         {"[Data]", "HISCORE1=" + made(20), "HISCORE2=" + was(1, 15), "HISCORE3=", "HISCORE5=",
          "HISCORE4=" + was(3, 7)}},
        {"the score is the number after the last comma; 1e3 is 1",
         Lines{"[Data]", "HISCORE1=x,3,18.5", "HISCORE2=y,1e3"}, 18, 2,
         {"[Data]", "HISCORE1=x,3,18.5", "HISCORE2=" + made(18), "HISCORE5=", "HISCORE4=", "HISCORE3=y,1e3"}},
        {"abc reads as 0, -5 keeps its sign", Lines{"[Data]", "HISCORE1=z,abc", "HISCORE2=w,-5"}, 0, 2,
         {"[Data]", "HISCORE1=z,abc", "HISCORE2=" + made(0), "HISCORE5=", "HISCORE4=", "HISCORE3=w,-5"}},
        {"other sections, comments and a later [Data] are kept",
         Lines{"; my scores", "[Other]", "HISCORE1=keep", "", "[data]", "hiscore1 = x,10", "junk", "[Data]",
               "HISCORE2=y,5"},
         7, 2,
         {"; my scores", "[Other]", "HISCORE1=keep", "", "[data]", "hiscore1 = x,10", "junk",
          "HISCORE2=" + made(7), "[Data]", "HISCORE2=y,5"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path());
        if (c.before)
            put(crlf(*c.before));
        EXPECT_EQ(RankScore(c.score), c.place);
        EXPECT_EQ(bytes(), crlf(c.after));
    }
}

// Hand-edited files read the way the Windows profile functions read them.
TEST_F(Scores, ReadIniFollowsTheProfileRulesOnHandEditedFiles)
{
    const std::string longValue(600, 'x');
    struct Case {
        std::string file;
        std::string expected; // of HISCORE1 in [Data]
    };
    const Case cases[] = {
        {"  [ data ]  \r\n  hiscore1   =   a b  \r\n", "a b"},
        {"[Data]\nHISCORE1=lf\n", "lf"},
        {"[Data]\rHISCORE1=cr\r", "cr"},
        {"\xEF\xBB\xBF[Data]\r\nHISCORE1=bom", "bom"},
        {"[Data]\r\n\tHISCORE1\t=\x1A" "tab\t\r\n", "tab"},
        {"[Data]\r\nHISCORE1=\"  quoted,3 \"", "quoted,3"},
        {"[Data]\r\nHISCORE1='q'\r\n", "q"},
        {"[Data]\r\nHISCORE1=\"half\r\n", "\"half"},
        {"[Data]\r\nHISCORE1=a=b\r\n", "a=b"},
        {"[Data]\r\nHISCORE1=\r\nHISCORE1=second\r\n", ""},
        {"[Data]\r\nHISCORE1\r\nHISCORE1=second\r\n", ""},
        {"[Data]\r\nHISCORE2=x\r\n[Data]\r\nHISCORE1=later\r\n", ""},
        {"[Data]\r\nHISCORE1=first\r\nHISCORE1=second\r\n", "first"},
        {"HISCORE1=before\r\n[Data]\r\n", ""},
        {"[Data\r\nHISCORE1=nosection\r\n", ""},
        {"[Data]\r\n[Other\r\nHISCORE1=stillData\r\n", "stillData"},
        {"[Data] trailing\r\n;HISCORE1=comment\r\n#HISCORE1=x\r\nHISCORE1=real\r\n", "real"},
        {"[Data]x]\r\nHISCORE1=other\r\n", ""},
        {"[Data]\r\nHISCORE1=12\0 34\r\n"s, "12"},
        {"[Data]\r\nHISCORE1=" + longValue, std::string(510, 'x')},
        {"[Data]\r\nHISCORE1=" + std::string(509, 'x') + "  y", std::string(509, 'x')},
        {"", ""},
        {"\xFF\xFE[\0D\0a\0t\0a\0]\0\r\0\n\0H\0"s, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.substr(0, 60));
        put(c.file);
        EXPECT_EQ(ReadIni("Data", "HISCORE1"), c.expected);
    }
    fs::remove(path());
    EXPECT_EQ(ReadIni("Data", "HISCORE1"), "");
}

// Writing edits one line and keeps everything else, as Windows does.
TEST_F(Scores, WriteIniEditsOneLineAndKeepsTheRest)
{
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        std::string before, key, value;
        bool stored;
        std::string after;
    };
    const Case cases[] = {
        {"[Data]\nHISCORE1=a\nHISCORE2=b\n", "HISCORE1", "v", true, "[Data]\nHISCORE1=v\nHISCORE2=b\n"},
        {"[DATA]\r\n  hiscore1 = a \r\n", "HISCORE1", "v", true, "[DATA]\r\nhiscore1=v\r\n"},
        // A rewrite would tidy the spacing: an unchanged value must not rewrite.
        {"[Data]\r\n HISCORE1 = v \r\n", "HISCORE1", "v", true, "[Data]\r\n HISCORE1 = v \r\n"},
        {"[Data]\r\nHISCORE1=a\r\n\r\n[Other]\r\nk=1\r\n", "HISCORE2", "b", true,
         "[Data]\r\nHISCORE1=a\r\nHISCORE2=b\r\n\r\n[Other]\r\nk=1\r\n"},
        {"[Data]\r\nHISCORE1=a", "HISCORE2", "b", true, "[Data]\r\nHISCORE1=a\r\nHISCORE2=b\r\n"},
        {"[Other]\rk=1", "HISCORE1", "v", true, "[Other]\rk=1\r\n[Data]\r\nHISCORE1=v\r\n"},
        {"ab\0c"s, "HISCORE1", "v", true, "ab\0c\r\n[Data]\r\nHISCORE1=v\r\n"s},
        {"[Data]\r\nHISCORE1\r\n", "HISCORE1", "v", true, "[Data]\r\nHISCORE1=v\r\n"},
        {bom + "[Data]\r\nHISCORE1=a\r\n", "HISCORE1", "v", true, bom + "[Data]\r\nHISCORE1=v\r\n"},
        {"[Data]\r\nHISCORE1=a\r\n", "HISCORE1", "v\r\n[Other]", false, "[Data]\r\nHISCORE1=a\r\n"},
        {"[Data]\r\nHISCORE1=a\r\n", "HISCORE1=x", "v", false, "[Data]\r\nHISCORE1=a\r\n"},
        {"[Data]\r\nHISCORE1=a\r\n", "[Other]", "v", false, "[Data]\r\nHISCORE1=a\r\n"},
        {"[Data]\r\nHISCORE1=a\r\n", ";note", "v", false, "[Data]\r\nHISCORE1=a\r\n"},
        {"\xFF\xFE[\0"s, "HISCORE1", "v", false, "\xFF\xFE[\0"s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before + " <- " + c.key);
        put(c.before);
        EXPECT_EQ(WriteIni("Data", c.key, c.value), c.stored);
        EXPECT_EQ(bytes(), c.after);
    }
}

// An entry that cannot be stored is reported, and the old file survives byte for byte.
TEST_F(Scores, AFailedUpdateReportsNotSavedAndKeepsTheOldFile)
{
    // The ranked table would be too large to read back, so it must not be written.
    const std::string table = crlf({"[Data]", "HISCORE1=" + was(1, 25), "HISCORE2=" + was(2, 20), "HISCORE3=" + was(3, 18)});
    const std::string padding = ";" + std::string(disk::kMaxFileSize - table.size() - 13, 'p') + "\r\n";
    const std::function<void()> setups[] = {
        [&] { ASSERT_TRUE(fs::create_directory(path())); },
        [&] { put(padding + table); },
        [&] { put("\xFF\xFE[\0D\0"s); },
        // Too large to read, so it must not be taken for a missing file and replaced.
        [&] { put(padding + table + std::string(11, ';')); },
    };
    for (const auto &setup : setups) {
        fs::remove_all(path());
        setup();
        const auto before = bytes();
        EXPECT_EQ(RankScore(19), kScoreNotSaved);
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(fs::is_directory(path()), !before.has_value());
    }
}

TEST_F(Scores, AFileThatCannotBeReadIsNotReplaced)
{
    put(crlf({"[Data]", "HISCORE1=" + was(1, 3)}));
    fs::permissions(path(), fs::perms::none);
    const bool readable = bytes().has_value();
    const int place = readable ? 0 : RankScore(19);
    fs::permissions(path(), fs::perms::owner_read | fs::perms::owner_write);
    if (readable)
        GTEST_SKIP() << "file permissions do not stop this user reading (root; Windows' read-only attribute)";
    EXPECT_EQ(place, kScoreNotSaved);
    EXPECT_EQ(bytes(), crlf({"[Data]", "HISCORE1=" + was(1, 3)}));
}

// The lines the popup menu shows; a damaged line must not stop the others from filling.
TEST_F(Scores, MenuLinesShowTheTable)
{
    const Lines empty{"１位：(なし)", "２位：(なし)", "３位：(なし)", "４位：(なし)", "５位：(なし)"};
    struct Case {
        std::optional<Lines> file;
        Lines lines;
    };
    const Case cases[] = {
        {std::nullopt, empty},
        {Lines{"[Data]", "HISCORE1=2004/05/12 14:03:22,18", "HISCORE2=2004/05/12 00:05:09,0", "HISCORE3="},
         {"１位：2004年05月12日 14:03:22  HIT数:18", "２位：2004年05月12日 00:05:09  HIT数:0", empty[2], empty[3],
          empty[4]}},
        {Lines{"[Data]", "HISCORE1=2004/05/12 00:05:09,3"},
         {"１位：2004年05月12日 00:05:09  HIT数:3", empty[1], empty[2], empty[3], empty[4]}},
        {Lines{"[Data]", "HISCORE1=\xEF\xBB\xBFgarbage", "HISCORE2=2004/13/12 00:00:00,5", "HISCORE3=2004/05/12 14:03:22",
               "HISCORE4=2004/05/12 14:03:22,x,07", "HISCORE5=2004/05/12 14:03:22,\xE9"},
         {"１位：garbage", "２位：2004/13/12 00:00:00,5", "３位：2004/05/12 14:03:22",
          "４位：2004年05月12日 14:03:22  HIT数:07", "５位：2004年05月12日 14:03:22  HIT数:é"}},
    };
    for (const Case &c : cases) {
        fs::remove(path());
        if (c.file)
            put(crlf(*c.file));
        const auto lines = HiScoreLines();
        EXPECT_EQ(Lines(lines.begin(), lines.end()), c.lines);
    }
}

// The end of a game hands the menu its new lines, each with its own place.
TEST_F(Scores, UpdateHiScoreRefreshesTheMenuItems)
{
    put(crlf({"[Data]", "HISCORE1=" + was(1, 20)}));
    HiScoreLineSet shown;
    SetHiScoreDestination([&](const HiScoreLineSet &lines) { shown = lines; });
    EXPECT_EQ(UpdateHiScore(12), 2);
    SetHiScoreDestination(nullptr);
    EXPECT_EQ(shown[0], "１位：2001年01月01日 10:00:00  HIT数:20");
    EXPECT_EQ(shown[1], "２位：2024年03月09日 21:07:45  HIT数:12");
    EXPECT_EQ(shown[4], "５位：(なし)");
}

// Random damage: whatever the file holds, a place reported is a place stored, a failure
// leaves the file alone, and every menu line is filled.
TEST_F(Scores, DamagedFilesNeverLoseTheReportedEntry)
{
    const std::string pieces[] = {"[Data]", "[data", "HISCORE1=", "hiscore3 =", "HISCORE5", "\r\n", "\n",
                                  "\r", ",", "2004/05/12 14:03:22", "17", "\"", ";", std::string(1, '\0')};
    const std::string places[] = {"１位：", "２位：", "３位：", "４位：", "５位："};
    std::mt19937 random(20240309);
    for (int round = 0; round < 300; ++round) {
        std::string file;
        const int parts = int(random() % 40);
        for (int i = 0; i < parts; ++i)
            file += random() % 3 ? pieces[random() % std::size(pieces)] : std::string(1, char(random()));
        put(file);
        const int score = int(random() % 26);
        const int place = RankScore(score);
        SCOPED_TRACE(file);
        ASSERT_GE(place, kScoreNotSaved);
        ASSERT_LE(place, 5);
        if (place > 0) {
            EXPECT_EQ(ReadIni("Data", "HISCORE" + std::to_string(place)), made(score));
        } else if (place == kScoreNotSaved) {
            EXPECT_EQ(bytes(), file);
        }
        const auto lines = HiScoreLines();
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].starts_with(places[i])) << lines[i];
    }
}

// A table after megabytes of other keys and comments is found, ranked and kept whole.
TEST_F(Scores, ALargeFileRanksAndKeepsEverythingElse)
{
    std::string other;
    while (other.size() < 5'000'000)
        other += "key" + std::to_string(other.size()) + " = some value\r\n; a comment\r\n";
    put(other + crlf({"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + was(2, 10)}));
    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(bytes(), other + crlf({"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + made(15), "HISCORE5=",
                                     "HISCORE4=", "HISCORE3=" + was(2, 10)}));
    EXPECT_EQ(HiScoreLines()[1], "２位：2024年03月09日 21:07:45  HIT数:15");
}

TEST(ScoreFileIn, AddsNoSecondSeparatorToARoot)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/", "/Qorvel.ini"}, {"C:\\", "C:\\Qorvel.ini"}, {"C:/", "C:/Qorvel.ini"},
        {"/opt/kestrin", "/opt/kestrin/Qorvel.ini"}};
    for (const auto &[folder, path] : cases)
        EXPECT_EQ(ScoreFileIn(folder), path);
}

// A folder named in any script, as a player's C:\Users\山田\… or a game unpacked into
// ゲーム: the table is made, replaced and read there under that very name.
TEST_F(Scores, AFolderWithAJapaneseNameKeepsItsTable)
{
    const std::string folder = dir.filePath("ゲーム");
    ASSERT_TRUE(disk::makeFolder(folder));
    forms::hooks().appPath = [folder] { return folder; };
    EXPECT_EQ(RankScore(12), 1);
    EXPECT_EQ(RankScore(15), 1);
    EXPECT_EQ(readBytes(ScoreFileIn(folder)),
              crlf({"[Data]", "HISCORE1=" + made(15), "HISCORE5=", "HISCORE4=", "HISCORE3=", "HISCORE2=" + made(12)}));
    EXPECT_EQ(HiScoreLines()[1], "２位：2024年03月09日 21:07:45  HIT数:12");
    EXPECT_EQ(entries(), Lines{"ゲーム"});
}

// An installed copy cannot write beside its executable: the table goes to the user's data
// folder, and reads follow it there. A writable executable folder always comes first.
TEST_F(Scores, AnUnwritableExecutableFolderKeepsTheTableInTheDataFolder)
{
    const std::string inData = dataTable();
    put("not a folder");
    for (const std::string &folder : {dir.filePath("missing/bin"), path()}) {
        fs::remove_all(disk::dataFolder());
        forms::hooks().appPath = [folder] { return folder; };
        EXPECT_EQ(ScoreFilePath(), inData);
        EXPECT_EQ(RankScore(12), 1);
        EXPECT_EQ(HiScoreLines()[0], "１位：2024年03月09日 21:07:45  HIT数:12");
        EXPECT_TRUE(fs::exists(inData));
    }
    EXPECT_FALSE(fs::exists(dir.filePath("missing")));
    forms::hooks().appPath = [this] { return dir.path(); };
    EXPECT_EQ(ScoreFilePath(), path());
}

// Each step of a replacement that fails ends "not saved" with the old table byte for byte
// and nothing left beside it: no temporary, no lock. A failing sync or rename
// cannot be provoked, so a seam stands in for the system's refusal.
TEST_F(Scores, AFailingSaveStepLeavesTheOldTableAndNoTemporary)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + was(2, 10)});
    for (const auto failing : {disk::SaveStep::Write, disk::SaveStep::Sync, disk::SaveStep::Replace}) {
        SCOPED_TRACE(int(failing));
        put(before);
        disk::saveFault() = [failing](disk::SaveStep step) { return step == failing; };
        EXPECT_EQ(RankScore(15), kScoreNotSaved);
        disk::saveFault() = nullptr;
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(entries(), Lines{"Qorvel.ini"});
    }
}

// Another copy holding the table too long means "not saved"; once it lets go, the table is
// written. (The wait is shortened here; the game waits two seconds.) A lock file left by a
// copy killed while holding it does not block the table at all.
TEST_F(Scores, ATableHeldByAnotherCopyIsNotWritten)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    const auto change = [](const profile::FileBytes &file) { return profile::putProfileString(file.bytes, "Data", "HISCORE2", "x,1"); };
    {
        const disk::Lock other = profile::lockBeside(path(), 0);
        ASSERT_TRUE(other);
        EXPECT_FALSE(profile::updateFile(path(), path(), change, 50));
        EXPECT_EQ(bytes(), before);
    }
    EXPECT_TRUE(profile::updateFile(path(), path(), change, 50));
    EXPECT_EQ(bytes(), before + "HISCORE2=x,1\r\n");

    ASSERT_TRUE(writeBytes(path() + ".lock", "4194305\nkestrin\n\n"));
    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(entries(), Lines{"Qorvel.ini"});
}

// What score_writer reported: one (score, place) for each ranking it finished.
std::vector<std::pair<int, int>> reported(const std::string &output)
{
    std::vector<std::pair<int, int>> places;
    std::istringstream lines(output);
    for (int score, place; lines >> score >> place;)
        places.emplace_back(score, place);
    return places;
}

std::string runWriter(const std::vector<std::string> &args) { return ChildProcess(SCORE_WRITER, args).finish(); }

// A real write failure without root: the child may write no file larger than 4 KiB, and
// the ranked table is larger. The buffered write succeeds; the flush fails.
TEST_F(Scores, AWriteBeyondTheFileSizeLimitKeepsTheOldTable)
{
    const std::string before = ";" + std::string(6000, 'c') + "\r\n" + crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    ChildProcess writer(SCORE_WRITER, {dir.path(), "15", "1", "1", "--fsize", "4096"});
    const auto places = reported(writer.finish());
    if (writer.status() == 77)
        GTEST_SKIP() << "this system cannot limit the size of a process's files";
    EXPECT_EQ(places, (std::vector<std::pair<int, int>>{{15, kScoreNotSaved}}));
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(entries(), Lines{"Qorvel.ini"});
}

// A save killed just before its temporary would have been moved over the table leaves it
// behind, under the one name that only saves use; the next save, under the same lock, writes
// over it and moves it into place. A player's files beside the table are never touched.
TEST_F(Scores, AKilledSavesTemporaryIsTakenOverByTheNextAndAPlayersFilesStay)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    ASSERT_TRUE(writeBytes(path() + ".backup", before));
    EXPECT_TRUE(reported(runWriter({dir.path(), "15", "1", "1", "--die-before-rename"})).empty());
    EXPECT_EQ(bytes(), before);
    // Windows deletes the lock file with the dead holder's handle; elsewhere it stays.
    Lines left = entries();
    std::erase(left, "Qorvel.ini.lock");
    ASSERT_EQ(left, (Lines{"Qorvel.ini", "Qorvel.ini.backup", "Qorvel.ini.kestrin-save"}))
        << "the child did not die where it should";

    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(entries(), (Lines{"Qorvel.ini", "Qorvel.ini.backup"}));
    EXPECT_EQ(readBytes(path() + ".backup"), before);
}

// Killed at random moments while ranking ever higher scores, the child leaves the table
// exactly as it was before or after the ranking in progress, never a mixture, and no
// temporary piles up.
TEST_F(Scores, AKillAtAnyMomentLeavesTheOldOrTheNewTable)
{
    // The tables after ranking 1, 2, ..., n into no file, computed in memory.
    std::vector<std::optional<std::string>> after{std::nullopt};
    const auto tableAfter = [&](std::size_t n) {
        while (after.size() <= n) {
            std::string table = after.back().value_or("");
            EnterScore(table, int(after.size()));
            after.push_back(table);
        }
        return after[n];
    };
    std::mt19937 random(20240309);
    std::size_t done = 0;
    for (int kill = 0; kill < 50; ++kill) {
        SCOPED_TRACE(kill);
        ChildProcess writer(SCORE_WRITER, {dir.path(), std::to_string(done + 1), "100000", "1"});
        ASSERT_TRUE(writer.waitForOutput(30000));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        writer.kill();
        const auto places = reported(writer.finish());
        ASSERT_FALSE(places.empty());
        for (const auto &[score, place] : places)
            ASSERT_EQ(place, 1) << score;
        const std::size_t last = std::size_t(places.back().first);
        const auto table = bytes();
        ASSERT_TRUE(table == tableAfter(last) || table == tableAfter(last + 1)) << table.value_or("(no file)");
        done = table == tableAfter(last) ? last : last + 1;
        // A kill can leave the temporary and the lock file; the next save clears them.
        for (const std::string &entry : entries())
            EXPECT_TRUE(entry == "Qorvel.ini" || entry == "Qorvel.ini.kestrin-save" || entry == "Qorvel.ini.lock") << entry;
    }
    EXPECT_EQ(RankScore(int(done) + 1), 1);
    EXPECT_EQ(entries(), Lines{"Qorvel.ini"});
}

// Several copies ranking at the same moment take turns: every score reported as placed
// that still belongs in the top five is in the final table, and none was refused.
TEST_F(Scores, CopiesRankingAtOnceLoseNoScore)
{
    constexpr int copies = 4, rankings = 40;
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (int c = 1; c <= copies; ++c) {
        writers.push_back(std::make_unique<ChildProcess>(
            SCORE_WRITER, std::vector<std::string>{dir.path(), std::to_string(c), std::to_string(rankings), std::to_string(copies)}));
    }
    std::vector<int> placed;
    for (auto &writer : writers) {
        const auto places = reported(writer->finish());
        EXPECT_EQ(places.size(), std::size_t(rankings));
        for (const auto &[score, place] : places) {
            EXPECT_NE(place, kScoreNotSaved) << score;
            if (place > 0)
                placed.push_back(score);
        }
    }
    std::sort(placed.rbegin(), placed.rend());
    placed.resize(std::min<std::size_t>(placed.size(), 5));
    std::vector<int> table;
    for (int i = 1; i <= 5; ++i) {
        const std::string entry = ReadIni("Data", "HISCORE" + std::to_string(i));
        table.push_back(std::stoi(entry.substr(entry.rfind(',') + 1)));
    }
    EXPECT_EQ(table, placed);
    EXPECT_EQ(entries(), Lines{"Qorvel.ini"});
}

#ifdef __linux__
// A real full disk: the program's folder is a tiny tmpfs filled up beside the table, all
// but two pages, room for the lock but not for the new table, so that it is
// the table's own write that fails. Needs root to mount; skipped otherwise.
TEST_F(Scores, AFullDiskKeepsTheOldTable)
{
    constexpr std::uintmax_t kPage = 4096;
    const char *mountPoint = dir.path().c_str();
    if (geteuid() != 0 || mount("tmpfs", mountPoint, "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const std::string before = ";" + std::string(16000, 'c') + "\r\n" + crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    const std::string filler = dir.filePath("filler");
    {
        std::ofstream fill(filler, std::ios::binary);
        const std::string block(kPage, 'f');
        while (fill.write(block.data(), kPage) && fill.flush()) {
        }
    }
    fs::resize_file(filler, fs::file_size(filler) / kPage * kPage - 2 * kPage);
    EXPECT_EQ(RankScore(15), kScoreNotSaved);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(entries(), (Lines{"Qorvel.ini", "filler"}));
    umount2(mountPoint, MNT_DETACH);
}

// The user's data folder: XDG_DATA_HOME when it is an absolute path, else the home's
// .local/share, each with the program's own folder in it.
TEST_F(Scores, TheDataFolderFollowsXdgDataHomeElseTheHome)
{
    const char *const homeBefore = std::getenv("HOME");
    const std::string savedHome = homeBefore ? homeBefore : "";
    setEnvironment("HOME", home.path());
    const std::pair<std::string, std::string> cases[] = {
        {"/var/data", "/var/data/kestrin"},
        {"relative/data", home.path() + "/.local/share/kestrin"},
        {"", home.path() + "/.local/share/kestrin"},
    };
    for (const auto &[xdg, folder] : cases) {
        setEnvironment("XDG_DATA_HOME", xdg);
        EXPECT_EQ(disk::dataFolder(), folder) << xdg;
    }
    setEnvironment("HOME", savedHome);
}

// A FIFO in the table's place is no table: reading it neither hangs the game nor passes
// for an empty table, and a ranking leaves it in place.
TEST_F(Scores, AFifoInTheTablesPlaceIsNeitherReadNorReplaced)
{
    ASSERT_EQ(mkfifo(path().c_str(), 0600), 0);
    EXPECT_EQ(RankScore(12), kScoreNotSaved);
    EXPECT_EQ(ScoreFileTrouble(), "cannot read " + path() + ": not a regular file");
    EXPECT_TRUE(fs::is_fifo(path()));
}

// Makes folder read-only for this process: by its permissions, or for root (whom they do
// not stop) by a read-only bind mount over it. False when neither is possible here.
bool makeReadOnly(const std::string &folder)
{
    if (geteuid() != 0) {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        return true;
    }
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    if (mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0)
        return true;
    umount2(folder.c_str(), MNT_DETACH);
    return false;
}

void makeWritable(const std::string &folder)
{
    if (geteuid() != 0)
        fs::permissions(folder, fs::perms::owner_all);
    else
        umount2(folder.c_str(), MNT_DETACH);
}

// A table beside a program whose folder turned read-only is still the player's table: it is
// shown, and the first save carries it, ranked, into the data folder, which holds the table
// from then on. The program's folder is left as it was.
TEST_F(Scores, AReadOnlyProgramFolderShowsItsTableAndASaveCarriesItOver)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + was(2, 10)});
    put(before);
    if (!makeReadOnly(dir.path()))
        GTEST_SKIP() << "cannot make a folder read-only here";
    const std::string inData = dataTable();

    EXPECT_EQ(HiScoreLines()[1], "２位：2001年01月02日 10:00:00  HIT数:10");
    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(ScoreFilesNow(), (ScoreFiles{inData, inData}));
    EXPECT_EQ(HiScoreLines()[2], "３位：2001年01月02日 10:00:00  HIT数:10");
    EXPECT_EQ(RankScore(12), 3);
    EXPECT_EQ(HiScoreLines()[3], "４位：2001年01月02日 10:00:00  HIT数:10");
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(entries(), Lines{"Qorvel.ini"});
    makeWritable(dir.path());
}
#endif

// Where the table lives, for every combination that matters. Installed builds never touch
// the program's folder, even when it is writable and holds a table.
TEST(ChooseScoreFiles, FollowsOneRule)
{
    const std::string program = "/opt/kestrin/Qorvel.ini", data = "/home/p/.local/share/kestrin/Qorvel.ini";
    struct Case {
        const char *name;
        bool installed, writable, programTable, dataTable, noDataFolder;
        ScoreFiles expected;
    };
    const Case cases[] = {
        {"portable, writable folder", false, true, true, true, false, {program, program}},
        {"portable, read-only folder with a table", false, false, true, false, false, {program, data}},
        {"portable, read-only folder, data table made", false, false, true, true, false, {data, data}},
        {"portable, read-only folder without a table", false, false, false, false, false, {data, data}},
        {"portable, read-only folder, no data folder", false, false, true, false, true, {program, program}},
        {"installed, writable folder with a table", true, true, true, false, false, {data, data}},
        {"installed, read-only folder with a table", true, false, true, false, false, {data, data}},
        {"installed, no data folder", true, true, true, false, true, {"", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ScoreFolderFacts facts{c.installed, "/opt/kestrin", c.writable,
                                     c.noDataFolder ? "" : "/home/p/.local/share/kestrin", c.programTable, c.dataTable};
        EXPECT_EQ(ChooseScoreFiles(facts), c.expected);
    }
}

// The installed rule on real folders: a ranking lands in the data folder, never beside the
// program, though the program's folder is writable.
TEST_F(Scores, AnInstalledCopyRanksIntoTheDataFolder)
{
    EXPECT_EQ(RankScoreIn(ScoreFilesNow(true), 12), 1);
    EXPECT_EQ(profile::loadFile(dataTable()).bytes, crlf({"[Data]", "HISCORE1=" + made(12)}));
    EXPECT_TRUE(entries().empty());
}

// A table that exists but cannot be read is named with the reason; a missing or readable
// one is no trouble.
TEST_F(Scores, TroubleWithTheTableIsNamed)
{
    const std::string where = "cannot read " + path() + ": ";
    struct Case {
        std::function<void()> setup;
        std::optional<std::string> trouble;
    };
    const Case cases[] = {
        {[] {}, std::nullopt},
        {[&] { put(crlf({"[Data]", "HISCORE1=" + was(1, 20)})); }, std::nullopt},
        {[&] { put("\xFF\xFE[\0D\0"s); }, where + "UTF-16 text is not supported"},
        {[&] { put(std::string(disk::kMaxFileSize + 1, ';')); }, where + "larger than 16 MiB"},
    };
    for (const Case &c : cases) {
        fs::remove(path());
        c.setup();
        EXPECT_EQ(ScoreFileTrouble(), c.trouble);
    }
    fs::remove(path());
    ASSERT_TRUE(fs::create_directory(path()));
    const auto trouble = ScoreFileTrouble();
    ASSERT_TRUE(trouble.has_value());
    EXPECT_TRUE(trouble->starts_with(where)) << *trouble;
    EXPECT_GT(trouble->size(), where.size());
}

} // namespace
