#include "positioning/canvas_geometry.h"

#include <gtest/gtest.h>

namespace {

struct PixelCase {
    const char* name;
    double scale;
    QPointF point;  // on the canvas, as shown
    QPoint pixel;   // the frame pixel under it
};

class FramePixelAt : public testing::TestWithParam<PixelCase> {};

TEST_P(FramePixelAt, IsThePixelUnderThePointAndMapsBackOntoIt) {
    const PixelCase& c = GetParam();
    EXPECT_EQ(canvas::framePixelAt(c.point, c.scale), c.pixel);
    // The pixel's corner shows at or before the point, and its far corner
    // beyond it: the point lies on the pixel it names.
    const QPointF corner = canvas::viewPointOf(c.pixel, c.scale);
    const QPointF far = canvas::viewPointOf(c.pixel + QPoint(1, 1), c.scale);
    EXPECT_LE(corner.x(), c.point.x() + 1e-9);
    EXPECT_LE(corner.y(), c.point.y() + 1e-9);
    EXPECT_GT(far.x(), c.point.x());
    EXPECT_GT(far.y(), c.point.y());
}

INSTANTIATE_TEST_SUITE_P(Scales, FramePixelAt,
                         testing::Values(PixelCase{"full_origin", 1.0, {0, 0}, {0, 0}},
                                         PixelCase{"full_inside_first_pixel", 1.0, {0.99, 0.5}, {0, 0}},
                                         PixelCase{"full_whole_point", 1.0, {12, 7}, {12, 7}},
                                         PixelCase{"full_fraction", 1.0, {12.5, 7.9}, {12, 7}},
                                         // A press on the canvas's edge stays outside it.
                                         PixelCase{"full_left_of_the_canvas", 1.0, {-0.5, 3}, {-1, 3}},
                                         PixelCase{"half", 0.5, {480, 270}, {960, 540}},
                                         PixelCase{"half_between", 0.5, {480.6, 270.9}, {961, 541}},
                                         // 1920 x 1080 on an 800 x 600 screen: a third, where
                                         // rounding would put 320 / (1/3) just below 960.
                                         PixelCase{"third", 1.0 / 3, {320, 180}, {960, 540}},
                                         PixelCase{"third_last_pixel", 1.0 / 3, {639.9, 359.9}, {1919, 1079}},
                                         PixelCase{"odd_scale", 0.37, {355.2, 199.8}, {960, 540}},
                                         PixelCase{"below_a_fifth", 0.15, {144, 81}, {960, 540}},
                                         PixelCase{"8k_on_a_small_screen", 0.0625, {60, 33.75}, {960, 540}}),
                         [](const testing::TestParamInfo<PixelCase>& info) {
                             return std::string(info.param.name);
                         });

struct FitCase {
    const char* name;
    QSize frame, available;
    double scale;
    QSize view;
};

class FitFrame : public testing::TestWithParam<FitCase> {};

TEST_P(FitFrame, KeepsTheWindowInsideTheScreen) {
    const FitCase& c = GetParam();
    const canvas::View v = canvas::fitFrame(c.frame, c.available);
    EXPECT_NEAR(v.scale, c.scale, 1e-6);
    EXPECT_EQ(v.view, c.view);
    const QSize outer = canvas::windowOuterSize(v.view);
    if (c.scale < 1) {
        EXPECT_LE(outer.width(), c.available.width());
        EXPECT_LE(outer.height(), c.available.height());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FitFrame,
    testing::Values(
        // A frame that fits keeps one canvas pixel per frame pixel.
        FitCase{"small_on_full_hd", {160, 120}, {1920, 1050}, 1.0, {160, 120}},
        FitCase{"vga_on_small_laptop", {640, 480}, {1366, 738}, 1.0, {640, 480}},
        FitCase{"exactly_fits", {1206, 608}, {1366, 738}, 1.0, {1206, 608}},
        FitCase{"full_hd_on_small_laptop", {1920, 1080}, {1366, 738}, 608.0 / 1080, {1080, 608}},
        FitCase{"full_hd_on_800x600", {1920, 1080}, {800, 600}, 1.0 / 3, {640, 360}},
        FitCase{"4k_on_small_laptop", {3840, 2160}, {1366, 738}, 608.0 / 2160, {1080, 608}},
        FitCase{"8k_on_small_laptop", {7680, 4320}, {1366, 738}, 608.0 / 4320, {1080, 608}},
        FitCase{"tall_phone_video", {1080, 1920}, {1366, 738}, 608.0 / 1920, {342, 608}}),
    [](const testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

TEST(WindowOuterSize, IsTheCanvasPlusTheWindowsBorders) {
    EXPECT_EQ(canvas::windowOuterSize(QSize(320, 240)), QSize(480, 370));
    EXPECT_EQ(canvas::windowOuterSize(QSize(1, 1)), QSize(161, 131));
}

}  // namespace
