// The primary screen: its place, work area and size, and the notices of its changes.

#include "forms/Screen.h"

#include "forms/Body.h"
#include "forms/Modal.h"
#include "forms/Runtime.h"
#include "forms/Twips.h"

namespace forms {

namespace {
std::function<void()> g_receiver;
bool g_watching = false;
} // namespace

ScreenView PrimaryScreen()
{
    if (hooks().primaryScreen)
        return hooks().primaryScreen();
    return body::primaryScreen();
}

void OnScreenChanged(std::function<void()> changed)
{
    g_receiver = std::move(changed);
    AfterModals(nullptr);
    if (g_receiver && !g_watching) {
        g_watching = true;
        body::watchScreens([] { ScreenChanged(); });
    }
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
