// Owning wrappers for the libav objects the encoder uses. Nothing else calls the av_*_free family.
// Borrowed pointers (AVStream*, AVFilterContext*, a frame handed to a callback) stay raw.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace wm {

struct FrameDeleter {
    void operator()(AVFrame* f) const noexcept { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const noexcept { av_packet_free(&p); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const noexcept { avcodec_free_context(&c); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph* g) const noexcept { avfilter_graph_free(&g); }
};
struct FilterInOutDeleter {
    void operator()(AVFilterInOut* io) const noexcept { avfilter_inout_free(&io); }
};
struct SwsDeleter {
    void operator()(SwsContext* s) const noexcept { sws_freeContext(s); }
};
struct InputFormatDeleter {
    void operator()(AVFormatContext* f) const noexcept { avformat_close_input(&f); }
};
// The output context owns its pb unless the format writes no file itself. The trailer is written
// explicitly before this runs; this only releases.
struct OutputFormatDeleter {
    void operator()(AVFormatContext* f) const noexcept {
        if (f && f->oformat && !(f->oformat->flags & AVFMT_NOFILE)) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
struct DictionaryDeleter {
    void operator()(AVDictionary* d) const noexcept { av_dict_free(&d); }
};
// Memory from av_malloc and the functions built on it (av_image_alloc's planes).
struct AvFreeDeleter {
    void operator()(void* p) const noexcept { av_free(p); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;
template <class T>
using AvMemPtr = std::unique_ptr<T, AvFreeDeleter>;

inline FramePtr makeFrame() {
    return FramePtr(av_frame_alloc());
}
inline PacketPtr makePacket() {
    return PacketPtr(av_packet_alloc());
}

}  // namespace wm
