// The floor for bench_startup: the least a Qt Widgets program does to show a frameless
// window of the strip's size at the strip's place, and then sit idle.

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// The same phase marks as kestrin writes with KESTRIN_STARTUP_TIMES set, so the benchmark
// can set the two start-ups side by side.
void mark(const char *phase)
{
    static const bool enabled = std::getenv("KESTRIN_STARTUP_TIMES") != nullptr;
    if (!enabled)
        return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(stderr, "kestrin-startup %s %lld\n", phase,
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

} // namespace

int main(int argc, char **argv)
{
    mark("main");
    QApplication app(argc, argv);
    mark("application");
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int height = 64;
    window.setGeometry(area.x(), area.y() + area.height() - height, area.width(), height);
    mark("window");
    window.show();
    mark("shown");
    return QApplication::exec();
}
