#include "convert/canvas_geometry.h"

#include <gtest/gtest.h>

namespace {

struct PixelCase {
    const char* name;
    QPointF point;
    QPoint pixel;
};

class FramePixelAt : public testing::TestWithParam<PixelCase> {};

TEST_P(FramePixelAt, IsThePixelUnderThePoint) {
    EXPECT_EQ(canvas::framePixelAt(GetParam().point), GetParam().pixel);
}

INSTANTIATE_TEST_SUITE_P(
    Points, FramePixelAt,
    testing::Values(PixelCase{"origin", {0, 0}, {0, 0}}, PixelCase{"inside_first_pixel", {0.99, 0.5}, {0, 0}},
                    PixelCase{"whole_point", {12, 7}, {12, 7}}, PixelCase{"fraction", {12.5, 7.9}, {12, 7}},
                    // Left of or above the canvas (a press on its edge) stays outside it.
                    PixelCase{"left_of_the_canvas", {-0.5, 3}, {-1, 3}},
                    PixelCase{"above_the_canvas", {3, -0.01}, {3, -1}}),
    [](const testing::TestParamInfo<PixelCase>& info) { return std::string(info.param.name); });

TEST(WindowOuterSize, IsTheFramePlusTheWindowsBorders) {
    EXPECT_EQ(canvas::windowOuterSize(QSize(320, 240)), QSize(480, 370));
    EXPECT_EQ(canvas::windowOuterSize(QSize(1, 1)), QSize(161, 131));
}

}  // namespace
