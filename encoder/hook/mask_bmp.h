// Reads the mask bitmap: a Windows BMP, 24 bits per pixel, uncompressed, rows bottom-up (positive
// height) or top-down (negative height). Anything else is refused with a reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wm {

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3, rows top-down, R G B
};

bool readMaskBmp(const std::string& path, RgbImage& out, std::string& error);
bool decodeMaskBmp(const std::vector<uint8_t>& file, RgbImage& out, std::string& error);

}  // namespace wm
