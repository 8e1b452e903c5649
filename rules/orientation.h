// How a video's frame is turned for showing: the display matrix a container
// stores (phones record upright video as a landscape picture with a
// rotation), reduced to the eight turns and mirrors a player applies.
//
// The upright frame is the coded frame mirrored left to right when
// `mirrored`, then turned clockwise by `quarterTurns` quarter turns. The
// windows show and place on the upright frame; masks are made for the coded
// frame, which is what the watermark module sees.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace rules {

struct Orientation {
    int quarterTurns = 0;  // clockwise, 0..3
    bool mirrored = false;
    bool upright() const { return quarterTurns == 0 && !mirrored; }
    int degrees() const { return quarterTurns * 90; }
    bool operator==(const Orientation&) const = default;
};

struct PixelSize {
    int width = 0, height = 0;
    bool operator==(const PixelSize&) const = default;
};

struct Pixel {
    int x = 0, y = 0;
    bool operator==(const Pixel&) const = default;
};

// The turn a display matrix asks for: FFmpeg's layout, nine values, the
// first two columns 16.16 fixed point, mapping a coded point (p, q) to the
// shown point (p * m[0] + q * m[3], p * m[1] + q * m[4]) with y pointing down.
// A matrix at an odd angle snaps to the nearest quarter turn.
inline Orientation orientationOfMatrix(const int32_t m[9]) {
    const double a = m[0], b = m[1], c = m[3], d = m[4];
    if (std::fabs(a) + std::fabs(d) >= std::fabs(b) + std::fabs(c)) {
        // Axes kept: x' = ±x, y' = ±y.
        if (a >= 0 && d >= 0) return {0, false};
        if (a < 0 && d >= 0) return {0, true};
        if (a < 0 && d < 0) return {2, false};
        return {2, true};  // upside down: a mirror turned half round
    }
    // Axes swapped: x' = sign(c) * y, y' = sign(b) * x.
    if (c < 0 && b >= 0) return {1, false};
    if (c >= 0 && b < 0) return {3, false};
    if (c < 0 && b < 0) return {1, true};
    return {3, true};
}

// Parses "rotate N" metadata as older files carry it: N degrees clockwise.
inline Orientation orientationOfDegrees(double clockwise) {
    const long q = std::lround(clockwise / 90.0);
    return {int(((q % 4) + 4) % 4), false};
}

inline PixelSize uprightSize(PixelSize coded, Orientation o) {
    return o.quarterTurns % 2 ? PixelSize{coded.height, coded.width} : coded;
}

// The upright pixel that shows the coded pixel `p` of a `coded`-sized frame.
inline Pixel toUpright(Pixel p, PixelSize coded, Orientation o) {
    if (o.mirrored) p.x = coded.width - 1 - p.x;
    PixelSize s = coded;
    for (int i = 0; i < o.quarterTurns; ++i) {
        p = {s.height - 1 - p.y, p.x};
        s = {s.height, s.width};
    }
    return p;
}

// The coded pixel shown at the upright pixel `p`.
inline Pixel toCoded(Pixel p, PixelSize coded, Orientation o) {
    PixelSize s = uprightSize(coded, o);
    for (int i = 0; i < o.quarterTurns; ++i) {
        p = {p.y, s.width - 1 - p.x};
        s = {s.height, s.width};
    }
    if (o.mirrored) p.x = coded.width - 1 - p.x;
    return p;
}

}  // namespace rules
