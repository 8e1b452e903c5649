// The one-frame command the positioning window runs: the frame shown at a time, as ffmpeg's
// accurate seek finds it, written as a BMP; and its refusals.
#include "bmp_file.h"
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

using Args = std::vector<std::string>;
using enc_test::fixture;
using enc_test::runEncoder;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A test pattern whose hue turns by 45 degrees each frame: a neighbouring frame is about 10 dB
// away from the wanted one, far below the 35 dB a match needs.
Args turning(const char* generator, const char* size, int seconds) {
    return {"-f", "lavfi", "-i",
            std::string(generator) + "=size=" + size + ":rate=25:duration=" + std::to_string(seconds) +
                ",hue=h=n*45"};
}
Args with(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Keyframes at 0 and 10 s only.
std::string farKeysMp4() {
    return fixture("frame-far-keys.mp4",
                   with(turning("testsrc2", "320x240", 12),
                        {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-x264-params",
                         "keyint=250:min-keyint=250:scenecut=0"}));
}
// MPEG-4 with B-frames in AVI: no presentation times in the file, and the keyframe at 10 s opens
// a group whose first frames shown refer to the frame before it. An odd width pads the BMP rows.
std::string farKeysAvi() {
    return fixture("frame-far-keys.avi", with(turning("testsrc", "321x241", 12),
                                              {"-c:v", "mpeg4", "-q:v", "3", "-g", "250", "-bf", "2"}));
}
std::string taggedMp4(const char* name, const Args& tags) {
    return fixture(name, with(turning("testsrc2", "320x240", 2),
                              with({"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"}, tags)));
}

// MPEG-TS and MPEG-PS, which have no index and seek by timestamps: one keyframe only, at the start.
std::string sparseTs() {
    return fixture("frame-sparse.ts",
                   with(turning("testsrc2", "320x240", 3),
                        {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"}));
}
std::string programStream() {
    return fixture("frame-ps.mpg",
                   with(turning("testsrc2", "320x240", 3), {"-c:v", "mpeg2video", "-q:v", "3"}));
}

struct Picture {
    int width = 0, height = 0;
    std::string rgb;  // top-down R G B rows, no padding
};

// Reads the BMP the encoder wrote, checking every header field the windows' reader relies on.
Picture readBmp(const std::string& path) {
    const std::string f = readAll(path);
    auto le = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint32_t(uint8_t(f[at + size_t(i)])) << (8 * i);
        return v;
    };
    Picture p;
    EXPECT_GE(f.size(), 54u);
    if (f.size() < 54) return p;
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(le(10, 4), 54u);
    EXPECT_EQ(le(14, 4), 40u);
    EXPECT_EQ(le(26, 2), 1u);
    EXPECT_EQ(le(28, 2), 24u);
    EXPECT_EQ(le(30, 4), 0u);
    const int32_t w = int32_t(le(18, 4)), h = int32_t(le(22, 4));
    EXPECT_GT(h, 0);  // bottom-up
    const size_t row = (size_t(w) * 3 + 3) / 4 * 4;
    EXPECT_EQ(le(2, 4), f.size());
    EXPECT_EQ(f.size(), 54 + row * size_t(h));
    if (w <= 0 || h <= 0 || f.size() != 54 + row * size_t(h)) return p;
    p.width = w, p.height = h;
    for (int y = 0; y < h; ++y) {
        const char* line = f.data() + 54 + row * size_t(h - 1 - y);
        for (int x = 0; x < w; ++x)
            p.rgb += {line[3 * x + 2], line[3 * x + 1], line[3 * x]};
    }
    return p;
}

double psnr(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(uint8_t(a[i])) - double(uint8_t(b[i]));
        sum += d * d;
    }
    const double mse = sum / double(a.size());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// ---------------------------------------------------------------------------------------------
// The frame at a time is the one ffmpeg's accurate seek gives.

struct FrameCase {
    const char* name;
    std::string (*source)();
    const char* seconds;  // nullptr: no -ss
    Args ffmpeg;          // ffmpeg's options before its -i for the same frame
    bool last = false;    // ffmpeg's frame is the last one it writes
    const char* size = "320x240";
};
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class Frame : public testing::TestWithParam<FrameCase> {};

TEST_P(Frame, IsTheFrameFfmpegSeeksTo) {
    const FrameCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("frame-") + c.name);
    const std::string video = c.source(), ours = dir + "/frame.bmp", theirs = dir + "/ffmpeg.rgb";
    Args args = {"-i", video, "-vframes", "1", "-y", ours};
    if (c.seconds) args.insert(args.begin(), {"-ss", c.seconds});
    const auto r = runEncoder(args);
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_NE(r.output.find("Input #0"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find(" @ 0x"), std::string::npos) << r.output;  // no library lines

    Args ff = with(with({"-hide_banner", "-v", "error", "-nostdin"}, c.ffmpeg), {"-i", video});
    if (!c.last) ff = with(ff, {"-frames:v", "1"});
    ff = with(ff, {"-f", "rawvideo", "-pix_fmt", "rgb24", "-y", theirs});
    const auto f = enc_test::run("ffmpeg", ff);
    ASSERT_EQ(f.status, 0) << f.output;

    const Picture p = readBmp(ours);
    EXPECT_EQ(std::to_string(p.width) + "x" + std::to_string(p.height), c.size);
    std::string expected = readAll(theirs);
    ASSERT_GE(expected.size(), p.rgb.size());
    if (c.last) expected = expected.substr(expected.size() - p.rgb.size());
    EXPECT_GE(psnr(p.rgb, expected.substr(0, p.rgb.size())), 35.0);
}

const Args kFromStart;  // ffmpeg without -ss: its first frame
INSTANTIATE_TEST_SUITE_P(
    Times, Frame,
    testing::Values(FrameCase{"Mp4NoTime", farKeysMp4, nullptr, kFromStart},
                    FrameCase{"Mp4Zero", farKeysMp4, "0", {"-ss", "0"}},
                    FrameCase{"Mp4MidGroup", farKeysMp4, "3.7", {"-ss", "3.7"}},
                    FrameCase{"Mp4BeforeKeyframe", farKeysMp4, "9.95", {"-ss", "9.95"}},
                    FrameCase{"Mp4AfterKeyframe", farKeysMp4, "10.04", {"-ss", "10.04"}},
                    FrameCase{"Mp4PastTheEnd", farKeysMp4, "30", {"-sseof", "-0.5"}, true},
                    // ffmpeg's own seek to 0 in this file lands on a later frame; its first frame is the one.
                    FrameCase{"AviZero", farKeysAvi, "0", kFromStart, false, "321x241"},
                    FrameCase{"AviMidGroup", farKeysAvi, "3.7", {"-ss", "3.7"}, false, "321x241"},
                    FrameCase{"AviBeforeKeyframe", farKeysAvi, "9.95", {"-ss", "9.95"}, false, "321x241"},
                    FrameCase{
                        "AviShownBeforeTheKeyframe", farKeysAvi, "10.04", {"-ss", "10.04"}, false, "321x241"},
                    FrameCase{"AviPastTheEnd", farKeysAvi, "1e6", {"-sseof", "-0.5"}, true, "321x241"},
                    // ffmpeg's own seek finds no frame in such a file: its whole decode's last one.
                    FrameCase{"TsPastTheEnd", sparseTs, "9", kFromStart, true},
                    FrameCase{"PsPastTheEnd", programStream, "1e6", kFromStart, true},
                    FrameCase{"Bt709",
                              [] {
                                  return taggedMp4("frame-bt709.mp4", {"-colorspace", "bt709"});
                              },
                              "1.2",
                              {"-ss", "1.2"}},
                    FrameCase{"FullRange",
                              [] {
                                  return taggedMp4("frame-full-range.mp4", {"-color_range", "pc"});
                              },
                              "1.2",
                              {"-ss", "1.2"}},
                    // Coded size and orientation, as the window's mask: the rotation hint is left alone.
                    FrameCase{"RotationHintIgnored",
                              [] {
                                  return fixture("frame-rotated.mp4", {"-i", farKeysMp4(), "-c", "copy",
                                                                       "-metadata:s:v:0", "rotate=90"});
                              },
                              "3.7",
                              {"-noautorotate", "-ss", "3.7"}}),
    [](const testing::TestParamInfo<FrameCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------------------------
// Refusals: one line that says why, a non-zero exit, and no picture (nor part of one) left.

struct RefusalCase {
    const char* name;
    const char* expected;  // part of the console text
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class Refusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, ExplainsAndWritesNothing) {
    const RefusalCase& c = GetParam();
    const std::string n = c.name;
    const std::string dir = enc_test::scratchFolder("frame-refusal-" + n);
    std::string video = farKeysMp4(), seconds = "3.7", frames = "1", out = dir + "/frame.bmp";
    bool overwrite = true;
    if (n == "TimeNotANumber") seconds = "3,7";
    if (n == "NegativeTime") seconds = "-2";
    if (n == "NaNTime") seconds = "NaN";
    if (n == "InfiniteTime") seconds = "inf";
    if (n == "NoVideo") video = fixture("frame-tone.wav", {"-f", "lavfi", "-i", "sine=duration=1"});
    if (n == "MissingInput") video = dir + "/none.mp4";
    if (n == "UnreadableInput") std::ofstream(video = dir + "/notes.mp4") << "just some words, not a video\n";
    if (n == "MissingFolder") out = dir + "/no/such/folder/frame.bmp";
    if (n == "FileAsFolder") {
        std::ofstream(dir + "/plain") << "x";
        out = dir + "/plain/frame.bmp";
    }
    if (n == "ExistingWithoutY") {
        std::ofstream(out) << "an earlier picture";
        overwrite = false;
    }
    if (n == "TwoFrames") frames = "2";
    if (n == "NotBmp") out = dir + "/frame.png";

    Args args = {"-ss", seconds, "-i", video, "-vframes", frames, out};
    if (overwrite) args.insert(args.end() - 1, "-y");
    const auto r = runEncoder(args);
    ASSERT_TRUE(r.exited) << "crashed: " << r.output;
    EXPECT_NE(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    if (n == "ExistingWithoutY")
        EXPECT_EQ(readAll(out), "an earlier picture");
    else
        EXPECT_FALSE(std::filesystem::exists(out));
    for (const auto& e : std::filesystem::directory_iterator(dir))  // no part file left behind
        EXPECT_EQ(e.path().filename().string().find(".wmpart-"), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Refusal,
    testing::Values(
        RefusalCase{"TimeNotANumber", "Invalid time '3,7' for option 'ss'"},
        RefusalCase{"NegativeTime", "Invalid time '-2'"}, RefusalCase{"NaNTime", "Invalid time 'NaN'"},
        RefusalCase{"InfiniteTime", "Invalid time 'inf'"}, RefusalCase{"NoVideo", "holds no video stream"},
        RefusalCase{"MissingInput", "No such file or directory"},
        RefusalCase{"UnreadableInput", "Invalid data found"},
        RefusalCase{"MissingFolder", "No such file or directory"},
        RefusalCase{"FileAsFolder", "Not a directory"},
        RefusalCase{"ExistingWithoutY", "already exists; give -y to overwrite it"},
        RefusalCase{"TwoFrames", "Only one frame can be written"}, RefusalCase{"NotBmp", "name it .bmp"}),
    [](const testing::TestParamInfo<RefusalCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------------------------
// An input that cannot seek (a pipe) is read from its start; a stop while it is read leaves nothing.

std::string farKeysTs() {
    return fixture("frame-far-keys.ts", with(turning("testsrc2", "320x240", 12),
                                             {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                                              "-x264-params", "keyint=250:min-keyint=250:scenecut=0"}));
}

TEST(FramePipe, SameFrameAsFromTheFile) {
    const std::string dir = enc_test::scratchFolder("frame-pipe");
    const std::string source = farKeysTs(), fifo = dir + "/feed.ts";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto r = runEncoder({"-ss", "9.95", "-i", source, "-vframes", "1", dir + "/file.bmp"});
    ASSERT_EQ(r.status, 0) << r.output;
    // The whole file at once; the encoder has its frame before the end and needs no end of file.
    enc_test::FifoFeeder feeder(fifo, source, std::filesystem::file_size(source));
    r = runEncoder({"-ss", "9.95", "-i", fifo, "-vframes", "1", dir + "/pipe.bmp"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readAll(dir + "/pipe.bmp"), readAll(dir + "/file.bmp"));
}

TEST(FramePipe, StopWhileReadingLeavesNoPicture) {
    const std::string dir = enc_test::scratchFolder("frame-pipe-stop");
    const std::string source = farKeysTs(), fifo = dir + "/feed.ts", out = dir + "/frame.bmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Held still a third of the way in, well before the wanted time.
    enc_test::FifoFeeder feeder(fifo, source, std::filesystem::file_size(source) / 3);
    enc_test::Child child({"-ss", "11", "-i", fifo, "-vframes", "1", "-y", out});
    ASSERT_NE(child.readUntil("Input #0", 20'000).find("Input #0"), std::string::npos);
    usleep(300'000);
    ASSERT_EQ(kill(child.pid(), SIGTERM), 0);  // our own child, by its id
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(10'000, r)) << "ignored the signal";
    EXPECT_TRUE(r.exited && r.status == 128 + SIGTERM) << r.output;
    EXPECT_NE(r.output.find("Stopped by signal 15; nothing was written."), std::string::npos) << r.output;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find("frame.bmp"), std::string::npos) << e.path();
}

// A pipe nobody writes to: the description gives up with a reason instead of waiting for ever.
TEST(FramePipe, APipeNobodyWritesToIsRefused) {
    const std::string dir = enc_test::scratchFolder("frame-pipe-silent");
    const std::string fifo = dir + "/silent.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    enc_test::Child child({"-i", fifo});
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(30'000, r)) << "still waiting for the pipe";
    EXPECT_TRUE(r.exited && r.status == 1) << r.output;
    EXPECT_NE(r.output.find("is a pipe nothing was written to"), std::string::npos) << r.output;
}

// ---------------------------------------------------------------------------------------------
// A video shown turned: the description says how, and -upright writes the frame as players show
// it, every pixel moved whole.

// 66x38 keeps the fixtures small and pads the rows of both the coded and the turned picture.
std::string unturnedMp4() {
    return fixture("turn-none.mp4", with(turning("testsrc2", "66x38", 2),
                                         {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"}));
}

// Debian's ffmpeg (5.1) stores "-metadata:s:v:0 rotate=N" on a copy as a display matrix that
// turns the frame N degrees anticlockwise: ffprobe reads it as "rotation=N", and ffmpeg's own
// decode turns it left. So a tag of 90 is shown turned 270 degrees clockwise, and a tag of 270
// writes a phone's usual quarter turn to the right.
std::string rotatedCopy(int degrees) {
    const std::string d = std::to_string(degrees);
    return fixture("turn-tag-" + d + ".mp4",
                   {"-i", unturnedMp4(), "-c", "copy", "-metadata:s:v:0", "rotate=" + d});
}

// An older file's "rotate" tag without a matrix: Matroska keeps it as a plain tag (ffmpeg turns
// only the lower-case name into a matrix). It reads as degrees clockwise; Debian's ffmpeg ignores
// it when decoding.
std::string tagOnlyMkv() {
    return fixture("turn-tag-only.mkv", {"-i", unturnedMp4(), "-c", "copy", "-metadata:s:v:0", "ROTATE=90"});
}

uint32_t bigEndian(const std::string& f, size_t at) {
    return uint32_t(uint8_t(f[at])) << 24 | uint32_t(uint8_t(f[at + 1])) << 16 |
           uint32_t(uint8_t(f[at + 2])) << 8 | uint32_t(uint8_t(f[at + 3]));
}

// Where the first video track's header matrix starts in an MP4, found by walking the boxes.
std::optional<size_t> trackMatrixAt(const std::string& f) {
    auto box = [&](size_t from, size_t end, const char* type) -> std::optional<std::pair<size_t, size_t>> {
        while (from + 8 <= end) {
            uint64_t size = bigEndian(f, from);
            size_t head = 8;
            if (size == 1 && from + 16 <= end)
                size = uint64_t(bigEndian(f, from + 8)) << 32 | bigEndian(f, from + 12), head = 16;
            if (size == 0) size = end - from;
            if (size < head || from + size > end) return std::nullopt;
            if (f.compare(from + 4, 4, type) == 0) return std::make_pair(from + head, from + size);
            from += size;
        }
        return std::nullopt;
    };
    const auto moov = box(0, f.size(), "moov");
    if (!moov) return std::nullopt;
    const auto trak = box(moov->first, moov->second, "trak");
    if (!trak) return std::nullopt;
    const auto tkhd = box(trak->first, trak->second, "tkhd");
    if (!tkhd) return std::nullopt;
    // Version and flags, the times and ids (wider in version 1), reserved, layer, group, volume.
    const size_t at = tkhd->first + 4 + (f[tkhd->first] == 1 ? 32 : 20) + 16;
    if (at + 36 > tkhd->second) return std::nullopt;
    return at;
}

// The untagged clip with its track's display matrix set by hand to (a b; c d), in units of one:
// the mirrored turns, which ffmpeg's command line cannot write.
std::string matrixMp4(const std::string& name, int a, int b, int c, int d) {
    const std::string folder = std::filesystem::path(unturnedMp4()).parent_path().string();
    const std::string path = folder + "/" + name;
    if (std::filesystem::exists(path)) return path;
    std::string f = readAll(unturnedMp4());
    const std::optional<size_t> at = trackMatrixAt(f);
    if (!at) throw std::runtime_error("no track header in " + unturnedMp4());
    const int32_t m[9] = {a << 16, b << 16, 0, c << 16, d << 16, 0, 0, 0, 1 << 30};
    for (int i = 0; i < 9; ++i)
        for (int k = 0; k < 4; ++k)
            f[*at + size_t(4 * i + k)] = char(uint32_t(m[i]) >> (24 - 8 * k));
    const std::string tmp = folder + "/.tmp-" + std::to_string(getpid()) + "-" + name;
    std::ofstream(tmp, std::ios::binary) << f;
    std::filesystem::rename(tmp, path);
    return path;
}

struct TurnCase {
    const char* name;
    std::string (*source)();
    const char* display;  // the description's line; nullptr: none
    const char* size;     // of the upright picture
    const char* filter;   // ffmpeg's filter for the same turn of the coded picture
    bool ffmpegTurns;     // ffmpeg's own decode turns it (else it is given the filter)
};
void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << c.name;
}

class Turned : public testing::TestWithParam<TurnCase> {};

TEST_P(Turned, DescribedAndWrittenAsShown) {
    const TurnCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("turned-") + c.name);
    const std::string video = c.source(), coded = dir + "/coded.bmp", upright = dir + "/upright.bmp";

    const auto probe = runEncoder({"-i", video});
    const size_t line = probe.output.find("      Display: ");
    if (c.display) {
        ASSERT_NE(line, std::string::npos) << probe.output;
        // Right after the video's line, whole.
        EXPECT_EQ(probe.output.rfind('\n', line), probe.output.find('\n', probe.output.find("Video: ")));
        EXPECT_EQ(probe.output.substr(line, probe.output.find('\n', line) - line), c.display) << probe.output;
    } else {
        EXPECT_EQ(line, std::string::npos) << probe.output;
    }

    auto r = runEncoder({"-ss", "0.5", "-i", video, "-vframes", "1", "-y", coded});
    ASSERT_EQ(r.status, 0) << r.output;
    r = runEncoder({"-ss", "0.5", "-i", video, "-vframes", "1", "-upright", "-y", upright});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(std::string("Frame ") + c.size + ", shown at "), std::string::npos) << r.output;
    const Picture p = readBmp(upright);
    EXPECT_EQ(std::to_string(p.width) + "x" + std::to_string(p.height), c.size);
    if (!c.display) {
        EXPECT_EQ(readAll(upright), readAll(coded));  // as coded, byte for byte
    }

    // As ffmpeg shows the video, within its own colour conversion.
    Args ff = {"-hide_banner", "-v", "error", "-nostdin", "-ss", "0.5", "-i", video, "-frames:v", "1"};
    if (!c.ffmpegTurns) ff = with(ff, {"-vf", c.filter});
    const auto f =
        enc_test::run("ffmpeg", with(ff, {"-f", "rawvideo", "-pix_fmt", "rgb24", "-y", dir + "/ffmpeg.rgb"}));
    ASSERT_EQ(f.status, 0) << f.output;
    EXPECT_GE(psnr(p.rgb, readAll(dir + "/ffmpeg.rgb")), 35.0);

    // Exactly the coded picture's pixels, moved as ffmpeg's filter moves them.
    const auto t =
        enc_test::run("ffmpeg", {"-hide_banner", "-v", "error", "-nostdin", "-i", coded, "-vf", c.filter,
                                 "-f", "rawvideo", "-pix_fmt", "rgb24", "-y", dir + "/moved.rgb"});
    ASSERT_EQ(t.status, 0) << t.output;
    EXPECT_TRUE(p.rgb == readAll(dir + "/moved.rgb"));
}

INSTANTIATE_TEST_SUITE_P(
    Turns, Turned,
    testing::Values(TurnCase{"Untagged", unturnedMp4, nullptr, "66x38", "null", true},
                    TurnCase{"Tag90", [] { return rotatedCopy(90); },
                             "      Display: rotate 270, shown 38x66", "38x66", "transpose=cclock", true},
                    TurnCase{"Tag180", [] { return rotatedCopy(180); },
                             "      Display: rotate 180, shown 66x38", "66x38", "hflip,vflip", true},
                    TurnCase{"Tag270", [] { return rotatedCopy(270); },
                             "      Display: rotate 90, shown 38x66", "38x66", "transpose=clock", true},
                    TurnCase{"Mirror", [] { return matrixMp4("turn-mirror.mp4", -1, 0, 0, 1); },
                             "      Display: mirror, shown 66x38", "66x38", "hflip", true},
                    TurnCase{"UpsideDown", [] { return matrixMp4("turn-upside-down.mp4", 1, 0, 0, -1); },
                             "      Display: rotate 180, mirror, shown 66x38", "66x38", "vflip", true},
                    TurnCase{"Transposed", [] { return matrixMp4("turn-transposed.mp4", 0, 1, 1, 0); },
                             "      Display: rotate 270, mirror, shown 38x66", "38x66",
                             "transpose=cclock_flip", true},
                    TurnCase{"MirrorRight", [] { return matrixMp4("turn-mirror-right.mp4", 0, -1, -1, 0); },
                             "      Display: rotate 90, mirror, shown 38x66", "38x66", "transpose=clock_flip",
                             true},
                    TurnCase{"TagWithoutMatrix", tagOnlyMkv, "      Display: rotate 90, shown 38x66", "38x66",
                             "transpose=clock", false}),
    [](const testing::TestParamInfo<TurnCase>& i) { return std::string(i.param.name); });

}  // namespace

// ---------------------------------------------------------------------------------------------
// The proof frame: -vhook with -vframes 1 lays the mark as the conversion does, so the proof is the
// result's own frame: pixel for pixel on a lossless clip, and turned as players show it.

TEST(ProofFrame, IsTheResultsFrame) {
    const std::string dir = enc_test::scratchFolder("proof-frame");
    const std::string source = fixture("proof-lossless.mkv", with(turning("testsrc2", "160x120", 1),
                                                                  {"-c:v", "ffv1", "-pix_fmt", "yuv444p"}));
    const std::string turned = dir + "/turned.mov";  // Matroska keeps no rotation here
    ASSERT_EQ(std::system(("ffmpeg -v error -i '" + source + "' -c copy -metadata:s:v:0 rotate=90 -y '" +
                           turned + "'")
                              .c_str()),
              0);
    const std::string mask = dir + "/mask.bmp";
    ASSERT_TRUE(enc_test::writeBytes(mask, enc_test::bmpFile(160, 120, enc_test::kBmp24, [](int x, int y) {
                                         return x >= 100 && y >= 80 && x < 150 && y < 110
                                                    ? enc_test::Pixel{255, 0, 0, 255}
                                                    : enc_test::Pixel{0, 0, 255, 255};
                                     })));
    const std::string hook = enc_test::hookPath() + " -f " + mask + " -m 1 -t 0000ff -a 60";
    for (const bool upright : {false, true}) {
        SCOPED_TRACE(upright ? "upright" : "as coded");
        const std::string video = upright ? turned : source;
        const std::string result = dir + (upright ? "/result-turned.mov" : "/result.mkv");
        auto r = runEncoder({"-i", video, "-sameq", "-vhook", hook, "-y", result});
        ASSERT_EQ(r.status, 0) << r.output;
        Args turn = upright ? Args{"-upright"} : Args{};
        r = runEncoder(
            with(with({"-ss", "0.4", "-i", result, "-vframes", "1"}, turn), {"-y", dir + "/of-result.bmp"}));
        ASSERT_EQ(r.status, 0) << r.output;
        r = runEncoder(with(with({"-ss", "0.4", "-i", video, "-vhook", hook, "-vframes", "1"}, turn),
                            {"-y", dir + "/proof.bmp"}));
        ASSERT_EQ(r.status, 0) << r.output;
        const Picture proof = readBmp(dir + "/proof.bmp"), ofResult = readBmp(dir + "/of-result.bmp");
        EXPECT_EQ(proof.width, upright ? 120 : 160);
        // MOV's result is H.264 (FFV1 goes into Matroska only): there the proof is near, not equal.
        if (upright)
            EXPECT_GT(psnr(proof.rgb, ofResult.rgb), 30);
        else
            EXPECT_TRUE(proof.rgb == ofResult.rgb) << "PSNR " << psnr(proof.rgb, ofResult.rgb);
        // And the mark is there: the frame's own is not the proof.
        r = runEncoder(
            with(with({"-ss", "0.4", "-i", video, "-vframes", "1"}, turn), {"-y", dir + "/plain.bmp"}));
        EXPECT_LT(psnr(readBmp(dir + "/plain.bmp").rgb, proof.rgb), 30);
    }
}
