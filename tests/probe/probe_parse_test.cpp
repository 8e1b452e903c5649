#include "probe/probe_parse.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* name;
    const char* chunk;
    const char* duration;  // nullptr: not found
    const char* width;     // nullptr: no size
    const char* height;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const char* opt(const std::optional<QString>& v, std::string& keep) {
    if (!v) return nullptr;
    keep = v->toStdString();
    return keep.c_str();
}

class ProbeParse : public ::testing::TestWithParam<Case> {};

TEST_P(ProbeParse, TakesDurationAndSizeAsTheWindowDoes) {
    const Case c = GetParam();
    const ProbeFacts f = parseProbeChunk(QString::fromLatin1(c.chunk));
    std::string d, w, h;
    EXPECT_STREQ(opt(f.duration, d), c.duration);
    EXPECT_STREQ(opt(f.width, w), c.width);
    EXPECT_STREQ(opt(f.height, h), c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ProbeParse,
    ::testing::Values(
        Case{"worked_example",
             "  Duration: 00:01:05.3, start: 0.000000, bitrate: 512 kb/s\n"
             "    Stream #0.0: Video: mpeg4, yuv420p, 320x240 [PAR 1:1 DAR 4:3], 25.00 tb(r)\n",
             "00:01:05.3,", "320", "240"},
        Case{"four_digits",
             "  Duration: 00:00:10.00, start: 0.000000, bitrate: 4000 kb/s\n"
             "    Stream #0.0: Video: h264, yuv420p, 1920x1080, 25 fps\n",
             "00:00:10.00", "1920", "1080"},
        Case{"comma_behind_a_short_height",
             "Duration: 00:00:02.00, start: 0.0\nStream #0.0: Video: mpeg2video, 720x576, 25 fps\n",
             "00:00:02.00", "720", "576,"},
        Case{"upper_case_marker_and_x", "DURATION: 01:02:03.04, start\nSTREAM #0.0: VIDEO: H264, 1280X720 \n",
             "01:02:03.04", "1280", "720"},
        Case{"not_available_duration",
             "  Duration: N/A, start: 0.000000, bitrate: N/A\n    Stream #0.0: Video: mjpeg, 640x480, 25 "
             "fps\n",
             "N/A, start:", "640", "480,"},
        Case{"chunk_ends_after_the_marker", "  Duration:", "", nullptr, nullptr},
        Case{"chunk_ends_inside_the_duration", "  Duration: 00:0", "00:0", nullptr, nullptr},
        Case{"stream_line_without_duration", "    Stream #0.0: Video: h264, 320x240, 25 fps\n", nullptr,
             nullptr, nullptr},
        Case{"duration_without_stream_line", "  Duration: 00:00:05.00, start: 0.000000\n", "00:00:05.00",
             nullptr, nullptr},
        // The chunk's last character is left out before the size is cut.
        Case{"last_character_left_out", "Duration: 00:00:01.00, x\nVideo: h264, 320x240", "00:00:01.00",
             "320", "24"},
        Case{"size_beyond_forty_characters",
             "Duration: 00:00:01.00,\nVideo: averyveryverylongcodecname, yuv420p, 320x240, 25 fps\n",
             "00:00:01.00", nullptr, nullptr},
        // A video line before "Duration" does not count.
        Case{"video_before_duration", "Video: h264, 320x240\nDuration: 00:00:01.00, start: 0\n",
             "00:00:01.00", nullptr, nullptr}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(SizeValue, ReadsTheLeadingNumber) {
    EXPECT_EQ(sizeValue(QStringLiteral("576,")), 576);
    EXPECT_EQ(sizeValue(QStringLiteral("1080")), 1080);
    EXPECT_EQ(sizeValue(QStringLiteral(" 24")), 24);
    EXPECT_EQ(sizeValue(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(sizeValue(QStringLiteral("x")), std::nullopt);
}

}  // namespace
