#include "encoder/hook/mask_bmp.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace wm {
namespace {

uint32_t u16(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}
uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

constexpr int64_t kMaxSide = 16384;

}  // namespace

bool decodeMaskBmp(const std::vector<uint8_t>& f, RgbImage& out, std::string& error) {
    if (f.size() < 2 || f[0] != 'B' || f[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    if (f.size() < 14 + 40) {
        error = "truncated BMP header";
        return false;
    }
    const uint32_t offset = u32(f, 10);
    const uint32_t infoSize = u32(f, 14);
    if (infoSize < 40) {
        error = "old-style BMP header (" + std::to_string(infoSize) + " bytes) is not supported";
        return false;
    }
    const int64_t width = int32_t(u32(f, 18));
    const int64_t rawHeight = int32_t(u32(f, 22));
    const uint32_t bits = u16(f, 28);
    const uint32_t compression = u32(f, 30);
    if (bits != 24) {
        error = std::to_string(bits) + "-bit BMP; only 24-bit uncompressed bitmaps are supported";
        return false;
    }
    if (compression != 0) {
        error = "compressed BMP (method " + std::to_string(compression) +
                "); only 24-bit uncompressed bitmaps are supported";
        return false;
    }
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        error = "unusable BMP size " + std::to_string(width) + "x" + std::to_string(rawHeight);
        return false;
    }
    const size_t rowBytes = size_t((width * 3 + 3) / 4 * 4);
    const size_t need = size_t(offset) + rowBytes * size_t(height - 1) + size_t(width) * 3;
    if (offset < 14 + infoSize || f.size() < need) {
        error = "truncated BMP (" + std::to_string(f.size()) + " bytes, " + std::to_string(need) + " needed)";
        return false;
    }
    RgbImage img;
    img.width = int(width);
    img.height = int(height);
    img.rgb.resize(size_t(width * height * 3));
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* src = f.data() + offset + rowBytes * size_t(topDown ? y : height - 1 - y);
        uint8_t* dst = img.rgb.data() + size_t(y * width * 3);
        for (int64_t x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    out = std::move(img);
    return true;
}

bool readMaskBmp(const std::string& path, RgbImage& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open mask '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read mask '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::string why;
    if (!decodeMaskBmp(bytes, out, why)) {
        error = "mask '" + path + "': " + why;
        return false;
    }
    return true;
}

}  // namespace wm
