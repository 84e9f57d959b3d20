// The shell around the game: the popup menu and its score lines, the version dialog,
// Exit from anywhere, and the command line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/CommandLine.h"
#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "app/frm_Version.h"
#include "burst/modBarn.h"
#include "game/GameState.h"
#include "game/modMove.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/StripOnDesktop.h"

namespace {

std::vector<std::string> scoreLines(const frmMenu &menu)
{
    std::vector<std::string> lines;
    for (const forms::Menu *item : menu.mh.items())
        lines.push_back(item->Caption());
    return lines;
}

void writeFile(const std::string &path, const std::string &bytes) { ASSERT_TRUE(writeBytes(path, bytes)); }

using Shell = StripOnDesktop;

TEST_F(Shell, TheMenuShowsTheScoreFileAsItIsWhenItOpens)
{
    std::vector<std::vector<std::string>> seen;
    desktop.onPopup = [&](forms::Menu &menu) {
        EXPECT_EQ(&menu, &forms::Default<frmMenu>().mpop);
        seen.push_back(scoreLines(forms::Default<frmMenu>()));
    };
    press(stripBackground(), forms::vbRightButton);
    writeFile(scoreFile(), "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\nHISCORE2=2004/05/12 00:05:09,3\r\n");
    press(centre(strip().Img), forms::vbRightButton);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::vector<std::string>{"１位：(なし)", "２位：(なし)", "３位：(なし)", "４位：(なし)", "５位：(なし)"}));
    EXPECT_EQ(seen[1], (std::vector<std::string>{"１位：2004年05月12日 14:03:22  HIT数:18",
                                                  "２位：2004年05月12日 00:05:09  HIT数:3", "３位：(なし)",
                                                  "４位：(なし)", "５位：(なし)"}));
    EXPECT_EQ(phase(Game), Phase::Idle) << "the right press on the title started no game";
}

TEST_F(Shell, OnlyRightPressesOnTheStripOrTheTitleOpenTheMenu)
{
    int popups = 0;
    desktop.onPopup = [&](forms::Menu &) { ++popups; };
    desktop.clickNow(centre(strip().Ltama), forms::vbRightButton);
    desktop.clickNow(stripBackground(), forms::vbLeftButton);
    desktop.clickNow(stripBackground(), forms::vbMiddleButton);
    desktop.pump();
    EXPECT_EQ(popups, 0);
    press(stripBackground(), forms::vbRightButton);
    EXPECT_EQ(popups, 1);
}

TEST_F(Shell, TheVersionDialogIsModalAndNewEachTime)
{
    int dialogs = 0;
    desktop.onModal = [&](forms::Form &form) {
        auto &dialog = dynamic_cast<frm_Version &>(form);
        ++dialogs;
        EXPECT_TRUE(dialog.hWnd()->shown());
        EXPECT_EQ(dialog.Label1.Caption(), "(C) 2026 The Kestrin developers") << "a fresh dialog";
        dialog.Label1.setCaption("seen");
        if (dialogs == 1)
            dialog.Command1.press(); // OK
        else
            static_cast<forms::body::WindowEvents &>(dialog).closeRequested(); // the close box
        EXPECT_FALSE(dialog.Loaded());
        EXPECT_FALSE(dialog.hWnd()->shown());
    };
    desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mver.Click(); };
    press(stripBackground(), forms::vbRightButton);
    EXPECT_FALSE(forms::IsLoaded<frm_Version>()) << "closing unloads the dialog";
    press(stripBackground(), forms::vbRightButton);
    EXPECT_EQ(dialogs, 2);
    EXPECT_FALSE(forms::IsLoaded<frm_Version>());
}

// Exit ends the process at once from wherever the menu was opened and writes nothing:
// the score file keeps its bytes and a game in progress is not recorded.
class ExitFromMenu : public Shell {
protected:
    // The game runs in a re-started copy of this test program, which must use the same
    // score file as this one: the folder has a fixed name.
    void SetUp() override
    {
        std::filesystem::remove_all(folder);
        ASSERT_TRUE(std::filesystem::create_directories(folder));
        Shell::SetUp();
        forms::hooks().appPath = [this] { return folder; };
    }
    std::string scoreFile() const { return folder + "/Qorvel.ini"; }
    const std::string folder = (std::filesystem::temp_directory_path() / "kestrin-test-exit").string();
    const std::string scores = "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\n";
};

TEST_F(ExitFromMenu, DuringAFlightOrABurstLeavesTheScoreFileAlone)
{
    for (const bool duringBurst : {false, true}) {
        writeFile(scoreFile(), scores);
        EXPECT_EXIT(
            {
                int frame = 0;
                desktop.onSleep = [&](std::uint64_t, std::uint32_t ms) {
                    if (ms == modMove::kFrameMs && ++frame == 5)
                        desktop.clickNow(duringBurst ? dome() : stripBackground());
                    const bool flying = ms == modMove::kFrameMs && frame == 6 && !duringBurst;
                    if (flying || (ms == modBarn::kFrameMs && duringBurst))
                        desktop.clickNow(stripBackground(), forms::vbRightButton);
                };
                desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mend.Click(); };
                press(centre(strip().Img));
                press(centre(strip().PicReady));
                std::fputs("the throw ended normally\n", stderr);
            },
            testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("ended normally")));
        EXPECT_EQ(readBytes(scoreFile()), scores);
    }
}

// A window manager's close request on the strip ends the program rather than leaving it
// running with no window to play in.
TEST_F(Shell, ClosingTheStripEndsTheProgram)
{
    EXPECT_EXIT(
        {
            static_cast<forms::body::WindowEvents &>(strip()).closeRequested();
            std::fputs("still running\n", stderr);
        },
        testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("still running")));
}

// --- The command line --------------------------------------------------------------------

// Runs a copy of the program from its own folder, so its score file is a fresh one there.
class CommandLineRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        std::filesystem::copy_file(KESTRIN_BINARY, program());
    }
    std::string program() const { return dir.filePath(std::filesystem::path(KESTRIN_BINARY).filename().string()); }
    struct Result {
        std::optional<int> status; // nothing: a crash
        std::string out, err;
    };
    // Runs the copy with no display and no platform chosen, plus the given set-up.
    Result run(const std::vector<std::string> &args, ChildSetUp setUp = {})
    {
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            setUp.environment.emplace_back(name, std::nullopt);
        setUp.errorFile = dir.filePath("stderr");
        ChildProcess child(program(), args, setUp);
        Result result{std::nullopt, lineFeeds(child.finish()), ""};
        result.status = child.status();
        result.err = lineFeeds(readBytes(setUp.errorFile).value_or(""));
        return result;
    }
    // Text output with its lines ended as here: on Windows they end in CR LF.
    static std::string lineFeeds(std::string text)
    {
        for (auto crlf = text.find("\r\n"); crlf != std::string::npos; crlf = text.find("\r\n", crlf))
            text.erase(crlf, 1);
        return text;
    }
    static long lines(const std::string &text) { return std::count(text.begin(), text.end(), '\n'); }
    TempDir dir;
};

TEST_F(CommandLineRun, ScoresPrintsTheMenuLinesWithoutADisplay)
{
    Result none = run({"--scores"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "１位：(なし)\n２位：(なし)\n３位：(なし)\n４位：(なし)\n５位：(なし)\n");

    writeFile(dir.filePath("Qorvel.ini"), "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\nHISCORE2=\r\n");
    Result some = run({"--scores"});
    EXPECT_EQ(some.status, 0);
    EXPECT_EQ(some.out,
              "１位：2004年05月12日 14:03:22  HIT数:18\n２位：(なし)\n３位：(なし)\n４位：(なし)\n５位：(なし)\n");
}

// A table that exists but cannot be read is not passed off as an empty one: the lines the
// menu would show, then the trouble on stderr, and a failing status.
TEST_F(CommandLineRun, ScoresNamesATableItCannotRead)
{
    const std::string table = dir.filePath("Qorvel.ini");
    const std::pair<std::string, const char *> cases[] = {
        {std::string("\xFF\xFE[\0D\0a\0t\0a\0]\0", 14), "UTF-16 text is not supported"},
        {std::string(16 * 1024 * 1024 + 1, ';'), "larger than 16 MiB"},
    };
    for (const auto &[bytes, reason] : cases) {
        writeFile(table, bytes);
        const Result r = run({"--scores"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "１位：(なし)\n２位：(なし)\n３位：(なし)\n４位：(なし)\n５位：(なし)\n");
        EXPECT_EQ(r.err, "kestrin: cannot read " + table + ": " + reason + "\n");
    }
}

TEST_F(CommandLineRun, OptionsAndMistakes)
{
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, testing::StartsWith("kestrin 1.0.0\n"));
    EXPECT_TRUE(version.err.empty());
    // The help names the window system's own options, and only where it has them.
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(lines(help.out), static_cast<long>(8 + forms::WindowSystemOptions().size()));
}

TEST_F(CommandLineRun, WithoutADisplayItSaysSoAndWritesNothing)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows always has a desktop to show the game on";
#endif
    const Result noDisplay = run({});
    EXPECT_EQ(noDisplay.status, 1);
    EXPECT_EQ(lines(noDisplay.err), 1);
    EXPECT_THAT(noDisplay.err, testing::HasSubstr("no display"));
    EXPECT_FALSE(std::filesystem::exists(dir.filePath("Qorvel.ini"))) << "nothing is written";
}

// A mistake anywhere on the line is refused before anything is done, with exit status 2
// and one line that names the mistake; the table is not printed first.
TEST_F(CommandLineRun, AMistakeAnywhereRefusesTheWholeLine)
{
    // A window system that reads no display from the line does not know the option.
    const bool displayOption = std::ranges::any_of(forms::WindowSystemOptions(),
                                                   [](const forms::CommandLineOption &o) { return o.name == "display"; });
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--scores", "--bogus"}, "unknown option '--bogus'"},
        {{"--bogus", "--scores"}, "unknown option '--bogus'"},
        {{"--version", "foo"}, "unexpected argument 'foo'"},
        {{"--scores", "-display"}, displayOption ? "option '-display' needs a value" : "unknown option '-display'"},
    };
    for (const auto &c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_TRUE(r.out.empty()) << c.message;
        EXPECT_EQ(lines(r.err), 1);
        EXPECT_THAT(r.err, testing::HasSubstr(c.message));
    }
}

// Output that cannot be written (a full disk) is a failure, not a silent success.
TEST_F(CommandLineRun, AFailedWriteOfTheOutputExitsWithOne)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    for (const char *option : {"--help", "--version", "--scores"}) {
        ChildSetUp full;
        full.outputFile = "/dev/full";
        const Result r = run({option}, full);
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_THAT(r.err, testing::HasSubstr("cannot write")) << option;
    }
}

// The window system's own -platform and -display are passed on, not refused.
TEST_F(CommandLineRun, TheWindowSystemsPlatformAndDisplayOptionsAreAccepted)
{
    if (forms::WindowSystemOptions().empty())
        GTEST_SKIP() << "this window system reads no options";
    const Result r = run({"-platform", "offscreen", "-display", ":99", "--scores"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out), 5);
}

TEST(ParseCommandLine, SaysWhatToDo)
{
    using A = CommandLine::Action;
    const struct {
        std::vector<std::string> args;
        A action;
        std::string error;
    } cases[] = {
        {{}, A::Play, ""},
        {{"--scores"}, A::Scores, ""},
        {{"--version", "--scores"}, A::Version, ""},
        {{"--scores", "--help"}, A::Help, ""},
        {{"-h"}, A::Help, ""},
        {{"-platform", "offscreen"}, A::Play, ""},
        {{"--platform", "xcb", "-display", ":1"}, A::Play, ""},
        {{"--display", ":2", "--scores"}, A::Scores, ""},
        {{"-display"}, A::Refuse, "option '-display' needs a value"},
        {{"--help", "--fast"}, A::Refuse, "unknown option '--fast'"},
        {{"-platformxcb"}, A::Refuse, "unknown option '-platformxcb'"},
        {{"foo", "--bogus"}, A::Refuse, "unexpected argument 'foo'"},
        {{"-"}, A::Refuse, "unexpected argument '-'"},
        {{""}, A::Refuse, "unexpected argument ''"},
    };
    for (const auto &c : cases) {
        const CommandLine line = parseCommandLine(c.args, {"platform", "display"});
        std::string shown;
        for (const std::string &a : c.args)
            shown += "[" + a + "]";
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.error, c.error) << shown;
    }
}

} // namespace
