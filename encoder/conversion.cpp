#include "encoder/conversion.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <exception>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include "encoder/audio_path.h"
#include "encoder/codec_choice.h"
#include "encoder/console.h"
#include "encoder/frame_queue.h"
#include "encoder/hdr_data.h"
#include "encoder/hook/hook_args.h"
#include "encoder/hook/overlay.h"
#include "encoder/muxer.h"
#include "encoder/options.h"
#include "encoder/output_target.h"
#include "encoder/progress.h"
#include "encoder/result_check.h"
#include "encoder/share_picture.h"
#include "encoder/smart_render.h"
#include "encoder/stream_metadata.h"
#include "encoder/video_path.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/video_enc_params.h>
}

namespace wm {
namespace {

constexpr size_t kQueueFrames = 2;
constexpr auto kProgressEvery = std::chrono::milliseconds(500);
// How long after a stop signal the encoder may go on taking the frames already decoded and giving
// out those it holds, so that the part closes within a second even at 8K. Waits on the result's
// file do not count: a slow folder costs no frames, and one that hangs is the close watch's.
constexpr auto kStopEncodeTime = std::chrono::milliseconds(600);
// The check decodes the result's last frame from the key frame before it, which an encoder may
// have put ten seconds back or more: one this long before the end keeps that short, for the size
// of one key frame. Shorter videos are left as they are.
constexpr AVRational kLastKeyBeforeEnd{1, 4};  // seconds
constexpr int64_t kLastKeyFromLength = 5;      // seconds

struct Route {
    enum class Kind { Drop, Video, Smart, Copy, Resample } kind = Kind::Drop;
    int outIndex = -1;
    std::unique_ptr<AudioResampler> audio;
};

// The mean quantiser of a decoded frame of the MPEG-4 ASP family, from the block quantisers its
// decoder exported (stored doubled, as MPEG-1 counts them); 0 when it exported none.
int sourceQuantiser(const AVFrame* frame) {
    const AVFrameSideData* sd = av_frame_get_side_data(frame, AV_FRAME_DATA_VIDEO_ENC_PARAMS);
    if (!sd) return 0;
    const auto* par = reinterpret_cast<const AVVideoEncParams*>(sd->data);
    if (par->type != AV_VIDEO_ENC_PARAMS_MPEG2 || par->nb_blocks == 0) return 0;
    int64_t sum = 0;
    for (unsigned i = 0; i < par->nb_blocks; ++i)
        sum += par->qp + av_video_enc_params_block(const_cast<AVVideoEncParams*>(par), i)->delta_qp;
    return int(std::clamp<int64_t>((sum + par->nb_blocks) / (2 * int64_t(par->nb_blocks)), 1, 31));
}

// A rate AAC takes for a copy to share: the nearest at or above `rate`, else its highest.
int shareRate(int rate) {
    const AVCodec* aac = findEncoder(AV_CODEC_ID_AAC);
    if (!aac || !aac->supported_samplerates) return rate;
    int above = 0, highest = 0;
    for (const int* r = aac->supported_samplerates; *r; ++r) {
        if (*r >= rate && (above == 0 || *r < above)) above = *r;
        highest = std::max(highest, *r);
    }
    return above > 0 ? above : highest;
}

Error addCopiedStream(const AVStream* in, AVFormatContext* out, int& index) {
    AVStream* st = avformat_new_stream(out, nullptr);
    if (!st) return avError(AVERROR(ENOMEM), "copy stream #" + std::to_string(in->index));
    if (int r = avcodec_parameters_copy(st->codecpar, in->codecpar); r < 0)
        return avError(r, "copy stream #" + std::to_string(in->index));
    st->codecpar->codec_tag = 0;
    // Frame-based sound copied as ffmpeg copies it: a block alignment would make AVI count it as
    // constant-rate samples, with repeated timestamps and a wrong length in the stream header.
    AVCodecParameters* p = st->codecpar;
    if (p->codec_id == AV_CODEC_ID_AC3 ||
        (p->codec_id == AV_CODEC_ID_MP3 &&
         (p->block_align == 1 || p->block_align == 576 || p->block_align == 1152)))
        p->block_align = 0;
    st->time_base = in->time_base;
    st->disposition = in->disposition;
    av_dict_copy(&st->metadata, in->metadata, 0);
    for (int i = 0; i < in->nb_side_data; ++i) {
        const AVPacketSideData& sd = in->side_data[i];
        if (uint8_t* dst = av_stream_new_side_data(st, sd.type, sd.size)) std::memcpy(dst, sd.data, sd.size);
    }
    index = st->index;
    return noError();
}

// "Re-encoded 0:00–0:12 of 3:00, the rest copied."
std::string sentence(std::string text) {
    if (!text.empty()) text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text + ".";
}

std::string outputBlock(const AVFormatContext* out, const std::string& name) {
    std::string text =
        "Output #0, " + cleanName(out->oformat->name, 32) + ", to '" + cleanName(name) + "':\n";
    for (unsigned i = 0; i < out->nb_streams; ++i) {
        const AVCodecParameters* p = out->streams[i]->codecpar;
        StreamSummary s;
        s.index = int(i);
        s.codec = avcodec_get_name(p->codec_id);
        if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
            s.kind = StreamSummary::Kind::Video;
            if (const char* n = av_get_pix_fmt_name(AVPixelFormat(p->format))) s.pixelFormat = n;
            s.width = p->width, s.height = p->height;
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
            s.kind = StreamSummary::Kind::Audio;
            s.sampleRate = p->sample_rate;
        } else {
            s.kind = p->codec_type == AVMEDIA_TYPE_SUBTITLE ? StreamSummary::Kind::Subtitle
                                                            : StreamSummary::Kind::Data;
        }
        text += formatStreamLine(s, 0) + "\n";
    }
    return text;
}

class Conversion {
public:
    Conversion(InputFile& in, const ConversionRequest& req, const StopRequest& stop)
        : in_(in), req_(req), stop_(stop) {}
    Error run(ConversionResult& result);

private:
    Error setUp();
    Error openInput();
    Error openOutput();
    Error openVideoDecoder();
    Error planSmart();
    Error openStreams();
    Error openStream(int index);
    Error openVideoEncoder(Route& route);
    Error openHook();
    Error writeHeader();

    Error readAll();
    // Reads the written file at path back; a failure's reason goes to `failed`.
    void checkResult(const std::string& path, std::string& failed);
    double hookSeconds(const AVFrame* frame);
    Error markFrame(FramePtr& frame);
    Error takeDecoded(FramePtr frame);
    Error writeSmart(AVPacket* packet, AVRational base);
    int videoOut() const noexcept { return smart_ ? smart_->streamIndex() : encoder_.streamIndex(); }
    void encodeLoop();
    Error encodeOne(FramePtr frame);
    Error writeVideo(AVPacket* packet);
    bool pastStopTime() const;
    void reportProgress(bool last);

    // Set before the encoding thread starts and only read after.
    InputFile& in_;
    const ConversionRequest& req_;
    const StopRequest& stop_;  // written by the signal handler
    const AVOutputFormat* format_ = nullptr;
    int videoIndex_ = -1;  // input stream that is decoded
    AVRational frameRate_{25, 1};
    AVRational streamBase_{};
    int64_t lastKeyFrom_ = AV_NOPTS_VALUE;  // stream time base: the first frame from here is a key frame

    // Reading thread.
    OutputTarget target_;
    std::vector<Route> routes_;       // one per input stream known at the start
    std::set<int> lateStreams_;       // input streams that appeared after the start
    std::vector<StreamPair> pairs_;   // every source stream the result holds
    std::vector<std::string> notes_;  // said once the progress has ended
    bool stoppedEarly_ = false;
    VideoDecoder decoder_;
    std::unique_ptr<SharePicture> sharePicture_;  // a copy to share of a picture beyond 8-bit BT.709
    std::unique_ptr<FrameHook> hook_;
    std::unique_ptr<SmartRender> smart_;  // only the marked groups coded again; the rest copied
    FrameConformer toHook_;
    int64_t streamStart_ = AV_NOPTS_VALUE;  // stream time base; the hook's times count from here
    double hookSeconds_ = -1;               // the time the hook heard last

    // Shared: the muxer locks its own writes; the queue is the hand-over.
    Muxer mux_;
    FrameQueue queue_{kQueueFrames};
    std::atomic<bool> encodeFailed_{false};
    Error encodeError_;  // written by the encoding thread, read after it is joined

    // Encoding thread (the encoder is opened before it starts).
    VideoEncoder encoder_;
    FrameConformer toEncoder_;
    int64_t firstPts_ = AV_NOPTS_VALUE;  // encoder time base; progress counts from here
    int64_t lastPts_ = AV_NOPTS_VALUE;   // encoder time base
    bool lastKeyAsked_ = false;
    std::chrono::steady_clock::duration writingSinceStop_{0};  // spent on muxer writes after the stop
    bool leftOut_ = false;  // frames were left out for a stop: the result is a part even when read whole
    ProgressState progress_;
    std::chrono::steady_clock::time_point started_, lastReport_;
};

Error Conversion::openInput() {
    videoIndex_ = in_.videoStream();
    if (videoIndex_ < 0) return failure("input '" + req_.input + "'", "holds no video stream");
    format_ = containerFor(req_.output);
    if (!format_)
        return failure(
            "output '" + req_.output + "'",
            "unknown file type; use .avi .mpg .mpeg .divx .wmv .flv .mov .mp4 .m4v .mkv .webm or .ts");
    if (req_.share && std::strcmp(format_->name, "mp4") != 0)
        return failure("output '" + req_.output + "'", "a copy to share (-share) is an MP4: name it .mp4");
    return noError();
}

Error Conversion::openOutput() {
    if (Error e = target_.prepare(req_.input, req_.output, req_.overwrite)) return e;
    if (Error e = mux_.create(format_, target_.workPath())) return e;
    // The index first, so that a copy to share plays while it still downloads.
    if (req_.share)
        if (int r = av_opt_set(mux_.context()->priv_data, "movflags", "+faststart", 0); r < 0)
            return avError(r, "write the index first");
    // AVI times video by its frame count and pads no gap before the first frame: a source that
    // starts late, or a shift for an encoder's priming (MP3's starts before 0), would hold the
    // first frame longer. So the result starts where the source does, priming or not.
    if (std::strcmp(format_->name, "avi") == 0) {
        mux_.context()->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
        mux_.context()->output_ts_offset = -in_.startTime();
    }
    return noError();
}

Error Conversion::openVideoDecoder() {
    AVFormatContext* ic = in_.context();
    const AVStream* vst = ic->streams[videoIndex_];
    if (Error e = decoder_.open(vst)) return e;
    AVCodecContext* dec = decoder_.context();
    if (dec->width <= 0 || dec->height <= 0)
        return failure("input '" + req_.input + "'", "video frame size unknown");
    if (dec->pix_fmt == AV_PIX_FMT_NONE) dec->pix_fmt = AV_PIX_FMT_YUV420P;
    AVRational fr = av_guess_frame_rate(ic, const_cast<AVStream*>(vst), nullptr);
    if (fr.num > 0 && fr.den > 0) frameRate_ = fr;
    streamBase_ = vst->time_base;
    streamStart_ = vst->start_time;
    // Where the video ends, as the source says; a source that says nothing keeps its key frames.
    const AVRational us = AV_TIME_BASE_Q;
    int64_t start = vst->start_time, length = vst->duration;
    if (start == AV_NOPTS_VALUE || length <= 0) {
        start = av_rescale_q(in_.startTime(), us, streamBase_);
        length = ic->duration > 0 ? av_rescale_q(ic->duration, us, streamBase_) : 0;
    }
    if (length > av_rescale_q(kLastKeyFromLength, AVRational{1, 1}, streamBase_))
        lastKeyFrom_ = start + length - av_rescale_q(1, kLastKeyBeforeEnd, streamBase_);
    return noError();
}

// Smart rendering where the watermark module's time range leaves groups of pictures unmarked and
// the result is the source's kind; a source that cannot be joined is converted whole, with a note.
Error Conversion::planSmart() {
    if (!req_.smart || req_.share || !req_.hook) return noError();
    const std::vector<std::string> words = splitHookCommand(*req_.hook);
    const std::string& module = words.front();
    const bool ours = module.size() >= 13 && module.compare(module.size() - 13, 13, "watermark.dll") == 0;
    HookArgs args;
    std::string unused;
    if (!ours || !parseHookArgs({words.begin() + 1, words.end()}, args, unused) || !args.range.limited())
        return noError();
    const SmartSource source{req_.input,         in_.context()->streams[videoIndex_],
                             decoder_.context(), frameRate_,
                             in_.videoBitRate(), format_,
                             args.range,         &stop_};
    std::string why;
    if (Error e = SmartRender::open(source, smart_, why)) return e;
    if (!why.empty()) notes_.push_back(wholeVideoNote(why));
    return noError();
}

Error Conversion::openVideoEncoder(Route& route) {
    const AVStream* vst = in_.context()->streams[videoIndex_];
    const AVCodec* codec = req_.share ? avcodec_find_encoder_by_name("libx264")
                                      : chooseVideoEncoder(format_, vst->codecpar->codec_id);
    if (!codec) return failure("output '" + req_.output + "'", "no video encoder for this container");
    const AVCodecContext* dec = decoder_.context();
    if (!req_.share) {
        const HdrData hdr = readHdrData(req_.input, vst);
        encoder_.keepHdr(hdr);
        if (std::string note = hdrLossNote(hdr, dec->color_trc == AVCOL_TRC_SMPTE2084); !note.empty())
            notes_.push_back(std::move(note));
    }
    if (Error e = encoder_.open(codec, vst, dec, frameRate_, in_.videoBitRate(), mux_.context(), req_.share))
        return e;
    if (req_.share) {
        if (const std::string beyond = sharingConversion(dec); !beyond.empty()) {
            sharePicture_ = std::make_unique<SharePicture>();
            if (Error e = sharePicture_->open(dec, vst->time_base)) return e;
            notes_.push_back("Note: the " + beyond + " picture is converted to 8-bit BT.709 for sharing");
        }
        const AVCodecContext* enc = encoder_.context();
        if (enc->width != dec->width || enc->height != dec->height)
            notes_.push_back("Note: H.264 for sharing takes even sizes: the picture is cut to " +
                             std::to_string(enc->width) + "x" + std::to_string(enc->height));
    }
    route.kind = Route::Kind::Video;
    route.outIndex = encoder_.streamIndex();
    keepStreamMetadata(vst, mux_.context()->streams[route.outIndex], true);
    return noError();
}

// The result's streams in the source's order. Sound is copied where the container takes it and no
// new rate is asked for, else resampled; subtitles and data are copied where the container takes
// them, and left out with a note otherwise. The container's tags and chapters come along.
Error Conversion::openStreams() {
    AVFormatContext* ic = in_.context();
    AVFormatContext* oc = mux_.context();
    if (Error e = keepContainerMetadata(ic, oc)) return e;
    routes_.resize(ic->nb_streams);
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        if (Error e = openStream(int(i))) return e;
        if (routes_[i].outIndex >= 0) pairs_.push_back({int(i), routes_[i].outIndex});
    }
    return noError();
}

Error Conversion::openStream(int i) {
    AVFormatContext* ic = in_.context();
    AVFormatContext* oc = mux_.context();
    const AVStream* st = ic->streams[i];
    Route& route = routes_[size_t(i)];
    if (i == videoIndex_ && smart_) {
        route.kind = Route::Kind::Smart;
        if (Error e = smart_->addStream(oc)) return e;
        route.outIndex = smart_->streamIndex();
        keepStreamMetadata(st, oc->streams[route.outIndex], false);
        return noError();
    }
    if (i == videoIndex_) return openVideoEncoder(route);
    const AVCodecParameters* p = st->codecpar;
    const std::string leftOut = "Note: stream #0." + std::to_string(i) + " (" +
                                avcodec_get_name(p->codec_id) + ") is not in the result: ";
    if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) {
        notes_.push_back(leftOut + "the result keeps no cover picture");
        return noError();
    }
    // The description already says so; copying it would only make the header fail.
    if (!incompleteParameters(st).empty()) return noError();
    if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
        const bool copy = !req_.audioRate && (req_.share ? p->codec_id == AV_CODEC_ID_AAC
                                                         : containerTakes(format_, p->codec_id));
        if (copy) {
            if (Error e = addCopiedStream(st, oc, route.outIndex)) return e;
            route.kind = Route::Kind::Copy;
        } else {
            route.audio = std::make_unique<AudioResampler>();
            const int rate = req_.audioRate ? *req_.audioRate : p->sample_rate;
            if (Error e = route.audio->open(st, req_.share ? shareRate(rate) : rate, oc,
                                            req_.share ? AV_CODEC_ID_AAC : AV_CODEC_ID_NONE))
                return e;
            route.kind = Route::Kind::Resample;
            route.outIndex = route.audio->streamIndex();
            keepStreamMetadata(st, oc->streams[route.outIndex], true);
        }
    } else if (p->codec_type == AVMEDIA_TYPE_ATTACHMENT) {
        if (!takesAttachments(format_)) {
            notes_.push_back(leftOut + "the " + std::string(format_->name) +
                             " container holds no attachments");
            return noError();
        }
        if (Error e = addAttachment(st, oc, route.outIndex)) return e;
    } else if (p->codec_id != AV_CODEC_ID_NONE &&
               avformat_query_codec(format_, p->codec_id, FF_COMPLIANCE_NORMAL) == 1) {
        if (Error e = addCopiedStream(st, oc, route.outIndex)) return e;
        route.kind = Route::Kind::Copy;
    } else {
        notes_.push_back(leftOut + "the " + std::string(format_->name) + " container cannot hold it");
    }
    return noError();
}

// Configured before the header is written: a bad mask stops the run before any file is made.
Error Conversion::openHook() {
    const AVCodecContext* dec = decoder_.context();
    const AVCodecContext* enc = encoder_.context();
    // A picture converted for sharing reaches the hook as the encoder takes it. Smart rendering
    // codes again in the decoder's own format.
    const AVPixelFormat encoded = enc ? enc->pix_fmt : dec->pix_fmt;
    const AVPixelFormat decoded = sharePicture_ ? enc->pix_fmt : dec->pix_fmt;
    const AVColorSpace space = sharePicture_ ? enc->colorspace : dec->colorspace;
    const bool fullRange = !sharePicture_ && dec->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat hf = hookPixelFormat(decoded, encoded);
    toHook_.target(dec->width, dec->height, hf);
    if (enc) toEncoder_.target(enc->width, enc->height, enc->pix_fmt);
    if (!req_.hook) return noError();
    const std::string formatName = av_get_pix_fmt_name(hf);
    WmHookFrameFormat hookFormat{dec->width, dec->height, formatName.c_str(), int(space),
                                 fullRange || formatName.rfind("yuvj", 0) == 0};
    // HDR's light for the mark, unless the picture was turned to SDR for sharing.
    const WmHookFrameColour colour = sharePicture_ ? WmHookFrameColour{AVCOL_TRC_BT709, AVCOL_PRI_BT709}
                                                   : WmHookFrameColour{dec->color_trc, dec->color_primaries};
    return FrameHook::open(splitHookCommand(*req_.hook), hookFormat, hook_, colour);
}

Error Conversion::writeHeader() {
    if (Error e = mux_.writeHeader()) return e;
    const auto slash = req_.output.find_last_of('/');
    console::write(outputBlock(mux_.context(),
                               slash == std::string::npos ? req_.output : req_.output.substr(slash + 1)));
    return noError();
}

Error Conversion::setUp() {
    for (Error (Conversion::*step)() :
         {&Conversion::openInput, &Conversion::openOutput, &Conversion::openVideoDecoder,
          &Conversion::planSmart, &Conversion::openStreams, &Conversion::openHook, &Conversion::writeHeader})
        if (Error e = (this->*step)()) return e;
    return noError();
}

// A frame without a time is shown one frame after the one before it.
double Conversion::hookSeconds(const AVFrame* frame) {
    if (frame->pts == AV_NOPTS_VALUE)
        return hookSeconds_ = hookSeconds_ < 0 ? 0 : hookSeconds_ + av_q2d(av_inv_q(frameRate_));
    // A stream that does not say where it starts starts at its first frame.
    if (streamStart_ == AV_NOPTS_VALUE) streamStart_ = frame->pts;
    return hookSeconds_ = double(frame->pts - streamStart_) * av_q2d(streamBase_);
}

Error Conversion::markFrame(FramePtr& frame) {
    if (sharePicture_)
        if (Error e = sharePicture_->convert(frame)) return e;
    if (Error e = toHook_.conform(frame)) return e;
    if (hook_) {
        // Decoded pictures may still be the decoder's references; the hook writes into a copy.
        if (int r = av_frame_make_writable(frame.get()); r < 0)
            return avError(r, "prepare a frame for the hook");
        if (Error e = hook_->process(frame.get(), hookSeconds(frame.get()))) return e;
    }
    return noError();
}

Error Conversion::takeDecoded(FramePtr frame) {
    if (Error e = markFrame(frame)) return e;
    if (!queue_.push(std::move(frame))) return failure("", "encoding stopped");
    return noError();
}

Error Conversion::writeSmart(AVPacket* packet, AVRational base) {
    Error e = mux_.write(packet, base);
    reportProgress(false);
    return e;
}

Error Conversion::readAll() {
    AVFormatContext* ic = in_.context();
    PacketPtr pkt = makePacket();
    const FrameSink sink = [this](FramePtr f) {
        return takeDecoded(std::move(f));
    };
    const MarkFn mark = [this](FramePtr& f) {
        return markFrame(f);
    };
    const WriteFn smartWrite = [this](AVPacket* p, AVRational base) {
        return writeSmart(p, base);
    };
    for (;;) {
        if (encodeFailed_.load()) break;
        if (stop_.asked()) {
            stoppedEarly_ = true;
            break;
        }
        int r = av_read_frame(ic, pkt.get());
        if (r == AVERROR_EOF) break;
        if (r == AVERROR_EXIT && stop_.asked()) {  // a wait on the input given up
            stoppedEarly_ = true;
            break;
        }
        if (r < 0) {
            if (r == AVERROR(EAGAIN)) continue;
            return avError(r, "read input '" + req_.input + "'");
        }
        // MPEG-TS and MPEG-PS may add a stream in mid-file (sound that starts late). The result's
        // header is written, so such a stream has no place in it.
        if (pkt->stream_index < 0 || size_t(pkt->stream_index) >= routes_.size()) {
            lateStreams_.insert(pkt->stream_index);
            av_packet_unref(pkt.get());
            continue;
        }
        Route& route = routes_[size_t(pkt->stream_index)];
        Error e;
        if (route.kind == Route::Kind::Video) {
            e = decoder_.decode(pkt.get(), sink);
        } else if (route.kind == Route::Kind::Smart) {
            e = smart_->take(pkt.get(), mark, smartWrite);
        } else if (route.kind == Route::Kind::Copy) {
            const AVRational base = ic->streams[pkt->stream_index]->time_base;
            pkt->stream_index = route.outIndex;
            e = mux_.write(pkt.get(), base);
        } else if (route.kind == Route::Kind::Resample) {
            AudioResampler* a = route.audio.get();
            e = a->process(pkt.get(), [this, a](AVPacket* p) { return mux_.write(p, a->timeBase()); });
        }
        av_packet_unref(pkt.get());
        if (e) return e;
    }
    if (encodeFailed_.load()) return noError();
    // A stop keeps what is decoded already: the frames the decoder still holds are left out.
    if (smart_) {
        bool cut = false;
        if (Error e = smart_->finish(
                stoppedEarly_, mark, smartWrite, [this] { return pastStopTime(); }, cut))
            return e;
        leftOut_ = leftOut_ || cut;
    } else if (!stoppedEarly_) {
        if (Error e = decoder_.decode(nullptr, sink)) return e;
    }
    for (Route& route : routes_)
        if (route.kind == Route::Kind::Resample) {
            AudioResampler* a = route.audio.get();
            if (Error e =
                    a->process(nullptr, [this, a](AVPacket* p) { return mux_.write(p, a->timeBase()); }))
                return e;
        }
    return noError();
}

Error Conversion::writeVideo(AVPacket* packet) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point began = Clock::now();
    Error e = mux_.write(packet, encoder_.context()->time_base);
    if (stop_.asked())
        writingSinceStop_ += std::max(Clock::duration(0), Clock::now() - std::max(began, stop_.askedAt()));
    return e;
}

bool Conversion::pastStopTime() const {
    return stop_.asked() &&
           std::chrono::steady_clock::now() > stop_.askedAt() + kStopEncodeTime + writingSinceStop_;
}

Error Conversion::encodeOne(FramePtr frame) {
    AVCodecContext* enc = encoder_.context();
    const PacketSink write = [this](AVPacket* p) {
        return writeVideo(p);
    };
    // After a stop the frames held in the queue and in the encoder's delay (B-frames, look-ahead)
    // go into the part only while there is time: at 8K the look-ahead alone would take seconds.
    if (!frame)
        return encoder_.encode(nullptr, write, [this] {
            leftOut_ = leftOut_ || pastStopTime();
            return leftOut_;
        });
    if (pastStopTime()) {
        leftOut_ = true;
        return noError();
    }
    // A copy to share drops an odd last column or row (the frame is the encoder's alone by now).
    frame->width = std::min(frame->width, enc->width);
    frame->height = std::min(frame->height, enc->height);
    const bool lastKey = !lastKeyAsked_ && lastKeyFrom_ != AV_NOPTS_VALUE && frame->pts != AV_NOPTS_VALUE &&
                         frame->pts >= lastKeyFrom_;
    lastKeyAsked_ = lastKeyAsked_ || lastKey;
    // The source frame's quantiser, read before a conversion drops the frame's side data.
    const int quantiser = encoder_.takesSourceQuantiser() ? sourceQuantiser(frame.get()) : 0;
    if (Error e = toEncoder_.conform(frame)) return e;
    if (quantiser > 0) frame->quality = FF_QP2LAMBDA * quantiser;
    const int64_t step = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(frameRate_), enc->time_base));
    int64_t pts = frame->pts == AV_NOPTS_VALUE ? (lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + step)
                                               : av_rescale_q(frame->pts, streamBase_, enc->time_base);
    if (lastPts_ != AV_NOPTS_VALUE && pts <= lastPts_) pts = lastPts_ + 1;  // encoders need rising times
    lastPts_ = pts;
    if (firstPts_ == AV_NOPTS_VALUE) firstPts_ = pts;
    frame->pts = pts;
    frame->pict_type = lastKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (Error e = encoder_.encode(frame.get(), write)) return e;
    ++progress_.frames;
    progress_.seconds = std::max(0.0, double(pts - firstPts_ + step) * av_q2d(enc->time_base));
    return noError();
}

void Conversion::reportProgress(bool last) {
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastReport_ < kProgressEvery) return;
    lastReport_ = now;
    const double wall = std::chrono::duration<double>(now - started_).count();
    if (smart_) {
        progress_.frames = smart_->frames();
        progress_.seconds = smart_->seconds();
        progress_.reencoded = smart_->text();
    }
    progress_.fps = wall > 0 ? double(progress_.frames) / wall : 0;
    progress_.speed = wall > 0 ? progress_.seconds / wall : 0;
    progress_.quality = encoder_.lastQuality();
    progress_.bytes = mux_.bytesWritten();
    console::write(formatProgress(progress_) + (last ? "\n" : ""));
}

void Conversion::encodeLoop() {
    auto fail = [this](Error e) {
        encodeError_ = std::move(e);
        encodeFailed_ = true;
        queue_.abort();
    };
    // An exception must not leave this thread: it would end the process with no word said.
    try {
        for (;;) {
            FramePtr frame = queue_.pop();
            const bool end = !frame;  // the end of the queue flushes the encoder
            if (Error e = encodeOne(std::move(frame))) return fail(std::move(e));
            if (end) return;
            reportProgress(false);
        }
    } catch (const std::bad_alloc&) {
        fail(avError(AVERROR(ENOMEM), "encode video"));
    } catch (const std::exception& e) {
        fail(failure("encode video", e.what()));
    } catch (...) {
        fail(failure("encode video", "unexpected failure"));
    }
}

Error Conversion::run(ConversionResult& result) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point began = Clock::now();
    const auto since = [](Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    };
    if (Error e = setUp()) return e;
    started_ = lastReport_ = std::chrono::steady_clock::now();
    // Smart rendering codes its few frames on the reading thread, in step with the copied packets.
    std::thread encoding;
    if (!smart_) encoding = std::thread([this] { encodeLoop(); });
    Error readError;
    // The encoding thread must be joined whatever the reading side meets.
    try {
        readError = readAll();
    } catch (const std::bad_alloc&) {
        readError = avError(AVERROR(ENOMEM), "read input '" + req_.input + "'");
    } catch (const std::exception& e) {
        readError = failure("read input '" + req_.input + "'", e.what());
    }
    if (readError)
        queue_.abort();
    else
        queue_.close();
    if (encoding.joinable()) encoding.join();
    // A source cut short or overwritten under the reading makes no result: read errors it caused
    // are told as what they are.
    const std::string changed = in_.changeSinceOpen();
    const std::string changedText = "the source changed while it was read (" + changed + ")";
    if (encodeFailed_) return encodeError_;  // the reading side only saw the queue stop
    if (readError) return changed.empty() ? readError : failure("input '" + req_.input + "'", changedText);
    // A stop that came once the source was read still cuts the encoder's last frames short.
    const bool stopped = stoppedEarly_ || leftOut_;
    if (mux_.packetsOf(videoOut()) == 0) {
        // Stopped before the first frame: nothing worth keeping, and main says so.
        if (stopped) return avError(AVERROR_EXIT, "output '" + req_.output + "'");
        return failure("output '" + req_.output + "'", "no video frame could be decoded");
    }
    if (Error e = mux_.finish()) return e;
    reportProgress(true);
    if (smart_) console::write(sentence(smart_->text()) + "\n");
    for (int index : lateStreams_)
        console::write("Note: stream #0." + std::to_string(index) +
                       " began after the start of the file and is not in the result\n");
    for (const std::string& note : notes_)
        console::write(noteLine(note));
    result.stopped = stopped;
    const auto check = [&](const std::string& path) {
        if (!req_.readBack) return;
        const Clock::time_point checking = Clock::now();
        checkResult(path, result.checkFailed);
        result.checkSeconds = since(checking);
    };
    Error e;
    if (stopped) {
        // A part has its name before it is read back: a kill during the check (at 8K it takes
        // seconds) leaves it closed and named.
        e = target_.commit(true, result.keptAs);
        if (!e) check(result.keptAs);
    } else {
        check(target_.workPath());
        if (!changed.empty()) result.checkFailed = changedText;
        // A result that failed its check is kept, under a part's name: it never passes for a whole one.
        e = target_.commit(!result.checkFailed.empty(), result.keptAs);
        // Only a result read back whole replaces its earlier parts, and a stop asks for no more work.
        if (!e && req_.readBack && result.checkFailed.empty() && !stop_.asked())
            result.removedParts = removeEarlierStoppedParts(result.keptAs);
    }
    result.seconds = since(began);
    return e;
}

void Conversion::checkResult(const std::string& path, std::string& failed) {
    const AVFormatContext* oc = mux_.context();
    CheckExpectation expected;
    for (unsigned i = 0; i < oc->nb_streams; ++i)
        expected.streams.push_back(oc->streams[i]->codecpar->codec_type);
    expected.frameSeconds = av_q2d(av_inv_q(frameRate_));
    // What the muxer was handed, not what the encoder was: a stop leaves out the frames the encoder
    // still held.
    expected.video = mux_.spanOf(videoOut(), expected.frameSeconds);
    if (smart_) expected.decodeWhole = smart_->joinPackets();
    ResultCheck check;
    CheckReport report;
    if (Error e = check.run(path, expected, report))
        failed = e.message();
    else
        console::write(formatCheckLine(report));
    if (const AVFormatContext* back = check.context())
        console::write(lostMetadataNote(oc->oformat->name, lostMetadata(in_.context(), oc, back, pairs_)));
}

}  // namespace

Error convert(InputFile& input, const ConversionRequest& request, const StopRequest& stop,
              ConversionResult& result) {
    Conversion c(input, request, stop);
    return c.run(result);
}

}  // namespace wm
