// HDR and tagged SDR videos end to end: the mark in the video's own signal, depth and light, the
// HDR metadata kept, and the frames the windows show of an HDR video.
#include "bmp_file.h"
#include "encoder_run.h"

#include "rules/mark_colour.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

using Args = std::vector<std::string>;

constexpr int kW = 320, kH = 240;
// The test logo (encoder_run.h) at the top-left corner: red at x 0-29, white at 30-59, y 0-39.
constexpr int kRedX = 14, kWhiteX = 44, kLogoY = 20;

// A flat grey source of w x h, 10-bit `lum` left of x 160 and the reference white (HLG 0.75, 721)
// right of it when `bits` is 10; 8-bit `lum` everywhere otherwise.
Args flat(int w, int h, int bits, int lum) {
    const std::string fmt = bits == 10 ? "yuv420p10le" : "yuv420p";
    const std::string mid = bits == 10 ? "512" : "128";
    const std::string l =
        bits == 10 ? "if(lt(X\\," + std::to_string(kW / 2) + ")\\," + std::to_string(lum) + "\\,721)"
                   : std::to_string(lum);
    return {"-f",  "lavfi",
            "-i",  "nullsrc=s=" + std::to_string(w) + "x" + std::to_string(h) + ":r=25:d=1",
            "-vf", "format=" + fmt + ",geq=lum=" + l + ":cb=" + mid + ":cr=" + mid};
}
Args join(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Args kX265 = {"-c:v",        "libx265",          "-preset", "ultrafast",   "-pix_fmt",
                    "yuv420p10le", "-color_primaries", "bt2020",  "-colorspace", "bt2020nc"};
const char kMasterDisplay[] = "G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,50)";

// A phone's HLG clip, recorded on its side (the turn set on a copy: ffmpeg drops it while encoding).
std::string hlgPhone() {
    const std::string upright = enc_test::fixture(
        "hdr-hlg.mp4", join(join(flat(kW, kH, 10, 450), kX265),
                            {"-x265-params", "log-level=error", "-color_trc", "arib-std-b67"}));
    return enc_test::fixture("hdr-hlg-phone.mp4",
                             {"-i", upright, "-c", "copy", "-metadata:s:v:0", "rotate=90"});
}

// HDR10: PQ with its mastering display and content light level.
std::string pqClip() {
    return enc_test::fixture("hdr-pq10.mp4", join(join(flat(kW, kH, 10, 450), kX265),
                                                  {"-x265-params",
                                                   std::string("log-level=error:master-display=") +
                                                       kMasterDisplay + ":max-cll=1000,400",
                                                   "-color_trc", "smpte2084"}));
}

struct Ycc {
    int y, cb, cr;
};

// The first frame as coded (not turned), 4:2:0 at 8 or 10 bits, read back by ffmpeg.
class Frame {
public:
    Frame(const std::string& file, int w, int h, int bits) : w_(w), h_(h), wide_(bits > 8) {
        data_ =
            enc_test::run("ffmpeg", {"-loglevel", "error", "-noautorotate", "-i", file, "-frames:v", "1",
                                     "-f", "rawvideo", "-pix_fmt", wide_ ? "yuv420p10le" : "yuv420p", "-"})
                .output;
    }
    bool whole() const { return data_.size() == size_t(w_ * h_ * 3 / 2) * (wide_ ? 2 : 1); }
    Ycc at(int x, int y) const {
        const size_t luma = size_t(w_ * h_), chroma = luma / 4;
        const size_t c = size_t((y / 2) * (w_ / 2) + x / 2);
        return {sample(size_t(y * w_ + x)), sample(luma + c), sample(luma + chroma + c)};
    }
    int sample(size_t i) const {
        if (!wide_) return static_cast<unsigned char>(data_[i]);
        uint16_t v;
        std::memcpy(&v, data_.data() + 2 * i, 2);
        return v;
    }

private:
    int w_, h_;
    bool wide_;
    std::string data_;
};

std::string vhook(const std::string& mask, const std::string& key = "000000") {
    return enc_test::hookPath() + " -f " + mask + " -m 1 -t " + key;
}

std::string convert(const std::string& name, const std::string& source, int w, int h,
                    const std::string& ext) {
    const std::string dir = enc_test::scratchFolder(name);
    const std::string mask = dir + "/mask.bmp", result = dir + "/result" + ext;
    if (!enc_test::writeMask(mask, w, h, 0, 0)) return {};
    const auto r = enc_test::runEncoder({"-i", source, "-sameq", "-vhook", vhook(mask), "-y", result});
    EXPECT_TRUE(r.exited && r.status == 0) << r.output;
    return result;
}

struct MarkCase {
    const char* name;
    std::string (*source)();
    int w, h, bits;
    Ycc white, redLow, redHigh;  // the red between the two
    int tolerance;
};
void PrintTo(const MarkCase& c, std::ostream* os) {
    *os << c.name;
}

std::string sdr709() {
    return enc_test::fixture(
        "sdr-bt709-240p.mp4",
        join(flat(kW, kH, 8, 100), {"-c:v", "libx264", "-preset", "veryfast", "-color_primaries", "bt709",
                                    "-color_trc", "bt709", "-colorspace", "bt709"}));
}
std::string untagged720() {
    return enc_test::fixture("sdr-untagged-720p.mp4",
                             join(flat(1280, 720, 8, 100), {"-c:v", "libx264", "-preset", "veryfast"}));
}

class MarkColour : public testing::TestWithParam<MarkCase> {};

// HDR: white at the reference white, not the signal's peak (940), and sRGB's red, not BT.2020's
// primary (294, 387, 960); SDR: BT.709 as the tags say, or as players take untagged HD.
TEST_P(MarkColour, IsTheLogosColourInTheVideosSignal) {
    const MarkCase& c = GetParam();
    const std::string source = c.source();
    const std::string result = convert(std::string("mark-colour-") + c.name, source, c.w, c.h, ".mp4");
    const Frame got(result, c.w, c.h, c.bits), before(source, c.w, c.h, c.bits);
    ASSERT_TRUE(got.whole() && before.whole());
    const Ycc white = got.at(kWhiteX, kLogoY), red = got.at(kRedX, kLogoY);
    EXPECT_NEAR(white.y, c.white.y, c.tolerance);
    EXPECT_NEAR(white.cb, c.white.cb, c.tolerance);
    EXPECT_NEAR(white.cr, c.white.cr, c.tolerance);
    EXPECT_GE(red.y, c.redLow.y - c.tolerance);
    EXPECT_LE(red.y, c.redHigh.y + c.tolerance);
    EXPECT_GE(red.cb, c.redLow.cb - c.tolerance);
    EXPECT_LE(red.cb, c.redHigh.cb + c.tolerance);
    EXPECT_GE(red.cr, c.redLow.cr - c.tolerance);
    EXPECT_LE(red.cr, c.redHigh.cr + c.tolerance);
    // Away from the mark the picture is the source's, within the codec's error.
    for (int y = 60; y < c.h; y += 37)
        for (int x = 80; x < c.w; x += 53) {
            const Ycc a = got.at(x, y), b = before.at(x, y);
            EXPECT_NEAR(a.y, b.y, c.tolerance) << x << "," << y;
            EXPECT_NEAR(a.cb, b.cb, c.tolerance) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Videos, MarkColour,
    testing::Values(
        MarkCase{"Hlg", hlgPhone, kW, kH, 10, {721, 512, 512}, {376, 400, 710}, {392, 400, 710}, 6},
        MarkCase{"Pq", pqClip, kW, kH, 10, {572, 512, 512}, {393, 438, 608}, {393, 438, 608}, 5},
        MarkCase{"Bt709Tagged", sdr709, kW, kH, 8, {235, 128, 128}, {63, 102, 240}, {63, 102, 240}, 2},
        MarkCase{
            "Untagged720p", untagged720, 1280, 720, 8, {235, 128, 128}, {63, 102, 240}, {63, 102, 240}, 2}),
    [](const testing::TestParamInfo<MarkCase>& i) { return std::string(i.param.name); });

// What an HDR result keeps: 10 bits, the colour tags, the phone's turn, and HDR10's static
// metadata in the encoder's SEI and, where the container holds it, on the stream.
TEST(HdrResult, KeepsDepthTagsTurnAndStaticMetadata) {
    const std::string hlg = convert("hdr-keep-hlg", hlgPhone(), kW, kH, ".mp4");
    EXPECT_EQ(enc_test::probeValue(hlg, "v:0", "stream=pix_fmt"), "yuv420p10le");
    EXPECT_EQ(enc_test::probeValue(hlg, "v:0", "stream=color_transfer"), "arib-std-b67");
    EXPECT_EQ(enc_test::probeValue(hlg, "v:0", "stream=color_primaries"), "bt2020");
    EXPECT_EQ(enc_test::probeValue(hlg, "v:0", "stream_side_data=rotation"),
              enc_test::probeValue(hlgPhone(), "v:0", "stream_side_data=rotation"));
    EXPECT_NE(enc_test::probeValue(hlg, "v:0", "stream_side_data=rotation"), "");

    std::string mkv;
    for (const char* ext : {".mp4", ".mkv"}) {
        const std::string pq = convert(std::string("hdr-keep-pq") + (ext + 1), pqClip(), kW, kH, ext);
        if (std::string(ext) == ".mkv") mkv = pq;
        EXPECT_EQ(enc_test::probeValue(pq, "v:0", "stream=pix_fmt"), "yuv420p10le") << ext;
        EXPECT_EQ(enc_test::probeValue(pq, "v:0", "stream=color_transfer"), "smpte2084") << ext;
        const auto frameSide =
            enc_test::run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-read_intervals", "%+#1",
                                      "-show_frames", "-of", "flat", pq})
                .output;
        for (const char* want : {"max_luminance=\"10000000/10000\"", "min_luminance=\"50/10000\"",
                                 "red_x=\"34000/50000\"", "green_y=\"34500/50000\"",
                                 "white_point_x=\"15635/50000\"", "max_content=1000", "max_average=400"})
            EXPECT_NE(frameSide.find(want), std::string::npos)
                << ext << " frame side data lacks " << want << ":\n"
                << frameSide;
    }
    // Matroska holds them on the stream too.
    const auto streamSide =
        enc_test::run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                  "stream_side_data", "-of", "flat", mkv})
            .output;
    EXPECT_NE(streamSide.find("max_content=1000"), std::string::npos) << streamSide;
    // Matroska keeps the values as reduced fractions.
    EXPECT_NE(streamSide.find("max_luminance=\"1000/1\""), std::string::npos) << streamSide;
    EXPECT_NE(streamSide.find("red_x=\"17/25\""), std::string::npos) << streamSide;
}

// "MP4 to share" turns the HLG picture to SDR BT.709 first and lays the mark after the turn, at
// SDR white and in BT.709's colours.
TEST(HdrResult, ShareLaysTheMarkAfterTheTurnToSdr) {
    const std::string dir = enc_test::scratchFolder("hdr-share");
    const std::string mask = dir + "/mask.bmp", result = dir + "/wm-result.mp4";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, 0, 0));
    const auto r =
        enc_test::runEncoder({"-i", hlgPhone(), "-sameq", "-vhook", vhook(mask), "-share", "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=color_transfer"), "bt709");
    const Frame got(result, kW, kH, 8);
    ASSERT_TRUE(got.whole());
    const Ycc white = got.at(kWhiteX, kLogoY), red = got.at(kRedX, kLogoY);
    EXPECT_NEAR(white.y, 235, 2);
    EXPECT_NEAR(red.y, 63, 3);
    EXPECT_NEAR(red.cb, 102, 3);
    EXPECT_NEAR(red.cr, 240, 3);
}

// A soft shadow (black at half alpha) over a lossless 10-bit gradient of 256 levels: the blend in
// the video's own depth keeps every level; an 8-bit round trip would merge them by fours.
TEST(HdrResult, SoftShadowKeepsTheGradientsLevels) {
    constexpr int w = 256, h = 64;
    const std::string source = enc_test::fixture(
        "gradient-10bit.mkv", {"-f", "lavfi", "-i", "nullsrc=s=256x64:r=25:d=0.2", "-vf",
                               "format=yuv420p10le,geq=lum=64+3*X:cb=512:cr=512", "-c:v", "ffv1"});
    const std::string dir = enc_test::scratchFolder("soft-shadow");
    const std::string mask = dir + "/mask.bmp", result = dir + "/result.mkv";
    ASSERT_TRUE(enc_test::writeBytes(
        mask, enc_test::bmpFile(w, h, enc_test::kV5Masks, [](int, int y) {
            return y >= 16 && y < 48 ? enc_test::Pixel{0, 0, 0, 128} : enc_test::Pixel{0, 0, 0, 0};
        })));
    const auto r =
        enc_test::runEncoder({"-i", source, "-sameq", "-vhook", vhook(mask, "ff00ff"), "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_EQ(enc_test::probeValue(result, "v:0", "stream=pix_fmt"), "yuv420p10le");
    const Frame got(result, w, h, 10), before(source, w, h, 10);
    ASSERT_TRUE(got.whole() && before.whole());
    std::set<int> shadowLevels, sourceLevels;
    for (int x = 0; x < w; ++x) {
        shadowLevels.insert(got.at(x, 32).y);
        sourceLevels.insert(before.at(x, 32).y);
        EXPECT_LT(got.at(x, 32).y, before.at(x, 32).y + 1) << x;
        EXPECT_EQ(got.at(x, 4).y, before.at(x, 4).y) << x;  // outside the shadow: as it was
    }
    EXPECT_EQ(sourceLevels.size(), size_t(w));
    EXPECT_GE(shadowLevels.size(), sourceLevels.size());
}

// The frame behind the canvas and the proof frame of an HDR video: tone-mapped as a player shows
// it on an ordinary screen. The video's reference white and the mark's white come out alike, as
// the canvas draws the mark (rules::shownOnSdr), not as the raw signal's grey (191).
TEST(HdrFrame, ShowsTheVideoAndTheMarkAsAnSdrScreenDoes) {
    const std::string dir = enc_test::scratchFolder("hdr-frame");
    const std::string mask = dir + "/mask.bmp";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, 0, 0));
    const rules::VideoColour hlg = rules::videoColourOf(9, 18, 9, kH);
    const auto white = rules::shownOnSdr(255, 255, 255, hlg);
    const auto red = rules::shownOnSdr(255, 0, 0, hlg);
    for (const std::string& source : {hlgPhone(), pqClip()}) {
        const std::string proof = dir + "/proof.bmp";
        const auto r = enc_test::runEncoder(
            {"-ss", "0.2", "-i", source, "-vhook", vhook(mask), "-vframes", "1", "-y", proof});
        ASSERT_TRUE(r.exited && r.status == 0) << r.output;
        const std::string rgb = enc_test::run("ffmpeg", {"-loglevel", "error", "-i", proof, "-f", "rawvideo",
                                                         "-pix_fmt", "rgb24", "-"})
                                    .output;
        ASSERT_EQ(rgb.size(), size_t(kW * kH * 3)) << source;
        const auto px = [&](int x, int y, int c) {
            return int(static_cast<unsigned char>(rgb[size_t((y * kW + x) * 3 + c)]));
        };
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(px(kWhiteX, kLogoY, c), white[size_t(c)], 3)
                << source << " mark white, channel " << c;
            EXPECT_NEAR(px(kRedX, kLogoY, c), red[size_t(c)], 4) << source << " mark red, channel " << c;
        }
        // The HLG clip's right half is its reference white (0.75), shown as the mark's white.
        if (source == hlgPhone()) {
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(px(240, 120, c), white[size_t(c)], 3)
                    << "the video's reference white, channel " << c;
        }
        std::filesystem::remove(proof);
    }
}

}  // namespace
