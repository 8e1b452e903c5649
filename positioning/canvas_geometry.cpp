#include "positioning/canvas_geometry.h"

#include <algorithm>
#include <cmath>

namespace canvas {

namespace {
const QSize kAround(160, 130);
}  // namespace

QSize windowOuterSize(QSize view) {
    return view + kAround;
}

View fitFrame(QSize frame, QSize available) {
    return fitInto(frame, available - kAround);
}

View fitInto(QSize frame, QSize room) {
    if (frame.isEmpty()) return {1.0, QSize(1, 1)};
    if (room.width() >= frame.width() && room.height() >= frame.height()) return {1.0, frame};
    const double scale = std::max(std::min(double(std::max(1, room.width())) / frame.width(),
                                           double(std::max(1, room.height())) / frame.height()),
                                  1e-3);
    const QSize view(std::max(1, static_cast<int>(std::floor(frame.width() * scale))),
                     std::max(1, static_cast<int>(std::floor(frame.height() * scale))));
    return {scale, view};
}

QRect insideArea(QRect window, QRect area) {
    const int x = std::max(area.left(), std::min(window.left(), area.right() + 1 - window.width()));
    const int y = std::max(area.top(), std::min(window.top(), area.bottom() + 1 - window.height()));
    return QRect(QPoint(x, y), window.size());
}

QPoint framePixelAt(QPointF viewPoint, double scale) {
    // The tolerance keeps a view point that lies exactly on a pixel's corner
    // (320 at a third) from falling into the pixel before through rounding.
    constexpr double kTolerance = 1e-6;
    return {static_cast<int>(std::floor(viewPoint.x() / scale + kTolerance)),
            static_cast<int>(std::floor(viewPoint.y() / scale + kTolerance))};
}

QPointF viewPointOf(QPoint framePixel, double scale) {
    return {framePixel.x() * scale, framePixel.y() * scale};
}

}  // namespace canvas
