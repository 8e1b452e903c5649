#include "mark/scale.h"

#include <algorithm>
#include <cmath>

namespace zoom {

QSize zoomedSize(QSize picture, int percent) {
    const int pw = std::max(1, picture.width()), ph = std::max(1, picture.height());
    const int p = std::clamp(percent, 1, 100);
    const int w = std::max(1, static_cast<int>(std::lround(pw * p / 100.0)));
    const int h = std::max(1, static_cast<int>(std::lround(double(w) * ph / pw)));
    return {w, h};
}

QSize fittedIn(QSize size, QSize box) {
    const int w = std::max(1, size.width()), h = std::max(1, size.height());
    if (w <= box.width() && h <= box.height()) return {w, h};
    const double f = std::min(double(std::max(1, box.width())) / w, double(std::max(1, box.height())) / h);
    return {std::max(1, static_cast<int>(std::lround(w * f))),
            std::max(1, static_cast<int>(std::lround(h * f)))};
}

}  // namespace zoom
