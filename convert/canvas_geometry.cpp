#include "convert/canvas_geometry.h"

#include <cmath>

namespace canvas {

QPoint framePixelAt(QPointF point) {
    return {static_cast<int>(std::floor(point.x())), static_cast<int>(std::floor(point.y()))};
}

QSize windowOuterSize(QSize frame) {
    return frame + QSize(160, 130);
}

}  // namespace canvas
