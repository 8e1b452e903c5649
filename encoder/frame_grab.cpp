#include "encoder/frame_grab.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/bmp_file.h"
#include "encoder/frame_hook.h"
#include "encoder/frame_turn.h"
#include "encoder/options.h"
#include "encoder/output_target.h"
#include "encoder/sdr_view.h"
#include "encoder/unique_fd.h"
#include "encoder/video_path.h"

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/pixdesc.h>
}

namespace wm {
namespace {

// Later times are all past the end; the bound keeps the arithmetic within 64 bits.
constexpr double kLatestSeconds = 1e9;
// Frame threads decode several frames at once, but a frame only comes out once every thread has
// one: up to a frame per extra thread is decoded past the one wanted, for nothing. They pay off only
// when many frames lie between the keyframe and the one wanted; then one per core (not libavcodec's
// default of one more), four at most.
constexpr int64_t kFramesWorthThreads = 8;
constexpr int kMostThreads = 4;
// How often a seek that landed after the wanted time is retried further back.
constexpr int kSeekAttempts = 6;

bool namesBmp(const std::string& path) {
    return path.size() > 4 && ::strcasecmp(path.c_str() + path.size() - 4, ".bmp") == 0;
}

int64_t timeOf(const AVPacket* p) {
    return p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
}

class FrameGrab {
public:
    FrameGrab(InputFile& in, const FrameRequest& req, const StopRequest& stop)
        : in_(in), req_(req), stop_(stop) {}
    Error run(FrameResult& result);

private:
    Error seekTo(int64_t at, bool& seeked);
    Error openDecoder();
    Error read(AVPacket* pkt, bool& end);
    Error decode();
    Error send(const AVPacket* pkt, bool& found);
    Error applyHook();
    Error toPicture(std::vector<uint8_t>& file);
    // The BGR24 picture, turned upright when asked, as a BMP file.
    Error pictureFile(const AVFrame* bgr, std::vector<uint8_t>& file);
    Error save(const std::vector<uint8_t>& file);

    InputFile& in_;
    const FrameRequest& req_;
    const StopRequest& stop_;
    AVFormatContext* ic_ = nullptr;
    AVStream* st_ = nullptr;
    int64_t wanted_ = 0;  // stream time base
    int64_t step_ = 1;    // one frame, stream time base
    OutputTarget target_;
    CodecContextPtr dec_;
    // The packet to decode next and the one after it; an "end" flag says there is none.
    PacketPtr pending_ = makePacket(), next_ = makePacket();
    bool pendingEnd_ = false, nextEnd_ = false;
    FramePtr frame_ = makeFrame(), shown_ = makeFrame();
    int64_t shownPts_ = AV_NOPTS_VALUE;
    int writtenWidth_ = 0, writtenHeight_ = 0;  // the picture's size
    bool haveShown_ = false;
    bool mayGoBack_ = false;   // a seek further back is possible
    bool fromStart_ = false;   // the last resort: read from the file's first byte
    bool landedLate_ = false;  // the first frame decoded after the seek is shown too late
};

Error FrameGrab::read(AVPacket* pkt, bool& end) {
    end = false;
    for (;;) {
        if (stop_.asked()) return avError(AVERROR_EXIT, "input '" + req_.input + "'");
        av_packet_unref(pkt);
        const int r = av_read_frame(ic_, pkt);
        if (r == AVERROR_EOF) {
            end = true;
            return noError();
        }
        if (r == AVERROR(EAGAIN)) continue;
        if (r < 0) return avError(r, "read input '" + req_.input + "'");
        if (pkt->stream_index == st_->index) return noError();
    }
}

// Seeks to the keyframe before `at` (stream time base) and reads the first video packet into
// pending_. `seeked` is false when the input cannot seek (a pipe): it is read from where it still
// is, its start.
Error FrameGrab::seekTo(int64_t at, bool& seeked) {
    seeked = false;
    if (fromStart_) {
        seeked = av_seek_frame(ic_, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
    } else if (req_.seconds > 0) {
        int r = avformat_seek_file(ic_, st_->index, INT64_MIN, at, at, 0);
        if (r < 0) r = av_seek_frame(ic_, st_->index, at, AVSEEK_FLAG_BACKWARD);
        seeked = r >= 0;
    }
    nextEnd_ = false;
    return read(pending_.get(), pendingEnd_);
}

Error FrameGrab::openDecoder() {
    const int64_t start = pendingEnd_ ? AV_NOPTS_VALUE : timeOf(pending_.get());
    const bool many =
        req_.seconds > 0 && start != AV_NOPTS_VALUE && wanted_ - start > kFramesWorthThreads * step_;
    return openVideoDecoder(st_, many ? std::clamp(av_cpu_count(), 1, kMostThreads) : 1, FF_THREAD_FRAME,
                            dec_);
}

// Frames shown before the wanted time are decoded only as far as later frames need them: a frame
// no other frame refers to is skipped, unless it may be the last one of the file.
Error FrameGrab::send(const AVPacket* pkt, bool& found) {
    found = false;
    if (pkt) {
        const int64_t t = timeOf(pkt), later = nextEnd_ ? AV_NOPTS_VALUE : timeOf(next_.get());
        const bool before = t != AV_NOPTS_VALUE && t < wanted_ && later != AV_NOPTS_VALUE && later > t;
        dec_->skip_frame = before ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    }
    int r = avcodec_send_packet(dec_.get(), pkt);
    if (r < 0 && r != AVERROR_EOF && r != AVERROR_INVALIDDATA) return avError(r, "decode video");
    for (;;) {
        r = avcodec_receive_frame(dec_.get(), frame_.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
        if (r == AVERROR_INVALIDDATA) continue;  // a damaged frame is skipped, as players do
        if (r < 0) return avError(r, "decode video");
        int64_t pts = frame_->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE && shownPts_ != AV_NOPTS_VALUE) pts = shownPts_ + step_;
        // The seek landed after the wanted time: the demuxer's index counts decoding times, or
        // the frames shown just before the keyframe refer to the one before it.
        if (!haveShown_ && mayGoBack_ && pts != AV_NOPTS_VALUE && pts > wanted_) {
            landedLate_ = true;
            return noError();
        }
        av_frame_unref(shown_.get());
        av_frame_move_ref(shown_.get(), frame_.get());
        shownPts_ = pts;
        haveShown_ = true;
        // The first frame is the answer at time 0, whatever its own time says.
        if (req_.seconds <= 0 || (pts != AV_NOPTS_VALUE && pts >= wanted_)) {
            found = true;
            return noError();
        }
    }
}

Error FrameGrab::decode() {
    const int64_t first = st_->start_time != AV_NOPTS_VALUE
                              ? st_->start_time
                              : av_rescale_q(in_.startTime(), AV_TIME_BASE_Q, st_->time_base);
    const int64_t second = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 1}, st_->time_base));
    // Past the end, a seek by time may land at the end itself (MPEG-TS and -PS search by
    // timestamps) with no frame left to show: the last second is sought instead, and decoded to
    // its last frame.
    int64_t latest = INT64_MAX;
    if (ic_->duration > 0)
        latest = first + av_rescale_q(ic_->duration, AV_TIME_BASE_Q, st_->time_base) - second;
    int64_t back = 0;
    for (int attempt = 1;; ++attempt) {
        const int64_t at = std::max(first, std::min(wanted_, latest)) - back;
        bool seeked = false;
        if (Error e = seekTo(at, seeked)) return e;
        if (attempt > 1 && !seeked)
            return failure("seek in input '" + req_.input + "'", "the input cannot seek");
        mayGoBack_ = seeked && at > first && attempt < kSeekAttempts;
        landedLate_ = haveShown_ = false;
        shownPts_ = AV_NOPTS_VALUE;
        if (Error e = openDecoder()) return e;

        bool found = false;
        // One packet is read ahead, to know whether a frame before the wanted time is the last.
        while (!pendingEnd_ && !found && !landedLate_) {
            if (Error e = read(next_.get(), nextEnd_)) return e;
            if (Error e = send(pending_.get(), found)) return e;
            std::swap(pending_, next_);
            pendingEnd_ = nextEnd_;
        }
        if (!found && !landedLate_)
            if (Error e = send(nullptr, found)) return e;
        // Landed too late, or at the end with nothing after it: further back.
        if (landedLate_ || (!haveShown_ && seeked && at > first && attempt < kSeekAttempts)) {
            back = back ? back * 2 : second;
            continue;
        }
        // A seek by time that found no frame it could decode (MPEG-TS and -PS land between
        // keyframes, with no index to find one): once more from the file's first byte.
        if (!haveShown_ && seeked && !fromStart_) {
            fromStart_ = true;
            continue;
        }
        if (!haveShown_) return failure("input '" + req_.input + "'", "no video frame could be decoded");
        return noError();  // the wanted frame, or past the end the last one
    }
}

Error FrameGrab::applyHook() {
    if (!req_.hook) return noError();
    AVFrame* shown = shown_.get();
    // The frame's time from the stream's start, as a conversion hands it to the hook, so a proof
    // frame shows the mark at the weight its time range gives it there.
    const int64_t pts =
        shown->best_effort_timestamp != AV_NOPTS_VALUE ? shown->best_effort_timestamp : shown->pts;
    const int64_t start = st_->start_time != AV_NOPTS_VALUE ? st_->start_time : 0;
    const double seconds =
        pts != AV_NOPTS_VALUE ? std::max(0.0, double(pts - start) * av_q2d(st_->time_base)) : req_.seconds;
    const AVPixelFormat decoded = AVPixelFormat(shown->format);
    const AVPixelFormat hf = hookPixelFormat(decoded, decoded);
    FrameConformer toHook;
    toHook.target(shown->width, shown->height, hf);
    if (Error e = toHook.conform(shown_)) return e;
    if (int r = av_frame_make_writable(shown_.get()); r < 0)
        return avError(r, "prepare the frame for the hook");
    const std::string formatName = av_get_pix_fmt_name(hf);
    const AVFrame* f = shown_.get();
    const WmHookFrameFormat format{f->width, f->height, formatName.c_str(), int(dec_->colorspace),
                                   dec_->color_range == AVCOL_RANGE_JPEG || formatName.rfind("yuvj", 0) == 0};
    std::unique_ptr<FrameHook> hook;
    if (Error e = FrameHook::open(splitHookCommand(*req_.hook), format, hook,
                                  {dec_->color_trc, dec_->color_primaries}))
        return e;
    return hook->process(shown_.get(), seconds);
}

Error FrameGrab::toPicture(std::vector<uint8_t>& file) {
    const AVFrame* f = shown_.get();
    const auto from = AVPixelFormat(f->format);
    const char* fromName = av_get_pix_fmt_name(from);
    // The size the probe reports, which the window's mask has, even should the stream change size.
    const int w = st_->codecpar->width > 0 ? st_->codecpar->width : f->width;
    const int h = st_->codecpar->height > 0 ? st_->codecpar->height : f->height;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(from);
    const bool full = f->color_range == AVCOL_RANGE_JPEG || (d && std::string(d->name).rfind("yuvj", 0) == 0);
    // The frame's colour as the hook takes it: an untagged one by its height, as players do.
    const rules::VideoColour colour = rules::videoColourOf(
        f->colorspace != AVCOL_SPC_UNSPECIFIED ? f->colorspace : dec_->colorspace,
        f->color_trc != AVCOL_TRC_UNSPECIFIED ? f->color_trc : dec_->color_trc,
        f->color_primaries != AVCOL_PRI_UNSPECIFIED ? f->color_primaries : dec_->color_primaries, f->height);
    FramePtr bgr = makeFrame();
    if (!bgr) return avError(AVERROR(ENOMEM), "convert the frame");
    if (colour.transfer != rules::Transfer::Sdr && d && !(d->flags & AV_PIX_FMT_FLAG_RGB)) {
        // HDR as a player shows it on an ordinary screen, not its raw signal.
        if (Error e = SdrView(colour.transfer).toBgr(f, w, h, colour.matrix, full, bgr)) return e;
        return pictureFile(bgr.get(), file);
    }
    SwsPtr sws(sws_getContext(f->width, f->height, from, w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr,
                              nullptr, nullptr));
    if (!sws)
        return failure("convert the frame",
                       std::string("cannot convert from ") + (fromName ? fromName : "?"));
    if (d && !(d->flags & AV_PIX_FMT_FLAG_RGB)) {
        const int matrix = colour.matrix == rules::Matrix::Bt709   ? SWS_CS_ITU709
                           : colour.matrix == rules::Matrix::Bt601 ? SWS_CS_ITU601
                                                                   : SWS_CS_BT2020;
        int *invTable = nullptr, *table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        sws_getColorspaceDetails(sws.get(), &invTable, &srcRange, &table, &dstRange, &brightness, &contrast,
                                 &saturation);
        sws_setColorspaceDetails(sws.get(), sws_getCoefficients(matrix), full ? 1 : 0, table, 1, brightness,
                                 contrast, saturation);
    }
    bgr->width = w, bgr->height = h, bgr->format = AV_PIX_FMT_BGR24;
    if (int r = av_frame_get_buffer(bgr.get(), 0); r < 0) return avError(r, "convert the frame");
    sws_scale(sws.get(), f->data, f->linesize, 0, f->height, bgr->data, bgr->linesize);
    return pictureFile(bgr.get(), file);
}

Error FrameGrab::pictureFile(const AVFrame* bgr, std::vector<uint8_t>& file) {
    const int w = bgr->width, h = bgr->height;
    const rules::Orientation turn = req_.upright ? in_.videoTurn() : rules::Orientation{};
    if (turn.upright()) {
        file = bmpFile(bgr->data[0], bgr->linesize[0], w, h);
        writtenWidth_ = w, writtenHeight_ = h;
    } else {
        const BgrPicture shown = turnUpright(bgr->data[0], bgr->linesize[0], {w, h}, turn);
        file = bmpFile(shown.pixels.data(), shown.width * 3, shown.width, shown.height);
        writtenWidth_ = shown.width, writtenHeight_ = shown.height;
    }
    if (file.empty())
        return failure("output '" + req_.output + "'", "a frame of " + std::to_string(writtenWidth_) + "x" +
                                                           std::to_string(writtenHeight_) +
                                                           " does not fit a BMP file");
    return noError();
}

Error FrameGrab::save(const std::vector<uint8_t>& file) {
    const std::string what = "write output '" + req_.output + "'";
    UniqueFd fd(::open(target_.workPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd) return sysError(errno, what);
    const uint8_t* p = file.data();
    size_t left = file.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return sysError(n < 0 ? errno : ENOSPC, what);
        p += n, left -= size_t(n);
    }
    if (::close(fd.release()) != 0) return sysError(errno, what);
    return noError();
}

Error FrameGrab::run(FrameResult& result) {
    ic_ = in_.context();
    if (in_.videoStream() < 0) return failure("input '" + req_.input + "'", "holds no video stream");
    if (!namesBmp(req_.output))
        return failure("output '" + req_.output + "'", "a frame is written as a BMP picture; name it .bmp");
    st_ = ic_->streams[in_.videoStream()];
    for (unsigned i = 0; i < ic_->nb_streams; ++i)
        if (ic_->streams[i] != st_) ic_->streams[i]->discard = AVDISCARD_ALL;

    // From the start of the input, as the probe's duration counts; rounded up, so that a time
    // between two frames gives the later one.
    const double seconds = std::min(req_.seconds, kLatestSeconds);
    const int64_t wantedUs = in_.startTime() + std::llround(seconds * AV_TIME_BASE);
    wanted_ = av_rescale_q_rnd(wantedUs, AV_TIME_BASE_Q, st_->time_base, AV_ROUND_UP);
    const AVRational rate = av_guess_frame_rate(ic_, st_, nullptr);
    if (rate.num > 0 && rate.den > 0)
        step_ = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), st_->time_base));

    // Refused before any decoding: an existing picture without -y, a folder that takes no file.
    if (Error e = target_.prepare(req_.input, req_.output, req_.overwrite)) return e;
    if (Error e = decode()) return e;
    if (Error e = applyHook()) return e;
    std::vector<uint8_t> file;
    if (Error e = toPicture(file)) return e;
    if (Error e = save(file)) return e;
    std::string keptAs;
    if (Error e = target_.commit(false, keptAs)) return e;
    result.width = writtenWidth_;
    result.height = writtenHeight_;
    result.seconds = shownPts_ == AV_NOPTS_VALUE
                         ? 0
                         : double(av_rescale_q(shownPts_, st_->time_base, AV_TIME_BASE_Q) - in_.startTime()) /
                               AV_TIME_BASE;
    return noError();
}

}  // namespace

Error writeFrame(InputFile& input, const FrameRequest& request, const StopRequest& stop,
                 FrameResult& result) {
    FrameGrab grab(input, request, stop);
    return grab.run(result);
}

}  // namespace wm
