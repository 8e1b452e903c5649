// The overlay of the watermark module, worked out once per run.
//
// A mask pixel is "of the key colour", and leaves the video visible, when none of its red, green
// and blue differs from the key by more than kKeyTolerance. That swallows the compression noise
// of a JPEG picture whose background was the key colour, while a logo colour plainly different
// from the key (more than 1/8 of full scale in some channel) stays opaque. Every other pixel is
// laid over by its alpha times the opacity: alpha 0 leaves the video, 255 at full opacity
// replaces it, anything between mixes the two in proportion. A 24-bit mask is opaque everywhere.
//
// The mask is aligned with the frame's top-left corner and cut to the frame. At build time the
// covered pixels are taken into the frame's own signal at its own depth (rules/mark_colour.h: the
// matrix its tags or its height give, HDR's reference white on PQ and HLG), and stored as runs per
// plane row, so that apply() touches only the watermark's own samples. A subsampled chroma sample takes the
// mean of its pixels' weights (uncovered pixels count 0) and the mean of their values weighted alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/hook/hook_args.h"
#include "encoder/hook/mask_bmp.h"
#include "rules/mark_rules.h"

struct AVComponentDescriptor;

namespace wm {

using rules::alphaWeight;
using rules::kKeyTolerance;

bool isKeyColour(Rgb pixel, Rgb key) noexcept;
// True when the hook can write frames of this libavutil pixel format.
bool overlaySupportsFormat(const std::string& pixelFormat);

struct OverlayFormat {
    int width = 0, height = 0;
    std::string pixelFormat;
    int colorMatrix = 2;  // AVCOL_SPC_UNSPECIFIED: BT.709 from 720 lines up, else BT.601
    bool fullRange = false;
    int transfer = 2;   // AVCOL_TRC_*; unspecified is SDR
    int primaries = 2;  // AVCOL_PRI_*
};

class Overlay {
public:
    // opacity: per cent, 0..100.
    bool build(const RgbImage& mask, Rgb key, const OverlayFormat& format, std::string& error,
               int opacity = kFullOpacity);
    void apply(uint8_t* const planes[4], const int strides[4]) const noexcept;
    // The mark at `factor` of its weight (0..256, rules::timeFactor): each sample's weight w is
    // laid as rules::timedWeight(w, factor). 256 is apply(); 0 leaves the frame as it is.
    void apply(uint8_t* const planes[4], const int strides[4], unsigned factor) const noexcept;

private:
    struct Sample {
        int x;  // in the plane's samples
        uint16_t value, weight;
    };
    // Opaque stretches shorter than this stay inside the run around them: a run costs more than
    // mixing a few samples whose weight is 256 anyway.
    static constexpr size_t kMinOpaqueRun = 16;

    void addRuns(const std::vector<Sample>& row, const AVComponentDescriptor& k, int sy);

    struct Run {
        int plane, row;  // row in the plane's samples
        int byteOffset;  // offset of the first sample within the row
        int step;        // bytes between samples
        int count;
        size_t first;  // index into values_ / weights_
        bool wide;     // 16-bit storage
        int shift;
        bool opaque;  // every weight is 256
    };
    std::vector<Run> runs_;
    std::vector<uint16_t> values_;
    std::vector<uint16_t> weights_;  // 0..256, 256 = replace
};

}  // namespace wm
