// The BMP picture the one-frame command writes, byte by byte where the windows' reader looks.
#include "encoder/bmp_file.h"

#include <gtest/gtest.h>

namespace {

uint32_t le(const std::vector<uint8_t>& f, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(f[at + size_t(i)]) << (8 * i);
    return v;
}

TEST(BmpFile, HeadersRowsBottomUpAndPadding) {
    // 2x3 pixels: 6 bytes of pixels per row, padded to 8; the source rows are 7 bytes apart.
    const int w = 2, h = 3, stride = 7;
    std::vector<uint8_t> bgr(size_t(stride * h), 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                bgr[size_t(y * stride + x * 3 + c)] = uint8_t(y * 16 + x * 4 + c);
    const std::vector<uint8_t> f = wm::bmpFile(bgr.data(), stride, w, h);
    ASSERT_EQ(f.size(), 54u + 8 * 3);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(le(f, 2, 4), f.size());
    EXPECT_EQ(le(f, 10, 4), 54u);  // pixels right after the two headers
    EXPECT_EQ(le(f, 14, 4), 40u);
    EXPECT_EQ(le(f, 18, 4), 2u);
    EXPECT_EQ(le(f, 22, 4), 3u);  // positive: bottom-up
    EXPECT_EQ(le(f, 26, 2), 1u);
    EXPECT_EQ(le(f, 28, 2), 24u);
    EXPECT_EQ(le(f, 30, 4), 0u);  // uncompressed
    EXPECT_EQ(le(f, 34, 4), 24u);
    for (int y = 0; y < h; ++y) {
        const size_t row = 54 + size_t(8 * (h - 1 - y));  // the top row comes last
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(f[row + size_t(i)], bgr[size_t(y * stride + i)]) << "row " << y << " byte " << i;
        EXPECT_EQ(f[row + 6], 0) << "padding of row " << y;
        EXPECT_EQ(f[row + 7], 0) << "padding of row " << y;
    }
}

TEST(BmpFile, RefusesWhatTheFormatCannotHold) {
    const std::vector<uint8_t> px(16, 0);
    EXPECT_TRUE(wm::bmpFile(px.data(), 3, 0, 1).empty());
    EXPECT_TRUE(wm::bmpFile(px.data(), 3, 1, 0).empty());
    EXPECT_TRUE(wm::bmpFile(px.data(), 5, 2, 1).empty());  // rows shorter than the width
    // 4 GiB of pixels would overflow the 32-bit file size; nothing is read before the check.
    EXPECT_TRUE(wm::bmpFile(px.data(), 3 * 40000, 40000, 40000).empty());
}

}  // namespace
