// The picture of an "MP4 to share" result: H.264 in 8-bit 4:2:0 BT.709, what every phone, browser
// and site plays. Sources beyond it (10 bits, 4:2:2 or 4:4:4, HDR's PQ or HLG, BT.2020's colours)
// are converted before the watermark is laid, so the mark keeps its colours in the result.
#pragma once

#include <string>

#include "encoder/av_ptr.h"
#include "encoder/error.h"

namespace wm {

// Why the decoded picture needs converting for sharing ("10-bit HDR", "10-bit", "4:2:2", "BT.2020");
// "" when it is shared as it is.
std::string sharingConversion(const AVCodecContext* decoded);

// The x264 settings of a shared copy: High profile, constant quality 20 at the "veryfast" preset.
void applyShareQuality(AVDictionary** options);

// Converts decoded frames to 8-bit 4:2:0 BT.709, tone-mapping HDR (PQ, HLG) to standard range.
class SharePicture {
public:
    Error open(const AVCodecContext* decoded, AVRational timeBase);
    // Replaces frame with its converted picture (one frame in, one frame out).
    Error convert(FramePtr& frame);

private:
    FilterGraphPtr graph_;
    AVFilterContext* src_ = nullptr;   // owned by graph_
    AVFilterContext* sink_ = nullptr;  // owned by graph_
};

}  // namespace wm
