// What a video stream holds, counted packet by packet: its frames and the span from the first
// frame's start to the last one's end. The muxer counts what it is handed and the check what it
// reads back, by the same rule, so the two can be compared.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/rational.h>
}

namespace wm {

struct VideoSpan {
    int64_t frames = 0;
    double seconds = 0;
};

class SpanCounter {
public:
    explicit SpanCounter(AVRational timeBase = {1, 1}) : base_(timeBase) {}
    // pkt's times in the counter's time base.
    void add(const AVPacket* pkt) {
        ++frames_;
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (ts == AV_NOPTS_VALUE) return;
        first_ = first_ == AV_NOPTS_VALUE ? ts : std::min(first_, ts);
        if (last_ == AV_NOPTS_VALUE || ts >= last_) {
            last_ = ts;
            lastDuration_ = pkt->duration;
        }
    }
    int64_t lastTimestamp() const { return last_; }
    // A last packet without a duration lasts one frame.
    VideoSpan span(double frameSeconds) const {
        VideoSpan s;
        s.frames = frames_;
        if (first_ == AV_NOPTS_VALUE) return s;
        const int64_t step = std::max<int64_t>(1, std::llround(frameSeconds / av_q2d(base_)));
        s.seconds = double(last_ + (lastDuration_ > 0 ? lastDuration_ : step) - first_) * av_q2d(base_);
        return s;
    }

private:
    AVRational base_;
    int64_t frames_ = 0;
    int64_t first_ = AV_NOPTS_VALUE, last_ = AV_NOPTS_VALUE, lastDuration_ = 0;
};

}  // namespace wm
