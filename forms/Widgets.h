#pragma once
// Inside the runtime: the Qt widget behind every control, and the conversions between the
// program's twips and colours and Qt's pixels and colours.

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <cmath>

#include "forms/Controls.h"

namespace forms {

// Twips are converted at 96 dots per inch: 15 twips to a logical pixel.
constexpr float kTwipsPerPixel = 15.0f;

inline int toPx(float twips) { return static_cast<int>(std::lrint(twips / kTwipsPerPixel)); }
inline float toTwips(double px) { return static_cast<float>(px * kTwipsPerPixel); }

QColor toQColor(Color c);

// Where the last press happened, in screen pixels, if there was one: popup menus open there.
// Taken from the event rather than QCursor, which posted events do not move.
const QPoint *lastPressGlobal();

// The widget behind every control: paints through the control and turns presses into
// MouseDown and press-and-release into Click.
class ControlWidget : public QWidget {
public:
    ControlWidget(ControlEvents &events, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    ControlEvents &events_;
    bool clickArmed_ = false;
};

} // namespace forms
