// Smart rendering: with a mark limited in time, only the groups of pictures that hold a marked frame
// are decoded, marked and coded again (by the source's codec, at its size, pixel format, profile,
// level, colours and timing); every other video packet is the source's, copied byte for byte.
// H.264 and HEVC in MP4, MOV and Matroska, whose groups are closed, join safely: the coded-again
// stretch starts with an IDR frame that carries its own parameter sets (H.264: ids the source does
// not use; HEVC: x265's own ids, so the source's sets go again in front of every copied key frame).
// Everything else is converted whole, with a note that says why.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/smart_plan.h"
#include "encoder/stop.h"
#include "encoder/video_path.h"

namespace wm {

struct SmartSource {
    std::string path;                         // the source, read once more for its packets' times
    const AVStream* stream = nullptr;         // its video stream, in the open input
    const AVCodecContext* decoded = nullptr;  // the open decoder: size, pixel format, colours
    AVRational frameRate{25, 1};
    int64_t bitRate = 0;
    const AVOutputFormat* format = nullptr;  // the result's container
    rules::TimeRange range;
    const StopRequest* stop = nullptr;
};

// Lays the mark on a decoded frame (it may replace the frame).
using MarkFn = std::function<Error(FramePtr&)>;
// Writes a packet whose times are in `base`.
using WriteFn = std::function<Error(AVPacket*, AVRational base)>;

// "Note: the whole video is re-encoded: <why>" for a source that cannot be joined.
std::string wholeVideoNote(const std::string& why);

class SmartRender {
public:
    // Ready in `out` when the video can be joined and the mark leaves a group unmarked. Otherwise
    // `out` stays empty and `why` says what stands in the way (empty when there is nothing to gain:
    // the mark touches every group). An error only for a stop or a source that cannot be read.
    static Error open(const SmartSource& source, std::unique_ptr<SmartRender>& out, std::string& why);

    // The result's video stream: the source's, its parameters, tags and side data.
    Error addStream(AVFormatContext* out);
    int streamIndex() const noexcept { return streamIndex_; }
    // The pixel format the coded-again frames take: the decoder's.
    AVPixelFormat pixelFormat() const noexcept;

    // A source packet of the video, in decoding order.
    Error take(AVPacket* pkt, const MarkFn& mark, const WriteFn& write);
    // The end of the source, or a stop (`stopped`): the frames the decoder still holds are left out
    // and the encoder's are given out while `enough` says no. Returns whether any were left out.
    Error finish(bool stopped, const MarkFn& mark, const WriteFn& write, const std::function<bool()>& enough,
                 bool& leftOut);

    // "re-encoded 0:00–0:12 of 3:00, the rest copied"
    std::string text() const { return text_; }
    int64_t frames() const noexcept { return frames_; }
    double seconds() const noexcept { return seconds_; }
    // The result's video packets (decoding order) a check decodes: the coded-again stretch and a
    // group either side of it.
    std::pair<size_t, size_t> joinPackets() const noexcept { return joinPackets_; }

private:
    Error openEncoder(const SmartSource& source, std::string& why);
    Error encode(AVFrame* frame, const WriteFn& write, const std::function<bool()>& enough = {});
    Error writeCoded(AVPacket* pkt, const WriteFn& write);
    Error decode(const AVPacket* pkt, const MarkFn& mark, const WriteFn& write);
    Error endStretch(const MarkFn& mark, const WriteFn& write);
    Error copy(AVPacket* pkt, const WriteFn& write);

    enum class Where { Before, Inside, After };
    Where where_ = Where::Before;
    SmartPlan plan_;
    StreamClock clock_;
    AVRational base_{};
    AVCodecID codec_ = AV_CODEC_ID_NONE;
    int lengthSize_ = 4;
    std::vector<uint8_t> resumeSets_;  // HEVC: the source's parameter sets, before each copied key frame
    int64_t step_ = 1;                 // one frame in the stream's time base
    const AVStream* in_ = nullptr;
    int streamIndex_ = -1;

    VideoDecoder decoder_;
    CodecContextPtr enc_;
    FrameConformer toEncoder_;
    PacketPtr pkt_ = makePacket();
    std::vector<int64_t> sourceDts_;  // the stretch's source packets' decoding times, not yet used
    size_t dtsUsed_ = 0;
    std::optional<int64_t> lastDts_;  // the last video packet written
    bool firstFrame_ = true;

    std::string text_;
    int64_t frames_ = 0;
    double seconds_ = 0;
    std::pair<size_t, size_t> joinPackets_{0, 0};
};

}  // namespace wm
