#include "watermark/scale.h"

#include <cmath>

namespace zoom {

namespace {
constexpr int kHolderMax = 240;

// Rounds to the nearest integer, halves to the even neighbour (the default
// floating-point rounding mode).
qint32 roundEven(double v) {
    return static_cast<qint32>(std::nearbyint(v));
}

}  // namespace

PreviewSize previewSize(int s, int holderW, int holderH, qint32 W, qint32 H) {
    // Same order of operations as the zoom always used: per cent first.
    double ws = s / 100.0 * holderW;
    qint32 hs = roundEven(s / 100.0 * holderH);
    if (ws == 0) ws = 1;
    if (hs == 0) hs = 1;

    if (W != 0 && H != 0) {
        if (W > H) {
            hs = roundEven(H * ws / W);
        } else if (W < H) {
            ws = double(W) * hs / H;
        } else if (ws > W) {
            // A square picture is never enlarged beyond its own size.
            ws = W;
            hs = H;
        } else if (ws < W) {
            hs = roundEven(ws);
        }
    }
    // A zero-high preview would later be saved as an empty bitmap.
    if (hs == 0) hs = 1;
    return {ws, hs};
}

int pixelWidth(double ws) {
    const int w = static_cast<int>(std::nearbyint(ws));
    return w < 1 ? 1 : w;
}

QSize holderSize(QSize picture) {
    return picture.boundedTo(QSize(kHolderMax, kHolderMax));
}

}  // namespace zoom
