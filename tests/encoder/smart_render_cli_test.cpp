// Smart rendering end to end: a mark from 2.2 s to 3.6 s on 6 s clips with a key frame every
// second and B-frames. Where the source can be joined, the packets outside the groups from 2 s to
// 4 s are the source's byte for byte, the sound is the source's, ffmpeg decodes the whole result
// without a fault, and every frame is the source's but the marked ones; elsewhere the whole video
// is converted, with a note that says why.
#include "encoder/result_check.h"
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Args = std::vector<std::string>;

constexpr int kW = 320, kH = 180, kRate = 25, kFrames = 150;
constexpr int kLogoX = 200, kLogoY = 100;  // the test logo: 60 x 40, red and white halves
constexpr size_t kFrameBytes = size_t(kW) * kH * 3;

// ffmpeg's checksum of each packet of a stream, copied, in the file's order.
std::vector<std::string> packetSums(const std::string& file, const std::string& stream) {
    const auto r = enc_test::run(
        "ffmpeg", {"-v", "error", "-i", file, "-map", "0:" + stream, "-c", "copy", "-f", "framemd5", "-"});
    std::vector<std::string> sums;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') sums.push_back(line.substr(line.find_last_of(' ') + 1));
    return sums;
}

// Every frame as RGB, shown upright; and what ffmpeg's decoder said about it.
struct Decoded {
    std::string frames, faults;
};
Decoded decodeAll(const std::string& file, const std::string& faults) {
    const auto r = enc_test::run(
        "sh", {"-c", "ffmpeg -v error -i \"$0\" -fps_mode passthrough -f rawvideo -pix_fmt rgb24 - 2>\"$1\"",
               file, faults});
    const auto log = enc_test::run("cat", {faults});
    return {r.output, log.output};
}

std::string vhook(const std::string& mask, const std::string& range = " -from 2.2 -until 3.6") {
    return enc_test::hookPath() + " -f " + mask + " -m 1 -t 000000" + range;
}

const unsigned char* frameAt(const std::string& frames, int index) {
    return reinterpret_cast<const unsigned char*>(frames.data()) + size_t(index) * kFrameBytes;
}

bool redLogoAt(const std::string& frames, int index) {
    const unsigned char* p = frameAt(frames, index) + (size_t(kLogoY + 20) * kW + kLogoX + 15) * 3;
    return p[0] > 200 && p[1] < 60 && p[2] < 60;
}

struct Clip {
    const char* name;
    std::string file;
    bool joins;        // smart rendering applies
    const char* note;  // the fallback's reason, when it does not
    bool keysDiffer;   // each copied key frame gets the source's parameter sets in front
};

std::string h264(const std::string& name, const Args& more = {}, int seconds = 6) {
    const std::string d = std::to_string(seconds);
    Args args = {"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=" + d,
                 "-f", "lavfi", "-i", "sine=frequency=440:duration=" + d};
    for (const char* a : {"-c:v", "libx264", "-preset", "veryfast", "-g", "25", "-keyint_min", "25",
                          "-sc_threshold", "0", "-bf", "2", "-pix_fmt", "yuv420p", "-c:a", "aac"})
        args.push_back(a);
    args.insert(args.end(), more.begin(), more.end());
    return enc_test::fixture(name, args);
}

// A phone's clip: 10-bit HEVC, HLG in BT.2020, stored on its side (ffmpeg 5.1 writes the rotation
// as a display matrix on a copy only). Coded with other settings than the stretch's, so that their
// parameter sets differ.
std::string hevcPhoneClip() {
    Args args = {"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=6",
                 "-f", "lavfi", "-i", "sine=frequency=440:duration=6"};
    for (const char* a :
         {"-c:v", "libx265", "-preset", "ultrafast", "-pix_fmt", "yuv420p10le", "-x265-params",
          "keyint=25:min-keyint=25:scenecut=0:bframes=2:open-gop=0:log-level=error", "-color_primaries",
          "bt2020", "-color_trc", "arib-std-b67", "-colorspace", "bt2020nc", "-tag:v", "hvc1", "-c:a", "aac"})
        args.push_back(a);
    const std::string coded = enc_test::fixture("smart-hevc10-fast.mov", args);
    return enc_test::fixture("smart-hevc10-fast-turned.mov",
                             {"-i", coded, "-c", "copy", "-metadata:s:v:0", "rotate=90"});
}

std::vector<Clip> clips() {
    return {
        {"H264Mp4", h264("smart-h264.mp4"), true, nullptr, false},
        {"H264Mkv", h264("smart-h264.mkv"), true, nullptr, false},
        {"Hevc10BitHlgRotatedMov", hevcPhoneClip(), true, nullptr, true},
        // PCM sound: MP3's priming would move AVI's video a frame on.
        {"Mpeg4Avi",
         enc_test::fixture("smart-mpeg4.avi",
                           {"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=6", "-f", "lavfi",
                            "-i", "sine=frequency=440:duration=6", "-c:v", "mpeg4", "-q:v", "3", "-g", "25",
                            "-c:a", "pcm_s16le"}),
         false, "its mpeg4 video cannot be joined to a re-encoded stretch (H.264 and HEVC can)", false},
        {"OpenGopH264", h264("smart-open-gop.mp4", {"-x264-params", "open-gop=1"}), false,
         "its groups of pictures refer across their key frames", false},
    };
}

class SmartRender : public testing::TestWithParam<size_t> {};

TEST_P(SmartRender, CopiesTheUnmarkedGroupsOrSaysWhyNot) {
    const Clip c = clips()[GetParam()];
    const std::string ext = c.file.substr(c.file.find_last_of('.'));
    const std::string dir = enc_test::scratchFolder(std::string("smart-") + c.name);
    const std::string mask = dir + "/mask.bmp", result = dir + "/result" + ext;
    // The rotated clip shows upright 180 x 320: the logo is laid on the frame as decoded.
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    const auto r = enc_test::runEncoder({"-i", c.file, "-sameq", "-vhook", vhook(mask), "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_NE(r.output.find("check: "), std::string::npos) << r.output;

    const auto srcVideo = packetSums(c.file, "v:0"), outVideo = packetSums(result, "v:0");
    ASSERT_EQ(srcVideo.size(), size_t(kFrames));
    ASSERT_EQ(outVideo.size(), srcVideo.size());
    int same = 0;
    for (size_t i = 0; i < srcVideo.size(); ++i)
        same += srcVideo[i] == outVideo[i];
    if (c.joins) {
        EXPECT_NE(r.output.find("Re-encoded 0:02\u20130:04 of 0:06, the rest copied."), std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("re-encoded 0:02\u20130:04 of 0:06, the rest copied\r"), std::string::npos);
        EXPECT_EQ(r.output.find("Note:"), std::string::npos) << r.output;
        // Every packet outside the groups from 2 s to 4 s (50 to 99 in decoding order).
        for (size_t i = 0; i < srcVideo.size(); ++i) {
            const bool stretch = i >= 50 && i < 100;
            if (!stretch && !(c.keysDiffer && i % 25 == 0)) {
                EXPECT_EQ(srcVideo[i], outVideo[i]) << "packet " << i;
            }
        }
        EXPECT_EQ(packetSums(c.file, "a:0"), packetSums(result, "a:0"));
    } else {
        EXPECT_NE(r.output.find(std::string("Note: the whole video is re-encoded: ") + c.note),
                  std::string::npos)
            << r.output;
        EXPECT_EQ(r.output.find("Re-encoded"), std::string::npos) << r.output;
        EXPECT_LT(same, kFrames / 2);
    }

    const Decoded src = decodeAll(c.file, dir + "/source.log"), out = decodeAll(result, dir + "/result.log");
    EXPECT_EQ(out.faults, "");
    ASSERT_EQ(src.frames.size(), kFrameBytes * kFrames);
    ASSERT_EQ(out.frames.size(), src.frames.size());
    // A rotated clip is decoded upright, the logo elsewhere than on the coded frame.
    const bool upright = std::string(c.name).find("Rotated") == std::string::npos;
    if (!upright) {
        EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream_side_data=rotation"), "90");
        EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=color_transfer"), "arib-std-b67");
        EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=profile"), "Main 10");
    }
    for (int i = 0; i < kFrames; ++i) {
        const double t = double(i) / kRate;
        const bool marked = t >= 2.2 - 1e-9 && t < 3.6 - 1e-9;
        if (upright) {
            EXPECT_EQ(redLogoAt(out.frames, i), marked) << "frame at " << t << " s";
        }
        if (c.joins && (t < 2 || t >= 4)) {
            EXPECT_EQ(0, std::memcmp(frameAt(out.frames, i), frameAt(src.frames, i), kFrameBytes))
                << "frame at " << t << " s";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, SmartRender, testing::Range(size_t(0), clips().size()),
                         [](const testing::TestParamInfo<size_t>& i) { return clips()[i.param].name; });

// A stretch at the very start (where Matroska gives the first packets no decoding time) and one
// that runs to the end join as well as one in the middle.
TEST(SmartRenderEnds, IntroAndOutroJoin) {
    const struct {
        const char* range;
        const char* said;
        size_t first, end;  // the packets coded again
    } ranges[] = {{" -until 0.6", "Re-encoded 0:00\u20130:01 of 0:06, the rest copied.", 0, 25},
                  {" -from 4.3 -fade 0.5", "Re-encoded 0:04\u20130:06 of 0:06, the rest copied.", 100, 150}};
    // HEVC after an intro: a decoder that starts at the stretch must still decode the copied groups
    // after it from their own key frames (the check decodes the last one so).
    for (const std::string& source : {h264("smart-h264.mp4"), h264("smart-h264.mkv"), hevcPhoneClip()})
        for (const auto& range : ranges) {
            SCOPED_TRACE(source + range.range);
            const bool hevc = source.find("hevc") != std::string::npos;
            const std::string ext = source.substr(source.find_last_of('.'));
            const std::string dir = enc_test::scratchFolder("smart-ends");
            const std::string mask = dir + "/mask.bmp", result = dir + "/result" + ext;
            ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
            const auto r = enc_test::runEncoder(
                {"-i", source, "-sameq", "-vhook", vhook(mask, range.range), "-y", result});
            ASSERT_TRUE(r.exited && r.status == 0) << r.output;
            EXPECT_NE(r.output.find(range.said), std::string::npos) << r.output;
            EXPECT_NE(r.output.find("check: "), std::string::npos) << r.output;
            const auto a = packetSums(source, "v:0"), b = packetSums(result, "v:0");
            ASSERT_EQ(b.size(), a.size());
            for (size_t i = 0; i < a.size(); ++i)
                if ((i < range.first || i >= range.end) && !(hevc && i % 25 == 0)) {
                    EXPECT_EQ(a[i], b[i]) << "packet " << i;
                }
            const Decoded out = decodeAll(result, dir + "/result.log");
            EXPECT_EQ(out.faults, "");
            EXPECT_EQ(out.frames.size(), kFrameBytes * kFrames);
        }
}

// "-nosmart" codes every frame again: not one packet is the source's.
TEST(SmartRenderOff, NoSmartCodesTheWholeVideo) {
    const std::string source = h264("smart-h264.mp4");
    const std::string dir = enc_test::scratchFolder("smart-off");
    const std::string mask = dir + "/mask.bmp", result = dir + "/result.mp4";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    const auto r =
        enc_test::runEncoder({"-i", source, "-sameq", "-vhook", vhook(mask), "-nosmart", "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_EQ(r.output.find("re-encoded"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Note:"), std::string::npos) << r.output;
    const auto a = packetSums(source, "v:0"), b = packetSums(result, "v:0");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_NE(a[i], b[i]) << "packet " << i;
}

// SIGTERM while the groups before an outro's stretch are copied (the result's folder held up for a
// second once 40 kB are written, so that the stop comes a second or two into a 20 s clip): the part
// holds the source's packets up to the stop, passed its check, and decodes without a fault.
TEST(SmartRenderStop, APartStoppedWhileCopyingPlaysAndChecks) {
    const std::string source = h264("smart-h264-20s.mp4", {}, 20);
    const std::string dir = enc_test::scratchFolder("smart-stop");
    const std::string mask = dir + "/mask.bmp", part = dir + "/result-stopped.mp4";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    enc_test::Child child(
        {"-i", source, "-sameq", "-vhook", vhook(mask, " -from 18"), "-y", dir + "/result.mp4"},
        {.ownGroup = false,
         .env = {"LD_PRELOAD=" WM_STALLING_DISK, "STALLING_DISK_BYTES=40000", "STALLING_DISK_PAUSES=1",
                 "STALLING_DISK_SECONDS=1", "ASAN_OPTIONS=verify_asan_link_order=0"}});
    ASSERT_NE(child.readUntil("disk stalled\n", 60'000).find("disk stalled\n"), std::string::npos);
    ASSERT_EQ(kill(child.pid(), SIGTERM), 0);  // our own child
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(60'000, r)) << "did not end";
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.output;
    EXPECT_NE(r.output.find("check: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("kept as '" + part + "'"), std::string::npos) << r.output;
    const auto src = packetSums(source, "v:0"), kept = packetSums(part, "v:0");
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LT(kept.size(), 450u);  // stopped before the stretch
    for (size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(kept[i], src[i]) << "packet " << i;
    EXPECT_EQ(decodeAll(part, dir + "/part.log").faults, "");
}

// A source read from a pipe gives its packets once: the whole video is coded, as the note says.
TEST(SmartRenderOff, APipedSourceIsCodedWhole) {
    const std::string source = h264("smart-h264.mkv");
    const std::string dir = enc_test::scratchFolder("smart-pipe");
    const std::string mask = dir + "/mask.bmp", fifo = dir + "/feed.mkv", result = dir + "/result.mkv";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    enc_test::FifoFeeder feeder(fifo, source, std::filesystem::file_size(source));
    enc_test::Child child({"-i", fifo, "-sameq", "-vhook", vhook(mask), "-y", result});
    ASSERT_NE(child.readUntil("Output #0", 20'000).find("Output #0"), std::string::npos);
    feeder.release();
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(60'000, r));
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_NE(r.output.find("Note: the whole video is re-encoded: its source is not a file that can be read "
                            "twice (a pipe)"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(packetSums(result, "v:0").size(), size_t(kFrames));
}

// A copy of the clip with a P-frame of its third second damaged: the check's first and last frames
// still decode, but decoding the groups around a stretch from 2 s to 4 s finds the fault.
TEST(SmartRenderCheck, DecodesTheStretchAndAGroupEitherSide) {
    av_log_set_level(AV_LOG_QUIET);  // the decoder's own words about the damage
    const std::string clean = h264("smart-h264.mp4");
    const std::string dir = enc_test::scratchFolder("smart-check"), damaged = dir + "/damaged.mp4";
    std::filesystem::copy_file(clean, damaged);
    const auto where = enc_test::run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                 "packet=pos,size", "-of", "csv=p=0", clean});
    std::istringstream lines(where.output);
    std::string line;
    for (int i = 0; i <= 76 && std::getline(lines, line); ++i) {}
    const long size = std::stol(line), pos = std::stol(line.substr(line.find(',') + 1));  // ffprobe's order
    ASSERT_GT(size, 40);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(pos + size / 4);
        for (long i = 0; i < size / 2; ++i)
            f.put(char(i * 37));
    }
    wm::CheckExpectation expected;
    expected.streams = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO};
    expected.video = {kFrames, 6.0};
    wm::CheckReport report;
    {
        wm::ResultCheck check;
        EXPECT_FALSE(check.run(damaged, expected, report));  // the ends alone decode
    }
    expected.decodeWhole = {50, 100};
    wm::ResultCheck check;
    const wm::Error e = check.run(damaged, expected, report);
    EXPECT_NE(e.message().find("does not decode where the re-encoded stretch is joined"), std::string::npos)
        << e.message();
    expected.decodeWhole = {0, 25};
    wm::ResultCheck early;
    EXPECT_FALSE(early.run(damaged, expected, report)) << "the first group is whole";
}

}  // namespace
