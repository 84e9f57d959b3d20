// The primary screen, in twips.

#include "app/forms/Screen.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/forms/Widgets.h"

namespace forms::Screen {

float Width() { return toTwips(QGuiApplication::primaryScreen()->geometry().width()); }
float Height() { return toTwips(QGuiApplication::primaryScreen()->geometry().height()); }
float TwipsPerPixelX() { return kTwipsPerPixel; }
float TwipsPerPixelY() { return kTwipsPerPixel; }

} // namespace forms::Screen
