// The Qt body itself: its widgets' sizes, pointers, flags and native windows, keeping the
// strip where the program put it, the particles' stacking, device pixels, and the X
// display it chooses, loses or cannot open.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <map>
#include <optional>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/frmBG.h"
#include "app/frmMenu.h"
#include "app/frm_Version.h"
#include "burst/modBarn.h"
#include "forms/qt/Display.h"
#include "forms/qt/Widgets.h"
#include "forms/qt/X11.h"
#include "tests/support/StripOnDesktop.h"

namespace {

// The widget behind a form or control.
QWidget &widget(const forms::Control &control) { return static_cast<forms::qt::Window *>(control.hWnd())->widget(); }

class QtStrip : public StripOnDesktop {
protected:
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
};

// Requests straight to the X server take device pixels: a particle at logical x must land
// where Qt itself would put a window at x, at every scale, or bursts fly off at a fraction
// of their place. Qt rounds halves away from zero and scales about the screen's edge.
TEST(DevicePixels, LogicalPixelsScaleAboutTheScreensEdgeAndRoundLikeQt)
{
    struct Case {
        int logical;
        double ratio;
        int origin;
        int device;
    };
    const Case cases[] = {
        {640, 1.0, 0, 640},
        {640, 2.0, 0, 1280},
        {3, 1.5, 0, 5},          // 4.5
        {2, 1.25, 0, 3},         // 2.5
        {7, 1.25, 0, 9},         // 8.75
        {-3, 1.5, 0, -5},        // -4.5
        {1100, 2.0, 1024, 1176}, // a primary screen right of another keeps its edge
        {1030, 1.5, 1024, 1033},
    };
    for (const Case &c : cases)
        EXPECT_EQ(forms::x11::toDevicePixels(c.logical, c.ratio, c.origin), c.device)
            << c.logical << " at " << c.ratio << " from " << c.origin;

    // Reading a place back from the server gives the logical place the program asked for.
    for (const double ratio : {1.0, 1.25, 1.5, 2.0})
        for (const int origin : {0, 1024})
            for (int x = -40; x < 2100; ++x)
                ASSERT_EQ(forms::x11::fromDevicePixels(forms::x11::toDevicePixels(x, ratio, origin), ratio, origin), x)
                    << x << " at " << ratio << " from " << origin;
}

// Equal least and greatest sizes are what stop window managers resizing or maximising the
// strip; they must follow when the program itself gives the strip a new size.
TEST_F(QtStrip, TheStripsSizeIsFixedAndFollowsItsNewSize)
{
    const QWidget &window = widget(strip());
    EXPECT_EQ(window.minimumSize(), QSize(screen.width(), 64));
    EXPECT_EQ(window.maximumSize(), QSize(screen.width(), 64));
    for (const int widthPx : {800, 1920}) {
        strip().Move(1500, 3000, static_cast<float>(widthPx * 15), 960);
        EXPECT_EQ(window.minimumSize(), QSize(widthPx, 64)) << widthPx;
        EXPECT_EQ(window.maximumSize(), QSize(widthPx, 64)) << widthPx;
        EXPECT_EQ(window.geometry(), QRect(100, 200, widthPx, 64)) << widthPx;
    }
}

// A window manager that moves the strip gets it put back, but only a few times: a manager
// that insists is not fought for ever. Placing the strip anew allows a few more. A lift of
// less than the strip's height along the same span stands (a panel the program cannot see).
TEST_F(QtStrip, AStripMovedByOthersIsPutBackAFewTimesThenLeft)
{
    QWidget &window = widget(strip());
    const QPoint home = window.geometry().topLeft();
    window.move(home - QPoint(0, 23));
    desktop.pump();
    EXPECT_EQ(window.geometry().topLeft(), home - QPoint(0, 23)) << "lifted above an unseen panel";
    window.move(home - QPoint(0, 64));
    desktop.pump();
    EXPECT_EQ(window.geometry().topLeft(), home) << "lifted by a whole strip: put back";
    strip().Move(strip().Left(), strip().Top());
    std::vector<bool> putBack;
    for (int attempt = 0; attempt < 5; ++attempt) {
        window.move(80 + attempt, 386);
        desktop.pump();
        putBack.push_back(window.geometry().topLeft() == home);
    }
    EXPECT_EQ(putBack, (std::vector<bool>{true, true, true, false, false}));
    EXPECT_EQ(strip().Left(), home.x() * 15) << "the strip's own fields keep its place";

    strip().Move(strip().Left(), strip().Top());
    EXPECT_EQ(window.geometry().topLeft(), home);
    window.move(10, 10);
    desktop.pump();
    EXPECT_EQ(window.geometry().topLeft(), home);
}

// Some window managers have the strip elsewhere without telling Qt (weston through XWayland
// leaves it in its frame's corner): shortly after showing, the strip asks the window system
// where it stands and asks it to put the strip back, the same few times at most.
TEST_F(QtStrip, AStripTheWindowSystemHasElsewhereIsPutBackThroughIt)
{
    const QPoint home = widget(strip()).geometry().topLeft();
    const QPoint corner(32, 32);
    struct Case {
        const char *what;
        QPoint reported;
        bool moveTakes; // whether the window system then has the strip where asked
        int putBacks;
    };
    const Case cases[] = {
        {"in place", home, false, 0},
        {"lifted above a panel the program cannot see", home - QPoint(0, 23), false, 0},
        {"in the corner, until asked", corner, true, 1},
        {"in the corner whatever is asked", corner, false, 3},
    };
    for (const Case &c : cases) {
        QPoint reported = c.reported;
        std::vector<QPoint> asked;
        forms::x11::serverHooks().place = [&](const QWidget &) { return std::optional<QPoint>(reported); };
        forms::x11::serverHooks().move = [&](QWidget &, QPoint place, forms::x11::Stacking) {
            asked.push_back(place);
            if (c.moveTakes)
                reported = place;
            return true;
        };
        strip().Move(strip().Left(), strip().Top()); // a new placement allows new put-backs
        strip().Show();
        // Long enough for the checks after the last put-back to have run.
        desktop.idle(2000);
        EXPECT_EQ(asked, std::vector<QPoint>(static_cast<std::size_t>(c.putBacks), home)) << c.what;
        EXPECT_EQ(widget(strip()).geometry().topLeft(), home) << c.what;
        forms::x11::serverHooks() = {};
    }
}

// The pool's native windows are made in idle time after the strip shows, one per pass of
// the event loop: the strip is not held up behind them, yet the first burst frame finds
// them made (and only moves and shows them).
TEST_F(QtStrip, ParticleWindowsGetNativeWindowsOnceTheStripShows)
{
    auto made = [] {
        int count = 0;
        for (const auto &dot : modBarn::Dots)
            count += widget(*dot).testAttribute(Qt::WA_WState_Created);
        return count;
    };
    EXPECT_TRUE(widget(strip()).testAttribute(Qt::WA_WState_Created));
    EXPECT_EQ(made(), 0) << "made before the strip could show";
    for (int pass = 0; pass < 40 && made() < 20; ++pass)
        desktop.pump();
    EXPECT_EQ(made(), 20);
    for (const auto &dot : modBarn::Dots)
        EXPECT_FALSE(widget(*dot).isVisible());
}

TEST_F(QtStrip, PointersAreCrossOverTheStripAndArrowOverItsButtons)
{
    EXPECT_EQ(widget(strip()).cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(widget(strip().Lstage).cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(widget(strip().SARA).cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(widget(strip().Img).cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(widget(strip().PicReady).cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(widget(strip().pTama[0]).cursor().shape(), Qt::ArrowCursor);
}

// Particles are override-redirect windows that never take the focus or a press.
TEST_F(QtStrip, ParticleWindowsLetPressesAndFocusThrough)
{
    for (const frmDot *dot : modBarn::Dots) {
        EXPECT_TRUE(widget(*dot).isWindow());
        EXPECT_TRUE(widget(*dot).windowFlags().testFlag(Qt::WindowTransparentForInput));
        EXPECT_TRUE(widget(*dot).windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        EXPECT_TRUE(widget(*dot).windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    }
}

// Shown and raised in its first frame; every later frame's move goes straight to the
// window system and stacks the particle on top again, so a window raised meanwhile never
// covers it for long.
TEST_F(QtStrip, EveryLaterBurstFrameRestacksEachParticle)
{
    std::map<const QWidget *, std::vector<QPoint>> restacked, drawn;
    forms::x11::serverHooks().move = [&](QWidget &window, QPoint place, forms::x11::Stacking stacking) {
        if (stacking == forms::x11::Stacking::Above)
            restacked[&window].push_back(place);
        return false; // and leaves the move to Qt
    };
    desktop.onSleep = [&](std::uint64_t, std::uint32_t) {
        for (const frmDot *dot : modBarn::Dots)
            if (widget(*dot).isVisible())
                drawn[&widget(*dot)].push_back(widget(*dot).pos());
    };
    modBarn::Burst(6000, 6000);
    forms::x11::serverHooks() = {};
    for (int j = 1; j < modBarn::kDotCount; ++j) {
        const QWidget *particle = &widget(*modBarn::Dots[static_cast<std::size_t>(j)]);
        ASSERT_FALSE(drawn[particle].empty()) << "slot " << j;
        const std::vector<QPoint> later(drawn[particle].begin() + 1, drawn[particle].end());
        EXPECT_EQ(restacked[particle], later) << "slot " << j;
    }
}

TEST_F(QtStrip, TheVersionDialogIsModalTitledAndCentredWithItsFrame)
{
    int dialogs = 0;
    desktop.onModal = [&](forms::Form &form) {
        const QWidget &dialog = widget(form);
        ++dialogs;
        EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "バージョン情報");
        const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
        EXPECT_LE((dialog.frameGeometry().center() - screenCentre).manhattanLength(), 1);
        QCloseEvent close; // the close box
        QCoreApplication::sendEvent(&widget(form), &close);
        EXPECT_FALSE(form.Loaded());
    };
    desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mver.Click(); };
    press(stripBackground(), forms::vbRightButton);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(forms::IsLoaded<frm_Version>());
}

// Neither window has a taskbar button to bring it back from minimised, and a minimised
// modal dialog would leave the strip frozen.
TEST_F(QtStrip, AMinimisedStripOrVersionDialogComesStraightBack)
{
    auto minimiseAndWatch = [&](QWidget &window) {
        window.showMinimized();
        desktop.pump();
        desktop.pump();
        return !window.isMinimized() && window.isVisible();
    };
    EXPECT_TRUE(minimiseAndWatch(widget(strip()))) << "the strip";

    bool dialogBack = false;
    desktop.onModal = [&](forms::Form &form) {
        dialogBack = minimiseAndWatch(widget(form));
        form.Unload();
    };
    desktop.onPopup = [&](forms::Menu &) { forms::Default<frmMenu>().mver.Click(); };
    press(stripBackground(), forms::vbRightButton);
    EXPECT_TRUE(dialogBack) << "the version dialog";
}

// Runs a copy of the program from its own folder with no display and no platform chosen,
// plus the given variables.
class ProgramRun : public ::testing::Test {
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

// Without a display the program says why in one line and exits with 1; Qt's X11 plugin
// would instead abort (exit 134, a core dump) on a display it cannot open, and a Wayland
// client cannot place the strip, so neither may be reached.
TEST_F(ProgramRun, ADisplayThatCannotBeUsedEndsTheProgramWithOneLine)
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

// The program on an X server of its own, as a player starts it.
class ProgramOnXvfb : public ProgramRun {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "Xvfb and xdotool are needed";
        ProgramRun::SetUp();
        // -noreset: the polls below connect and leave; a server that resets when its last
        // client leaves would refuse the program's connection while it does.
        server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"});
        ASSERT_TRUE(server.waitForReadyRead(10000)) << "Xvfb did not start";
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("DISPLAY", ":" + QString::fromLatin1(server.readAllStandardOutput()).trimmed());
    }
    // Starts the game and waits until its strip is mapped; false if it never is.
    bool startGame()
    {
        game.setProcessEnvironment(env);
        game.start(program(), {});
        // A loaded machine may take a while to start the program.
        for (int i = 0; i < 300 && game.state() != QProcess::NotRunning; ++i) {
            QProcess search;
            search.setProcessEnvironment(env);
            search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(game.processId())});
            search.waitForFinished(5000);
            if (!search.readAllStandardOutput().trimmed().isEmpty())
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    QProcess server, game;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// Losing the display while the game runs (the X server ends, XWayland crashes) ends the
// program with status 1: Qt's X11 plugin calls exit(), and the windows kept in static
// storage must not then be destroyed after Qt's own globals (a crash and a core dump).
TEST_F(ProgramOnXvfb, LosingTheDisplayWhileRunningEndsTheProgramWithStatusOne)
{
    ASSERT_TRUE(startGame()) << "the strip never showed: " << game.readAllStandardError().toStdString();
    server.terminate();
    ASSERT_TRUE(server.waitForFinished(10000));
    ASSERT_TRUE(game.waitForFinished(10000));
    EXPECT_EQ(game.exitStatus(), QProcess::NormalExit) << "no crash, no core dump";
    EXPECT_EQ(game.exitCode(), 1);
}

// A session bus that takes the connection and never answers (a desktop's broken bus) does
// not hold the strip back: it is mapped while the accessibility bridge still waits. Were
// the bridge first, the strip would show only after the bridge gave up and hung up.
TEST_F(ProgramOnXvfb, ASessionBusThatNeverAnswersDoesNotHoldTheStripBack)
{
    const std::string path = dir.path().toStdString() + "/bus";
    const int bus = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(bus, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(bus, 8), 0);
    env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString("unix:path=" + path));

    ASSERT_TRUE(startGame());
    const int caller = ::accept4(bus, nullptr, nullptr, SOCK_NONBLOCK);
    char bytes[256];
    ssize_t got = 0;
    while (caller >= 0 && (got = ::read(caller, bytes, sizeof bytes)) > 0) {
    }
    EXPECT_TRUE(caller < 0 || got < 0) << "the program had hung up on the bus before its strip showed";
    game.kill();
    game.waitForFinished(10000);
    ::close(caller);
    ::close(bus);
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
        EXPECT_EQ(forms::qt::chooseDisplay(row.named), row.message);
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(row.platformAfter));
    }

    ScopedEnvironment env;
    env.set("QT_QPA_PLATFORM", nullptr);
    env.set("DISPLAY", nullptr);
    env.set("WAYLAND_DISPLAY", "wayland-0");
    const std::optional<std::string> waylandOnly = forms::qt::chooseDisplay({});
    ASSERT_TRUE(waylandOnly);
    EXPECT_THAT(*waylandOnly, testing::AllOf(testing::StartsWith("kestrin: "), testing::HasSubstr("XWayland")));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) << "no platform is forced on a refusal";
}


// The window system's options are read from the command line the program was given.
TEST(WindowSystemOptions, AreReadWithOneDashOrTwo)
{
    const struct {
        std::vector<std::string> args;
        std::string platform, display;
    } cases[] = {
        {{}, "", ""},
        {{"-platform", "offscreen"}, "offscreen", ""},
        {{"--platform", "xcb", "-display", ":1"}, "xcb", ":1"},
        {{"--display", ":2", "--scores"}, "", ":2"},
        {{"-display"}, "", ""},
        {{"-platformxcb"}, "", ""},
    };
    for (const auto &c : cases) {
        std::vector<char *> argv{const_cast<char *>("kestrin")};
        for (const std::string &arg : c.args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        const forms::qt::WindowSystemOptions options =
            forms::qt::readWindowSystemOptions(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(options.platform, c.platform) << c.args.size();
        EXPECT_EQ(options.display, c.display) << c.args.size();
    }
}

} // namespace
