// The score file, the ranking of a finished game and the high-score lines, all through a
// real file in a temporary folder that stands for the executable's folder.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "forms/Form.h"
#include "forms/Runtime.h"
#include "app/frmMenu.h"
#include "scores/FileReplace.h"
#include "scores/HiScoreLines.h"
#include "scores/PrivateProfile.h"
#include "scores/Ranking.h"
#include "scores/ScoreFile.h"

using namespace modSubroutine;
using namespace std::string_literals;

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

// Every save syncs the table to the disk; hundreds of them stay fast in memory-backed
// folders, which behave like a disk's in all else these tests look at.
QString scratchTemplate()
{
    const QFileInfo shm("/dev/shm");
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + "/kestrin-scores-XXXXXX";
}

class Scores : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        forms::hooks().appPath = [this] { return dir.path().toStdString(); };
        forms::hooks().now = [] { return forms::DateTime{2024, 3, 9, 21, 7, 45}; };
    }
    void TearDown() override { forms::resetHooks(); }

    QString path() const { return dir.filePath("Qorvel.ini"); }
    void put(const std::string &bytes)
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }
    std::optional<std::string> bytes() const
    {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll().toStdString();
    }

    // Every name in the folder: the table and whatever a save left beside it.
    QStringList entries() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        std::sort(names.begin(), names.end());
        return names;
    }

    QTemporaryDir dir{scratchTemplate()};
};

// Entering scores: the place returned and the exact file afterwards. A fault in the tie rule,
// in reading scores as numbers or in the order of the moves shows as a wrong line.
TEST_F(Scores, rankingEntersScoresAndMovesTheTableDown)
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
        QFile::remove(path());
        if (c.before)
            put(crlf(*c.before));
        EXPECT_EQ(RankScore(c.score), c.place);
        EXPECT_EQ(bytes(), crlf(c.after));
    }
}

// Hand-edited files read the way the Windows profile functions read them.
TEST_F(Scores, readIniFollowsTheProfileRulesOnHandEditedFiles)
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
    QFile::remove(path());
    EXPECT_EQ(ReadIni("Data", "HISCORE1"), "");
}

// Writing edits one line and keeps everything else, as Windows does.
TEST_F(Scores, writeIniEditsOneLineAndKeepsTheRest)
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
TEST_F(Scores, aFailedUpdateReportsNotSavedAndKeepsTheOldFile)
{
    // The ranked table would be too large to read back, so it must not be written.
    const std::string table = crlf({"[Data]", "HISCORE1=" + was(1, 25), "HISCORE2=" + was(2, 20), "HISCORE3=" + was(3, 18)});
    const std::string padding = ";" + std::string(profile::kMaxFileSize - table.size() - 13, 'p') + "\r\n";
    const std::function<void()> setups[] = {
        [&] { ASSERT_TRUE(QDir(dir.path()).mkdir("Qorvel.ini")); },
        [&] { put(padding + table); },
        [&] { put("\xFF\xFE[\0D\0"s); },
        // Too large to read, so it must not be taken for a missing file and replaced.
        [&] { put(padding + table + std::string(11, ';')); },
    };
    for (const auto &setup : setups) {
        QDir(path()).removeRecursively();
        QFile::remove(path());
        setup();
        const auto before = bytes();
        EXPECT_EQ(RankScore(19), kScoreNotSaved);
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(QFileInfo(path()).isDir(), !before.has_value());
    }
}

TEST_F(Scores, aFileThatCannotBeReadIsNotReplaced)
{
    put(crlf({"[Data]", "HISCORE1=" + was(1, 3)}));
    QFile::setPermissions(path(), QFileDevice::Permissions());
    if (QFile(path()).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "file permissions are not enforced for this user (root)";
    EXPECT_EQ(RankScore(19), kScoreNotSaved);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(bytes(), crlf({"[Data]", "HISCORE1=" + was(1, 3)}));
}

// The lines the popup menu shows; a damaged line must not stop the others from filling.
TEST_F(Scores, menuLinesShowTheTable)
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
        {Lines{"[Data]", "HISCORE1=garbage", "HISCORE2=2004/13/12 00:00:00,5", "HISCORE3=2004/05/12 14:03:22",
               "HISCORE4=2004/05/12 14:03:22,x,07", "HISCORE5=2004/05/12 14:03:22,\xE9"},
         {"１位：garbage", "２位：2004/13/12 00:00:00,5", "３位：2004/05/12 14:03:22",
          "４位：2004年05月12日 14:03:22  HIT数:07", "５位：2004年05月12日 14:03:22  HIT数:é"}},
    };
    for (const Case &c : cases) {
        QFile::remove(path());
        if (c.file)
            put(crlf(*c.file));
        const auto lines = HiScoreLines();
        EXPECT_EQ(Lines(lines.begin(), lines.end()), c.lines);
    }
}

// The end of a game refreshes the menu items, each with its own place.
TEST_F(Scores, updateHiScoreRefreshesTheMenuItems)
{
    put(crlf({"[Data]", "HISCORE1=" + was(1, 20)}));
    EXPECT_EQ(UpdateHiScore(12), 2);
    const auto &items = forms::Default<frmMenu>().mhiscore;
    EXPECT_EQ(items[0].Caption(), "１位：2001年01月01日 10:00:00  HIT数:20");
    EXPECT_EQ(items[1].Caption(), "２位：2024年03月09日 21:07:45  HIT数:12");
    EXPECT_EQ(items[4].Caption(), "５位：(なし)");
}

// Random damage: whatever the file holds, a place reported is a place stored, a failure
// leaves the file alone, and every menu line is filled.
TEST_F(Scores, damagedFilesNeverLoseTheReportedEntry)
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
TEST_F(Scores, aLargeFileRanksAndKeepsEverythingElse)
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

TEST(ScoreFileIn, addsNoSecondSeparatorToARoot)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/", "/Qorvel.ini"}, {"C:\\", "C:\\Qorvel.ini"}, {"C:/", "C:/Qorvel.ini"},
        {"/opt/kestrin", "/opt/kestrin/Qorvel.ini"}};
    for (const auto &[folder, path] : cases)
        EXPECT_EQ(ScoreFileIn(folder), path);
}

// An installed copy cannot write beside its executable: the table goes to the user's data
// folder, and reads follow it there. A writable executable folder always comes first.
TEST_F(Scores, anUnwritableExecutableFolderKeepsTheTableInTheDataFolder)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    ASSERT_FALSE(data.isEmpty());
    const std::string inData = ScoreFileIn(data.toStdString());
    put("not a folder");
    for (const QString &folder : {dir.filePath("missing/bin"), path()}) {
        QDir(data).removeRecursively();
        forms::hooks().appPath = [folder] { return folder.toStdString(); };
        EXPECT_EQ(ScoreFilePath(), inData);
        EXPECT_EQ(RankScore(12), 1);
        EXPECT_EQ(HiScoreLines()[0], "１位：2024年03月09日 21:07:45  HIT数:12");
        EXPECT_TRUE(QFile::exists(QString::fromStdString(inData)));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
    forms::hooks().appPath = [this] { return dir.path().toStdString(); };
    EXPECT_EQ(ScoreFilePath(), path().toStdString());
    QDir(data).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
}

// Each step of a replacement that fails ends "not saved" with the old table byte for byte
// and nothing left beside it: no temporary, no lock, no journal. A failing sync or rename
// cannot be provoked, so a seam stands in for the system's refusal.
TEST_F(Scores, aFailingSaveStepLeavesTheOldTableAndNoTemporary)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + was(2, 10)});
    for (const auto failing : {profile::SaveStep::Write, profile::SaveStep::Flush, profile::SaveStep::Sync,
                               profile::SaveStep::Rename}) {
        SCOPED_TRACE(int(failing));
        put(before);
        profile::saveFault() = [failing](profile::SaveStep step, int) { return step == failing; };
        EXPECT_EQ(RankScore(15), kScoreNotSaved);
        profile::saveFault() = nullptr;
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});
    }
}

// Another copy holding the table too long means "not saved"; once it lets go, the table is
// written. (The wait is shortened here; the game waits two seconds.) A lock file left
// empty by a copy killed while making it does not block the table; one that a live copy
// is still filling does. (QLockFile alone would wait out 30 s for an empty one.)
TEST_F(Scores, aTableHeldByAnotherCopyIsNotWritten)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    QLockFile other(path() + ".lock");
    ASSERT_TRUE(other.tryLock(0));
    const auto change = [](const profile::FileBytes &file) { return profile::putProfileString(file.bytes, "Data", "HISCORE2", "x,1"); };
    EXPECT_FALSE(profile::updateFile(path().toStdString(), path().toStdString(), change, 50));
    EXPECT_EQ(bytes(), before);
    other.unlock();
    EXPECT_TRUE(profile::updateFile(path().toStdString(), path().toStdString(), change, 50));
    EXPECT_EQ(bytes(), before + "HISCORE2=x,1\r\n");

    QFile empty(path() + ".lock");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    ASSERT_TRUE(empty.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
#ifdef Q_OS_LINUX
    // Still held by the copy that is about to name itself in it: not taken over.
    ASSERT_EQ(flock(empty.handle(), LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(profile::updateFile(path().toStdString(), path().toStdString(), change, 200));
#endif
    empty.close();
    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});

    // A lock whose process is gone, with the lock that guards its removal left empty by a
    // copy killed while taking that one over.
    QFile stale(path() + ".lock"), guard(path() + ".lock.rmlock");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly) && stale.write("4194305\nkestrin\n\n") > 0);
    ASSERT_TRUE(guard.open(QIODevice::WriteOnly));
    ASSERT_TRUE(guard.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
    stale.close();
    guard.close();
    EXPECT_EQ(RankScore(16), 2);
    EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});
}

#ifdef SCORE_WRITER
// What score_writer reported: one (score, place) for each ranking it finished.
std::vector<std::pair<int, int>> reported(const QByteArray &output)
{
    std::vector<std::pair<int, int>> places;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2)
            places.emplace_back(fields[0].toInt(), fields[1].toInt());
    }
    return places;
}

QByteArray runWriter(const QStringList &args)
{
    QProcess writer;
    writer.start(SCORE_WRITER, args);
    EXPECT_TRUE(writer.waitForFinished(60000));
    return writer.readAllStandardOutput();
}

// A real write failure without root: the child may write no file larger than 4 KiB, and
// the ranked table is larger. The buffered write succeeds; the flush fails.
TEST_F(Scores, aWriteBeyondTheFileSizeLimitKeepsTheOldTable)
{
    const std::string before = ";" + std::string(6000, 'c') + "\r\n" + crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    const auto places = reported(runWriter({dir.path(), "15", "1", "1", "--fsize", "4096"}));
    EXPECT_EQ(places, (std::vector<std::pair<int, int>>{{15, kScoreNotSaved}}));
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});
}

// A save killed after its temporary got its name but before the rename leaves that file;
// the next successful save removes it, and only it: a player's Qorvel.ini.backup, whose
// name has the same shape, stays, whether it was there before or made after the kill.
TEST_F(Scores, aKilledSavesTemporaryIsRemovedAndAPlayersBackupIsNot)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    ASSERT_TRUE(QFile::copy(path(), path() + ".BackUp"));
    EXPECT_TRUE(reported(runWriter({dir.path(), "15", "1", "1", "--die-before-rename", "Qorvel.ini.KzQwPb"})).empty());
    EXPECT_EQ(bytes(), before);
    ASSERT_TRUE(entries().contains("Qorvel.ini.KzQwPb")) << "the child did not die where it should";
    ASSERT_TRUE(QFile::copy(path(), path() + ".backup"));

    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(entries(), (QStringList{"Qorvel.ini", "Qorvel.ini.BackUp", "Qorvel.ini.backup"}));
    for (const char *backup : {".BackUp", ".backup"}) {
        QFile copy(path() + backup);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll().toStdString(), before);
    }
}

// The same where temporaries have names from the start, as on filesystems without unnamed
// files: the child runs with /proc hidden, which keeps QSaveFile from using them. Needs
// root for the private mount; skipped otherwise.
TEST_F(Scores, aKilledSavesNamedTemporaryIsRemovedToo)
{
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    ASSERT_TRUE(QFile::copy(path(), path() + ".backup"));
    QProcess writer;
    writer.start("unshare", {"--mount", "--propagation", "private", "sh", "-c",
                             "mount -t tmpfs none /proc && exec \"$0\" \"$@\"", SCORE_WRITER, dir.path(), "15",
                             "1", "1", "--die-before-rename", "-"});
    ASSERT_TRUE(writer.waitForFinished(30000));
    QStringList leftovers = entries().filter(QRegularExpression("^Qorvel\\.ini\\.[A-Za-z]{6}$"));
    leftovers.removeAll("Qorvel.ini.backup");
    if (writer.exitStatus() != QProcess::CrashExit || leftovers.size() != 1)
        GTEST_SKIP() << "cannot hide /proc from a child here (needs root): " << writer.readAllStandardError().toStdString();
    EXPECT_EQ(bytes(), before);

    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(entries(), (QStringList{"Qorvel.ini", "Qorvel.ini.backup"}));
}

// Killed at random moments while ranking ever higher scores, the child leaves the table
// exactly as it was before or after the ranking in progress, never a mixture, and no
// temporary piles up.
TEST_F(Scores, aKillAtAnyMomentLeavesTheOldOrTheNewTable)
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
        QProcess writer;
        writer.start(SCORE_WRITER, {dir.path(), QString::number(done + 1), "100000", "1"});
        ASSERT_TRUE(writer.waitForReadyRead(30000));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(30000));
        const auto places = reported(writer.readAllStandardOutput());
        ASSERT_FALSE(places.empty());
        for (const auto &[score, place] : places)
            ASSERT_EQ(place, 1) << score;
        const std::size_t last = std::size_t(places.back().first);
        const auto table = bytes();
        ASSERT_TRUE(table == tableAfter(last) || table == tableAfter(last + 1)) << table.value_or("(no file)");
        done = table == tableAfter(last) ? last : last + 1;
        // A kill can leave one temporary and a stale lock; the next save clears them.
        EXPECT_LE(entries().filter(QRegularExpression("^Qorvel\\.ini\\.[A-Za-z]{6}$")).size(), 1);
    }
    EXPECT_EQ(RankScore(int(done) + 1), 1);
    EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});
}

// Several copies ranking at the same moment take turns: every score reported as placed
// that still belongs in the top five is in the final table, and none was refused.
TEST_F(Scores, copiesRankingAtOnceLoseNoScore)
{
    constexpr int copies = 4, rankings = 6;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int c = 1; c <= copies; ++c) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(SCORE_WRITER, {dir.path(), QString::number(c), QString::number(rankings),
                                             QString::number(copies)});
    }
    std::vector<int> placed;
    for (auto &writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(60000));
        const auto places = reported(writer->readAllStandardOutput());
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
    EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});
}
#endif

#ifdef Q_OS_LINUX
// A real full disk: the program's folder is a tiny tmpfs filled up beside the table, all
// but two pages, room for the lock and the journal but not for the new table, so that it is
// the table's own write that fails. Needs root to mount; skipped otherwise.
TEST_F(Scores, aFullDiskKeepsTheOldTable)
{
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (geteuid() != 0 || mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const std::string before = ";" + std::string(16000, 'c') + "\r\n" + crlf({"[Data]", "HISCORE1=" + was(1, 20)});
    put(before);
    {
        constexpr qint64 kPage = 4096;
        QFile filler(dir.filePath("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(kPage, 'f');
        while (filler.write(block) == block.size()) {
        }
        ASSERT_TRUE(filler.resize(filler.size() / kPage * kPage - 2 * kPage));
    }
    EXPECT_EQ(RankScore(15), kScoreNotSaved);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(entries(), (QStringList{"Qorvel.ini", "filler"}));
    umount2(mountPoint.constData(), MNT_DETACH);
}

// Makes folder read-only for this process: by its permissions, or for root (whom they do
// not stop) by a read-only bind mount over it. False when neither is possible here.
bool makeReadOnly(const QString &folder)
{
    if (geteuid() != 0)
        return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray path = QFile::encodeName(folder);
    if (mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    if (mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0)
        return true;
    umount2(path.constData(), MNT_DETACH);
    return false;
}

void makeWritable(const QString &folder)
{
    if (geteuid() != 0)
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    else
        umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

// A table beside a program whose folder turned read-only is still the player's table: it is
// shown, and the first save carries it, ranked, into the data folder, which holds the table
// from then on. The program's folder is left as it was.
TEST_F(Scores, aReadOnlyProgramFolderShowsItsTableAndASaveCarriesItOver)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir(data).removeRecursively();
    const std::string before = crlf({"[Data]", "HISCORE1=" + was(1, 20), "HISCORE2=" + was(2, 10)});
    put(before);
    if (!makeReadOnly(dir.path()))
        GTEST_SKIP() << "cannot make a folder read-only here";
    const std::string inData = ScoreFileIn(data.toStdString());

    EXPECT_EQ(HiScoreLines()[1], "２位：2001年01月02日 10:00:00  HIT数:10");
    EXPECT_EQ(RankScore(15), 2);
    EXPECT_EQ(ScoreFilesNow(), (ScoreFiles{inData, inData}));
    EXPECT_EQ(HiScoreLines()[2], "３位：2001年01月02日 10:00:00  HIT数:10");
    EXPECT_EQ(RankScore(12), 3);
    EXPECT_EQ(HiScoreLines()[3], "４位：2001年01月02日 10:00:00  HIT数:10");
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(entries(), QStringList{"Qorvel.ini"});

    makeWritable(dir.path());
    QDir(data).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
}
#endif

// Where the table lives, for every combination that matters. Installed builds never touch
// the program's folder, even when it is writable and holds a table.
TEST(ChooseScoreFiles, followsOneRule)
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
TEST_F(Scores, anInstalledCopyRanksIntoTheDataFolder)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir(data).removeRecursively();
    EXPECT_EQ(RankScoreIn(ScoreFilesNow(true), 12), 1);
    EXPECT_EQ(profile::loadFile(ScoreFileIn(data.toStdString())).bytes, crlf({"[Data]", "HISCORE1=" + made(12)}));
    EXPECT_TRUE(entries().isEmpty());
    QDir(data).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
}

// A table that exists but cannot be read is named with the reason; a missing or readable
// one is no trouble.
TEST_F(Scores, troubleWithTheTableIsNamed)
{
    const std::string where = "cannot read " + path().toStdString() + ": ";
    struct Case {
        std::function<void()> setup;
        std::optional<std::string> trouble;
    };
    const Case cases[] = {
        {[] {}, std::nullopt},
        {[&] { put(crlf({"[Data]", "HISCORE1=" + was(1, 20)})); }, std::nullopt},
        {[&] { put("\xFF\xFE[\0D\0"s); }, where + "UTF-16 text is not supported"},
        {[&] { put(std::string(profile::kMaxFileSize + 1, ';')); }, where + "larger than 16 MiB"},
    };
    for (const Case &c : cases) {
        QFile::remove(path());
        c.setup();
        EXPECT_EQ(ScoreFileTrouble(), c.trouble);
    }
    QFile::remove(path());
    ASSERT_TRUE(QDir(dir.path()).mkdir("Qorvel.ini"));
    const auto trouble = ScoreFileTrouble();
    ASSERT_TRUE(trouble.has_value());
    EXPECT_TRUE(trouble->starts_with(where)) << *trouble;
    EXPECT_GT(trouble->size(), where.size());
}

} // namespace
