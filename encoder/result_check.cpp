#include "encoder/result_check.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "encoder/video_path.h"

namespace wm {
namespace {

const char* kindName(AVMediaType kind) {
    switch (kind) {
        case AVMEDIA_TYPE_VIDEO:
            return "video";
        case AVMEDIA_TYPE_AUDIO:
            return "audio";
        case AVMEDIA_TYPE_SUBTITLE:
            return "subtitle";
        case AVMEDIA_TYPE_ATTACHMENT:
            return "attachment";
        default:
            return "data";
    }
}

// The last packets, in decoding order, that are decoded whole: the last frame and the ones it
// refers to (a group of B-frames and its anchor).
constexpr size_t kWholeAtTheEnd = 8;

int64_t timestampOf(const AVPacket* p) {
    return p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
}

Error unreadable(int code, const std::string& what) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return failure("", what + " (" + buf + ")");
}

// Whether the header names every stream with its kind and codec (MP4, Matroska, AVI), so that the
// decoder can be opened without probing: MPEG files and FLV find their streams in the packets.
bool describedByHeader(const AVFormatContext* f) {
    if ((f->ctx_flags & AVFMTCTX_NOHEADER) || f->nb_streams == 0) return false;
    for (unsigned i = 0; i < f->nb_streams; ++i) {
        const AVCodecParameters* p = f->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_UNKNOWN || p->codec_id == AV_CODEC_ID_NONE) return false;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && (p->width <= 0 || p->height <= 0)) return false;
    }
    return true;
}

int videoStreamOf(const AVFormatContext* f) {
    for (unsigned i = 0; i < f->nb_streams; ++i)
        if (f->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(f->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return int(i);
    return -1;
}

// The packets of a stretch decoded whole, one thread, every fault counted: where a re-encoded
// stretch meets copied groups a decoder must switch cleanly, which only decoding shows.
class JoinDecode {
public:
    JoinDecode(const AVStream* st, std::pair<size_t, size_t> packets)
        : st_(st), first_(packets.first), end_(packets.second) {}
    // pkt == nullptr: the file's end.
    Error take(const AVPacket* pkt) {
        if (first_ >= end_ || done_) return noError();
        const size_t index = seen_;
        if (pkt) ++seen_;
        if (pkt && index < first_) return noError();
        if (!dec_) {
            if (!pkt) return noError();
            if (Error e = openVideoDecoder(st_, 1, 0, dec_))
                return failure("", "its video cannot be decoded: " + e.message());
            dec_->err_recognition |= AV_EF_EXPLODE;
        }
        const bool last = !pkt || index + 1 >= end_;
        if (pkt) {
            ++sent_;
            if (avcodec_send_packet(dec_.get(), pkt) < 0) return broken();
            if (Error e = drain()) return e;
        }
        if (!last) return noError();
        done_ = true;
        avcodec_send_packet(dec_.get(), nullptr);
        if (Error e = drain()) return e;
        if (frames_ != sent_)
            return failure("", "around its re-encoded stretch " + std::to_string(sent_) +
                                   " frames were read, " + std::to_string(frames_) + " decoded");
        return noError();
    }

private:
    Error broken() const {
        return failure("", "its video does not decode where the re-encoded stretch is joined");
    }
    Error drain() {
        for (;;) {
            const int r = avcodec_receive_frame(dec_.get(), frame_.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return noError();
            if (r < 0) return broken();
            const bool bad = frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT);
            av_frame_unref(frame_.get());
            if (bad) return broken();
            ++frames_;
        }
    }

    const AVStream* st_;
    size_t first_, end_;
    size_t seen_ = 0, sent_ = 0, frames_ = 0;
    bool done_ = false;
    CodecContextPtr dec_;
    FramePtr frame_ = makeFrame();
};

}  // namespace

Error measureVideo(AVFormatContext* file, int video, double frameSeconds, VideoSpan& span) {
    SpanCounter counter(file->streams[video]->time_base);
    PacketPtr pkt = makePacket();
    for (;;) {
        const int r = av_read_frame(file, pkt.get());
        if (r == AVERROR_EOF) break;
        if (r == AVERROR(EAGAIN)) continue;
        if (r < 0) return avError(r, "read the source through");
        if (pkt->stream_index == video && pkt->size > 0) counter.add(pkt.get());
        av_packet_unref(pkt.get());
    }
    span = counter.span(frameSeconds);
    return noError();
}

Error ResultCheck::run(const std::string& path, const CheckExpectation& expected, CheckReport& report) {
    AVFormatContext* raw = nullptr;
    // On failure avformat_open_input frees the context itself.
    if (int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); r < 0)
        return unreadable(r, "the file cannot be opened");
    file_.reset(raw);
    // Most containers describe every stream in their header; only the others are probed, which
    // decodes frames of each stream.
    if (!describedByHeader(raw))
        if (int r = avformat_find_stream_info(raw, nullptr); r < 0)
            return unreadable(r, "the file's streams cannot be read");
    const int video = videoStreamOf(raw);
    if (video < 0) return failure("", "the file holds no video");
    VideoSpan span;
    if (Error e = readThrough(video, expected, span)) return e;

    // Streams of MPEG files show only once their packets are read, so they are counted last.
    for (AVMediaType kind :
         {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE, AVMEDIA_TYPE_ATTACHMENT}) {
        const auto written = std::count(expected.streams.begin(), expected.streams.end(), kind);
        int found = 0;
        for (unsigned i = 0; i < raw->nb_streams; ++i)
            found += raw->streams[i]->codecpar->codec_type == kind;
        if (found < written)
            return failure("", std::to_string(written) + " " + kindName(kind) + " stream" +
                                   (written == 1 ? "" : "s") + " written, " + std::to_string(found) +
                                   " in the file");
    }
    if (span.frames != expected.video.frames)
        return failure("", std::to_string(expected.video.frames) + " frames written, " +
                               std::to_string(span.frames) + " in the file");
    // A thousandth more for the rounding of time bases.
    if (std::fabs(span.seconds - expected.video.seconds) > expected.frameSeconds + 0.001)
        return failure("", "the video lasts " + formatClock(span.seconds) + ", " +
                               formatClock(expected.video.seconds) + " were written");
    if (Error e = decodeLast()) return e;
    report.video = span;
    report.streams = int(expected.streams.size());
    return noError();
}

Error ResultCheck::readThrough(int video, const CheckExpectation& expected, VideoSpan& span) {
    AVFormatContext* f = file_.get();
    const AVStream* st = f->streams[video];
    // One thread: the frames decoded here mostly refer each to the one before, and frame threads
    // would each take their own pictures, which cost more to set up than they save.
    if (Error e = openVideoDecoder(st, 1, 0, decoder_))
        return failure("", "its video cannot be decoded: " + e.message());
    SpanCounter counter(st->time_base);
    FramePtr frame = makeFrame();
    JoinDecode joins(st, expected.decodeWhole);
    // The first key frame decoded on its own and drained at once: the frames after it, which the
    // decoder would otherwise take in before it gives out the first, are not decoded. Packets
    // before it cannot decode alone; where the file marks no key frames, each is tried in turn.
    bool keySeen = false, firstFailed = false;
    auto takeFirst = [&](const AVPacket* p) {
        const bool key = p->flags & AV_PKT_FLAG_KEY;
        if (keySeen && !key) return;
        keySeen = keySeen || key;
        avcodec_flush_buffers(decoder_.get());
        if (avcodec_send_packet(decoder_.get(), p) == 0 && avcodec_send_packet(decoder_.get(), nullptr) == 0)
            while (avcodec_receive_frame(decoder_.get(), frame.get()) == 0) {
                firstDecoded_ = true;
                av_frame_unref(frame.get());
            }
        firstFailed = key && !firstDecoded_;
    };
    for (;;) {
        PacketPtr pkt = makePacket();
        const int r = av_read_frame(f, pkt.get());
        if (r == AVERROR_EOF) break;
        if (r == AVERROR(EAGAIN)) continue;
        if (r < 0) return unreadable(r, "the file cannot be read to its end");
        if (pkt->stream_index != video || pkt->size == 0) continue;
        if (Error e = joins.take(pkt.get())) return e;
        counter.add(pkt.get());
        if (!firstDecoded_ && !firstFailed) takeFirst(pkt.get());
        if (pkt->flags & AV_PKT_FLAG_KEY) tail_.clear();
        tail_.push_back(std::move(pkt));
    }
    if (!firstDecoded_) return failure("", "its first frame does not decode");
    if (Error e = joins.take(nullptr)) return e;
    lastPts_ = counter.lastTimestamp();
    span = counter.span(expected.frameSeconds);
    return noError();
}

// From the last key frame on, the frames others refer to are decoded without their loop filter and
// the others skipped, up to the last few, which are decoded whole: enough to show that the last
// frame decodes, at a fraction of the cost. Where the decoder gives frames no times (MPEG video in
// AVI), a frame must come once the last packet is in.
Error ResultCheck::decodeLast() {
    avcodec_flush_buffers(decoder_.get());
    FramePtr frame = makeFrame();
    int64_t lastDecoded = AV_NOPTS_VALUE;
    int64_t framesAfterLast = 0;
    bool lastSent = false;
    auto drain = [&] {
        while (avcodec_receive_frame(decoder_.get(), frame.get()) == 0) {
            const int64_t ts = frame->best_effort_timestamp;
            if (ts != AV_NOPTS_VALUE && (lastDecoded == AV_NOPTS_VALUE || ts > lastDecoded)) lastDecoded = ts;
            framesAfterLast += lastSent;
            av_frame_unref(frame.get());
        }
    };
    for (size_t i = 0; i < tail_.size(); ++i) {
        const AVPacket* p = tail_[i].get();
        const bool last = i + 1 == tail_.size();
        const bool wanted = last || timestampOf(p) == lastPts_;
        const bool whole = wanted || i + kWholeAtTheEnd >= tail_.size();
        decoder_->skip_frame = whole ? AVDISCARD_DEFAULT : AVDISCARD_NONREF;
        decoder_->skip_loop_filter = whole ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        const int r = avcodec_send_packet(decoder_.get(), p);
        if (r < 0 && wanted) return failure("", "its last frame does not decode");
        lastSent = last;
        drain();
    }
    avcodec_send_packet(decoder_.get(), nullptr);
    drain();
    const bool whole = lastDecoded != AV_NOPTS_VALUE ? lastDecoded >= lastPts_ : framesAfterLast > 0;
    if (!whole) return failure("", "its last frame does not decode");
    return noError();
}

Error checkAgainstSource(const InputFile& source, const std::string& result, CheckReport& report) {
    AVFormatContext* in = source.context();
    const int video = source.videoStream();
    if (video < 0) return failure("", "the source holds no video");
    CheckExpectation expected;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream* st = in->streams[i];
        const bool picture = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && int(i) == video;
        const bool sound = st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && incompleteParameters(st).empty();
        if (picture || sound) expected.streams.push_back(st->codecpar->codec_type);
    }
    const AVRational rate = av_guess_frame_rate(in, in->streams[video], nullptr);
    if (rate.num > 0 && rate.den > 0) expected.frameSeconds = av_q2d(av_inv_q(rate));
    if (Error e = measureVideo(in, video, expected.frameSeconds, expected.video)) return e;
    ResultCheck check;
    if (Error e = check.run(result, expected, report)) {
        // Against the source, "written" is what the source holds.
        std::string why = e.message();
        for (auto at = why.find(" written"); at != std::string::npos; at = why.find(" written", at))
            why.replace(at, 8, " in the source");
        return failure("", why);
    }
    return noError();
}

std::string formatClock(double seconds) {
    const int64_t tenths = std::llround(std::max(0.0, seconds) * 10);
    const int64_t s = tenths / 10;
    char buf[48];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%" PRId64 ":%02d:%02d.%d", s / 3600, int(s / 60 % 60), int(s % 60),
                      int(tenths % 10));
    else
        std::snprintf(buf, sizeof buf, "%d:%02d.%d", int(s / 60), int(s % 60), int(tenths % 10));
    return buf;
}

std::string formatCheckLine(const CheckReport& report) {
    return "check: " + formatClock(report.video.seconds) + ", " + std::to_string(report.video.frames) +
           " frames, " + std::to_string(report.streams) + " stream" + (report.streams == 1 ? "" : "s") + "\n";
}

}  // namespace wm
