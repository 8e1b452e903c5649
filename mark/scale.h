// The zoom arithmetic of the mark: from the picture and the zoom to the
// mark's size in the video, and the preview's size in its box. No widgets.
#pragma once

#include <QSize>

namespace zoom {

// The mark's size at `percent` (1..100) of the whole picture: the width
// rounded, the height by the picture's aspect from that width, both at
// least 1 pixel. A 606 x 179 picture is 606 x 179 at 100 %, 224 x 66 at 37 %.
QSize zoomedSize(QSize picture, int percent);

// `size` shown in `box`: as it is when it fits, else scaled down by one
// factor to fit, at least 1 pixel each way.
QSize fittedIn(QSize size, QSize box);

}  // namespace zoom
