// A decoded frame turned as the video is shown, for the picture of "-vframes 1 -upright": every
// pixel is moved whole, none is blended, so the picture holds exactly the coded frame's colours.
#pragma once

#include <cstdint>
#include <vector>

#include "rules/orientation.h"

namespace wm {

struct BgrPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // top-down B G R rows, 3 * width bytes each
};

// The upright picture of a `coded`-sized frame of top-down B G R rows, `stride` bytes apart.
BgrPicture turnUpright(const uint8_t* bgr, int stride, rules::PixelSize coded, rules::Orientation o);

}  // namespace wm
