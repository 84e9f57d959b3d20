// The primary screen: its place, work area and size, and the notices of its changes.

#include "forms/Screen.h"

#include <QGuiApplication>
#include <QScreen>

#include <vector>

#include "forms/Modal.h"
#include "forms/Runtime.h"
#include "forms/Widgets.h"

namespace forms {

namespace {

std::function<void()> g_receiver;
bool g_watching = false;
std::vector<QMetaObject::Connection> g_primaryConnections;

PixelRect toPixelRect(const QRect &r) { return {r.x(), r.y(), r.width(), r.height()}; }

// Follows the signals of whichever screen is primary now.
void watchPrimaryScreen()
{
    for (const auto &connection : g_primaryConnections)
        QObject::disconnect(connection);
    g_primaryConnections.clear();
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const auto changed = [] { ScreenChanged(); };
    g_primaryConnections = {
        QObject::connect(screen, &QScreen::geometryChanged, qApp, changed),
        QObject::connect(screen, &QScreen::availableGeometryChanged, qApp, changed),
        QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, qApp, changed),
    };
}

void watchScreens()
{
    if (g_watching || !qApp)
        return;
    g_watching = true;
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, qApp, [] {
        watchPrimaryScreen();
        ScreenChanged();
    });
    watchPrimaryScreen();
}

} // namespace

ScreenView PrimaryScreen()
{
    if (hooks().primaryScreen)
        return hooks().primaryScreen();
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return {toPixelRect(screen->geometry()), toPixelRect(screen->availableGeometry())};
}

void OnScreenChanged(std::function<void()> changed)
{
    g_receiver = std::move(changed);
    AfterModals(nullptr);
    if (g_receiver)
        watchScreens();
}

void ScreenChanged()
{
    if (ModalOpen()) {
        AfterModals([] { ScreenChanged(); });
        return;
    }
    if (g_receiver)
        g_receiver();
}

namespace Screen {
float Width() { return toTwips(PrimaryScreen().geometry.width); }
float Height() { return toTwips(PrimaryScreen().geometry.height); }
float TwipsPerPixelX() { return kTwipsPerPixel; }
float TwipsPerPixelY() { return kTwipsPerPixel; }
} // namespace Screen

} // namespace forms
