// Masks with alpha and the opacity: the argument, the bitmap forms, and the blend in the frame's
// own pixel format.
#include "bmp_file.h"
#include "encoder/hook/hook_args.h"
#include "encoder/hook/mask_bmp.h"
#include "encoder/hook/overlay.h"
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <tuple>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {

using enc_test::BmpForm;
using enc_test::Pixel;

// ---------------------------------------------------------------------------------------------
// -a N

struct OpacityCase {
    const char* name;
    std::vector<std::string> words;  // after "-f /p/m.bmp"
    int opacity;                     // when accepted
    const char* error;               // when refused
};
void PrintTo(const OpacityCase& c, std::ostream* os) {
    *os << c.name;
}

class OpacityArgument : public testing::TestWithParam<OpacityCase> {};

TEST_P(OpacityArgument, AcceptsWholePerCentFromTenToHundred) {
    const OpacityCase& c = GetParam();
    std::vector<std::string> args = {"-f", "/p/m.bmp"};
    args.insert(args.end(), c.words.begin(), c.words.end());
    wm::HookArgs a;
    std::string error;
    const bool ok = wm::parseHookArgs(args, a, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(a.opacity, c.opacity);
    EXPECT_EQ(a.maskPath, "/p/m.bmp");
}

const char* const kNotPerCent = "is not a whole number of per cent from 10 to 100";

INSTANTIATE_TEST_SUITE_P(
    Words, OpacityArgument,
    testing::Values(OpacityCase{"Absent", {"-m", "1"}, 100, nullptr},
                    OpacityCase{"Lowest", {"-a", "10"}, 10, nullptr},
                    OpacityCase{"Half", {"-t", "ff00ff", "-a", "50", "-m", "1"}, 50, nullptr},
                    OpacityCase{"Full", {"-a", "100"}, 100, nullptr},
                    OpacityCase{"BelowTen", {"-a", "9"}, 0, "opacity '9' is not a whole number"},
                    OpacityCase{"Zero", {"-a", "0"}, 0, kNotPerCent},
                    OpacityCase{"AboveHundred", {"-a", "101"}, 0, kNotPerCent},
                    OpacityCase{"Huge", {"-a", "99999999999"}, 0, kNotPerCent},
                    OpacityCase{"Negative", {"-a", "-50"}, 0, kNotPerCent},
                    OpacityCase{"Plus", {"-a", "+50"}, 0, kNotPerCent},
                    OpacityCase{"Fraction", {"-a", "50.5"}, 0, kNotPerCent},
                    OpacityCase{"PerCentSign", {"-a", "50%"}, 0, kNotPerCent},
                    OpacityCase{"Letter", {"-a", "5O"}, 0, kNotPerCent},
                    OpacityCase{"Space", {"-a", " 50"}, 0, kNotPerCent},
                    OpacityCase{"Empty", {"-a", ""}, 0, "opacity '' is not"},
                    OpacityCase{"Missing", {"-a"}, 0, "'-a' needs a value"},
                    OpacityCase{"OptionAsValue", {"-a", "-t", "000000"}, 0, "'-a' needs a value"},
                    OpacityCase{"Twice", {"-a", "50", "-a", "50"}, 0, "'-a' is given twice"}),
    [](const testing::TestParamInfo<OpacityCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------------------------
// The bitmap forms that carry alpha, and those that do not.

struct FormCase {
    const char* name;
    BmpForm form;
    bool alpha;  // false: read as opaque whatever the fourth byte holds
};
void PrintTo(const FormCase& c, std::ostream* os) {
    *os << c.name;
}

class MaskForm : public testing::TestWithParam<FormCase> {};

TEST_P(MaskForm, ReadsColourAndAlphaInBothRowOrders) {
    const FormCase& c = GetParam();
    auto pixel = [](int x, int y) {
        return Pixel{uint8_t(x * 10), uint8_t(100 + y), uint8_t(x + y), uint8_t(40 * x + y)};
    };
    for (const BmpForm& form : {c.form, enc_test::topDown(c.form)}) {
        wm::RgbImage img;
        std::string error;
        ASSERT_TRUE(wm::decodeMaskBmp(enc_test::bmpFile(5, 3, form, pixel), img, error)) << error;
        ASSERT_EQ(img.width, 5);
        ASSERT_EQ(img.height, 3);
        ASSERT_EQ(img.alpha.size(), 15u);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const size_t i = size_t(y * 5 + x);
                const Pixel p = pixel(x, y);
                EXPECT_EQ(img.rgb[i * 3], p.r) << x << "," << y;
                EXPECT_EQ(img.rgb[i * 3 + 1], p.g) << x << "," << y;
                EXPECT_EQ(img.rgb[i * 3 + 2], p.b) << x << "," << y;
                EXPECT_EQ(img.alpha[i], c.alpha ? p.a : 255) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, MaskForm,
                         testing::Values(FormCase{"Plain24", enc_test::kBmp24, false},
                                         FormCase{"V4ColourMasks", enc_test::kV4Masks, true},
                                         FormCase{"V5ColourMasks", enc_test::kV5Masks, true},
                                         FormCase{"V5UncompressedAlphaMask", enc_test::kV5Uncompressed, true},
                                         FormCase{"V5NoAlphaMask", enc_test::kV5NoAlpha, false},
                                         FormCase{"Plain32", enc_test::kPlain32, false},
                                         FormCase{"Plain32ColourMasks", BmpForm{32, 40, 3}, false}),
                         [](const testing::TestParamInfo<FormCase>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------------------------
// The blend, in the frame's own format.
//
// A 16x8 frame of one grey; the mask's key colour black everywhere but the mark area x 4..11,
// y 2..5 (whole 2x2 chroma blocks), whose pixels in even and odd columns may differ. Each sample
// must come out as video + (mark - video) * share, where share is what the pixel's alpha and the
// opacity make of it; a chroma sample over an even and an odd column takes the mean share.

constexpr int kW = 16, kH = 8, kMarkX0 = 4, kMarkX1 = 12, kMarkY0 = 2, kMarkY1 = 6;
const Pixel kColour{200, 40, 90};

enum class Source { Bmp24, Bmp32, ImageMagick };

struct BlendCase {
    const char* name;
    Source source;
    BmpForm form;
    Pixel even, odd;  // mark pixels in even and odd columns
    int opacity;
    double evenShare, oddShare;
};

struct FormatCase {
    const char* name;
    AVPixelFormat format;
    double video;    // every component of the frame before
    double mark[3];  // kColour in the format's components (BT.601, limited range for YUV)
    double tolerance;
};

void PrintTo(const BlendCase& c, std::ostream* os) {
    *os << c.name;
}
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

const FormatCase kFormats[] = {
    {"yuv420p", AV_PIX_FMT_YUV420P, 85, {96.33, 126.24, 194.70}, 1.5},
    {"bgr0", AV_PIX_FMT_BGR0, 85, {200, 40, 90}, 1.5},  // components in R G B order
    {"yuv420p10le", AV_PIX_FMT_YUV420P10LE, 341, {385.3, 504.98, 778.8}, 6},
};

struct Frame {
    explicit Frame(AVPixelFormat fmt, unsigned video) : f(av_frame_alloc()) {
        f->width = kW, f->height = kH, f->format = fmt;
        if (av_frame_get_buffer(f, 0) < 0) throw std::runtime_error("no frame");
        for (int p = 0; p < 4 && f->buf[p]; ++p) {
            if (video <= 255) {
                std::memset(f->buf[p]->data, int(video), f->buf[p]->size);
                continue;
            }
            const uint16_t v = uint16_t(video);
            for (size_t i = 0; i + 1 < f->buf[p]->size; i += 2)
                std::memcpy(f->buf[p]->data + i, &v, 2);
        }
    }
    ~Frame() { av_frame_free(&f); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    unsigned sample(const AVComponentDescriptor& k, int x, int y) const {
        const uint8_t* p = f->data[k.plane] + ptrdiff_t(y) * f->linesize[k.plane] + x * k.step + k.offset;
        if (k.depth <= 8) return *p;
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    AVFrame* f;
};

bool inMark(int x, int y) {
    return x >= kMarkX0 && x < kMarkX1 && y >= kMarkY0 && y < kMarkY1;
}

// The first "convert" that is ImageMagick's; empty when there is none.
std::string imageMagick() {
    try {
        const auto r = enc_test::run("convert", {"-version"});
        if (r.exited && r.status == 0 && r.output.find("Version: ImageMagick") != std::string::npos)
            return "convert";
    } catch (const std::exception&) {}
    return "";
}

class Blend : public testing::TestWithParam<std::tuple<BlendCase, FormatCase>> {};

TEST_P(Blend, MixesByAlphaAndOpacity) {
    const auto& [c, fmt] = GetParam();
    wm::RgbImage mask;
    std::string error;
    if (c.source == Source::ImageMagick) {
        const std::string convert = imageMagick();
        if (convert.empty())
            GTEST_SKIP() << "'convert' is not ImageMagick's; on Debian: apt-get install imagemagick";
        const std::string path = enc_test::scratchFolder(std::string("im-") + fmt.name) + "/mask.bmp";
        const auto r =
            enc_test::run(convert, {"-size", "16x8", "xc:none", "+antialias", "-fill", "rgba(200,40,90,0.5)",
                                    "-draw", "rectangle 4,2 11,5", "-define", "bmp:format=bmp4", path});
        ASSERT_EQ(r.status, 0) << r.output;
        ASSERT_TRUE(wm::readMaskBmp(path, mask, error)) << error;
    } else {
        const auto file = enc_test::bmpFile(kW, kH, c.form, [&](int x, int y) {
            return inMark(x, y) ? (x % 2 ? c.odd : c.even) : Pixel{0, 0, 0, 255};
        });
        ASSERT_TRUE(wm::decodeMaskBmp(file, mask, error)) << error;
    }

    Frame frame(fmt.format, unsigned(fmt.video));
    wm::Overlay o;
    ASSERT_TRUE(o.build(mask, {0, 0, 0}, {kW, kH, fmt.name, 2, false}, error, c.opacity)) << error;
    o.apply(frame.f->data, frame.f->linesize);

    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(fmt.format);
    for (int comp = 0; comp < 3; ++comp) {
        const AVComponentDescriptor& k = d->comp[comp];
        const bool sub = !(d->flags & AV_PIX_FMT_FLAG_RGB) && comp > 0;
        const int sw = sub ? d->log2_chroma_w : 0, sh = sub ? d->log2_chroma_h : 0;
        for (int y = 0; y < (kH >> sh); ++y)
            for (int x = 0; x < (kW >> sw); ++x) {
                double share = 0;
                for (int px = x << sw; px < (x + 1) << sw; ++px)
                    if (inMark(px, y << sh)) share += (px % 2 ? c.oddShare : c.evenShare) / (1 << sw);
                const unsigned got = frame.sample(k, x, y);
                if (share == 0) {
                    EXPECT_EQ(got, unsigned(fmt.video)) << "component " << comp << " at " << x << "," << y;
                } else {
                    EXPECT_NEAR(got, fmt.video + (fmt.mark[comp] - fmt.video) * share, fmt.tolerance)
                        << "component " << comp << " at " << x << "," << y << ", share " << share;
                }
            }
    }
    if (fmt.format == AV_PIX_FMT_BGR0) {  // the padding byte is no component: left alone
        EXPECT_EQ(frame.f->data[0][kMarkY0 * frame.f->linesize[0] + kMarkX0 * 4 + 3], 85);
    }
}

const Pixel kNearKey{20, 10, 30};  // within the tolerance of black

Pixel withAlpha(Pixel p, uint8_t a) {
    p.a = a;
    return p;
}

const BlendCase kBlendCases[] = {
    {"Keyed24", Source::Bmp24, enc_test::kBmp24, kColour, kColour, 100, 1, 1},
    {"Keyed24NearKeyColumns", Source::Bmp24, enc_test::kBmp24, kColour, kNearKey, 100, 1, 0},
    {"Alpha0", Source::Bmp32, enc_test::kV5Masks, withAlpha(kColour, 0), withAlpha(kColour, 0), 100, 0, 0},
    {"Alpha128", Source::Bmp32, enc_test::kV5Masks, withAlpha(kColour, 128), withAlpha(kColour, 128), 100,
     128 / 255.0, 128 / 255.0},
    {"Alpha255", Source::Bmp32, enc_test::kV5Masks, kColour, kColour, 100, 1, 1},
    {"SoftEdgeColumns", Source::Bmp32, enc_test::topDown(enc_test::kV4Masks), kColour, withAlpha(kColour, 64),
     100, 1, 64 / 255.0},
    {"KeyColourIn32", Source::Bmp32, enc_test::kV5Uncompressed, kColour, withAlpha(kNearKey, 200), 100, 1, 0},
    {"Opacity50On24", Source::Bmp24, enc_test::kBmp24, kColour, kColour, 50, 0.5, 0.5},
    {"Opacity50On32", Source::Bmp32, enc_test::kV5Masks, kColour, withAlpha(kColour, 128), 50, 0.5,
     0.5 * 128 / 255.0},
    {"ImageMagickBmp4", Source::ImageMagick, {}, {}, {}, 100, 0.5, 0.5},
};

INSTANTIATE_TEST_SUITE_P(Masks, Blend,
                         testing::Combine(testing::ValuesIn(kBlendCases), testing::ValuesIn(kFormats)),
                         [](const testing::TestParamInfo<Blend::ParamType>& i) {
                             return std::string(std::get<0>(i.param).name) + "_" + std::get<1>(i.param).name;
                         });

}  // namespace
