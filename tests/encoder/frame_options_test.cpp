// The one-frame command's options: -ss takes seconds, -vframes only 1, in any order.
#include "encoder/options.h"

#include <gtest/gtest.h>

namespace {

struct FrameOptionCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // nullptr: accepted
    double seconds;     // -1: no -ss
};
void PrintTo(const FrameOptionCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameOptions : public testing::TestWithParam<FrameOptionCase> {};

TEST_P(FrameOptions, AcceptsOrExplains) {
    const FrameOptionCase& c = GetParam();
    wm::Options o;
    std::string error;
    const bool ok = wm::parseOptions(c.args, o, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_TRUE(o.oneFrame);
    EXPECT_EQ(o.input, "/v/a.mp4");
    EXPECT_EQ(o.output.value_or(""), "/o/f.bmp");
    EXPECT_EQ(o.frameAt.value_or(-1), c.seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FrameOptions,
    testing::Values(
        FrameOptionCase{"WindowsOrder",
                        {"-ss", "3.7", "-i", "/v/a.mp4", "-vframes", "1", "-y", "/o/f.bmp"},
                        nullptr,
                        3.7},
        FrameOptionCase{
            "AnyOrder", {"/o/f.bmp", "-vframes", "1", "-i", "/v/a.mp4", "-ss", "12"}, nullptr, 12},
        FrameOptionCase{"NoTime", {"-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"}, nullptr, -1},
        FrameOptionCase{"Zero", {"-ss", "0", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"}, nullptr, 0},
        FrameOptionCase{
            "Word", {"-ss", "abc", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"}, "Invalid time 'abc'", 0},
        FrameOptionCase{
            "Negative", {"-ss", "-1", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"}, "Invalid time '-1'", 0},
        FrameOptionCase{
            "NaN", {"-ss", "nan", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"}, "Invalid time 'nan'", 0},
        FrameOptionCase{"Infinite",
                        {"-ss", "inf", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"},
                        "Invalid time 'inf'",
                        0},
        FrameOptionCase{"TrailingText",
                        {"-ss", "3s", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"},
                        "Invalid time '3s'",
                        0},
        FrameOptionCase{
            "Empty", {"-ss", "", "-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp"}, "Invalid time ''", 0},
        FrameOptionCase{"MissingTime",
                        {"-i", "/v/a.mp4", "-vframes", "1", "/o/f.bmp", "-ss"},
                        "Missing argument for option 'ss'",
                        0},
        FrameOptionCase{"TwoFrames", {"-i", "/v/a.mp4", "-vframes", "2", "/o/f.bmp"}, "Only one frame", 0},
        FrameOptionCase{"NoFrames", {"-i", "/v/a.mp4", "-vframes", "0", "/o/f.bmp"}, "Only one frame", 0},
        FrameOptionCase{"CountNotANumber",
                        {"-i", "/v/a.mp4", "-vframes", "one", "/o/f.bmp"},
                        "Invalid frame count 'one'",
                        0},
        FrameOptionCase{"TimeWithoutFrame",
                        {"-ss", "3", "-i", "/v/a.mp4", "/o/r.avi"},
                        "only supported with -vframes 1",
                        0},
        FrameOptionCase{"FrameWithAudioRate",
                        {"-i", "/v/a.mp4", "-vframes", "1", "-ar", "22050", "/o/f.bmp"},
                        "'ar' does not apply",
                        0}),
    [](const testing::TestParamInfo<FrameOptionCase>& i) { return std::string(i.param.name); });

}  // namespace
