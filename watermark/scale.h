// The zoom arithmetic of the preview: from the slider, the holder's size and
// the picture's header size to the preview's size. No widgets here.
#pragma once

#include <QSize>
#include <QtGlobal>

namespace zoom {

struct PreviewSize {
    double ws = 0;  // width, not rounded: the preview's coordinate range
    qint32 hs = 0;  // height, whole pixels
};

// s: slider value 1..100. holderW/holderH: the holder's size before this
// rebuild loads anything. W/H: the picture's header size (or the preview's
// size when there is no path); 0 when unknown, which skips the aspect rules.
// Halves round to the even neighbour. A picture so flat that its height
// comes out 0 gets a height of 1.
PreviewSize previewSize(int s, int holderW, int holderH, qint32 W, qint32 H);

// The whole pixels the preview shows for a width ws: the nearest, halves to
// even, never less than 1.
int pixelWidth(double ws);

// The holder of a picture of this size: at most 240 by 240 pixels, its
// top-left part when the picture is larger.
QSize holderSize(QSize picture);

}  // namespace zoom
