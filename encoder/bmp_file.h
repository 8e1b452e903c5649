// The one picture format the encoder writes: a 24-bit BMP as the windows read it (14-byte file
// header, 40-byte info header, positive height, rows bottom-up in B G R order, each padded to four
// bytes).
#pragma once

#include <cstdint>
#include <vector>

namespace wm {

// The whole file for a picture of top-down B G R rows, `stride` bytes apart. Empty when the
// picture does not fit the format's 32-bit sizes or has no pixels.
std::vector<uint8_t> bmpFile(const uint8_t* bgr, int stride, int width, int height);

}  // namespace wm
