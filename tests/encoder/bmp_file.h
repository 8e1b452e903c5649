// Mask bitmaps written byte by byte, in the header forms the module meets.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace enc_test {

struct Pixel {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct BmpForm {
    uint16_t bits = 24;
    uint32_t infoSize = 40;  // 40, or 108 and 124 for the later headers
    uint32_t method = 0;     // 0 uncompressed, 3 colour masks, others compressed
    uint32_t masks[4] = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};  // R G B A
    bool topDown = false;
};

inline const BmpForm kBmp24{};
inline const BmpForm kV4Masks{32, 108, 3};
inline const BmpForm kV5Masks{32, 124, 3};
inline const BmpForm kV5Uncompressed{32, 124, 0};  // alpha mask 0xff000000
inline const BmpForm kPlain32{32, 40, 0};          // no alpha defined
inline const BmpForm kV5NoAlpha{32, 124, 3, {0x00ff0000, 0x0000ff00, 0x000000ff, 0}};  // X8 R8 G8 B8

inline BmpForm topDown(BmpForm f) {
    f.topDown = true;
    return f;
}

// A BMP of w x h; pixel(x, y) for the top-down row y. Colour masks go into the header, or behind a
// 40-byte one; the pixels are laid out as B G R [A] whatever the masks say (8 and 16 bits: the
// first bytes of that).
inline std::vector<uint8_t> bmpFile(int w, int h, const BmpForm& form,
                                    const std::function<Pixel(int, int)>& pixel) {
    const size_t bytes = form.bits / 8;  // 0 for the compressed forms, which get no pixels
    const size_t row = (size_t(w) * form.bits + 31) / 32 * 4;
    const size_t offset = 14 + form.infoSize + (form.infoSize == 40 && form.method == 3 ? 12 : 0);
    std::vector<uint8_t> f(offset + row * size_t(h), 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put(2, uint32_t(f.size()), 4);
    put(10, uint32_t(offset), 4);
    put(14, form.infoSize, 4);
    put(18, uint32_t(w), 4);
    put(22, uint32_t(form.topDown ? -h : h), 4);
    put(26, 1, 2);
    put(28, form.bits, 2);
    put(30, form.method, 4);
    put(34, uint32_t(row * size_t(h)), 4);
    if (form.bits == 32) {
        for (int m = 0; m < (form.infoSize >= 56 ? 4 : 3); ++m)
            put(54 + size_t(m) * 4, form.masks[m], 4);
    }
    if (form.infoSize >= 108) put(70, 0x73524742, 4);  // "sRGB"
    for (int y = 0; y < h && bytes > 0; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = pixel(x, y);
            uint8_t* d = &f[offset + row * size_t(form.topDown ? y : h - 1 - y) + size_t(x) * bytes];
            const uint8_t v[4] = {p.b, p.g, p.r, p.a};
            for (size_t i = 0; i < bytes && i < 4; ++i)
                d[i] = v[i];
        }
    return f;
}

[[nodiscard]] inline bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out.flush());
}

}  // namespace enc_test
