// The positioning window's arithmetic, free of widgets: how large the window
// and its canvas are for a frame on a screen, and where a point on the canvas
// falls in the frame and back.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>

namespace canvas {

// The window's outer size, frame and title bar included, around a canvas
// shown `view` pixels large: 160 by 130 pixels more.
QSize windowOuterSize(QSize view);

// How the canvas shows a frame: one factor for both axes, 1 when the window
// around the frame fits into `available` (the screen's free area), else as
// large as fits. `view` is the canvas's size on the screen, at least 1 by 1.
struct View {
    double scale = 1.0;
    QSize view;
};
View fitFrame(QSize frame, QSize available);
// The same for a canvas that has exactly `room` to show the frame in.
View fitInto(QSize frame, QSize room);

// A window's frame rectangle moved to lie wholly inside `area` (the screen's
// free area): moved in where it hangs over an edge; one larger than the area
// keeps its top-left corner in it.
QRect insideArea(QRect window, QRect area);

// The frame pixel under a point of the canvas shown at `scale`.
QPoint framePixelAt(QPointF viewPoint, double scale = 1.0);
// Where the top-left corner of a frame pixel shows on the canvas.
QPointF viewPointOf(QPoint framePixel, double scale);

}  // namespace canvas
