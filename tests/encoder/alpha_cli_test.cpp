// The encoder with a 32-bit mask: a conversion read back through ffmpeg, and masks it must refuse.
#include "bmp_file.h"
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using enc_test::BmpForm;
using enc_test::Pixel;
using Args = std::vector<std::string>;

constexpr int kW = 160, kH = 120;

// One grey second, which MPEG-4 keeps close to exact.
std::string greySource() {
    return enc_test::fixture("grey-160x120.avi",
                             {"-f", "lavfi", "-i", "color=c=0x808080:size=160x120:rate=25:duration=1", "-c:v",
                              "mpeg4", "-q:v", "2"});
}

std::string vhook(const std::string& mask, const std::string& more = "") {
    return enc_test::hookPath() + " -f " + mask + " -m 1 -t 000000" + more;
}

std::string rgbFrame(const std::string& file, int index) {
    return enc_test::run("ffmpeg", {"-loglevel", "quiet", "-i", file, "-vf",
                                    "select=eq(n\\," + std::to_string(index) + ")", "-frames:v", "1", "-f",
                                    "rawvideo", "-pix_fmt", "rgb24", "-"})
        .output;
}

// Squares of 32 pixels at y 16: red at alpha 255, 128 and 0, and black (the key) at alpha 255;
// transparent elsewhere.
Pixel markAt(int x, int y) {
    if (y < 16 || y >= 48) return Pixel{0, 0, 0, 0};
    if (x >= 16 && x < 48) return Pixel{255, 0, 0, 255};
    if (x >= 64 && x < 96) return Pixel{255, 0, 0, 128};
    if (x >= 112 && x < 144) return Pixel{255, 0, 0, 0};
    return Pixel{0, 0, 0, 255};
}

TEST(AlphaConversion, MarkMixedByAlphaAndOpacity) {
    const std::string source = greySource();
    const std::string dir = enc_test::scratchFolder("alpha-conversion");
    const std::string mask = dir + "/mask.bmp";
    ASSERT_TRUE(enc_test::writeBytes(mask, enc_test::bmpFile(kW, kH, enc_test::kV5Masks, markAt)));

    struct Square {
        int x;
        double share;  // of red at full opacity
    };
    const Square squares[] = {{32, 1}, {80, 128 / 255.0}, {128, 0}, {152, 0}, {100, 0}};
    for (int opacity : {100, 50}) {
        const std::string result = dir + "/result-" + std::to_string(opacity) + ".avi";
        const auto r = enc_test::runEncoder(
            {"-i", source, "-sameq", "-vhook",
             vhook(mask, opacity < 100 ? " -a " + std::to_string(opacity) : ""), "-y", result});
        ASSERT_TRUE(r.exited && r.status == 0) << r.output;
        const std::string frame = rgbFrame(result, 10);
        ASSERT_EQ(frame.size(), size_t(kW * kH * 3));
        for (const Square& s : squares) {
            const double share = s.share * opacity / 100;
            for (int ch = 0; ch < 3; ++ch) {
                const int got = static_cast<unsigned char>(frame[size_t((32 * kW + s.x) * 3 + ch)]);
                const double want = 128 + ((ch == 0 ? 255 : 0) - 128) * share;
                EXPECT_NEAR(got, want, 8) << "opacity " << opacity << ", x " << s.x << ", channel " << ch;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Masks the module refuses: the file and the reason named, a failed run, no result.

struct BadMaskCase {
    const char* name;
    std::vector<uint8_t> file;
    const char* reason;
    std::string more = "";  // further module words
};
void PrintTo(const BadMaskCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<uint8_t> logo(const BmpForm& form, int w = 32, int h = 32) {
    return enc_test::bmpFile(w, h, form, [](int x, int) { return Pixel{255, 0, 0, uint8_t(x * 8)}; });
}
BmpForm form(uint16_t bits, uint32_t infoSize, uint32_t method) {
    return BmpForm{bits, infoSize, method};
}
BmpForm masks(uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t method = 3) {
    return BmpForm{32, 124, method, {r, g, b, a}};
}
std::vector<uint8_t> cut(std::vector<uint8_t> f, size_t size) {
    f.resize(size);
    return f;
}
// A header that claims a w x h picture over 4x4 pixels' bytes.
std::vector<uint8_t> claiming(uint32_t w, uint32_t h) {
    std::vector<uint8_t> f = logo(enc_test::kV5Masks, 4, 4);
    for (int i = 0; i < 4; ++i)
        f[size_t(18 + i)] = uint8_t(w >> (8 * i)), f[size_t(22 + i)] = uint8_t(h >> (8 * i));
    return f;
}

class BadMask : public testing::TestWithParam<BadMaskCase> {};

TEST_P(BadMask, NamesFileAndReasonAndWritesNothing) {
    const BadMaskCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("bad-mask-") + c.name);
    const std::string mask = dir + "/mask.bmp", result = dir + "/result.avi";
    ASSERT_TRUE(enc_test::writeBytes(mask, c.file));
    const auto r =
        enc_test::runEncoder({"-i", greySource(), "-sameq", "-vhook", vhook(mask, c.more), "-y", result});
    ASSERT_TRUE(r.exited) << "crashed: " << r.output;
    EXPECT_NE(r.status, 0) << r.output;
    if (c.more.empty()) {
        EXPECT_NE(r.output.find("mask '" + mask + "': "), std::string::npos) << r.output;
    }
    EXPECT_NE(r.output.find(c.reason), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(result));
    for (const auto& e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadMask,
    testing::Values(
        BadMaskCase{"Truncated32", cut(logo(enc_test::kV5Masks), 1000),
                    "truncated BMP: a 32x32 32-bit BMP needs 4234 bytes, the file has 1000"},
        BadMaskCase{"TruncatedHeader", cut(logo(enc_test::kV5Masks), 100), "truncated BMP header"},
        BadMaskCase{"Rle8", logo(form(8, 40, 1)), "compressed BMP (method 1, RLE8)"},
        BadMaskCase{"Jpeg", logo(form(0, 124, 4)), "compressed BMP (method 4, JPEG)"},
        BadMaskCase{"Png", logo(form(0, 124, 5)), "compressed BMP (method 5, PNG)"},
        BadMaskCase{"AlphaBitFields", logo(form(32, 40, 6)), "compressed BMP (method 6"},
        BadMaskCase{"SixteenBit", logo(form(16, 124, 3)), "16-bit BMP; only 24-bit uncompressed and 32-bit"},
        BadMaskCase{"SwappedMasks", logo(masks(0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000)),
                    "colour masks R 0x000000ff G 0x0000ff00 B 0x00ff0000 A 0xff000000; only"},
        BadMaskCase{"AlphaLow", logo(masks(0xff000000, 0x00ff0000, 0x0000ff00, 0x000000ff)),
                    "colour masks R 0xff000000"},
        BadMaskCase{"UncompressedOddAlpha", logo(masks(0, 0, 0, 0x000000ff, 0)), "alpha mask 0x000000ff"},
        BadMaskCase{"Os2Header", logo(form(32, 64, 0)), "32-bit BMP with a 64-byte header"},
        BadMaskCase{"MorePixelsThanBytes", claiming(16384, 16384),
                    "a 16384x16384 32-bit BMP needs 1073741962 bytes, the file has 202"},
        BadMaskCase{"HugeSize", claiming(0x7fffffff, 0x80000000), "unusable BMP size 2147483647x-2147483648"},
        BadMaskCase{"OpacityTooLow", logo(enc_test::kV5Masks), "opacity '5' is not a whole number", " -a 5"},
        BadMaskCase{"OpacityTwice", logo(enc_test::kV5Masks), "'-a' is given twice", " -a 50 -a 60"},
        BadMaskCase{"OpacityMissing", logo(enc_test::kV5Masks), "'-a' needs a value", " -a"}),
    [](const testing::TestParamInfo<BadMaskCase>& i) { return std::string(i.param.name); });

}  // namespace
