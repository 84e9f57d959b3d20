// The floor for bench_startup: the least a Qt Widgets program does to show a frameless
// window of the strip's size at the strip's place, and then sit idle.

#include <QApplication>
#include <QScreen>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int height = 64;
    window.setGeometry(area.x(), area.y() + area.height() - height, area.width(), height);
    window.show();
    return QApplication::exec();
}
