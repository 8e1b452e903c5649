#include "encoder/smart_render.h"

#include <sys/stat.h>
#include <algorithm>
#include <cstring>

#include "encoder/codec_choice.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace wm {
namespace {

bool isContainer(const AVOutputFormat* f, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (std::strcmp(f->name, n) == 0) return true;
    return false;
}

// The source's video packets in decoding order, read without decoding in a second reading of the
// file, so that the conversion's own reading starts at the beginning.
Error scanPackets(const std::string& path, int index, const StopRequest* stop, std::vector<SourcePacket>& out,
                  bool& untimed) {
    untimed = false;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return avError(AVERROR(ENOMEM), "read the source's key frames");
    raw->interrupt_callback = {interruptOnStop, const_cast<StopRequest*>(stop)};
    // On failure avformat_open_input frees the context itself.
    if (int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); r < 0)
        return avError(r, "read the source's key frames");
    InputFormatPtr file(raw);
    if (index < 0 || unsigned(index) >= raw->nb_streams)
        return failure("read the source's key frames", "its video stream is not where it was");
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        raw->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    PacketPtr pkt = makePacket();
    for (;;) {
        const int r = av_read_frame(raw, pkt.get());
        if (r == AVERROR_EOF) break;
        if (r == AVERROR(EAGAIN)) continue;
        if (r < 0) return avError(r, "read the source's key frames");
        if (pkt->stream_index == index && pkt->size > 0) {
            untimed = untimed || pkt->pts == AV_NOPTS_VALUE;
            out.push_back({pkt->pts, (pkt->flags & AV_PKT_FLAG_KEY) != 0});
        }
        av_packet_unref(pkt.get());
    }
    return noError();
}

const char* x264Profile(int profile) {
    switch (profile) {
        case FF_PROFILE_H264_BASELINE:
        case FF_PROFILE_H264_CONSTRAINED_BASELINE:
            return "baseline";
        case FF_PROFILE_H264_MAIN:
            return "main";
        case FF_PROFILE_H264_HIGH:
            return "high";
        case FF_PROFILE_H264_HIGH_10:
            return "high10";
        case FF_PROFILE_H264_HIGH_422:
            return "high422";
        case FF_PROFILE_H264_HIGH_444_PREDICTIVE:
            return "high444";
        default:
            return nullptr;
    }
}

const char* x265Profile(int profile) {
    switch (profile) {
        case FF_PROFILE_HEVC_MAIN:
            return "main";
        case FF_PROFILE_HEVC_MAIN_10:
            return "main10";
        default:
            return nullptr;
    }
}

}  // namespace

std::string wholeVideoNote(const std::string& why) {
    return "Note: the whole video is re-encoded: " + why;
}

AVPixelFormat SmartRender::pixelFormat() const noexcept {
    return enc_ ? enc_->pix_fmt : AV_PIX_FMT_NONE;
}

Error SmartRender::open(const SmartSource& src, std::unique_ptr<SmartRender>& out, std::string& why) {
    out.reset();
    const AVCodecParameters* par = src.stream->codecpar;
    const bool h264 = par->codec_id == AV_CODEC_ID_H264, hevc = par->codec_id == AV_CODEC_ID_HEVC;
    if (!h264 && !hevc) {
        why = std::string("its ") + avcodec_get_name(par->codec_id) +
              " video cannot be joined to a re-encoded stretch (H.264 and HEVC can)";
        return noError();
    }
    if (!isContainer(src.format, {"mp4", "mov", "matroska", "ipod"})) {
        why = std::string("a re-encoded stretch is joined in MP4, MOV and MKV only, not in ") +
              src.format->name;
        return noError();
    }
    if (src.decoded->field_order != AV_FIELD_UNKNOWN && src.decoded->field_order != AV_FIELD_PROGRESSIVE) {
        why = "its video is interlaced";
        return noError();
    }
    // The packets are read twice: a pipe gives them once.
    struct stat st {};
    if (::stat(src.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "its source is not a file that can be read twice (a pipe)";
        return noError();
    }
    auto s = std::make_unique<SmartRender>();
    s->codec_ = par->codec_id;
    s->in_ = src.stream;
    s->base_ = src.stream->time_base;
    // The source's parameter sets stay in the result's header; the stretch's come in its packets.
    if (h264) {
        const auto record = readAvcRecord(par->extradata, size_t(par->extradata_size));
        if (!record) {
            why = "its H.264 parameter sets are not in the container's header";
            return noError();
        }
        s->lengthSize_ = record->lengthSize;
    } else {
        const auto record = readHevcRecord(par->extradata, size_t(par->extradata_size));
        if (!record) {
            why = "its HEVC parameter sets are not in the container's header";
            return noError();
        }
        s->lengthSize_ = record->lengthSize;
        s->resumeSets_ = record->parameterSets;
    }

    std::vector<SourcePacket> packets;
    bool untimed = false;
    if (Error e = scanPackets(src.path, src.stream->index, src.stop, packets, untimed)) return e;
    if (untimed) {
        why = "its video packets carry no times";
        return noError();
    }
    s->clock_.tick = av_q2d(s->base_);
    s->clock_.start = src.stream->start_time != AV_NOPTS_VALUE ? src.stream->start_time
                      : packets.empty()                        ? 0
                                                               : packets.front().pts;
    const auto plan = planStretch(packets, s->clock_, src.range, why);
    if (!plan) return noError();
    if (!copiesSomething(*plan, packets.size())) return noError();
    s->plan_ = *plan;
    s->step_ = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(src.frameRate), s->base_));

    int64_t lastPts = packets.front().pts;
    for (const SourcePacket& p : packets)
        lastPts = std::max(lastPts, p.pts);
    const double total = s->clock_.seconds(lastPts + s->step_);
    if (s->plan_.copiesAll())
        s->text_ = reencodedText(std::nullopt, std::nullopt, total);
    else
        s->text_ = reencodedText(
            s->clock_.seconds(plan->fromPts),
            plan->untilPts == INT64_MAX ? std::nullopt : std::optional(s->clock_.seconds(plan->untilPts)),
            total);
    // A group either side of the stretch.
    size_t before = plan->first, after = plan->end;
    for (size_t i = plan->first; i-- > 0;)
        if (packets[i].key) {
            before = i;
            break;
        }
    for (size_t i = plan->end + 1; i <= packets.size(); ++i)
        if (i == packets.size() || packets[i].key) {
            after = i;
            break;
        }
    s->joinPackets_ = {before, std::min(after, packets.size())};

    if (!s->plan_.copiesAll()) {
        if (Error e = s->decoder_.open(src.stream)) return e;
        if (Error e = s->openEncoder(src, why); e || !why.empty()) return e;
    }
    out = std::move(s);
    return noError();
}

Error SmartRender::openEncoder(const SmartSource& src, std::string& why) {
    const AVCodecParameters* par = src.stream->codecpar;
    const bool h264 = codec_ == AV_CODEC_ID_H264;
    const AVCodec* codec = avcodec_find_encoder_by_name(h264 ? "libx264" : "libx265");
    if (!codec) {
        why = std::string("there is no ") + (h264 ? "libx264" : "libx265") + " encoder";
        return noError();
    }
    const AVCodecContext* dec = src.decoded;
    bool takes = false;
    for (const AVPixelFormat* p = codec->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
        takes = takes || *p == dec->pix_fmt;
    if (!takes) {
        const char* name = av_get_pix_fmt_name(dec->pix_fmt);
        why = std::string("the ") + codec->name + " encoder does not take its pixel format " +
              (name ? name : "?");
        return noError();
    }
    enc_.reset(avcodec_alloc_context3(codec));
    if (!enc_) return avError(AVERROR(ENOMEM), "encode video");
    AVCodecContext* e = enc_.get();
    e->width = dec->width;
    e->height = dec->height;
    e->pix_fmt = dec->pix_fmt;
    e->sample_aspect_ratio =
        dec->sample_aspect_ratio.num ? dec->sample_aspect_ratio : src.stream->sample_aspect_ratio;
    e->color_range = dec->color_range;
    e->color_primaries = dec->color_primaries;
    e->color_trc = dec->color_trc;
    e->colorspace = dec->colorspace;
    e->chroma_sample_location = dec->chroma_sample_location;
    e->framerate = src.frameRate;
    e->time_base = base_;
    e->level = par->level > 0 ? par->level : FF_LEVEL_UNKNOWN;
    // No B-frames where the source has none: a decoder then has no frames to reorder at a join.
    if (par->video_delay == 0) e->max_b_frames = 0;
    e->thread_count = 0;
    // No global header: the parameter sets go in front of each key frame, where a decoder finds them
    // at the join.

    AVDictionary* raw = nullptr;
    applyVideoQuality(e, &raw, src.bitRate);
    DictionaryPtr options(raw);
    raw = options.release();
    std::string params;
    if (h264) {
        const auto record = readAvcRecord(par->extradata, size_t(par->extradata_size));
        const int id = record ? freeParameterSetId(*record) : -1;
        if (id < 0) {
            why = "its H.264 parameter sets leave no id free for the re-encoded stretch";
            av_dict_free(&raw);
            return noError();
        }
        params = "sps-id=" + std::to_string(id);
        if (par->video_delay == 1) params += ":b-pyramid=none";
        if (const char* profile = x264Profile(par->profile)) av_dict_set(&raw, "profile", profile, 0);
        av_dict_set(&raw, "x264-params", params.c_str(), 0);
    } else {
        params = "log-level=error:repeat-headers=1:open-gop=0";
        if (par->level > 0) params += ":level-idc=" + std::to_string(par->level / 3);
        if (par->video_delay == 1) params += ":b-pyramid=0";
        if (const char* profile = x265Profile(par->profile)) av_dict_set(&raw, "profile", profile, 0);
        av_dict_set(&raw, "x265-params", params.c_str(), 0);
    }
    const int r = avcodec_open2(e, codec, &raw);
    av_dict_free(&raw);
    if (r < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(r, text, sizeof text);
        why = std::string("the ") + codec->name + " encoder cannot match its video (" + text + ")";
        enc_.reset();
        return noError();
    }
    toEncoder_.target(e->width, e->height, e->pix_fmt);
    return noError();
}

Error SmartRender::addStream(AVFormatContext* out) {
    AVStream* st = avformat_new_stream(out, nullptr);
    if (!st) return avError(AVERROR(ENOMEM), "add the video stream");
    if (int r = avcodec_parameters_copy(st->codecpar, in_->codecpar); r < 0)
        return avError(r, "add the video stream");
    // The source's tag where the container has tags and it names the same codec (hvc1, avc1).
    st->codecpar->codec_tag = 0;
    const uint32_t tag = in_->codecpar->codec_tag;
    if (tag && out->oformat->codec_tag && av_codec_get_id(out->oformat->codec_tag, tag) == codec_)
        st->codecpar->codec_tag = tag;
    st->time_base = in_->time_base;
    st->avg_frame_rate = in_->avg_frame_rate;
    st->sample_aspect_ratio = in_->sample_aspect_ratio;
    st->disposition = in_->disposition;
    for (int i = 0; i < in_->nb_side_data; ++i) {
        const AVPacketSideData& sd = in_->side_data[i];
        uint8_t* dst = av_stream_new_side_data(st, sd.type, sd.size);
        if (!dst) return avError(AVERROR(ENOMEM), "add the video stream");
        std::memcpy(dst, sd.data, sd.size);
    }
    streamIndex_ = st->index;
    return noError();
}

Error SmartRender::copy(AVPacket* pkt, const WriteFn& write) {
    // Matroska gives the first packets no decoding time; the muxer makes them up as for a plain copy.
    const int64_t dts = pkt->dts;
    if (lastDts_ && dts != AV_NOPTS_VALUE && dts <= *lastDts_)
        return failure("join the re-encoded stretch", "its last frames are timed after the copied ones");
    if (dts != AV_NOPTS_VALUE) lastDts_ = dts;
    ++frames_;
    if (pkt->pts != AV_NOPTS_VALUE) seconds_ = std::max(seconds_, clock_.seconds(pkt->pts + step_));
    pkt->stream_index = streamIndex_;
    return write(pkt, base_);
}

Error SmartRender::take(AVPacket* pkt, const MarkFn& mark, const WriteFn& write) {
    const bool key = pkt->flags & AV_PKT_FLAG_KEY;
    if (where_ == Where::Before && key && pkt->pts == plan_.fromPts && !plan_.copiesAll()) {
        where_ = Where::Inside;
    } else if (where_ == Where::Inside && key && pkt->pts == plan_.untilPts) {
        if (Error e = endStretch(mark, write)) return e;
        where_ = Where::After;
    }
    if (where_ == Where::Inside) {
        sourceDts_.push_back(pkt->dts);
        return decode(pkt, mark, write);
    }
    // HEVC: the stretch's parameter sets take the source's ids, so each copied key frame brings the
    // source's own again: a decoder that seeks to it after the stretch must not use the stretch's.
    if (key && !resumeSets_.empty()) {
        PacketPtr joined = makePacket();
        if (int r = av_new_packet(joined.get(), int(resumeSets_.size()) + pkt->size); r < 0)
            return avError(r, "join the re-encoded stretch");
        std::memcpy(joined->data, resumeSets_.data(), resumeSets_.size());
        std::memcpy(joined->data + resumeSets_.size(), pkt->data, size_t(pkt->size));
        if (int r = av_packet_copy_props(joined.get(), pkt); r < 0)
            return avError(r, "join the re-encoded stretch");
        return copy(joined.get(), write);
    }
    return copy(pkt, write);
}

Error SmartRender::encode(AVFrame* frame, const WriteFn& write, const std::function<bool()>& enough) {
    if (frame) {
        FramePtr own = makeFrame();
        if (int r = av_frame_ref(own.get(), frame); r < 0) return avError(r, "encode video");
        if (Error e = toEncoder_.conform(own)) return e;
        // The stretch opens with an IDR frame: nothing in it refers to the copied frames before.
        own->pict_type = firstFrame_ ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        firstFrame_ = false;
        seconds_ = std::max(seconds_, clock_.seconds(own->pts + step_));
        int r = avcodec_send_frame(enc_.get(), own.get());
        if (r < 0) return avError(r, "encode video");
    } else {
        int r = avcodec_send_frame(enc_.get(), nullptr);
        if (r < 0 && r != AVERROR_EOF) return avError(r, "encode video");
    }
    for (;;) {
        if (!frame && enough && enough()) return noError();
        const int r = avcodec_receive_packet(enc_.get(), pkt_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
        if (r < 0) return avError(r, "encode video");
        Error e = writeCoded(pkt_.get(), write);
        av_packet_unref(pkt_.get());
        if (e) return e;
    }
}

Error SmartRender::writeCoded(AVPacket* pkt, const WriteFn& write) {
    std::vector<uint8_t> data;
    if (!lengthPrefixed(pkt->data, size_t(pkt->size), lengthSize_, data))
        return failure("encode video", "the encoder gave a packet without NAL units");
    PacketPtr out = makePacket();
    if (int r = av_new_packet(out.get(), int(data.size())); r < 0) return avError(r, "encode video");
    std::memcpy(out->data, data.data(), data.size());
    out->pts = pkt->pts;
    out->duration = pkt->duration;
    out->flags = pkt->flags;
    // Where the source's time is unknown (Matroska's first packets), the encoder's own.
    int64_t source = dtsUsed_ < sourceDts_.size() ? sourceDts_[dtsUsed_++] : AV_NOPTS_VALUE;
    if (source == AV_NOPTS_VALUE) source = pkt->dts;
    const auto dts = joinedDts(lastDts_, source, pkt->pts);
    if (!dts) return failure("join the re-encoded stretch", "no decoding time fits between its frames");
    out->dts = *dts;
    lastDts_ = *dts;
    ++frames_;
    out->stream_index = streamIndex_;
    return write(out.get(), base_);
}

Error SmartRender::decode(const AVPacket* pkt, const MarkFn& mark, const WriteFn& write) {
    return decoder_.decode(pkt, [&](FramePtr frame) -> Error {
        if (frame->pts < plan_.fromPts || frame->pts >= plan_.untilPts) return noError();
        if (Error e = mark(frame)) return e;
        return encode(frame.get(), write);
    });
}

Error SmartRender::endStretch(const MarkFn& mark, const WriteFn& write) {
    if (Error e = decode(nullptr, mark, write)) return e;
    return encode(nullptr, write);
}

Error SmartRender::finish(bool stopped, const MarkFn& mark, const WriteFn& write,
                          const std::function<bool()>& enough, bool& leftOut) {
    leftOut = false;
    if (where_ != Where::Inside) return noError();
    where_ = Where::After;
    // A stop leaves out the frames the decoder still holds, as a whole conversion does.
    if (!stopped)
        if (Error e = decode(nullptr, mark, write)) return e;
    if (Error e = encode(nullptr, write, enough)) return e;
    leftOut = stopped && enough && enough();
    return noError();
}

}  // namespace wm
