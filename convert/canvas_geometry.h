// The positioning window's arithmetic, free of widgets: where a point on the
// canvas falls in the frame, and how large the window is for a frame.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>

namespace canvas {

// The frame pixel under a point given in canvas units (one unit a frame pixel).
QPoint framePixelAt(QPointF point);

// The window's outer size, frame and title bar included, for a canvas that
// shows `frame` one pixel per frame pixel: 160 by 130 pixels more.
QSize windowOuterSize(QSize frame);

}  // namespace canvas
