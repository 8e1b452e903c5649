// The mark's colours in the video's own signal, and the way back the windows show an HDR frame with.
#include "rules/mark_colour.h"

#include <gtest/gtest.h>

namespace {

using rules::Matrix;
using rules::Primaries;
using rules::Transfer;
using rules::VideoColour;

struct TagCase {
    const char* name;
    int matrix, transfer, primaries, height;
    Matrix wantMatrix;
    Transfer wantTransfer;
    Primaries wantPrimaries;
};
void PrintTo(const TagCase& c, std::ostream* os) {
    *os << c.name;
}

class VideoTags : public testing::TestWithParam<TagCase> {};

TEST_P(VideoTags, GiveTheColourPlayersShow) {
    const TagCase& c = GetParam();
    const VideoColour v = rules::videoColourOf(c.matrix, c.transfer, c.primaries, c.height);
    EXPECT_EQ(v.matrix, c.wantMatrix);
    EXPECT_EQ(v.transfer, c.wantTransfer);
    EXPECT_EQ(v.primaries, c.wantPrimaries);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, VideoTags,
    testing::Values(
        TagCase{"Bt709", 1, 1, 1, 480, Matrix::Bt709, Transfer::Sdr, Primaries::Bt709},
        TagCase{"Bt601Tagged", 6, 6, 6, 1080, Matrix::Bt601, Transfer::Sdr, Primaries::Bt709},
        TagCase{"Bt470bg", 5, 2, 5, 2160, Matrix::Bt601, Transfer::Sdr, Primaries::Bt709},
        TagCase{"Untagged720", 2, 2, 2, 720, Matrix::Bt709, Transfer::Sdr, Primaries::Bt709},
        TagCase{"Untagged719", 2, 2, 2, 719, Matrix::Bt601, Transfer::Sdr, Primaries::Bt709},
        TagCase{"Hlg", 9, 18, 9, 1080, Matrix::Bt2020, Transfer::Hlg, Primaries::Bt2020},
        TagCase{"Pq", 9, 16, 9, 1080, Matrix::Bt2020, Transfer::Pq, Primaries::Bt2020},
        TagCase{"PqWithoutMatrix", 2, 16, 2, 480, Matrix::Bt2020, Transfer::Pq, Primaries::Bt2020},
        TagCase{"SdrBt2020", 9, 14, 9, 1080, Matrix::Bt2020, Transfer::Sdr, Primaries::Bt2020},
        TagCase{"Bt2020PrimariesOnly", 2, 1, 9, 1080, Matrix::Bt2020, Transfer::Sdr, Primaries::Bt2020}),
    [](const testing::TestParamInfo<TagCase>& i) { return std::string(i.param.name); });

struct CodeCase {
    const char* name;
    VideoColour video;
    int bits;
    bool fullRange;
    uint8_t r, g, b;
    std::array<uint16_t, 3> want;
};
void PrintTo(const CodeCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr VideoColour kHlg{Matrix::Bt2020, Transfer::Hlg, Primaries::Bt2020};
constexpr VideoColour kPq{Matrix::Bt2020, Transfer::Pq, Primaries::Bt2020};
constexpr VideoColour k709{Matrix::Bt709, Transfer::Sdr, Primaries::Bt709};
constexpr VideoColour k601{Matrix::Bt601, Transfer::Sdr, Primaries::Bt709};

class MarkCodes : public testing::TestWithParam<CodeCase> {};

// HDR white at BT.2408's 203 cd/m² (HLG 0.75, PQ 0.58), never at the signal's peak, and sRGB's red
// inside BT.2020, not its primary (294, 387, 960 at 10 bits).
TEST_P(MarkCodes, AreTheVideosOwnSignal) {
    const CodeCase& c = GetParam();
    const auto got = rules::ycbcrCodes(
        rules::ycbcrOf(rules::markSignal(c.r, c.g, c.b, c.video), c.video.matrix), c.bits, c.fullRange);
    EXPECT_EQ(got, c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, MarkCodes,
    testing::Values(CodeCase{"HlgWhite", kHlg, 10, false, 255, 255, 255, {721, 512, 512}},
                    CodeCase{"HlgRed", kHlg, 10, false, 255, 0, 0, {392, 395, 715}},
                    CodeCase{"HlgBlack", kHlg, 10, false, 0, 0, 0, {64, 512, 512}},
                    CodeCase{"PqWhite", kPq, 10, false, 255, 255, 255, {573, 512, 512}},
                    CodeCase{"PqRed", kPq, 10, false, 255, 0, 0, {392, 438, 608}},
                    CodeCase{"Bt709White", k709, 8, false, 255, 255, 255, {235, 128, 128}},
                    CodeCase{"Bt709Red", k709, 8, false, 255, 0, 0, {63, 102, 240}},
                    CodeCase{"Bt601Red", k601, 8, false, 255, 0, 0, {81, 90, 240}},
                    CodeCase{"Bt709Red10Bit", k709, 10, false, 255, 0, 0, {250, 409, 960}},
                    CodeCase{"Bt601FullRange", k601, 8, true, 200, 40, 90, {94, 126, 204}}),
    [](const testing::TestParamInfo<CodeCase>& i) { return std::string(i.param.name); });

TEST(MarkCodes, LightAndSignalGoBothWays) {
    for (double nits : {0.0, 0.01, 1.0, 100.0, 203.0, 1000.0, 10000.0})
        EXPECT_NEAR(rules::lightFromPq(rules::pqFromLight(nits)), nits, nits * 1e-6 + 1e-9);
    for (double e : {0.0, 0.01, 1.0 / 12, 0.3, 1.0})
        EXPECT_NEAR(rules::sceneFromHlg(rules::hlgFromScene(e)), e, 1e-9);
    for (Matrix m : {Matrix::Bt601, Matrix::Bt709, Matrix::Bt2020}) {
        const rules::Rgb3 s{0.7, 0.2, 0.4};
        const rules::Rgb3 back = rules::signalOf(rules::ycbcrOf(s, m), m);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(back[i], s[i], 1e-12);
    }
}

// What the windows draw of a mark: its own colours on SDR; on HDR the way back of its signal, the
// same for HLG and PQ as both put it at the reference white.
TEST(ShownOnSdr, IsTheMarksColourThroughTheWayBack) {
    using Shown = std::array<uint8_t, 3>;
    EXPECT_EQ(rules::shownOnSdr(255, 0, 0, k709), (Shown{255, 0, 0}));
    EXPECT_EQ(rules::shownOnSdr(12, 200, 90, k601), (Shown{12, 200, 90}));
    for (const VideoColour& hdr : {kHlg, kPq}) {
        EXPECT_EQ(rules::shownOnSdr(255, 255, 255, hdr), (Shown{244, 244, 244}));
        EXPECT_EQ(rules::shownOnSdr(255, 0, 0, hdr), (Shown{244, 0, 0}));
        EXPECT_EQ(rules::shownOnSdr(0, 0, 0, hdr), (Shown{0, 0, 0}));
        // Below the knee a colour comes back as itself.
        const Shown grey = rules::shownOnSdr(128, 100, 60, hdr);
        EXPECT_NEAR(grey[0], 128, 1);
        EXPECT_NEAR(grey[1], 100, 1);
        EXPECT_NEAR(grey[2], 60, 1);
    }
}

// The windows' tone curve: light up to the knee as it is, then rising to white and never past it.
TEST(SdrFromLight, KeepsTheMidTonesAndCompressesTheHighlights) {
    EXPECT_DOUBLE_EQ(rules::sdrFromLight(-0.1), 0);
    EXPECT_DOUBLE_EQ(rules::sdrFromLight(0.5), 0.5);
    EXPECT_DOUBLE_EQ(rules::sdrFromLight(rules::kSdrKnee), rules::kSdrKnee);
    double last = rules::kSdrKnee;
    for (double v = 0.8; v < 60; v *= 1.5) {
        const double s = rules::sdrFromLight(v);
        if (v < 5) {
            EXPECT_GT(s, last) << v;
        }
        EXPECT_GE(s, last) << v;
        EXPECT_LE(s, 1.0) << v;
        last = s;
    }
    EXPECT_GT(rules::sdrFromLight(rules::kHlgPeak / rules::kReferenceWhite), 0.99);
}

}  // namespace
