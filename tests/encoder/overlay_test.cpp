#include "encoder/hook/overlay.h"

#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {

TEST(KeyColour, ToleranceSwallowsNoiseButNotColours) {
    const wm::Rgb key{0, 0, 0};
    EXPECT_TRUE(wm::isKeyColour({0, 0, 0}, key));
    EXPECT_TRUE(wm::isKeyColour({wm::kKeyTolerance, 10, 3}, key));  // JPEG noise around black
    EXPECT_FALSE(wm::isKeyColour({wm::kKeyTolerance + 1, 0, 0}, key));
    EXPECT_FALSE(wm::isKeyColour({40, 40, 40}, key));  // dark grey logo stays
    const wm::Rgb magenta{255, 0, 255};
    EXPECT_TRUE(wm::isKeyColour({240, 12, 250}, magenta));
    EXPECT_FALSE(wm::isKeyColour({200, 0, 255}, magenta));
}

struct Frame {
    explicit Frame(int w, int h, AVPixelFormat fmt) : f(av_frame_alloc()) {
        f->width = w, f->height = h, f->format = fmt;
        av_frame_get_buffer(f, 0);
        for (int p = 0; p < 4 && f->buf[p]; ++p)
            std::memset(f->buf[p]->data, 0x55, f->buf[p]->size);
    }
    ~Frame() { av_frame_free(&f); }
    uint8_t at(int plane, int x, int y) const { return f->data[plane][y * f->linesize[plane] + x]; }
    AVFrame* f;
};

// A mask of the given size: key colour black, with a white rectangle [x0,x1) x [y0,y1).
wm::RgbImage maskWithBox(int w, int h, int x0, int y0, int x1, int y1) {
    wm::RgbImage m;
    m.width = w, m.height = h;
    m.rgb.assign(size_t(w * h * 3), 0);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            std::memset(&m.rgb[size_t((y * w + x) * 3)], 255, 3);
    return m;
}

TEST(Overlay, TouchesOnlyWatermarkAndBlendsPartialChroma) {
    Frame frame(16, 8, AV_PIX_FMT_YUV420P);
    // White over pixel columns 3..6, rows 2..4: chroma blocks at the edges are partly covered.
    wm::Overlay o;
    std::string error;
    ASSERT_TRUE(o.build(maskWithBox(16, 8, 3, 2, 7, 5), {0, 0, 0}, {16, 8, "yuv420p", 2, false}, error))
        << error;
    o.apply(frame.f->data, frame.f->linesize);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
            EXPECT_EQ(frame.at(0, x, y), inside ? 235 : 0x55) << x << "," << y;
        }
    // White has neutral chroma (128). Block (1,1) covers pixels x 2..3, y 2..3: 2 of 4 covered.
    EXPECT_EQ(frame.at(1, 1, 1), (128 * 128 + 0x55 * 128 + 128) >> 8);
    // Block (2,1): x 4..5, y 2..3: fully covered.
    EXPECT_EQ(frame.at(1, 2, 1), 128);
    // Block (1,2): x 2..3, y 4..5: 1 of 4 covered.
    EXPECT_EQ(frame.at(2, 1, 2), (128 * 64 + 0x55 * 192 + 128) >> 8);
    // Untouched chroma outside.
    EXPECT_EQ(frame.at(1, 0, 0), 0x55);
    EXPECT_EQ(frame.at(1, 4, 1), 0x55);
    EXPECT_EQ(frame.at(2, 2, 3), 0x55);
}

TEST(Overlay, MaskIsAlignedTopLeftAndCut) {
    // Larger mask: only its top-left part counts; smaller mask: the rest of the frame stays.
    for (auto [mw, mh] : {std::pair{40, 30}, std::pair{6, 4}}) {
        Frame frame(10, 6, AV_PIX_FMT_GRAY8);
        wm::Overlay o;
        std::string error;
        ASSERT_TRUE(o.build(maskWithBox(mw, mh, 0, 0, mw, mh), {0, 0, 0}, {10, 6, "gray", 2, true}, error))
            << error;
        o.apply(frame.f->data, frame.f->linesize);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x)
                EXPECT_EQ(frame.at(0, x, y), (x < mw && y < mh) ? 255 : 0x55) << mw << ": " << x << "," << y;
    }
}

TEST(Overlay, WritesPackedAndDeepFormats) {
    {
        Frame frame(4, 2, AV_PIX_FMT_RGB24);
        wm::Overlay o;
        std::string error;
        wm::RgbImage m = maskWithBox(4, 2, 1, 0, 2, 1);
        m.rgb[3] = 200, m.rgb[4] = 10, m.rgb[5] = 20;  // pixel (1,0)
        ASSERT_TRUE(o.build(m, {0, 0, 0}, {4, 2, "rgb24", 2, false}, error)) << error;
        o.apply(frame.f->data, frame.f->linesize);
        EXPECT_EQ(frame.at(0, 3, 0), 200);
        EXPECT_EQ(frame.at(0, 4, 0), 10);
        EXPECT_EQ(frame.at(0, 5, 0), 20);
        EXPECT_EQ(frame.at(0, 6, 0), 0x55);
        EXPECT_EQ(frame.at(0, 2, 0), 0x55);
    }
    {
        Frame frame(4, 4, AV_PIX_FMT_YUV420P10LE);
        wm::Overlay o;
        std::string error;
        ASSERT_TRUE(o.build(maskWithBox(4, 4, 0, 0, 2, 2), {0, 0, 0}, {4, 4, "yuv420p10le", 1, false}, error))
            << error;
        o.apply(frame.f->data, frame.f->linesize);
        uint16_t luma, outside, chroma;
        std::memcpy(&luma, frame.f->data[0], 2);
        std::memcpy(&outside, frame.f->data[0] + 4, 2);
        std::memcpy(&chroma, frame.f->data[1], 2);
        EXPECT_EQ(luma, 940);  // white at 10 bits, limited range
        EXPECT_EQ(outside, 0x5555);
        EXPECT_EQ(chroma, 512);
    }
}

// A share of the mark's weight, as a time range gives it: none leaves the frame, all is the plain
// overlay, half mixes mark and frame half and half, on long opaque runs (copied at full weight) and
// short ones, 8 and 10 bits alike.
TEST(Overlay, TimeFactorScalesEveryWeight) {
    wm::RgbImage mask = maskWithBox(40, 2, 0, 0, 32, 1);  // a run of 32 on row 0
    for (int x = 34; x < 37; ++x)                         // and one of 3 on row 1
        std::memset(&mask.rgb[size_t((40 + x) * 3)], 255, 3);
    wm::Overlay o;
    std::string error;
    ASSERT_TRUE(o.build(mask, {0, 0, 0}, {40, 2, "gray", 2, true}, error)) << error;
    auto covered = [](int x, int y) {
        return y == 0 ? x < 32 : x >= 34 && x < 37;
    };
    for (const unsigned factor : {0u, 128u, 256u}) {
        Frame frame(40, 2, AV_PIX_FMT_GRAY8), plain(40, 2, AV_PIX_FMT_GRAY8);
        o.apply(frame.f->data, frame.f->linesize, factor);
        o.apply(plain.f->data, plain.f->linesize);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 40; ++x) {
                const int want = !covered(x, y) || factor == 0 ? 0x55
                                 : factor == 256               ? plain.at(0, x, y)
                                                               : 170;
                EXPECT_EQ(frame.at(0, x, y), want) << factor << ": " << x << "," << y;
            }
    }
    Frame deep(4, 4, AV_PIX_FMT_YUV420P10LE);
    ASSERT_TRUE(o.build(maskWithBox(4, 4, 0, 0, 2, 2), {0, 0, 0}, {4, 4, "yuv420p10le", 1, false}, error))
        << error;
    const uint16_t black = 64;  // limited range
    std::memcpy(deep.f->data[0], &black, 2);
    o.apply(deep.f->data, deep.f->linesize, 128);
    uint16_t luma;
    std::memcpy(&luma, deep.f->data[0], 2);
    EXPECT_EQ(luma, (940 + 64) / 2);
}

TEST(Overlay, RefusesFormatsItCannotWrite) {
    EXPECT_TRUE(wm::overlaySupportsFormat("yuv420p"));
    EXPECT_TRUE(wm::overlaySupportsFormat("nv12"));
    EXPECT_TRUE(wm::overlaySupportsFormat("yuyv422"));
    EXPECT_FALSE(wm::overlaySupportsFormat("rgb565le"));
    EXPECT_FALSE(wm::overlaySupportsFormat("pal8"));
    wm::Overlay o;
    std::string error;
    EXPECT_FALSE(o.build(maskWithBox(4, 4, 0, 0, 2, 2), {0, 0, 0}, {4, 4, "monow", 2, false}, error));
    EXPECT_NE(error.find("not supported"), std::string::npos);
}

}  // namespace
