// The keyed overlay of the watermark module, worked out once per run.
//
// A mask pixel is "of the key colour", and leaves the video visible, when none of its red, green
// and blue differs from the key by more than kKeyTolerance. That swallows the compression noise
// of a JPEG picture whose background was the key colour, while a logo colour plainly different
// from the key (more than 1/8 of full scale in some channel) stays opaque.
//
// The mask is aligned with the frame's top-left corner and cut to the frame. At build time the
// opaque pixels are converted with libswscale into the frame's own pixel format (full-resolution
// components first), and stored as runs per plane row, so that apply() touches only the
// watermark's own samples. A subsampled chroma sample that the watermark covers only in part is
// blended with the frame by the share of its pixels that are covered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/hook/hook_args.h"
#include "encoder/hook/mask_bmp.h"

namespace wm {

inline constexpr int kKeyTolerance = 32;

bool isKeyColour(Rgb pixel, Rgb key) noexcept;
// True when the hook can write frames of this libavutil pixel format.
bool overlaySupportsFormat(const std::string& pixelFormat);

struct OverlayFormat {
    int width = 0, height = 0;
    std::string pixelFormat;
    int colorMatrix = 2;  // AVCOL_SPC_UNSPECIFIED
    bool fullRange = false;
};

class Overlay {
public:
    bool build(const RgbImage& mask, Rgb key, const OverlayFormat& format, std::string& error);
    void apply(uint8_t* const planes[4], const int strides[4]) const noexcept;

private:
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
