#include "encoder/video_path.h"

#include "encoder/codec_choice.h"
#include "encoder/share_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/pixdesc.h>
}

namespace wm {

Error FrameConformer::conform(FramePtr& frame) {
    if (frame->width == w_ && frame->height == h_ && frame->format == fmt_) return noError();
    const auto srcFmt = AVPixelFormat(frame->format);
    if (!sws_ || srcW_ != frame->width || srcH_ != frame->height || srcFmt_ != srcFmt) {
        sws_.reset(sws_getContext(frame->width, frame->height, srcFmt, w_, h_, fmt_,
                                  SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
        if (!sws_)
            return failure("convert frames",
                           "cannot convert from " + std::string(av_get_pix_fmt_name(srcFmt)));
        srcW_ = frame->width, srcH_ = frame->height, srcFmt_ = srcFmt;
    }
    FramePtr out = makeFrame();
    out->width = w_, out->height = h_, out->format = fmt_;
    if (int r = av_frame_get_buffer(out.get(), 0); r < 0) return avError(r, "convert frames");
    av_frame_copy_props(out.get(), frame.get());
    sws_scale(sws_.get(), frame->data, frame->linesize, 0, frame->height, out->data, out->linesize);
    frame = std::move(out);
    return noError();
}

Error openVideoDecoder(const AVStream* st, int threadCount, int threadType, CodecContextPtr& out,
                       bool exportQuantisers) {
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return failure("decode video",
                       std::string("no decoder for ") + avcodec_get_name(st->codecpar->codec_id));
    out.reset(avcodec_alloc_context3(codec));
    if (!out) return avError(AVERROR(ENOMEM), "decode video");
    if (int r = avcodec_parameters_to_context(out.get(), st->codecpar); r < 0)
        return avError(r, "decode video");
    out->pkt_timebase = st->time_base;
    out->thread_count = threadCount;
    out->thread_type = threadType;
    // Each frame's quantisers, for the encoder to take the source's quality.
    if (exportQuantisers) out->export_side_data |= AV_CODEC_EXPORT_DATA_VIDEO_ENC_PARAMS;
    if (int r = avcodec_open2(out.get(), codec, nullptr); r < 0) return avError(r, "open the video decoder");
    return noError();
}

Error VideoDecoder::open(const AVStream* st) {
    return openVideoDecoder(st, 0, FF_THREAD_FRAME | FF_THREAD_SLICE, dec_,
                            quantiserCodec(st->codecpar->codec_id));
}

Error VideoDecoder::decode(const AVPacket* pkt, const FrameSink& sink) {
    int r = avcodec_send_packet(dec_.get(), pkt);
    if (r < 0 && r != AVERROR_EOF && r != AVERROR_INVALIDDATA) return avError(r, "decode video");
    for (;;) {
        r = avcodec_receive_frame(dec_.get(), frame_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
        if (r == AVERROR_INVALIDDATA) continue;  // a damaged frame is skipped, as players do
        if (r < 0) return avError(r, "decode video");
        FramePtr out = makeFrame();
        av_frame_move_ref(out.get(), frame_.get());
        out->pts = out->best_effort_timestamp;
        if (Error e = sink(std::move(out))) return e;
    }
}

namespace {

// The decoder's pixel format where the encoder takes it and the frames can be converted to it, else
// the nearest one that is both. A palette (pal8 AVIs) cannot be made from the marked frames: those
// are coded in full colour, as ffmpeg codes them.
AVPixelFormat encoderPixelFormat(const AVCodec* codec, AVPixelFormat decoded) {
    std::vector<AVPixelFormat> usable;
    const auto consider = [&](AVPixelFormat f) {
        if (sws_isSupportedOutput(f) > 0) usable.push_back(f);
    };
    if (codec->pix_fmts) {
        for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
            consider(*p);
    } else {
        // A codec that takes any format (rawvideo): the decoded one, else full colour.
        for (AVPixelFormat f : {decoded, AV_PIX_FMT_BGR24, AV_PIX_FMT_YUV420P})
            consider(f);
    }
    if (std::find(usable.begin(), usable.end(), decoded) != usable.end()) return decoded;
    if (usable.empty()) return codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    usable.push_back(AV_PIX_FMT_NONE);
    return avcodec_find_best_pix_fmt_of_list(usable.data(), decoded, 0, nullptr);
}

}  // namespace

Error VideoEncoder::open(const AVCodec* codec, const AVStream* in, const AVCodecContext* dec,
                         AVRational frameRate, int64_t sourceBitRate, AVFormatContext* out, bool share) {
    enc_.reset(avcodec_alloc_context3(codec));
    if (!enc_) return avError(AVERROR(ENOMEM), "encode video");
    AVCodecContext* e = enc_.get();
    e->width = dec->width;
    e->height = dec->height;
    e->sample_aspect_ratio =
        dec->sample_aspect_ratio.num ? dec->sample_aspect_ratio : in->sample_aspect_ratio;
    e->pix_fmt = encoderPixelFormat(codec, dec->pix_fmt);
    e->color_range = dec->color_range;
    e->color_primaries = dec->color_primaries;
    e->color_trc = dec->color_trc;
    e->colorspace = dec->colorspace;
    e->chroma_sample_location = dec->chroma_sample_location;
    e->field_order = dec->field_order;
    if (share) {
        // 4:2:0 takes even sizes only.
        e->width &= ~1;
        e->height &= ~1;
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(dec->pix_fmt);
        const bool fullRangeFormat = desc && std::strncmp(desc->name, "yuvj", 4) == 0;
        e->pix_fmt = AV_PIX_FMT_YUV420P;
        if (!sharingConversion(dec).empty() || fullRangeFormat) {
            e->color_range = AVCOL_RANGE_MPEG;
            e->color_primaries = AVCOL_PRI_BT709;
            e->color_trc = AVCOL_TRC_BT709;
            e->colorspace = AVCOL_SPC_BT709;
        }
    }
    e->framerate = frameRate;
    // AVI counts frames rather than time, so it needs one tick per frame too.
    if (needsFrameTimeBase(codec) || std::strcmp(out->oformat->name, "avi") == 0) {
        AVRational rate = frameRate;
        if (codec->supported_framerates)
            rate = codec->supported_framerates[av_find_nearest_q_idx(frameRate, codec->supported_framerates)];
        e->time_base = av_inv_q(rate);
    } else {
        e->time_base = in->time_base;
    }
    if (out->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    e->thread_count = 0;

    AVDictionary* rawOptions = nullptr;
    sourceQuantiser_ = !share && quantiserCodec(codec->id) && quantiserCodec(in->codecpar->codec_id);
    if (share)
        applyShareQuality(&rawOptions);
    else
        applyVideoQuality(e, &rawOptions, sourceBitRate, sourceQuantiser_);
    if (const std::string words = x265HdrParams(hdr_);
        !share && !words.empty() && std::strcmp(codec->name, "libx265") == 0) {
        const AVDictionaryEntry* had = av_dict_get(rawOptions, "x265-params", nullptr, 0);
        av_dict_set(&rawOptions, "x265-params", ((had ? std::string(had->value) + ":" : "") + words).c_str(),
                    0);
    }
    DictionaryPtr options(rawOptions);
    AVDictionary* opts = options.release();
    int r = avcodec_open2(e, codec, &opts);
    options.reset(opts);
    if (r < 0) return avError(r, std::string("open the ") + codec->name + " video encoder");

    AVStream* st = avformat_new_stream(out, nullptr);
    if (!st) return avError(AVERROR(ENOMEM), "add the video stream");
    if (int rr = avcodec_parameters_from_context(st->codecpar, e); rr < 0)
        return avError(rr, "add the video stream");
    // The source's tag (XVID, DIVX, DX50, …) where the container has tags and it names the same codec:
    // some players pick their decoder by it.
    const uint32_t tag = in->codecpar->codec_tag;
    if (tag && in->codecpar->codec_id == codec->id && out->oformat->codec_tag &&
        av_codec_get_id(out->oformat->codec_tag, tag) == codec->id)
        st->codecpar->codec_tag = tag;
    st->time_base = e->time_base;
    st->avg_frame_rate = frameRate;
    st->sample_aspect_ratio = e->sample_aspect_ratio;
    st->disposition = in->disposition;
    // Rotation and similar display hints travel as stream side data.
    for (int i = 0; i < in->nb_side_data; ++i) {
        const AVPacketSideData& sd = in->side_data[i];
        // A shared copy keeps the rotation; HDR's light levels no longer fit its picture.
        if (share && sd.type != AV_PKT_DATA_DISPLAYMATRIX) continue;
        // Dolby Vision's record announces an RPU the new pictures do not have.
        if (sd.type == AV_PKT_DATA_DOVI_CONF) continue;
        uint8_t* dst = av_stream_new_side_data(st, sd.type, sd.size);
        if (!dst) return avError(AVERROR(ENOMEM), "add the video stream");
        memcpy(dst, sd.data, sd.size);
    }
    if (!share)
        if (Error err = keepHdrData(hdr_, st)) return err;
    if (const AVDictionaryEntry* rotate = av_dict_get(in->metadata, "rotate", nullptr, 0))
        av_dict_set(&st->metadata, "rotate", rotate->value, 0);
    streamIndex_ = st->index;
    return noError();
}

Error VideoEncoder::encode(AVFrame* frame, const PacketSink& sink, const std::function<bool()>& enough) {
    int r = avcodec_send_frame(enc_.get(), frame);
    if (r < 0 && r != AVERROR_EOF) return avError(r, "encode video");
    for (;;) {
        if (!frame && enough && enough()) return noError();
        r = avcodec_receive_packet(enc_.get(), pkt_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
        if (r < 0) return avError(r, "encode video");
        size_t size = 0;
        if (const uint8_t* q = av_packet_get_side_data(pkt_.get(), AV_PKT_DATA_QUALITY_STATS, &size);
            q && size >= 4)
            if (const int32_t lambda = int32_t(AV_RL32(q)); lambda > 0)
                quality_ = double(lambda) / FF_QP2LAMBDA;
        pkt_->stream_index = streamIndex_;
        if (Error err = sink(pkt_.get())) return err;
        av_packet_unref(pkt_.get());
    }
}

}  // namespace wm
