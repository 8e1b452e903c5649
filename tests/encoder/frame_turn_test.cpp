// The picture of "-vframes 1 -upright": the coded frame's pixels moved whole to where a player
// shows them, read from rows with padding behind them.
#include "encoder/frame_turn.h"

#include <gtest/gtest.h>

namespace {

struct TurnCase {
    const char* name;
    rules::Orientation turn;
    int width, height;             // of the upright picture
    std::vector<uint8_t> upright;  // the coded pixels' labels, upright rows top-down
};
void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << c.name;
}

// The coded frame, 3x2, each pixel's B G R all its label:
//   1 2 3
//   4 5 6
// in rows of 12 bytes, the last 3 of each a padding that must never show.
std::vector<uint8_t> codedFrame() {
    std::vector<uint8_t> rows(24, 0xEE);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 3; ++c)
                rows[size_t(y * 12 + x * 3 + c)] = uint8_t(1 + y * 3 + x);
    return rows;
}

class TurnUpright : public testing::TestWithParam<TurnCase> {};

TEST_P(TurnUpright, MovesEveryPixelWhole) {
    const TurnCase& c = GetParam();
    const std::vector<uint8_t> coded = codedFrame();
    const wm::BgrPicture p = wm::turnUpright(coded.data(), 12, {3, 2}, c.turn);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    std::vector<uint8_t> expected;
    for (uint8_t label : c.upright)
        expected.insert(expected.end(), 3, label);
    EXPECT_EQ(p.pixels, expected);
}

INSTANTIATE_TEST_SUITE_P(Turns, TurnUpright,
                         testing::Values(TurnCase{"AsCoded", {0, false}, 3, 2, {1, 2, 3, 4, 5, 6}},
                                         TurnCase{"Clockwise", {1, false}, 2, 3, {4, 1, 5, 2, 6, 3}},
                                         TurnCase{"HalfTurn", {2, false}, 3, 2, {6, 5, 4, 3, 2, 1}},
                                         TurnCase{"Anticlockwise", {3, false}, 2, 3, {3, 6, 2, 5, 1, 4}},
                                         TurnCase{"Mirror", {0, true}, 3, 2, {3, 2, 1, 6, 5, 4}},
                                         TurnCase{"MirrorClockwise", {1, true}, 2, 3, {6, 3, 5, 2, 4, 1}},
                                         TurnCase{"UpsideDown", {2, true}, 3, 2, {4, 5, 6, 1, 2, 3}},
                                         TurnCase{"Transposed", {3, true}, 2, 3, {1, 4, 2, 5, 3, 6}}),
                         [](const testing::TestParamInfo<TurnCase>& i) { return std::string(i.param.name); });

TEST(TurnUpright, OnePixelWideFrame) {
    const std::vector<uint8_t> coded = {1, 1, 1, 0, 2, 2, 2, 0};  // 1x2, rows of 4 bytes
    const wm::BgrPicture p = wm::turnUpright(coded.data(), 4, {1, 2}, {1, false});
    EXPECT_EQ(p.width, 2);
    EXPECT_EQ(p.height, 1);
    EXPECT_EQ(p.pixels, (std::vector<uint8_t>{2, 2, 2, 1, 1, 1}));
}

}  // namespace
