// An audio stream resampled to the rate "-ar" asks for: decoded, resampled and cut into the
// encoder's frame size by a small filter graph, then encoded with the source's codec where the
// result's container takes it, else with the container's usual audio codec.
#pragma once

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/video_path.h"

namespace wm {

class AudioResampler {
public:
    // only: the one codec to encode with (AAC for a copy to share); NONE lets the container choose.
    Error open(const AVStream* in, int rate, AVFormatContext* out, AVCodecID only = AV_CODEC_ID_NONE);
    int streamIndex() const noexcept { return streamIndex_; }
    AVRational timeBase() const noexcept { return enc_->time_base; }
    // pkt == nullptr flushes decoder, filter and encoder in turn.
    Error process(const AVPacket* pkt, const PacketSink& sink);

private:
    Error openEncoder(const AVCodec* codec, int rate, AVFormatContext* out);
    Error openFilter(int rate);
    Error drainFilter(const PacketSink& sink);
    Error encode(AVFrame* frame, const PacketSink& sink);

    CodecContextPtr dec_, enc_;
    FilterGraphPtr graph_;
    AVFilterContext* src_ = nullptr;   // owned by graph_
    AVFilterContext* sink_ = nullptr;  // owned by graph_
    FramePtr frame_ = makeFrame(), filtered_ = makeFrame();
    PacketPtr pkt_ = makePacket();
    AVRational inTimeBase_{};
    int streamIndex_ = -1;
};

}  // namespace wm
