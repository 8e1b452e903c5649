// Reads the mask bitmap, a Windows BMP, rows bottom-up (positive height) or top-down (negative
// height):
//  - 24 bits per pixel, uncompressed: opaque everywhere;
//  - 32 bits per pixel with an alpha channel: colour masks (method 3) R 0x00ff0000, G 0x0000ff00,
//    B 0x000000ff, A 0xff000000 in a header of 56 bytes or more (what image editors write), or
//    uncompressed with such a header whose alpha mask is 0xff000000;
//  - 32 bits per pixel without alpha (a 40-byte header, or an alpha mask of 0): opaque.
// Anything else is refused with a reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wm {

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;    // width * height * 3, rows top-down, R G B
    std::vector<uint8_t> alpha;  // width * height, 255 opaque, 0 transparent; empty: opaque everywhere
};

bool readMaskBmp(const std::string& path, RgbImage& out, std::string& error);
bool decodeMaskBmp(const std::vector<uint8_t>& file, RgbImage& out, std::string& error);

}  // namespace wm
