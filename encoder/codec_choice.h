// Which container and codecs a result gets, and the quality settings that keep the source's look.
#pragma once

#include <cstdint>
#include <string>

#include "encoder/av_ptr.h"

namespace wm {

// The container named by the result's extension (.divx is AVI, .m4v is MP4); nullptr if unknown.
const AVOutputFormat* containerFor(const std::string& path);
// Whether the container can carry this codec.
bool containerTakes(const AVOutputFormat* format, AVCodecID codec);
// A software encoder for the codec; nullptr when Debian's libavcodec has none.
const AVCodec* findEncoder(AVCodecID codec);
// The video codec of the result: the source's where it can be encoded and carried, else the
// container's usual one.
const AVCodec* chooseVideoEncoder(const AVOutputFormat* format, AVCodecID source);
// Whether the encoder needs a time base of one frame (the MPEG family) rather than the source's.
bool needsFrameTimeBase(const AVCodec* encoder);
// Quality: close to the source outside the watermark, at about the source's bit rate or up to
// twice it. sourceBitRate is 0 when unknown.
// The MPEG-4 ASP family and its kin (MPEG-1/2, H.263, FLV1, MS-MPEG4, WMV 1/2): one quantiser a
// frame, which the decoder reports and the encoder takes.
bool quantiserCodec(AVCodecID codec);

// "Same quality": for an encoder of the quantiser family fed by a source of the same family,
// `sourceQuantiser` makes each frame take the quantiser its source frame had (set per frame as
// the frame's quality); otherwise each codec's own way to keep the look.
void applyVideoQuality(AVCodecContext* enc, AVDictionary** options, int64_t sourceBitRate,
                       bool sourceQuantiser = false);

}  // namespace wm
