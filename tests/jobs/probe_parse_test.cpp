#include "jobs/probe_parse.h"

#include <gtest/gtest.h>

namespace rules {
void PrintTo(const Orientation& o, std::ostream* os) {
    *os << "{" << o.quarterTurns << (o.mirrored ? ", mirrored}" : "}");
}
}  // namespace rules

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

// The display turn: the line the encoder writes after the video's, or nothing.
struct TurnCase {
    const char* name;
    const char* chunk;
    std::optional<rules::Orientation> turn;
};
void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << c.name;
}

class ProbeTurn : public ::testing::TestWithParam<TurnCase> {};

TEST_P(ProbeTurn, ReadsOnlyTheEncodersLine) {
    const TurnCase c = GetParam();
    const ProbeFacts f = parseProbeChunk(QString::fromLatin1(c.chunk));
    EXPECT_EQ(f.orientation, c.turn);
    // The coded size is read as ever.
    EXPECT_EQ(f.width.value_or("?"), "1920");
    EXPECT_EQ(f.height.value_or("?"), "1080");
}

#define HEAD "  Duration: 00:00:10.00, start: 0.000000, bitrate: 4000 kb/s\n"
#define VIDEO "    Stream #0.0: Video: h264, yuv420p, 1920x1080 [SAR 1:1 DAR 16:9], 30 fps\n"
#define AUDIO "    Stream #0.1: Audio: aac, 48000 Hz, stereo, fltp, 128 kb/s\n"

INSTANTIATE_TEST_SUITE_P(
    Lines, ProbeTurn,
    ::testing::Values(
        TurnCase{"none", HEAD VIDEO AUDIO, std::nullopt},
        TurnCase{"rotate_90", HEAD VIDEO "      Display: rotate 90, shown 1080x1920\n" AUDIO,
                 rules::Orientation{1, false}},
        TurnCase{"rotate_180", HEAD VIDEO "      Display: rotate 180, shown 1920x1080\n",
                 rules::Orientation{2, false}},
        TurnCase{"mirror", HEAD VIDEO "      Display: mirror, shown 1920x1080\n",
                 rules::Orientation{0, true}},
        TurnCase{"rotate_270_mirror", HEAD VIDEO "      Display: rotate 270, mirror, shown 1080x1920\n" AUDIO,
                 rules::Orientation{3, true}},
        TurnCase{"any_case", HEAD VIDEO "      DISPLAY: ROTATE 90, SHOWN 1080X1920\n",
                 rules::Orientation{1, false}},
        // Written otherwise than the encoder writes it.
        TurnCase{"odd_angle", HEAD VIDEO "      Display: rotate 45, shown 1920x1080\n", std::nullopt},
        TurnCase{"full_turn", HEAD VIDEO "      Display: rotate 360, shown 1920x1080\n", std::nullopt},
        TurnCase{"identity", HEAD VIDEO "      Display: shown 1920x1080\n", std::nullopt},
        TurnCase{"mirror_first", HEAD VIDEO "      Display: mirror, rotate 90, shown 1080x1920\n",
                 std::nullopt},
        TurnCase{"no_shown_size", HEAD VIDEO "      Display: rotate 90\n", std::nullopt},
        TurnCase{"trailing_text", HEAD VIDEO "      Display: rotate 90, shown 1080x1920 px\n", std::nullopt},
        TurnCase{"leading_zero", HEAD VIDEO "      Display: rotate 90, shown 01080x1920\n", std::nullopt},
        TurnCase{"huge_size", HEAD VIDEO "      Display: rotate 90, shown 1080x99999999999\n", std::nullopt},
        // The shown size must be the coded size turned: a quarter turn swaps it, a half turn keeps it.
        TurnCase{"quarter_turn_unswapped", HEAD VIDEO "      Display: rotate 90, shown 1920x1080\n",
                 std::nullopt},
        TurnCase{"half_turn_swapped", HEAD VIDEO "      Display: rotate 180, shown 1080x1920\n",
                 std::nullopt},
        // Cut by the chunk's end: "1080x192" would pass for a size.
        TurnCase{"cut_short", HEAD VIDEO "      Display: rotate 90, shown 1080x192", std::nullopt},
        TurnCase{"cut_at_the_line_end", HEAD VIDEO "      Display: rotate 90, shown 1080x1920", std::nullopt},
        // Only the line right after the video's counts.
        TurnCase{"after_another_stream", HEAD VIDEO AUDIO "      Display: rotate 90, shown 1080x1920\n",
                 std::nullopt},
        TurnCase{"before_duration", "      Display: rotate 90, shown 1080x1920\n" HEAD VIDEO AUDIO,
                 std::nullopt}),
    [](const ::testing::TestParamInfo<TurnCase>& info) { return std::string(info.param.name); });

#undef HEAD
#undef VIDEO
#undef AUDIO

TEST(ProbeTurn, NeedsTheCodedSize) {
    // No size in the video's window: a turn of nothing is no fact.
    const ProbeFacts f = parseProbeChunk(QStringLiteral(
        "  Duration: 00:00:01.00,\n    Stream #0.0: Video: averyveryverylongcodecname, yuv420p, 1920x1080\n"
        "      Display: rotate 90, shown 1080x1920\n"));
    EXPECT_FALSE(f.width);
    EXPECT_FALSE(f.orientation);
}

TEST(SizeValue, ReadsTheLeadingNumber) {
    EXPECT_EQ(sizeValue(QStringLiteral("576,")), 576);
    EXPECT_EQ(sizeValue(QStringLiteral("1080")), 1080);
    EXPECT_EQ(sizeValue(QStringLiteral(" 24")), 24);
    EXPECT_EQ(sizeValue(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(sizeValue(QStringLiteral("x")), std::nullopt);
}

}  // namespace
