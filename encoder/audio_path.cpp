#include "encoder/audio_path.h"

#include <string>

#include "encoder/codec_choice.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

namespace wm {
namespace {

bool takesRate(const AVCodec* c, int rate) {
    if (!c->supported_samplerates) return true;
    for (const int* r = c->supported_samplerates; *r; ++r)
        if (*r == rate) return true;
    return false;
}

}  // namespace

Error AudioResampler::open(const AVStream* in, int rate, AVFormatContext* out, AVCodecID only) {
    const std::string what = "resample audio stream #" + std::to_string(in->index);
    const AVCodec* decoder = avcodec_find_decoder(in->codecpar->codec_id);
    if (!decoder)
        return failure(what, std::string("no decoder for ") + avcodec_get_name(in->codecpar->codec_id));
    dec_.reset(avcodec_alloc_context3(decoder));
    if (!dec_) return avError(AVERROR(ENOMEM), what);
    if (int r = avcodec_parameters_to_context(dec_.get(), in->codecpar); r < 0) return avError(r, what);
    dec_->pkt_timebase = in->time_base;
    if (int r = avcodec_open2(dec_.get(), decoder, nullptr); r < 0) return avError(r, what);
    inTimeBase_ = in->time_base;

    const AVCodecID candidates[] = {in->codecpar->codec_id, out->oformat->audio_codec, AV_CODEC_ID_AAC,
                                    AV_CODEC_ID_MP3,        AV_CODEC_ID_VORBIS,        AV_CODEC_ID_MP2};
    Error last = failure(what, "no audio encoder fits the result's container");
    for (AVCodecID id : candidates) {
        if (only != AV_CODEC_ID_NONE && id != only) continue;
        const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : findEncoder(id);
        if (!codec || !containerTakes(out->oformat, id) || !takesRate(codec, rate)) continue;
        last = openEncoder(codec, rate, out);
        if (last.ok()) break;
    }
    if (!last.ok()) return last;
    return openFilter(rate);
}

Error AudioResampler::openEncoder(const AVCodec* codec, int rate, AVFormatContext* out) {
    const std::string what = std::string("open the ") + codec->name + " audio encoder";
    for (int attempt = 0; attempt < 2; ++attempt) {
        enc_.reset(avcodec_alloc_context3(codec));
        if (!enc_) return avError(AVERROR(ENOMEM), what);
        AVCodecContext* e = enc_.get();
        e->sample_rate = rate;
        e->time_base = AVRational{1, rate};
        e->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : dec_->sample_fmt;
        if (codec->sample_fmts)
            for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
                if (*f == dec_->sample_fmt) e->sample_fmt = *f;
        av_channel_layout_copy(&e->ch_layout, &dec_->ch_layout);
        if (codec->ch_layouts) {
            bool ok = false;
            for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels; ++l)
                ok |= av_channel_layout_compare(l, &dec_->ch_layout) == 0;
            if (!ok) {
                av_channel_layout_uninit(&e->ch_layout);
                AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
                av_channel_layout_copy(&e->ch_layout, &stereo);
            }
        }
        if (e->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&e->ch_layout, e->ch_layout.nb_channels);
        // The source's rate in bits first; some codecs refuse it at the lower sampling rate.
        e->bit_rate = attempt == 0 && dec_->bit_rate > 0 ? dec_->bit_rate : 0;
        if (out->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(e, codec, nullptr) >= 0) break;
        if (attempt == 1) return failure(what, "the encoder refuses this audio");
    }
    AVStream* st = avformat_new_stream(out, nullptr);
    if (!st) return avError(AVERROR(ENOMEM), what);
    if (int r = avcodec_parameters_from_context(st->codecpar, enc_.get()); r < 0) return avError(r, what);
    st->time_base = enc_->time_base;
    streamIndex_ = st->index;
    return noError();
}

Error AudioResampler::openFilter(int rate) {
    const std::string what = "set up audio resampling";
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) return avError(AVERROR(ENOMEM), what);
    graph_->nb_threads = 1;
    char layout[128] = {};
    av_channel_layout_describe(&dec_->ch_layout, layout, sizeof layout);
    if (dec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        AVChannelLayout def{};
        av_channel_layout_default(&def, dec_->ch_layout.nb_channels);
        av_channel_layout_describe(&def, layout, sizeof layout);
    }
    const std::string srcArgs = "time_base=1/" + std::to_string(dec_->sample_rate) +
                                ":sample_rate=" + std::to_string(dec_->sample_rate) +
                                ":sample_fmt=" + av_get_sample_fmt_name(dec_->sample_fmt) +
                                ":channel_layout=" + layout;
    if (int r = avfilter_graph_create_filter(&src_, avfilter_get_by_name("abuffer"), "in", srcArgs.c_str(),
                                             nullptr, graph_.get());
        r < 0)
        return avError(r, what);
    if (int r = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                             nullptr, graph_.get());
        r < 0)
        return avError(r, what);
    char outLayout[128] = {};
    av_channel_layout_describe(&enc_->ch_layout, outLayout, sizeof outLayout);
    const std::string chain = "aresample=" + std::to_string(rate) +
                              ",aformat=sample_fmts=" + av_get_sample_fmt_name(enc_->sample_fmt) +
                              ":channel_layouts=" + outLayout;
    FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
    if (!outputs || !inputs) return avError(AVERROR(ENOMEM), what);
    outputs->name = av_strdup("in");
    outputs->filter_ctx = src_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    AVFilterInOut* ins = inputs.release();
    AVFilterInOut* outs = outputs.release();
    int r = avfilter_graph_parse_ptr(graph_.get(), chain.c_str(), &ins, &outs, nullptr);
    inputs.reset(ins);
    outputs.reset(outs);
    if (r < 0) return avError(r, what);
    if ((r = avfilter_graph_config(graph_.get(), nullptr)) < 0) return avError(r, what);
    if (!(enc_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && enc_->frame_size > 0)
        av_buffersink_set_frame_size(sink_, unsigned(enc_->frame_size));
    return noError();
}

Error AudioResampler::process(const AVPacket* pkt, const PacketSink& sink) {
    int r = avcodec_send_packet(dec_.get(), pkt);
    if (r < 0 && r != AVERROR_EOF && r != AVERROR_INVALIDDATA) return avError(r, "decode audio");
    for (;;) {
        r = avcodec_receive_frame(dec_.get(), frame_.get());
        if (r == AVERROR(EAGAIN)) return noError();
        if (r == AVERROR_EOF) break;
        if (r == AVERROR_INVALIDDATA) continue;
        if (r < 0) return avError(r, "decode audio");
        const AVRational rateBase{1, frame_->sample_rate};
        if (frame_->best_effort_timestamp != AV_NOPTS_VALUE)
            frame_->pts = av_rescale_q(frame_->best_effort_timestamp, inTimeBase_, rateBase);
        else
            frame_->pts = AV_NOPTS_VALUE;
        if ((r = av_buffersrc_add_frame(src_, frame_.get())) < 0) return avError(r, "resample audio");
        if (Error e = drainFilter(sink)) return e;
    }
    if ((r = av_buffersrc_add_frame(src_, nullptr)) < 0) return avError(r, "resample audio");
    if (Error e = drainFilter(sink)) return e;
    return encode(nullptr, sink);
}

Error AudioResampler::drainFilter(const PacketSink& sink) {
    for (;;) {
        int r = av_buffersink_get_frame(sink_, filtered_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
        if (r < 0) return avError(r, "resample audio");
        filtered_->pts = av_rescale_q(filtered_->pts, av_buffersink_get_time_base(sink_), enc_->time_base);
        Error e = encode(filtered_.get(), sink);
        av_frame_unref(filtered_.get());
        if (e) return e;
    }
}

Error AudioResampler::encode(AVFrame* frame, const PacketSink& sink) {
    int r = avcodec_send_frame(enc_.get(), frame);
    if (r < 0 && r != AVERROR_EOF) return avError(r, "encode audio");
    for (;;) {
        r = avcodec_receive_packet(enc_.get(), pkt_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
        if (r < 0) return avError(r, "encode audio");
        pkt_->stream_index = streamIndex_;
        Error e = sink(pkt_.get());
        av_packet_unref(pkt_.get());
        if (e) return e;
    }
}

}  // namespace wm
