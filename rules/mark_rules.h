// What the windows and the watermark module must agree on, written once:
// when a mask pixel counts as the key colour, and how a pixel's alpha and the
// mark's opacity make the weight it is laid over the video with.
//
// The mask itself: a BMP of the coded frame's size (the frame as it is
// decoded, before any display rotation), aligned with the frame's top-left
// corner. 24 bits: every pixel not of the key colour replaces the video.
// 32 bits with an alpha channel: every pixel not of the key colour is mixed
// with the video by its alpha times the opacity.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace rules {

// A mask pixel within this of the key in each of red, green and blue leaves
// the video visible: it swallows the compression noise of a JPEG whose
// background was the key, while a colour plainly different from it (more than
// 1/8 of full scale in some channel) stays.
inline constexpr int kKeyTolerance = 32;

inline constexpr int kMinOpacity = 10, kFullOpacity = 100;

constexpr bool isKeyColour(int r, int g, int b, int keyR, int keyG, int keyB) noexcept {
    return (r > keyR ? r - keyR : keyR - r) <= kKeyTolerance &&
           (g > keyG ? g - keyG : keyG - g) <= kKeyTolerance &&
           (b > keyB ? b - keyB : keyB - b) <= kKeyTolerance;
}

// The blend weight, 0..256, of a mask pixel of this alpha (0..255) at this
// opacity (per cent), rounded: 256 replaces the video.
constexpr uint16_t alphaWeight(unsigned alpha, unsigned opacity) noexcept {
    return uint16_t((alpha * opacity * 256 + 255 * 100 / 2) / (255 * 100));
}

// The same weight as an alpha 0..255, as a picture shows it.
constexpr int shownAlpha(unsigned alpha, unsigned opacity) noexcept {
    return int((alpha * opacity + 50) / 100);
}

}  // namespace rules
