#include "encoder/share_picture.h"

#include <algorithm>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

namespace wm {
namespace {

bool isHdr(AVColorTransferCharacteristic trc) {
    return trc == AVCOL_TRC_SMPTE2084 || trc == AVCOL_TRC_ARIB_STD_B67;
}

}  // namespace

std::string sharingConversion(const AVCodecContext* d) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(d->pix_fmt);
    const int depth = desc ? desc->comp[0].depth : 8;
    const std::string bits = depth > 8 ? std::to_string(depth) + "-bit" : "";
    if (isHdr(d->color_trc)) return bits.empty() ? "HDR" : bits + " HDR";
    if (!bits.empty()) return bits;
    if (d->color_primaries == AVCOL_PRI_BT2020 || d->colorspace == AVCOL_SPC_BT2020_NCL ||
        d->colorspace == AVCOL_SPC_BT2020_CL)
        return "BT.2020";
    return {};
}

void applyShareQuality(AVDictionary** options) {
    // No rate cap: x264's rate buffer model costs half as much time again (bench/keep_bench.sh),
    // and quality 20 already keeps the size near the source's.
    av_dict_set(options, "preset", "veryfast", 0);
    av_dict_set(options, "crf", "20", 0);
    av_dict_set(options, "profile", "high", 0);
}

Error SharePicture::open(const AVCodecContext* d, AVRational timeBase) {
    const std::string what = "convert the picture for sharing";
    graph_.reset(avfilter_graph_alloc());
    if (!graph_) return avError(AVERROR(ENOMEM), what);
    const AVRational sar = d->sample_aspect_ratio.num > 0 ? d->sample_aspect_ratio : AVRational{1, 1};
    const std::string srcArgs = "video_size=" + std::to_string(d->width) + "x" + std::to_string(d->height) +
                                ":pix_fmt=" + std::to_string(int(d->pix_fmt)) +
                                ":time_base=" + std::to_string(timeBase.num) + "/" +
                                std::to_string(timeBase.den) + ":pixel_aspect=" + std::to_string(sar.num) +
                                "/" + std::to_string(sar.den);
    if (int r = avfilter_graph_create_filter(&src_, avfilter_get_by_name("buffer"), "in", srcArgs.c_str(),
                                             nullptr, graph_.get());
        r < 0)
        return avError(r, what);
    if (int r = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                             nullptr, graph_.get());
        r < 0)
        return avError(r, what);
    // zscale reads each frame's colour tags; untagged wide-gamut sources are taken as BT.2020.
    std::string in;
    if (d->color_primaries == AVCOL_PRI_UNSPECIFIED) in += ":pin=2020";
    if (d->colorspace == AVCOL_SPC_UNSPECIFIED) in += ":min=2020_ncl";
    if (d->color_range == AVCOL_RANGE_UNSPECIFIED) in += ":rin=limited";
    std::string chain;
    if (isHdr(d->color_trc))
        chain = "zscale=t=linear:npl=100" + in +
                ",format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
                "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";
    else if (sharingConversion(d) == "BT.2020")
        chain = "zscale=p=bt709:t=bt709:m=bt709:r=tv" + in + ",format=yuv420p";
    else
        chain = "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p";
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
    return noError();
}

Error SharePicture::convert(FramePtr& frame) {
    const int64_t pts = frame->pts;
    if (int r = av_buffersrc_add_frame_flags(src_, frame.get(), AV_BUFFERSRC_FLAG_KEEP_REF); r < 0)
        return avError(r, "convert the picture for sharing");
    FramePtr out = makeFrame();
    if (int r = av_buffersink_get_frame(sink_, out.get()); r < 0)
        return avError(r, "convert the picture for sharing");
    out->pts = pts;
    out->color_primaries = AVCOL_PRI_BT709;
    out->color_trc = AVCOL_TRC_BT709;
    out->colorspace = AVCOL_SPC_BT709;
    out->color_range = AVCOL_RANGE_MPEG;
    frame = std::move(out);
    return noError();
}

}  // namespace wm
