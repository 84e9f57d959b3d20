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
#include <QTemporaryDir>
#include <QWidget>

#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "app/frm_Version.h"
#include "game/GameState.h"
#include "tests/support/VirtualDesktop.h"

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

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        forms::hooks().appPath = [this] { return dir.path().toStdString(); };
        bg.Load();
        bg.Show();
    }
    QPoint centre(const forms::Control &c) const { return c.hWnd()->mapToGlobal(c.hWnd()->rect().center()); }
    void rightPress(QPoint where)
    {
        desktop.clickNow(where, Qt::RightButton);
        desktop.pump();
    }
    QString scoreFile() const { return dir.path() + "/Qorvel.ini"; }

    QTemporaryDir dir;
    VirtualDesktop desktop;
    frmBG &bg = forms::Default<frmBG>();
};

TEST_F(Shell, TheMenuShowsTheScoreFileAsItIsWhenItOpens)
{
    std::vector<std::vector<std::string>> seen;
    desktop.onPopup = [&](forms::Menu &menu) {
        EXPECT_EQ(&menu, &forms::Default<frmMenu>().mpop);
        seen.push_back(scoreLines(forms::Default<frmMenu>()));
    };
    const QPoint strip = bg.hWnd()->mapToGlobal(QPoint(100, 30));
    rightPress(strip);
    writeFile(scoreFile(), "[Data]\r\nHISCORE1=2004/05/12 14:03:22,18\r\nHISCORE2=2004/05/12 00:05:09,3\r\n");
    rightPress(centre(bg.Img));
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
    desktop.clickNow(centre(bg.Ltama), Qt::RightButton);
    desktop.clickNow(bg.hWnd()->mapToGlobal(QPoint(100, 30)), Qt::LeftButton);
    desktop.clickNow(bg.hWnd()->mapToGlobal(QPoint(100, 30)), Qt::MiddleButton);
    desktop.pump();
    EXPECT_EQ(popups, 0);
    rightPress(bg.hWnd()->mapToGlobal(QPoint(100, 30)));
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
    const QPoint strip = bg.hWnd()->mapToGlobal(QPoint(100, 30));
    rightPress(strip);
    EXPECT_TRUE(dialogs[0].isNull()) << "closing unloads the dialog";
    rightPress(strip);
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
    EXPECT_TRUE(minimiseAndWatch(*bg.hWnd())) << "the strip";

    bool dialogBack = false;
    desktop.onModal = [&](forms::Form &form) {
        dialogBack = minimiseAndWatch(*form.hWnd());
        form.Unload();
    };
    desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mver.Click(); };
    rightPress(bg.hWnd()->mapToGlobal(QPoint(100, 30)));
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
                    const QPoint strip = bg.hWnd()->mapToGlobal(QPoint(100, 30));
                    if (ms == 60 && ++frame == 5)
                        desktop.clickNow(duringBurst ? bg.SARA.hWnd()->mapToGlobal(QPoint(6, 3)) : strip);
                    if ((ms == 60 && frame == 6 && !duringBurst) || (ms == 40 && duringBurst))
                        desktop.clickNow(strip, Qt::RightButton);
                };
                desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mend.Click(); };
                desktop.clickNow(centre(bg.Img));
                desktop.pump();
                desktop.clickNow(centre(bg.PicReady));
                desktop.pump();
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
            QCoreApplication::sendEvent(bg.hWnd(), &close);
            std::fputs("still running\n", stderr);
        },
        testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("still running")));
}

// --- The command line --------------------------------------------------------------------

// Runs a copy of the program from its own folder, so its score file is a fresh one there.
class CommandLine : public ::testing::Test {
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
    };
    Result run(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start(program(), args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    QTemporaryDir dir;
};

TEST_F(CommandLine, ScoresPrintsTheMenuLinesWithoutADisplay)
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

TEST_F(CommandLine, OptionsAndMistakes)
{
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.toStdString(), "kestrin 1.0.0\n");
    EXPECT_EQ(run({"--help"}).status, 0);

    const Result bad = run({"--fast"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err.count('\n'), 1);
    EXPECT_THAT(bad.err.toStdString(), testing::HasSubstr("--fast"));

    const Result noDisplay = run({});
    EXPECT_EQ(noDisplay.status, 1);
    EXPECT_EQ(noDisplay.err.count('\n'), 1);
    EXPECT_THAT(noDisplay.err.toStdString(), testing::HasSubstr("no display"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/Qorvel.ini")) << "nothing is written";
}

} // namespace
