// The floor for bench_startup: the least a Qt Widgets program does to show a frameless
// window of the strip's size at the strip's place, and then sit idle. It writes the same
// phase marks as kestrin does with KESTRIN_STARTUP_TIMES set, so the benchmark can set
// the two start-ups side by side.

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "forms/StartupTrace.h"

int main(int argc, char **argv)
{
    startupTrace::mark("main");
    QApplication app(argc, argv);
    startupTrace::mark("application");
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int height = 64;
    window.setGeometry(area.x(), area.y() + area.height() - height, area.width(), height);
    startupTrace::mark("window");
    window.show();
    startupTrace::mark("shown");
    return QApplication::exec();
}
