#include "encoder/codec_choice.h"

#include <algorithm>
#include <cctype>
#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

namespace wm {
namespace {

std::string extensionOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool isOneOf(AVCodecID id, std::initializer_list<AVCodecID> ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool named(const AVCodec* c, const char* name) {
    return c && std::strcmp(c->name, name) == 0;
}

}  // namespace

const AVOutputFormat* containerFor(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (ext == "divx") return av_guess_format("avi", nullptr, nullptr);
    if (ext == "m4v") return av_guess_format("mp4", nullptr, nullptr);
    if (ext == "mpg" || ext == "mpeg") return av_guess_format("mpeg", nullptr, nullptr);
    if (ext.empty()) return nullptr;
    return av_guess_format(nullptr, ("x." + ext).c_str(), nullptr);
}

bool containerTakes(const AVOutputFormat* format, AVCodecID codec) {
    // FLV lists these in its table but refuses them when writing the header.
    if (std::strcmp(format->name, "flv") == 0 && isOneOf(codec, {AV_CODEC_ID_MPEG4, AV_CODEC_ID_H263}))
        return false;
    const int r = avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL);
    if (r >= 0) return r == 1;
    // Muxers that keep no codec table.
    if (std::strcmp(format->name, "mpegts") == 0)
        return isOneOf(codec, {AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG4,
                               AV_CODEC_ID_H264, AV_CODEC_ID_HEVC, AV_CODEC_ID_MP2, AV_CODEC_ID_MP3,
                               AV_CODEC_ID_AAC, AV_CODEC_ID_AC3, AV_CODEC_ID_EAC3, AV_CODEC_ID_OPUS});
    if (std::strcmp(format->name, "mpeg") == 0)
        return isOneOf(codec, {AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2,
                               AV_CODEC_ID_MP3, AV_CODEC_ID_AC3, AV_CODEC_ID_PCM_DVD});
    return codec == format->video_codec || codec == format->audio_codec;
}

const AVCodec* findEncoder(AVCodecID codec) {
    void* it = nullptr;
    while (const AVCodec* c = av_codec_iterate(&it)) {
        if (c->id != codec || !av_codec_is_encoder(c)) continue;
        if (c->capabilities & (AV_CODEC_CAP_EXPERIMENTAL | AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_HYBRID))
            continue;
        if (c->wrapper_name && std::strcmp(c->wrapper_name, "libx264") != 0 &&
            std::strncmp(c->name, "lib", 3) != 0)
            continue;  // hardware wrappers (vaapi, qsv, v4l2m2m, omx) that need a device
        return c;
    }
    return nullptr;
}

const AVCodec* chooseVideoEncoder(const AVOutputFormat* format, AVCodecID source) {
    if (const AVCodec* c = findEncoder(source); c && containerTakes(format, source)) return c;
    return findEncoder(format->video_codec);
}

bool needsFrameTimeBase(const AVCodec* encoder) {
    return !isOneOf(encoder->id, {AV_CODEC_ID_H264, AV_CODEC_ID_HEVC, AV_CODEC_ID_VP8, AV_CODEC_ID_VP9,
                                  AV_CODEC_ID_AV1, AV_CODEC_ID_FFV1, AV_CODEC_ID_HUFFYUV, AV_CODEC_ID_FFVHUFF,
                                  AV_CODEC_ID_RAWVIDEO, AV_CODEC_ID_PNG, AV_CODEC_ID_UTVIDEO});
}

bool quantiserCodec(AVCodecID codec) {
    return isOneOf(codec, {AV_CODEC_ID_MPEG4, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO,
                           AV_CODEC_ID_MSMPEG4V2, AV_CODEC_ID_MSMPEG4V3, AV_CODEC_ID_WMV1, AV_CODEC_ID_WMV2,
                           AV_CODEC_ID_FLV1, AV_CODEC_ID_H263, AV_CODEC_ID_H263P});
}

void applyVideoQuality(AVCodecContext* enc, AVDictionary** options, int64_t sourceBitRate,
                       bool sourceQuantiser) {
    const AVCodec* c = enc->codec;
    const int64_t cap = sourceBitRate > 0 ? sourceBitRate * 2 : 0;
    if (named(c, "libx264") || named(c, "libx265")) {
        av_dict_set(options, "preset", "veryfast", 0);
        av_dict_set(options, "crf", "18", 0);
        // x265 writes its own log straight to the console, which the windows read.
        if (named(c, "libx265")) av_dict_set(options, "x265-params", "log-level=error", 0);
        if (cap > 0) {
            enc->rc_max_rate = cap;
            enc->rc_buffer_size = int(std::min<int64_t>(cap * 2, INT32_MAX));
        }
    } else if (named(c, "libaom-av1")) {
        // The library's defaults manage a few frames a second; its realtime mode
        // keeps up with decoding and still keeps the quality.
        av_dict_set(options, "usage", "realtime", 0);
        av_dict_set(options, "cpu-used", "8", 0);
        av_dict_set(options, "row-mt", "1", 0);
        av_dict_set(options, "crf", "24", 0);
        enc->bit_rate = cap;  // constrained quality; 0 leaves it unconstrained
    } else if (named(c, "libvpx") || named(c, "libvpx-vp9")) {
        av_dict_set(options, "deadline", "realtime", 0);
        av_dict_set(options, "cpu-used", "8", 0);
        av_dict_set(options, "crf", named(c, "libvpx") ? "8" : "20", 0);
        if (named(c, "libvpx-vp9")) av_dict_set(options, "row-mt", "1", 0);
        enc->bit_rate = cap > 0 ? cap : 8'000'000;
    } else if (isOneOf(c->id,
                       {AV_CODEC_ID_MPEG4, AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO,
                        AV_CODEC_ID_MSMPEG4V2, AV_CODEC_ID_MSMPEG4V3, AV_CODEC_ID_WMV1, AV_CODEC_ID_WMV2,
                        AV_CODEC_ID_FLV1, AV_CODEC_ID_H263, AV_CODEC_ID_H263P, AV_CODEC_ID_MJPEG})) {
        // The source's own quantiser, frame by frame: its quality at about its size. From another
        // family, an average of twice the source's rate (easy pictures stop at the finest
        // quantiser, 2, and take less); a fixed quantiser of 2 when the source's rate is unknown.
        if (sourceQuantiser) {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = FF_QP2LAMBDA * 3;  // until a frame says otherwise
        } else if (cap > 0) {
            enc->bit_rate = cap;
        } else {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = FF_QP2LAMBDA * 2;
        }
    }
}

}  // namespace wm
