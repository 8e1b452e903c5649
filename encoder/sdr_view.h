// An HDR frame (PQ, HLG) as a player shows it on an ordinary screen: tone-mapped to 8-bit sRGB by
// rules/mark_colour.h's way back, so the frame behind the canvas and the proof frames show the
// video's light, and a mark at the brightness it will have, rather than the raw signal.
#pragma once

#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "rules/mark_colour.h"

namespace wm {

class SdrView {
public:
    explicit SdrView(rules::Transfer transfer);
    // The frame (any pixel format libswscale reads, Y'CbCr by `matrix`) as BGR24 of w x h.
    Error toBgr(const AVFrame* frame, int w, int h, rules::Matrix matrix, bool fullRange,
                FramePtr& bgr) const;

private:
    rules::Transfer transfer_;
    std::vector<float> light_;         // HLG: scene light; PQ: display light relative to the reference white
    std::vector<float> gamma_;         // HLG: the OOTF's factor by scene luminance
    std::vector<uint8_t> low_, high_;  // relative light to sRGB code, below and above the reference white
};

}  // namespace wm
