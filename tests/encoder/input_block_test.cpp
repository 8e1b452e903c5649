// The input description must read right through the main window's own parse, and the progress
// line through the conversion window's.
#include "encoder/input_block.h"
#include "encoder/input_file.h"
#include "encoder/progress.h"
#include "jobs/probe_parse.h"
#include "jobs/progress_parse.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace rules {
void PrintTo(const Orientation& o, std::ostream* os) {
    *os << "{" << o.quarterTurns << (o.mirrored ? ", mirrored}" : "}");
}
}  // namespace rules

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

// ---------------------------------------------------------------------------------------------
// When the file says it was recorded: the creation time as the "Recorded:" line gives it, and that
// line read back by the main window's parse, which still finds everything else.

struct RecordedCase {
    const char* tag;   // the file's creation time
    const char* line;  // what the line gives; "" for no line
    QDateTime moment;  // what the window reads
};

TEST(InputBlockRecorded, WindowParseReadsTheMoment) {
    const QDate day(2021, 3, 4);
    const RecordedCase cases[] = {
        {"2021-03-04T10:20:30.000000Z", "2021-03-04T10:20:30Z",
         QDateTime(day, QTime(10, 20, 30), QTimeZone::utc())},
        {"2021-03-04T10:20:30Z", "2021-03-04T10:20:30Z", QDateTime(day, QTime(10, 20, 30), QTimeZone::utc())},
        {"2021-03-04 10:20:30", "2021-03-04T10:20:30", QDateTime(day, QTime(10, 20, 30))},
        {"2021-03-04T10:20:30+02:00", "2021-03-04T10:20:30+02:00",
         QDateTime(day, QTime(10, 20, 30), QTimeZone(2 * 3600))},
        {"2021-03-04", "2021-03-04", QDateTime(day, QTime(0, 0))},
        {"2021-13-04T10:20:30Z", "", {}},
        {"0000-00-00 00:00:00", "", {}},
        {"2021-03-04T25:00:00Z", "", {}},
        {"2021-03-04T10:20:30Z time", "", {}},
        {"04/03/2021", "", {}},
        {"", "", {}},
    };
    for (const RecordedCase& c : cases) {
        EXPECT_EQ(wm::recordedMoment(c.tag), c.line) << c.tag;
        wm::InputSummary in;
        in.formatName = "mov,mp4,m4a,3gp,3g2,mj2";
        in.fileName = "holiday.mp4";
        in.durationUs = 10'000'000;
        in.recorded = wm::recordedMoment(c.tag);
        wm::StreamSummary v;
        v.kind = Kind::Video, v.codec = "h264", v.pixelFormat = "yuv420p", v.width = 160, v.height = 120;
        in.streams = {v};
        const std::string block = wm::formatInputBlock(in);
        EXPECT_EQ(lower(block).find("time"), std::string::npos) << block;
        const ProbeFacts facts = parseProbeChunk(QString::fromStdString(block));
        EXPECT_EQ(facts.duration.value_or("?"), "00:00:10.00") << block;
        EXPECT_EQ(facts.width.value_or("?"), "160") << block;
        EXPECT_EQ(facts.recorded.value_or(QDateTime()), c.moment) << block;
        EXPECT_EQ(facts.recorded.has_value(), c.moment.isValid()) << block;
        // No zone: the camera's clock, the user's own time.
        if (facts.recorded) {
            EXPECT_EQ(facts.recorded->timeSpec() == Qt::LocalTime, c.moment.timeSpec() == Qt::LocalTime);
        }
    }
}

// A file name cannot pass for the line, nor hide it.
TEST(InputBlockRecorded, NamesCannotFakeTheMoment) {
    wm::InputSummary in;
    in.formatName = "matroska,webm";
    in.fileName = "x\n  Recorded: 1999-01-01T00:00:00Z.mkv";
    in.durationUs = 10'000'000;
    in.recorded = "2021-03-04";
    const ProbeFacts facts = parseProbeChunk(QString::fromStdString(wm::formatInputBlock(in)));
    EXPECT_EQ(facts.recorded.value_or(QDateTime()), QDateTime(QDate(2021, 3, 4), QTime(0, 0)));
}

// ---------------------------------------------------------------------------------------------
// A video shown turned: the "Display:" line, read back by the main window's parse.

struct TurnCase {
    const char* name;
    rules::Orientation turn;
    const char* line;  // nullptr: no line
};
void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << c.name;
}

class InputBlockTurn : public testing::TestWithParam<TurnCase> {};

TEST_P(InputBlockTurn, WindowParseReadsTheTurn) {
    const TurnCase& c = GetParam();
    wm::InputSummary in;
    in.formatName = "mov,mp4,m4a,3gp,3g2,mj2";
    in.fileName = "phone.mp4";
    in.durationUs = 12'500'000;
    wm::StreamSummary v;
    v.kind = Kind::Video, v.codec = "h264", v.pixelFormat = "yuv420p", v.width = 1920, v.height = 1080;
    v.sarNum = v.sarDen = 1, v.fps = 30, v.orientation = c.turn;
    wm::StreamSummary a;
    a.index = 1, a.kind = Kind::Audio, a.codec = "aac", a.sampleRate = 48000, a.channelLayout = "stereo";
    in.streams = {v, a};

    const std::string block = wm::formatInputBlock(in);
    const size_t video = block.find("Video: ");
    ASSERT_NE(video, std::string::npos) << block;
    const size_t next = block.find('\n', video) + 1;
    const std::string after = block.substr(next, block.find('\n', next) - next);
    if (c.line)
        EXPECT_EQ(after, c.line) << block;
    else
        EXPECT_EQ(block.find("Display"), std::string::npos) << block;
    EXPECT_EQ(lower(block).find("time"), std::string::npos) << block;

    const ProbeFacts facts = parseProbeChunk(QString::fromStdString(block));
    EXPECT_EQ(facts.width.value_or("?"), "1920") << block;
    EXPECT_EQ(facts.height.value_or("?"), "1080") << block;
    EXPECT_EQ(facts.orientation.value_or(rules::Orientation{}), c.turn) << block;
    EXPECT_EQ(facts.orientation.has_value(), c.line != nullptr) << block;
}

INSTANTIATE_TEST_SUITE_P(
    Turns, InputBlockTurn,
    testing::Values(
        TurnCase{"AsCoded", {0, false}, nullptr},
        TurnCase{"Rotate90", {1, false}, "      Display: rotate 90, shown 1080x1920"},
        TurnCase{"Rotate180", {2, false}, "      Display: rotate 180, shown 1920x1080"},
        TurnCase{"Rotate270", {3, false}, "      Display: rotate 270, shown 1080x1920"},
        TurnCase{"Mirror", {0, true}, "      Display: mirror, shown 1920x1080"},
        TurnCase{"Rotate90Mirror", {1, true}, "      Display: rotate 90, mirror, shown 1080x1920"},
        TurnCase{"Rotate180Mirror", {2, true}, "      Display: rotate 180, mirror, shown 1920x1080"},
        TurnCase{"Rotate270Mirror", {3, true}, "      Display: rotate 270, mirror, shown 1080x1920"}),
    [](const testing::TestParamInfo<TurnCase>& i) { return std::string(i.param.name); });

// An HDR video's line follows the video's (and its "Display:" line): the windows read it to show
// its frames tone-mapped and the mark as bright as it will be.
TEST(InputBlockHdr, WindowParseReadsTheTransfer) {
    struct Case {
        const char* hdr;
        rules::Orientation turn;
        rules::Transfer want;
    };
    for (const Case& c :
         {Case{"", {}, rules::Transfer::Sdr}, Case{"PQ", {}, rules::Transfer::Pq},
          Case{"HLG", {1, false}, rules::Transfer::Hlg}, Case{"PQ", {3, true}, rules::Transfer::Pq}}) {
        wm::InputSummary in;
        in.formatName = "mov,mp4,m4a,3gp,3g2,mj2";
        in.fileName = "phone.mp4";
        in.durationUs = 2'000'000;
        wm::StreamSummary v;
        v.kind = Kind::Video, v.codec = "hevc", v.pixelFormat = "yuv420p10le", v.width = 1920,
        v.height = 1080;
        v.orientation = c.turn, v.hdr = c.hdr;
        wm::StreamSummary a;
        a.index = 1, a.kind = Kind::Audio, a.codec = "aac", a.sampleRate = 48000;
        in.streams = {v, a};
        const std::string block = wm::formatInputBlock(in);
        EXPECT_EQ(block.find("HDR: ") != std::string::npos, *c.hdr != 0) << block;
        const ProbeFacts facts = parseProbeChunk(QString::fromStdString(block));
        EXPECT_EQ(facts.transfer, c.want) << block;
        EXPECT_EQ(facts.orientation.value_or(rules::Orientation{}), c.turn) << block;
    }
}

TEST(InputBlockTurn, NoLineWithoutASize) {
    wm::StreamSummary v;
    v.kind = Kind::Video, v.codec = "h264", v.orientation = {1, false};
    EXPECT_EQ(wm::displayLine(v), "");
}

// The turn a stream asks for: its display matrix first, else its "rotate" tag in degrees clockwise.
// (The matrices themselves are checked against ffmpeg's own turn in frame_cli_test.)
struct TagCase {
    const char* name;
    bool identityMatrix;  // the stream also has a display matrix that keeps the frame as coded
    const char* tag;      // nullptr: no tag
    rules::Orientation turn;
};
void PrintTo(const TagCase& c, std::ostream* os) {
    *os << c.name;
}

class DisplayTurn : public testing::TestWithParam<TagCase> {};

TEST_P(DisplayTurn, MatrixFirstThenTag) {
    const TagCase& c = GetParam();
    const int32_t identity[9] = {1 << 16, 0, 0, 0, 1 << 16, 0, 0, 0, 1 << 30};
    EXPECT_EQ(wm::displayTurn(c.identityMatrix ? identity : nullptr, c.tag), c.turn);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, DisplayTurn,
    testing::Values(TagCase{"Nothing", false, nullptr, {}}, TagCase{"Ninety", false, "90", {1, false}},
                    TagCase{"Decimal", false, "180.0", {2, false}},
                    TagCase{"Negative", false, "-90", {3, false}},
                    TagCase{"Spaces", false, " 270 ", {3, false}},
                    TagCase{"MoreThanATurn", false, "450", {1, false}}, TagCase{"MatrixWins", true, "90", {}},
                    TagCase{"Word", false, "ninety", {}}, TagCase{"NumberThenText", false, "90deg", {}},
                    TagCase{"Empty", false, "", {}}, TagCase{"NotANumber", false, "nan", {}},
                    TagCase{"Infinite", false, "inf", {}}, TagCase{"Huge", false, "1e300", {}}),
    [](const testing::TestParamInfo<TagCase>& i) { return std::string(i.param.name); });

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
