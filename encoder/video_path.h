// The video stream's way through the conversion: decoding (and the frame hook) on the reading
// thread, format conversion and encoding on the encoding thread.
#pragma once

#include <functional>
#include <memory>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/frame_hook.h"
#include "encoder/hdr_data.h"

namespace wm {

using FrameSink = std::function<Error(FramePtr)>;
using PacketSink = std::function<Error(AVPacket*)>;

// Converts frames to one size and pixel format when they arrive in another.
class FrameConformer {
public:
    void target(int width, int height, AVPixelFormat format) { w_ = width, h_ = height, fmt_ = format; }
    // Returns the frame itself when it already conforms.
    Error conform(FramePtr& frame);

private:
    int w_ = 0, h_ = 0;
    AVPixelFormat fmt_ = AV_PIX_FMT_NONE;
    SwsPtr sws_;
    int srcW_ = 0, srcH_ = 0;
    AVPixelFormat srcFmt_ = AV_PIX_FMT_NONE;
};

// Opens a decoder for the video stream `st` into `out`; threadCount 0 lets
// libavcodec choose.
Error openVideoDecoder(const AVStream* st, int threadCount, int threadType, CodecContextPtr& out,
                       bool exportQuantisers = false);

class VideoDecoder {
public:
    Error open(const AVStream* stream);
    AVCodecContext* context() const noexcept { return dec_.get(); }
    // pkt == nullptr flushes. Every decoded frame goes to sink, its pts set from the best
    // timestamp the decoder knows (stream time base).
    Error decode(const AVPacket* pkt, const FrameSink& sink);

private:
    CodecContextPtr dec_;
    FramePtr frame_ = makeFrame();
};

class VideoEncoder {
public:
    // Opens the encoder for frames of the given size/format; adds the output stream. `share`: a copy
    // to share, in 8-bit 4:2:0 at even sizes (frames cut to them), tagged BT.709 when converted.
    Error open(const AVCodec* codec, const AVStream* in, const AVCodecContext* dec, AVRational frameRate,
               int64_t sourceBitRate, AVFormatContext* out, bool share = false);
    // Before open(): the source's HDR metadata for the result's stream and, with x265, its SEI.
    void keepHdr(const HdrData& hdr) { hdr_ = hdr; }
    // Each frame coded at the quantiser its source frame had (see applyVideoQuality).
    bool takesSourceQuantiser() const noexcept { return sourceQuantiser_; }
    AVCodecContext* context() const noexcept { return enc_.get(); }
    int streamIndex() const noexcept { return streamIndex_; }
    // frame == nullptr flushes. Packets carry the encoder's time base. A flush gives up once
    // `enough` says so (a stop in a hurry): what the encoder still holds is left out.
    Error encode(AVFrame* frame, const PacketSink& sink, const std::function<bool()>& enough = {});
    double lastQuality() const noexcept { return quality_; }

private:
    CodecContextPtr enc_;
    PacketPtr pkt_ = makePacket();
    int streamIndex_ = -1;
    double quality_ = 0;
    bool sourceQuantiser_ = false;
    HdrData hdr_;
};

}  // namespace wm
