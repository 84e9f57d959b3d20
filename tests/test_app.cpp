// The shell around the game: the popup menu and its score lines, the version dialog,
// Exit from anywhere, and the command line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <map>
#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "forms/qt/Display.h"
#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "app/frm_Version.h"
#include "burst/modBarn.h"
#include "game/GameState.h"
#include "game/modMove.h"
#include "tests/support/StripOnDesktop.h"

namespace {

std::vector<std::string> scoreLines(const frmMenu &menu)
{
    std::vector<std::string> lines;
    for (const forms::Menu *item : menu.mh.items())
        lines.push_back(item->Caption());
    return lines;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Shell = StripOnDesktop;

TEST_F(Shell, TheMenuShowsTheScoreFileAsItIsWhenItOpens)
{
    std::vector<std::vector<std::string>> seen;
    desktop.onPopup = [&](forms::Menu &menu) {
        EXPECT_EQ(&menu, &forms::Default<frmMenu>().mpop);
        seen.push_back(scoreLines(forms::Default<frmMenu>()));
    };
    press(stripBackground(), Qt::RightButton);
    writeFile(QString::fromStdString(scoreFile()),
              "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\nHISCORE2=2004/05/12 00:05:09,3\r\n");
    press(centre(strip().Img), Qt::RightButton);
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
    desktop.clickNow(centre(strip().Ltama), Qt::RightButton);
    desktop.clickNow(stripBackground(), Qt::LeftButton);
    desktop.clickNow(stripBackground(), Qt::MiddleButton);
    desktop.pump();
    EXPECT_EQ(popups, 0);
    press(stripBackground(), Qt::RightButton);
    EXPECT_EQ(popups, 1);
}

TEST_F(Shell, TheVersionDialogIsModalCentredAndNewEachTime)
{
    std::vector<QPointer<QWidget>> dialogs;
    desktop.onModal = [&](forms::Form &form) {
        auto &dialog = dynamic_cast<frm_Version &>(form);
        dialogs.emplace_back(dialog.hWnd());
        EXPECT_TRUE(dialog.hWnd()->isVisible());
        EXPECT_EQ(dialog.hWnd()->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(dialog.hWnd()->windowTitle().toStdString(), "バージョン情報");
        const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
        EXPECT_LE((dialog.hWnd()->frameGeometry().center() - screenCentre).manhattanLength(), 1);
        if (dialogs.size() == 1) {
            dialog.Command1.press(); // OK
        } else {
            QCloseEvent close; // the close box
            QCoreApplication::sendEvent(dialog.hWnd(), &close);
        }
        EXPECT_FALSE(dialog.Loaded());
    };
    desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mver.Click(); };
    press(stripBackground(), Qt::RightButton);
    EXPECT_TRUE(dialogs[0].isNull()) << "closing unloads the dialog";
    press(stripBackground(), Qt::RightButton);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_TRUE(dialogs[1].isNull());
    EXPECT_FALSE(forms::IsLoaded<frm_Version>());
}

// Neither window has a taskbar button to bring it back from minimised, and a minimised
// modal dialog would leave the strip frozen.
TEST_F(Shell, AMinimisedStripOrVersionDialogComesStraightBack)
{
    auto minimiseAndWatch = [&](QWidget &window) {
        window.showMinimized();
        desktop.pump();
        desktop.pump();
        return !window.isMinimized() && window.isVisible();
    };
    EXPECT_TRUE(minimiseAndWatch(*strip().hWnd())) << "the strip";

    bool dialogBack = false;
    desktop.onModal = [&](forms::Form &form) {
        dialogBack = minimiseAndWatch(*form.hWnd());
        form.Unload();
    };
    desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mver.Click(); };
    press(stripBackground(), Qt::RightButton);
    EXPECT_TRUE(dialogBack) << "the version dialog";
}

// Exit ends the process at once from wherever the menu was opened and writes nothing:
// the score file keeps its bytes and a game in progress is not recorded.
class ExitFromMenu : public Shell {
protected:
    // The game runs in a re-started copy of this test program, which must use the same
    // score file as this one: the folder has a fixed name.
    void SetUp() override
    {
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        Shell::SetUp();
        forms::hooks().appPath = [this] { return folder.toStdString(); };
    }
    QString scoreFile() const { return folder + "/Qorvel.ini"; }
    const QString folder = QDir::temp().filePath("kestrin-test-exit");
    const QByteArray scores = "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\n";
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
                        desktop.clickNow(stripBackground(), Qt::RightButton);
                };
                desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mend.Click(); };
                press(centre(strip().Img));
                press(centre(strip().PicReady));
                std::fputs("the throw ended normally\n", stderr);
            },
            testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("ended normally")));
        EXPECT_EQ(readFile(scoreFile()), scores);
    }
}

// A window manager's close request on the strip ends the program rather than leaving it
// running with no window to play in.
TEST_F(Shell, ClosingTheStripEndsTheProgram)
{
    EXPECT_EXIT(
        {
            QCloseEvent close;
            QCoreApplication::sendEvent(strip().hWnd(), &close);
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
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::copy(KESTRIN_BINARY, program()));
    }
    QString program() const { return dir.path() + "/kestrin"; }
    struct Result {
        int status;
        QByteArray out, err;
        QProcess::ExitStatus exit;
    };
    // Runs the copy with no display and no platform chosen, plus the given variables.
    Result run(const QStringList &args, const QProcessEnvironment &extra = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert(extra);
        p.setProcessEnvironment(env);
        p.start(program(), args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError(), p.exitStatus()};
    }
    QTemporaryDir dir;
};

TEST_F(CommandLineRun, ScoresPrintsTheMenuLinesWithoutADisplay)
{
    Result none = run({"--scores"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.toStdString(), "１位：(なし)\n２位：(なし)\n３位：(なし)\n４位：(なし)\n５位：(なし)\n");

    writeFile(dir.path() + "/Qorvel.ini", "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\nHISCORE2=\r\n");
    Result some = run({"--scores"});
    EXPECT_EQ(some.status, 0);
    EXPECT_EQ(some.out.toStdString(),
              "１位：2004年05月12日 14:03:22  HIT数:18\n２位：(なし)\n３位：(なし)\n４位：(なし)\n５位：(なし)\n");
}

// A table that exists but cannot be read is not passed off as an empty one: the lines the
// menu would show, then the trouble on stderr, and a failing status.
TEST_F(CommandLineRun, ScoresNamesATableItCannotRead)
{
    const QString table = dir.path() + "/Qorvel.ini";
    const std::pair<QByteArray, const char *> cases[] = {
        {QByteArray("\xFF\xFE[\0D\0a\0t\0a\0]\0", 14), "UTF-16 text is not supported"},
        {QByteArray(16 * 1024 * 1024 + 1, ';'), "larger than 16 MiB"},
    };
    for (const auto &[bytes, reason] : cases) {
        writeFile(table, bytes);
        const Result r = run({"--scores"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out.toStdString(), "１位：(なし)\n２位：(なし)\n３位：(なし)\n４位：(なし)\n５位：(なし)\n");
        EXPECT_EQ(r.err.toStdString(), "kestrin: cannot read " + table.toStdString() + ": " + reason + "\n");
    }
}

TEST_F(CommandLineRun, OptionsAndMistakes)
{
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out.toStdString(), testing::StartsWith("kestrin 1.0.0\n"));
    EXPECT_TRUE(version.err.isEmpty());
    EXPECT_EQ(run({"--help"}).status, 0);

    const Result noDisplay = run({});
    EXPECT_EQ(noDisplay.status, 1);
    EXPECT_EQ(noDisplay.err.count('\n'), 1);
    EXPECT_THAT(noDisplay.err.toStdString(), testing::HasSubstr("no display"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/Qorvel.ini")) << "nothing is written";
}

// A mistake anywhere on the line is refused before anything is done, with exit status 2
// and one line that names the mistake; the table is not printed first.
TEST_F(CommandLineRun, AMistakeAnywhereRefusesTheWholeLine)
{
    const struct {
        QStringList args;
        const char *message;
    } cases[] = {
        {{"--scores", "--bogus"}, "unknown option '--bogus'"},
        {{"--bogus", "--scores"}, "unknown option '--bogus'"},
        {{"--version", "foo"}, "unexpected argument 'foo'"},
        {{"--scores", "-display"}, "option '-display' needs a value"},
    };
    for (const auto &c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1);
        EXPECT_THAT(r.err.toStdString(), testing::HasSubstr(c.message));
    }
}

// Output that cannot be written (a full disk) is a failure, not a silent success.
TEST_F(CommandLineRun, AFailedWriteOfTheOutputExitsWithOne)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    for (const char *option : {"--help", "--version", "--scores"}) {
        QProcess p;
        p.setStandardOutputFile("/dev/full");
        p.start(program(), {option});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 1) << option;
        EXPECT_THAT(p.readAllStandardError().toStdString(), testing::HasSubstr("cannot write")) << option;
    }
}

// Qt's own -platform and -display are passed on, not refused.
TEST_F(CommandLineRun, QtsPlatformAndDisplayOptionsAreAccepted)
{
    const Result r = run({"-platform", "offscreen", "-display", ":99", "--scores"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 5);
}

TEST(ParseCommandLine, SaysWhatToDo)
{
    using A = CommandLine::Action;
    const struct {
        std::vector<std::string> args;
        A action;
        std::string platform, display, error;
    } cases[] = {
        {{}, A::Play, "", "", ""},
        {{"--scores"}, A::Scores, "", "", ""},
        {{"--version", "--scores"}, A::Version, "", "", ""},
        {{"--scores", "--help"}, A::Help, "", "", ""},
        {{"-h"}, A::Help, "", "", ""},
        {{"-platform", "offscreen"}, A::Play, "offscreen", "", ""},
        {{"--platform", "xcb", "-display", ":1"}, A::Play, "xcb", ":1", ""},
        {{"--display", ":2", "--scores"}, A::Scores, "", ":2", ""},
        {{"-display"}, A::Refuse, "", "", "option '-display' needs a value"},
        {{"--help", "--fast"}, A::Refuse, "", "", "unknown option '--fast'"},
        {{"-platformxcb"}, A::Refuse, "", "", "unknown option '-platformxcb'"},
        {{"foo", "--bogus"}, A::Refuse, "", "", "unexpected argument 'foo'"},
        {{"-"}, A::Refuse, "", "", "unexpected argument '-'"},
        {{""}, A::Refuse, "", "", "unexpected argument ''"},
    };
    for (const auto &c : cases) {
        const CommandLine line = parseCommandLine(c.args);
        std::string shown;
        for (const std::string &a : c.args)
            shown += "[" + a + "]";
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.platform, c.platform) << shown;
        EXPECT_EQ(line.display, c.display) << shown;
        EXPECT_EQ(line.error, c.error) << shown;
    }
}

// Without a display the program says why in one line and exits with 1; Qt's X11 plugin
// would instead abort (exit 134, a core dump) on a display it cannot open, and a Wayland
// client cannot place the strip, so neither may be reached.
TEST_F(CommandLineRun, ADisplayThatCannotBeUsedEndsTheProgramWithOneLine)
{
    struct Row {
        const char *name;
        QProcessEnvironment env;
        std::string message;
    };
    auto with = [](std::initializer_list<std::pair<QString, QString>> vars) {
        QProcessEnvironment env;
        for (const auto &[key, value] : vars)
            env.insert(key, value);
        return env;
    };
    const Row rows[] = {
        {"unset", with({}), "kestrin: no display found (DISPLAY is not set); start it from a desktop session"},
        {"stale", with({{"DISPLAY", ":4091"}}), "kestrin: cannot open display :4091"},
        {"refused", with({{"DISPLAY", "127.0.0.1:4091"}}), "kestrin: cannot open display 127.0.0.1:4091"},
        {"Wayland only", with({{"WAYLAND_DISPLAY", "wayland-4091"}}), "XWayland"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Result result = run({}, row.env);
        EXPECT_EQ(result.exit, QProcess::NormalExit) << "no crash, no core dump";
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
        EXPECT_THAT(result.err.toStdString(), testing::HasSubstr(row.message));
    }
    const Result named = run({"-display", ":4091"}, QProcessEnvironment());
    EXPECT_EQ(named.exit, QProcess::NormalExit);
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err.toStdString(), "kestrin: cannot open display :4091\n") << "the display given with -display";
    EXPECT_FALSE(QFile::exists(dir.path() + "/Qorvel.ini")) << "nothing is written";
}

// Losing the display while the game runs (the X server ends, XWayland crashes) ends the
// program with status 1: Qt's X11 plugin calls exit(), and the windows kept in static
// storage must not then be destroyed after Qt's own globals (a crash and a core dump).
TEST_F(CommandLineRun, LosingTheDisplayWhileRunningEndsTheProgramWithStatusOne)
{
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "Xvfb and xdotool are needed";
    QProcess server;
    // -noreset: the polls below connect and leave; a server that resets when its last client
    // leaves would refuse the program's connection while it does.
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"});
    ASSERT_TRUE(server.waitForReadyRead(10000)) << "Xvfb did not start";
    const QString display = ":" + QString::fromLatin1(server.readAllStandardOutput()).trimmed();

    QProcess game;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("DISPLAY", display);
    game.setProcessEnvironment(env);
    game.start(program(), {});
    ASSERT_TRUE(game.waitForStarted());
    bool shown = false;
    // A loaded machine may take a while to start the program.
    for (int i = 0; i < 300 && !shown && game.state() == QProcess::Running; ++i) {
        QProcess search;
        search.setProcessEnvironment(env);
        search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(game.processId())});
        search.waitForFinished(5000);
        shown = !search.readAllStandardOutput().trimmed().isEmpty();
        if (!shown)
            QThread::msleep(100);
    }
    ASSERT_TRUE(shown) << "the strip never showed on " << display.toStdString() << " (state " << game.state()
                       << ", exit " << game.exitCode() << "): " << game.readAllStandardError().toStdString();

    server.terminate();
    ASSERT_TRUE(server.waitForFinished(10000));
    ASSERT_TRUE(game.waitForFinished(10000));
    EXPECT_EQ(game.exitStatus(), QProcess::NormalExit) << "no crash, no core dump";
    EXPECT_EQ(game.exitCode(), 1);
}

// --- Choosing the display before Qt starts --------------------------------------------------

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnvironment {
public:
    void set(const char *name, const char *value)
    {
        if (!saved.count(name))
            saved[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (const auto &[name, value] : saved) {
            if (value)
                qputenv(name.c_str(), *value);
            else
                qunsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<QByteArray>> saved;
};

// A platform the user chose is kept; otherwise the X display (the named one before
// DISPLAY) must answer, and a Wayland display alone is refused rather than used.
TEST(DisplayChoice, KeepsTheUsersPlatformAndRefusesWhatCannotBeUsed)
{
    struct Row {
        const char *name;
        const char *platform, *display, *wayland;
        std::string named;
        std::optional<std::string> message; // nothing: the program goes on
        const char *platformAfter;
    };
    const Row rows[] = {
        {"offscreen chosen", "offscreen", nullptr, "wayland-0", "", std::nullopt, "offscreen"},
        {"native Wayland chosen", "wayland", nullptr, "wayland-0", "", std::nullopt, "wayland"},
        {"nothing", nullptr, nullptr, nullptr, "", "kestrin: no display found (DISPLAY is not set); start it from a desktop session", nullptr},
        {"stale DISPLAY", nullptr, ":4092", "wayland-0", "", "kestrin: cannot open display :4092", nullptr},
        {"X11 chosen, stale DISPLAY", "xcb", ":4092", nullptr, "", "kestrin: cannot open display :4092", "xcb"},
        {"named display first", nullptr, ":4092", nullptr, ":4093", "kestrin: cannot open display :4093", nullptr},
        {"named display alone", nullptr, nullptr, nullptr, ":4093", "kestrin: cannot open display :4093", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ScopedEnvironment env;
        env.set("QT_QPA_PLATFORM", row.platform);
        env.set("DISPLAY", row.display);
        env.set("WAYLAND_DISPLAY", row.wayland);
        EXPECT_EQ(chooseDisplay(row.named), row.message);
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(row.platformAfter));
    }

    ScopedEnvironment env;
    env.set("QT_QPA_PLATFORM", nullptr);
    env.set("DISPLAY", nullptr);
    env.set("WAYLAND_DISPLAY", "wayland-0");
    const std::optional<std::string> waylandOnly = chooseDisplay({});
    ASSERT_TRUE(waylandOnly);
    EXPECT_THAT(*waylandOnly, testing::AllOf(testing::StartsWith("kestrin: "), testing::HasSubstr("XWayland")));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) << "no platform is forced on a refusal";
}

} // namespace
