#include "encoder/bmp_file.h"

#include <cstddef>
#include <cstring>
#include <limits>

namespace wm {
namespace {

constexpr uint32_t kHeaderBytes = 14 + 40;
constexpr uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

void put(std::vector<uint8_t>& f, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        f[at + size_t(i)] = uint8_t(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> bmpFile(const uint8_t* bgr, int stride, int width, int height) {
    if (width <= 0 || height <= 0 || stride < 3 * width) return {};
    const uint64_t row = (uint64_t(width) * 3 + 3) / 4 * 4;
    const uint64_t pixels = row * uint64_t(height);
    // Width and height are written as signed 32-bit values, sizes as unsigned ones.
    if (uint64_t(width) > uint64_t(std::numeric_limits<int32_t>::max()) ||
        uint64_t(height) > uint64_t(std::numeric_limits<int32_t>::max()) ||
        pixels + kHeaderBytes > std::numeric_limits<uint32_t>::max())
        return {};

    std::vector<uint8_t> f(kHeaderBytes + pixels, 0);  // the padding stays zero
    f[0] = 'B', f[1] = 'M';
    put(f, 2, uint32_t(f.size()), 4);
    put(f, 10, kHeaderBytes, 4);
    put(f, 14, 40, 4);
    put(f, 18, uint32_t(width), 4);
    put(f, 22, uint32_t(height), 4);
    put(f, 26, 1, 2);   // planes
    put(f, 28, 24, 2);  // bits per pixel; compression (30) stays 0, uncompressed
    put(f, 34, uint32_t(pixels), 4);
    put(f, 38, kPixelsPerMetre, 4);
    put(f, 42, kPixelsPerMetre, 4);
    for (int y = 0; y < height; ++y)
        std::memcpy(&f[kHeaderBytes + row * uint64_t(height - 1 - y)], bgr + std::ptrdiff_t(y) * stride,
                    size_t(width) * 3);
    return f;
}

}  // namespace wm
