#include "watermark/scale.h"

#include <gtest/gtest.h>

namespace {

struct ZoomCase {
    const char* name;
    int s;
    int holderW, holderH;
    qint32 W, H;
    double ws;
    qint32 hs;
};

void PrintTo(const ZoomCase& c, std::ostream* os) {
    *os << c.name;
}

class PreviewSizeTable : public testing::TestWithParam<ZoomCase> {};

TEST_P(PreviewSizeTable, FollowsTheZoomRules) {
    const ZoomCase& c = GetParam();
    const zoom::PreviewSize got = zoom::previewSize(c.s, c.holderW, c.holderH, c.W, c.H);
    EXPECT_DOUBLE_EQ(got.ws, c.ws);
    EXPECT_EQ(got.hs, c.hs);
}

INSTANTIATE_TEST_SUITE_P(Zoom, PreviewSizeTable,
                         testing::Values(
                             // A 100 x 50 picture right after start, then the slider to 50 with
                             // the holder now 100 x 50.
                             ZoomCase{"landscape_first_choice", 100, 240, 240, 100, 50, 240, 120},
                             ZoomCase{"landscape_then_half", 50, 100, 50, 100, 50, 50, 25},
                             ZoomCase{"jpeg_640x480_at_start", 100, 240, 240, 640, 480, 240, 180},
                             // A square picture is never enlarged beyond its own size.
                             ZoomCase{"square_200_not_enlarged", 100, 240, 240, 200, 200, 200, 200},
                             ZoomCase{"square_200_then_half", 50, 200, 200, 200, 200, 100, 100},
                             ZoomCase{"square_equal_unchanged", 100, 240, 240, 240, 240, 240, 240},
                             ZoomCase{"portrait_150x300", 100, 240, 240, 150, 300, 120, 240},
                             ZoomCase{"portrait_real_width", 100, 240, 240, 7, 9, 7.0 * 240 / 9, 240},
                             ZoomCase{"slider_1_square", 1, 240, 240, 240, 240, 2.4, 2},
                             ZoomCase{"slider_1_no_header", 1, 240, 240, 0, 0, 2.4, 2},
                             ZoomCase{"no_header_keeps_step_one", 75, 240, 160, 0, 0, 180, 120},
                             ZoomCase{"only_width_known_skips_aspect", 50, 240, 240, 300, 0, 120, 120},
                             // Every rounding takes halves to the even neighbour.
                             ZoomCase{"step_one_half_down", 50, 240, 5, 0, 0, 120, 2},
                             ZoomCase{"step_one_half_up", 50, 240, 7, 0, 0, 120, 4},
                             ZoomCase{"landscape_half_down", 50, 100, 100, 100, 5, 50, 2},
                             ZoomCase{"landscape_half_up", 50, 100, 100, 100, 7, 50, 4},
                             ZoomCase{"square_half_down", 50, 5, 240, 100, 100, 2.5, 2},
                             ZoomCase{"square_half_up", 50, 7, 240, 100, 100, 3.5, 4},
                             // Zero sizes from the first step become 1.
                             ZoomCase{"empty_holder", 100, 0, 0, 0, 0, 1, 1},
                             // Too flat for a whole pixel: one pixel high instead of none.
                             ZoomCase{"flat_1000x1", 100, 240, 240, 1000, 1, 240, 1},
                             ZoomCase{"flat_1000x1_at_1", 1, 240, 240, 1000, 1, 2.4, 1}),
                         [](const testing::TestParamInfo<ZoomCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(PixelWidth, RoundsHalvesToEvenAndKeepsOnePixel) {
    EXPECT_EQ(zoom::pixelWidth(2.4), 2);
    EXPECT_EQ(zoom::pixelWidth(2.5), 2);
    EXPECT_EQ(zoom::pixelWidth(3.5), 4);
    EXPECT_EQ(zoom::pixelWidth(186.67), 187);
    EXPECT_EQ(zoom::pixelWidth(0.24), 1);
}

}  // namespace

TEST(HolderSize, CutsEachSideTo240) {
    const struct {
        QSize picture, holder;
    } cases[] = {{{100, 50}, {100, 50}}, {{240, 240}, {240, 240}}, {{241, 10}, {240, 10}},
                 {{10, 800}, {10, 240}}, {{640, 480}, {240, 240}}, {{1, 1}, {1, 1}}};
    for (const auto& c : cases)
        EXPECT_EQ(zoom::holderSize(c.picture), c.holder) << c.picture.width() << "x" << c.picture.height();
}
