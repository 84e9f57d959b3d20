#pragma once
// Inside the Qt body: the windows behind the runtime's forms and controls, and the
// conversions between the runtime's colours, rectangles and pictures and Qt's.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <memory>

#include "forms/Body.h"
#include "forms/qt/Keeper.h"

namespace forms::qt {

QColor toQColor(Color c);
inline QRect toQRect(const PixelRect &r) { return {r.left, r.top, r.width, r.height}; }
inline PixelRect toPixelRect(const QRect &r) { return {r.x(), r.y(), r.width(), r.height()}; }

// A picture decoded by Qt.
class QtImage : public body::Image {
public:
    explicit QtImage(QImage image) : image_(std::move(image)) {}
    int width() const override { return image_.width(); }
    int height() const override { return image_.height(); }
    const QImage &image() const { return image_; }

private:
    QImage image_;
};

// The Qt image of a picture this body made.
inline const QImage &qimage(const body::Image &picture) { return static_cast<const QtImage &>(picture).image(); }

// Has the hidden window's native window made in idle time once a window shows, one per
// pass of the event loop.
void makeNativeLater(QWidget &window);

// Where the last press on one of the program's windows happened, in screen pixels, if
// there was one: popup menus open there. Taken from the event rather than QCursor, which
// posted events do not move.
const QPoint *lastPressGlobal();

// A window's persistent drawing surface.
class Surface : public body::Surface {
public:
    explicit Surface(const QWidget &widget) : widget_(widget) {}
    void copy(const body::Image &image, const PixelRect &source, const PixelRect &target, Color background) override;
    const QImage &image() const { return image_; }

private:
    const QWidget &widget_;
    QImage image_;
};

// The native window of a control or form, over the widget that shows it.
class Window : public body::Window {
public:
    explicit Window(std::unique_ptr<QWidget> widget) : widget_(std::move(widget)) {}
    QWidget &widget() const { return *widget_; }
    // What the program has copied onto the window, if anything.
    const QImage *surfaceImage() const { return surface_ ? &surface_->image() : nullptr; }

    void setGeometry(const PixelRect &rect) override { widget_->setGeometry(toQRect(rect)); }
    void setVisible(bool visible) override { widget_->setVisible(visible); }
    void update() override { widget_->update(); }
    void setCursor(MousePointer pointer) override;
    void setShape(const std::vector<PixelRect> &rects) override;
    body::Surface &surface() override;
    void setTitle(const std::string &title) override;
    void setIcon(const body::Image &icon) override;
    bool setNativeBackground(Color color) override;
    void raiseAboveAll() override;
    std::optional<PixelPoint> screenOrigin() const override;
    void centreModal(const PixelRect &on) override;
    PixelRect screenRect() const override;
    bool shown() const override { return widget_->isVisible(); }
    std::vector<PixelRect> shape() const override;
    std::vector<Color> grab() const override;

private:
    std::unique_ptr<QWidget> widget_;
    std::unique_ptr<Surface> surface_;
};

// A form's window: its style decides how it meets the window manager.
class FormWindow : public Window {
public:
    FormWindow(std::unique_ptr<QWidget> widget, FormStyle style);
    void setGeometry(const PixelRect &rect) override;
    void setVisible(bool visible) override;
    WindowKeeper &keeper() { return keeper_; }

private:
    FormStyle style_;
    WindowKeeper keeper_;
};

// The widget behind every control and form: paints through the control, then what the
// program copied onto its window, and turns presses into MouseDown and press-and-release
// into Click.
class ControlWidget : public QWidget {
public:
    ControlWidget(body::WindowEvents &events, QWidget *parent);
    // The window this widget shows; set once it exists.
    void showFor(Window &window) { window_ = &window; }
    Window *window() const { return window_; }

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    body::WindowEvents &events_;

private:
    Window *window_ = nullptr;
    bool clickArmed_ = false;
};

} // namespace forms::qt
