// How a mark's colours reach the video's picture, written once for the module and the windows.
//
// A mark's pixels are sRGB. On an SDR video they keep their values: a player shows BT.709 and
// BT.601 pictures with the screen's own transfer, so sRGB's numbers give the logo's colours. Which
// matrix codes them follows the video's tag; an untagged video is taken as players take it:
// BT.709 from 720 lines up, BT.601 below.
//
// On an HDR video (BT.2100's PQ or HLG) the mark follows ITU-R BT.2408's rule for graphics: sRGB's
// white at the reference white of 203 cd/m² (PQ signal 0.58, HLG 0.75 on a 1000 cd/m² display),
// its colours taken into BT.2020's primaries at that level. Anything brighter than the video's
// own white would glare on an HDR screen.
//
// The way back, for what the windows show of an HDR frame on an ordinary screen: the picture's
// light relative to that reference white, turned to BT.709's primaries and compressed above a
// knee so that highlights up to the display's peak keep some shape (sdrFromLight). A mark's
// colour goes the same way (shownOnSdr), so the canvas draws it as the proof frame shows it.
//
// Numbers of matrices, transfers and primaries are ITU-T H.273's, which FFmpeg's AVCOL_* share.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace rules {

enum class Matrix { Bt601, Bt709, Bt2020 };
enum class Transfer { Sdr, Pq, Hlg };
enum class Primaries { Bt709, Bt2020 };

struct VideoColour {
    Matrix matrix = Matrix::Bt709;
    Transfer transfer = Transfer::Sdr;
    Primaries primaries = Primaries::Bt709;
};

inline constexpr int kH273Bt709 = 1, kH273Unspecified = 2, kH273Bt470bg = 5, kH273Smpte170m = 6,
                     kH273Bt2020Ncl = 9, kH273Bt2020Cl = 10;  // matrices
inline constexpr int kH273Pq = 16, kH273Hlg = 18;             // transfers
inline constexpr int kH273PrimariesBt2020 = 9;

// Lines from which an untagged video is taken as HD (BT.709).
inline constexpr int kHdLines = 720;

// HDR's reference white (BT.2408), the nominal peak of an HLG display, and PQ's full scale.
inline constexpr double kReferenceWhite = 203, kHlgPeak = 1000, kPqPeak = 10000;
// The windows' way back: light up to this share of the reference white is shown as it is.
inline constexpr double kSdrKnee = 0.75;

// The video's colour from its tags (H.273 numbers) and its height.
constexpr VideoColour videoColourOf(int matrix, int transfer, int primaries, int height) noexcept {
    VideoColour c;
    c.transfer = transfer == kH273Pq ? Transfer::Pq : transfer == kH273Hlg ? Transfer::Hlg : Transfer::Sdr;
    const bool hdr = c.transfer != Transfer::Sdr;
    if (matrix == kH273Bt709)
        c.matrix = Matrix::Bt709;
    else if (matrix == kH273Bt470bg || matrix == kH273Smpte170m)
        c.matrix = Matrix::Bt601;
    else if (matrix == kH273Bt2020Ncl || matrix == kH273Bt2020Cl)
        c.matrix = Matrix::Bt2020;
    else if (hdr || primaries == kH273PrimariesBt2020)
        c.matrix = Matrix::Bt2020;
    else
        c.matrix = height >= kHdLines ? Matrix::Bt709 : Matrix::Bt601;
    c.primaries = primaries == kH273PrimariesBt2020 || c.matrix == Matrix::Bt2020 ? Primaries::Bt2020
                                                                                  : Primaries::Bt709;
    return c;
}

// Luma weights (red, blue) of each matrix; green takes the rest.
constexpr std::array<double, 2> lumaWeights(Matrix m) noexcept {
    switch (m) {
        case Matrix::Bt601:
            return {0.299, 0.114};
        case Matrix::Bt709:
            return {0.2126, 0.0722};
        case Matrix::Bt2020:
            break;
    }
    return {0.2627, 0.0593};
}

using Rgb3 = std::array<double, 3>;

inline double srgbToLinear(double v) noexcept {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
inline double linearToSrgb(double v) noexcept {
    v = std::clamp(v, 0.0, 1.0);
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// BT.2087's matrices between BT.709's and BT.2020's primaries, on linear light.
inline Rgb3 bt709ToBt2020(const Rgb3& c) noexcept {
    return {0.6274 * c[0] + 0.3293 * c[1] + 0.0433 * c[2], 0.0691 * c[0] + 0.9195 * c[1] + 0.0114 * c[2],
            0.0164 * c[0] + 0.0880 * c[1] + 0.8956 * c[2]};
}
inline Rgb3 bt2020ToBt709(const Rgb3& c) noexcept {
    return {1.6605 * c[0] - 0.5876 * c[1] - 0.0728 * c[2], -0.1246 * c[0] + 1.1329 * c[1] - 0.0083 * c[2],
            -0.0182 * c[0] - 0.1006 * c[1] + 1.1187 * c[2]};
}

// BT.2100's PQ: display light in cd/m² and its signal 0..1.
inline double pqFromLight(double nits) noexcept {
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096,
                     c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double y = std::pow(std::clamp(nits / kPqPeak, 0.0, 1.0), m1);
    return std::pow((c1 + c2 * y) / (1 + c3 * y), m2);
}
inline double lightFromPq(double signal) noexcept {
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096,
                     c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double e = std::pow(std::clamp(signal, 0.0, 1.0), 1 / m2);
    return kPqPeak * std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1 / m1);
}

// BT.2100's HLG: scene light 0..1 and its signal, and the display's system gamma at 1000 cd/m².
inline constexpr double kHlgA = 0.17883277, kHlgB = 0.28466892, kHlgC = 0.55991073, kHlgGamma = 1.2;
inline double hlgFromScene(double e) noexcept {
    e = std::max(e, 0.0);
    return e <= 1.0 / 12 ? std::sqrt(3 * e) : kHlgA * std::log(12 * e - kHlgB) + kHlgC;
}
inline double sceneFromHlg(double v) noexcept {
    v = std::clamp(v, 0.0, 1.0);
    return v <= 0.5 ? v * v / 3 : (std::exp((v - kHlgC) / kHlgA) + kHlgB) / 12;
}

// The signal (R'G'B', 0..1) of display light given relative to HDR's reference white in BT.2020's
// primaries. HLG's display light is taken back to the scene through its OOTF, on luminance.
inline Rgb3 hdrSignalOf(const Rgb3& relative, Transfer t) noexcept {
    Rgb3 out{};
    if (t == Transfer::Pq) {
        for (int i = 0; i < 3; ++i)
            out[size_t(i)] = pqFromLight(relative[size_t(i)] * kReferenceWhite);
        return out;
    }
    const double scale = kReferenceWhite / kHlgPeak;
    const Rgb3 fd{relative[0] * scale, relative[1] * scale, relative[2] * scale};
    const double yd = 0.2627 * fd[0] + 0.6780 * fd[1] + 0.0593 * fd[2];
    const double k = yd > 0 ? std::pow(yd, (1 - kHlgGamma) / kHlgGamma) : 0;
    for (int i = 0; i < 3; ++i)
        out[size_t(i)] = hlgFromScene(fd[size_t(i)] * k);
    return out;
}

// The display light of an HDR signal, relative to the reference white, in BT.2020's primaries.
inline Rgb3 hdrLightOf(const Rgb3& signal, Transfer t) noexcept {
    Rgb3 out{};
    if (t == Transfer::Pq) {
        for (int i = 0; i < 3; ++i)
            out[size_t(i)] = lightFromPq(signal[size_t(i)]) / kReferenceWhite;
        return out;
    }
    const Rgb3 e{sceneFromHlg(signal[0]), sceneFromHlg(signal[1]), sceneFromHlg(signal[2])};
    const double ys = 0.2627 * e[0] + 0.6780 * e[1] + 0.0593 * e[2];
    const double k = ys > 0 ? std::pow(ys, kHlgGamma - 1) * kHlgPeak / kReferenceWhite : 0;
    for (int i = 0; i < 3; ++i)
        out[size_t(i)] = e[size_t(i)] * k;
    return out;
}

// The video's signal (R'G'B', 0..1) for an sRGB colour of the mark.
inline Rgb3 markSignal(uint8_t r, uint8_t g, uint8_t b, const VideoColour& c) noexcept {
    const Rgb3 srgb{r / 255.0, g / 255.0, b / 255.0};
    if (c.transfer == Transfer::Sdr && c.primaries == Primaries::Bt709) return srgb;
    const Rgb3 lin = bt709ToBt2020({srgbToLinear(srgb[0]), srgbToLinear(srgb[1]), srgbToLinear(srgb[2])});
    if (c.transfer != Transfer::Sdr) return hdrSignalOf(lin, c.transfer);
    // SDR in BT.2020's primaries: the same light, coded with BT.1886's gamma.
    return {std::pow(std::max(lin[0], 0.0), 1 / 2.4), std::pow(std::max(lin[1], 0.0), 1 / 2.4),
            std::pow(std::max(lin[2], 0.0), 1 / 2.4)};
}

// Y', Cb, Cr (0..1, -0.5..0.5) of a signal under a matrix.
inline Rgb3 ycbcrOf(const Rgb3& s, Matrix m) noexcept {
    const auto [kr, kb] = lumaWeights(m);
    const double y = kr * s[0] + (1 - kr - kb) * s[1] + kb * s[2];
    return {y, (s[2] - y) / (2 * (1 - kb)), (s[0] - y) / (2 * (1 - kr))};
}
inline Rgb3 signalOf(const Rgb3& ycc, Matrix m) noexcept {
    const auto [kr, kb] = lumaWeights(m);
    const double r = ycc[0] + 2 * (1 - kr) * ycc[2], b = ycc[0] + 2 * (1 - kb) * ycc[1];
    return {r, (ycc[0] - kr * r - kb * b) / (1 - kr - kb), b};
}

// Code values at `bits` of Y', Cb, Cr; limited range (16-235, 16-240 scaled) unless full.
inline std::array<uint16_t, 3> ycbcrCodes(const Rgb3& ycc, int bits, bool fullRange) noexcept {
    const double max = double((1 << bits) - 1), scale = double(1 << (bits - 8));
    const auto code = [&](double v) {
        return uint16_t(std::lround(std::clamp(v, 0.0, max)));
    };
    if (fullRange)
        return {code(ycc[0] * max), code(ycc[1] * max + double(1 << (bits - 1))),
                code(ycc[2] * max + double(1 << (bits - 1)))};
    return {code((16 + 219 * ycc[0]) * scale), code((128 + 224 * ycc[1]) * scale),
            code((128 + 224 * ycc[2]) * scale)};
}
inline Rgb3 ycbcrFromCodes(const std::array<unsigned, 3>& codes, int bits, bool fullRange) noexcept {
    const double max = double((1 << bits) - 1), scale = double(1 << (bits - 8)),
                 mid = double(1 << (bits - 1));
    if (fullRange) return {codes[0] / max, (codes[1] - mid) / max, (codes[2] - mid) / max};
    return {(codes[0] / scale - 16) / 219, (codes[1] / scale - 128) / 224, (codes[2] / scale - 128) / 224};
}

// The windows' way back: light relative to the reference white (BT.709's primaries) as an SDR
// screen's share of its white. Below the knee it stays; above it, it nears white smoothly.
inline double sdrFromLight(double v) noexcept {
    if (v <= kSdrKnee) return std::max(v, 0.0);
    return kSdrKnee + (1 - kSdrKnee) * (1 - std::exp(-(v - kSdrKnee) / (1 - kSdrKnee)));
}

// An HDR signal (R'G'B', BT.2020) as the sRGB colour (0..1) an ordinary screen shows for it.
inline Rgb3 sdrColourOf(const Rgb3& signal, Transfer t) noexcept {
    const Rgb3 lin = bt2020ToBt709(hdrLightOf(signal, t));
    return {linearToSrgb(sdrFromLight(lin[0])), linearToSrgb(sdrFromLight(lin[1])),
            linearToSrgb(sdrFromLight(lin[2]))};
}

// The sRGB colour (0..255) a mark's pixel shows with on an ordinary screen once laid on a video
// of this colour: itself on SDR, the way back of its HDR signal on HDR.
inline std::array<uint8_t, 3> shownOnSdr(uint8_t r, uint8_t g, uint8_t b, const VideoColour& c) noexcept {
    if (c.transfer == Transfer::Sdr) return {r, g, b};
    const Rgb3 s = sdrColourOf(markSignal(r, g, b, c), c.transfer);
    const auto byte = [](double v) {
        return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return {byte(s[0]), byte(s[1]), byte(s[2])};
}

}  // namespace rules
