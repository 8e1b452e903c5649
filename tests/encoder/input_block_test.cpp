// The input description must read right through the main window's own parse, and the progress
// line through the conversion window's.
#include "encoder/input_block.h"
#include "convert/progress_parse.h"
#include "encoder/progress.h"
#include "probe/probe_parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

using Kind = wm::StreamSummary::Kind;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

struct SizeCase {
    const char* name;
    std::string codec, pixelFormat;
    int width, height;
    int sarNum, sarDen;
};
void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class InputBlockSize : public testing::TestWithParam<SizeCase> {};

TEST_P(InputBlockSize, WindowParseReadsSizeAndDuration) {
    const SizeCase& c = GetParam();
    wm::InputSummary in;
    in.formatName = "avi";
    in.fileName = "clip.avi";
    in.durationUs = 65'340'000;
    in.bitRate = 512'000;
    wm::StreamSummary v;
    v.kind = Kind::Video;
    v.codec = c.codec, v.pixelFormat = c.pixelFormat;
    v.width = c.width, v.height = c.height;
    v.sarNum = c.sarNum, v.sarDen = c.sarDen;
    v.fps = 29.97;
    v.bitRate = 400'000;
    wm::StreamSummary a;
    a.index = 1, a.kind = Kind::Audio, a.codec = "mp3", a.sampleRate = 44100, a.channelLayout = "stereo";
    in.streams = {v, a};

    const std::string block = wm::formatInputBlock(in);
    ASSERT_EQ(block.back(), '\n');
    const ProbeFacts facts = parseProbeChunk(QString::fromStdString(block));
    EXPECT_EQ(facts.duration.value_or("?"), "00:01:05.34");
    EXPECT_EQ(facts.width.value_or("?"), QString::number(c.width)) << block;
    EXPECT_EQ(facts.height.value_or("?"), QString::number(c.height)) << block;
    EXPECT_EQ(lower(block).find("time"), std::string::npos) << block;
}

INSTANTIATE_TEST_SUITE_P(Sizes, InputBlockSize,
                         testing::Values(SizeCase{"Tiny", "mpeg4", "yuv420p", 8, 6, 1, 1},
                                         SizeCase{"TwoDigits", "h264", "yuv420p", 64, 48, 0, 0},
                                         SizeCase{"Odd", "mpeg4", "yuv420p", 321, 241, 1, 1},
                                         SizeCase{"HD", "h264", "yuv420p", 1920, 1080, 1, 1},
                                         SizeCase{"FourByThree", "h264", "yuv420p", 1280, 720, 4, 3},
                                         SizeCase{"NameWithX", "dnxhd", "yuv422p10le", 1920, 1080, 1, 1},
                                         SizeCase{"FormatWithX", "jpeg2000", "xyz12le", 2048, 1080, 1, 1},
                                         SizeCase{"LongNames", "mpeg2video", "yuva444p16le", 1920, 1080, 1,
                                                  1},
                                         SizeCase{"OneByOne", "rawvideo", "rgb24", 1, 1, 0, 0}),
                         [](const testing::TestParamInfo<SizeCase>& i) { return std::string(i.param.name); });

TEST(InputBlock, NamesCannotFakeMarkers) {
    wm::InputSummary in;
    in.formatName = "matroska,webm";
    in.fileName = "Duration time Video 1x2.mkv";
    in.durationUs = -1;
    wm::StreamSummary v;
    v.kind = Kind::Video, v.codec = "vp9", v.pixelFormat = "yuv420p", v.width = 640, v.height = 360;
    wm::StreamSummary s;
    s.index = 1, s.kind = Kind::Subtitle, s.codec = "timed_text";
    wm::StreamSummary left;  // a note line that could pass for a length, a time or a size
    left.index = 2, left.kind = Kind::Audio, left.codec = "mp2",
    left.leftOut = "no duration, time 00:01, 2x3";
    in.streams = {v, s, left};
    const std::string block = wm::formatInputBlock(in);
    const auto note = block.find("\n      Note: left out of the result, ");
    ASSERT_NE(note, std::string::npos) << block;
    EXPECT_EQ(block.substr(note + 1).find_first_of("0123456789xX"), std::string::npos) << block;
    EXPECT_EQ(lower(block).find("time"), std::string::npos) << block;
    const std::string low = lower(block);
    EXPECT_EQ(low.find("duration"), low.rfind("duration")) << block;
    const ProbeFacts facts = parseProbeChunk(QString::fromStdString(block));
    EXPECT_EQ(facts.duration.value_or("?"), "N/A, start:");
    EXPECT_EQ(facts.width.value_or("?"), "640");
    EXPECT_EQ(facts.height.value_or("?"), "360");
}

TEST(InputBlock, ManyStreamsStayInOneChunk) {
    wm::InputSummary in;
    in.formatName = "mpegts";
    in.fileName = std::string(300, 'a') + ".ts";
    in.durationUs = 10'000'000;
    wm::StreamSummary v;
    v.kind = Kind::Video, v.codec = "h264", v.pixelFormat = "yuv420p", v.width = 720, v.height = 576;
    in.streams = {v};
    for (int i = 1; i < 40; ++i) {
        wm::StreamSummary a;
        a.index = i, a.kind = Kind::Audio, a.codec = "aac", a.sampleRate = 48000,
        a.channelLayout = "5.1(side)";
        in.streams.push_back(a);
    }
    const std::string block = wm::formatInputBlock(in);
    EXPECT_LE(block.size(), 1024u);
    const ProbeFacts facts = parseProbeChunk(QString::fromStdString(block));
    EXPECT_EQ(facts.width.value_or("?"), "720");
    EXPECT_EQ(facts.height.value_or("?"), "576");
}

TEST(Duration, CutsToHundredths) {
    EXPECT_EQ(wm::formatDuration(0), "00:00:00.00");
    EXPECT_EQ(wm::formatDuration(3'999'999), "00:00:03.99");
    EXPECT_EQ(wm::formatDuration(3'723'450'000), "01:02:03.45");
}

TEST(Progress, WindowReadsSecondsAndPercent) {
    wm::ProgressState p;
    p.frames = 250, p.fps = 61, p.quality = 3, p.bytes = 2048 * 1024, p.seconds = 30;
    const QString line = QString::fromStdString(wm::formatProgress(p));
    EXPECT_TRUE(line.endsWith('\r'));
    EXPECT_EQ(elapsedTextOf(line).value_or("?"), "30.00");
    EXPECT_EQ(progressPercent("00:02:00.00", *elapsedTextOf(line)), 25);
}

}  // namespace
