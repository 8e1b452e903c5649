#include "encoder/input_file.h"

#include "encoder/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <charconv>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace wm {
namespace {

constexpr int kPipeWaitMs = 10000;

}  // namespace

rules::Orientation displayTurn(const int32_t* matrix, const char* rotateTag) {
    if (matrix) return rules::orientationOfMatrix(matrix);
    if (!rotateTag) return {};
    const char* begin = rotateTag;
    const char* end = rotateTag + std::strlen(rotateTag);
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    double degrees = 0;
    const auto [p, ec] = std::from_chars(begin, end, degrees);
    // Past a million degrees the tag is no angle a camera wrote.
    if (ec != std::errc() || p != end || !std::isfinite(degrees) || std::fabs(degrees) > 1e6) return {};
    return rules::orientationOfDegrees(degrees);
}

rules::Orientation displayTurn(const AVStream* st) {
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    int32_t matrix[9] = {};
    const bool hasMatrix = data && size >= sizeof matrix;
    if (hasMatrix) std::memcpy(matrix, data, sizeof matrix);  // side data promises no alignment
    const AVDictionaryEntry* tag = av_dict_get(st->metadata, "rotate", nullptr, 0);
    return displayTurn(hasMatrix ? matrix : nullptr, tag ? tag->value : nullptr);
}

std::string incompleteParameters(const AVStream* st) {
    const AVCodecParameters* p = st->codecpar;
    if (!p || p->codec_id == AV_CODEC_ID_NONE) return "no codec parameters";
    if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (p->ch_layout.nb_channels <= 0) return "no channel count";
        if (p->sample_rate <= 0) return "no sample rate";
    }
    if (p->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
        (p->width <= 0 || p->height <= 0))
        return "no frame size";
    return {};
}

Error InputFile::open(const std::string& path, const StopRequest& stop) {
    path_ = path;
    const std::string what = "input '" + path + "'";
    struct stat st {};
    if (path.empty()) return failure("input", "no input file given");
    if (::stat(path.c_str(), &st) != 0) return sysError(errno, what);
    if (S_ISDIR(st.st_mode)) return failure(what, "is a folder, not a video file");
    // A pipe is read once something writes to it; opening one nobody writes to would wait forever.
    UniqueFd pipeEnd;
    if (S_ISFIFO(st.st_mode)) {
        pipeEnd = UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!pipeEnd) return sysError(errno, what);
        for (int waited = 0;; waited += 100) {
            pollfd p{pipeEnd.get(), POLLIN, 0};
            const int r = ::poll(&p, 1, 100);
            if (r > 0 && (p.revents & POLLIN)) break;
            if (r > 0 && (p.revents & POLLHUP)) return failure(what, "is a pipe that ended before any data");
            if (stop.asked()) return avError(AVERROR_EXIT, what);
            if (waited >= kPipeWaitMs)
                return failure(
                    what, "is a pipe nothing was written to in " + std::to_string(kPipeWaitMs / 1000) + " s");
        }
    }

    if (S_ISREG(st.st_mode)) {
        watch_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!watch_ || ::fstat(watch_.get(), &opened_) != 0) watch_ = UniqueFd();
    }

    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return avError(AVERROR(ENOMEM), what);
    raw->interrupt_callback = AVIOInterruptCB{&interruptOnStop, const_cast<StopRequest*>(&stop)};
    // On failure avformat_open_input frees the context itself.
    if (int r = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); r < 0) return avError(r, what);
    format_.reset(raw);
    if (int r = avformat_find_stream_info(raw, nullptr); r < 0) return avError(r, what);

    int best = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && (raw->streams[best]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        best = -1;  // a cover picture is no video
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            const AVStream* s = raw->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                best = int(i);
                break;
            }
        }
    }
    video_ = best;
    return noError();
}

int64_t InputFile::startTime() const noexcept {
    return format_ && format_->start_time != AV_NOPTS_VALUE ? format_->start_time : 0;
}

int64_t InputFile::videoBitRate() const {
    if (video_ < 0) return 0;
    const AVFormatContext* f = format_.get();
    if (int64_t r = f->streams[video_]->codecpar->bit_rate; r > 0) return r;
    int64_t total = f->bit_rate;
    if (total <= 0 && f->duration > 0 && f->pb) {
        int64_t size = avio_size(f->pb);
        if (size > 0) total = av_rescale(size * 8, AV_TIME_BASE, f->duration);
    }
    for (unsigned i = 0; i < f->nb_streams; ++i)
        if (int(i) != video_) total -= f->streams[i]->codecpar->bit_rate;
    return total > 0 ? total : 0;
}

rules::Orientation InputFile::videoTurn() const {
    return video_ >= 0 ? displayTurn(format_->streams[video_]) : rules::Orientation{};
}

InputSummary InputFile::summary() const {
    const AVFormatContext* f = format_.get();
    InputSummary s;
    s.formatName = f->iformat ? f->iformat->name : "unknown";
    const auto slash = path_.find_last_of('/');
    s.fileName = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    s.durationUs = f->duration != AV_NOPTS_VALUE ? f->duration : -1;
    s.startUs = startTime();
    s.bitRate = f->bit_rate;
    // The container's own creation time, else the video stream's (some muxers tag only that).
    for (const AVDictionary* tags : {f->metadata, video_ >= 0 ? f->streams[video_]->metadata : nullptr})
        if (const AVDictionaryEntry* e = av_dict_get(tags, "creation_time", nullptr, 0);
            e && s.recorded.empty())
            s.recorded = recordedMoment(e->value);

    auto describe = [&](unsigned i) {
        const AVStream* st = f->streams[i];
        const AVCodecParameters* p = st->codecpar;
        StreamSummary d;
        d.index = int(i);
        d.codec = avcodec_get_name(p->codec_id);
        d.bitRate = p->bit_rate;
        if (int(i) != video_ && p->codec_type != AVMEDIA_TYPE_ATTACHMENT)
            d.leftOut = incompleteParameters(st);
        switch (p->codec_type) {
            case AVMEDIA_TYPE_VIDEO: {
                if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) {
                    d.kind = StreamSummary::Kind::Attachment;
                    break;
                }
                d.kind = StreamSummary::Kind::Video;
                if (const char* n = av_get_pix_fmt_name(AVPixelFormat(p->format))) d.pixelFormat = n;
                d.width = p->width;
                d.height = p->height;
                AVRational sar = av_guess_sample_aspect_ratio(const_cast<AVFormatContext*>(f),
                                                              const_cast<AVStream*>(st), nullptr);
                if (sar.num > 0 && sar.den > 0) d.sarNum = sar.num, d.sarDen = sar.den;
                AVRational fr =
                    av_guess_frame_rate(const_cast<AVFormatContext*>(f), const_cast<AVStream*>(st), nullptr);
                if (fr.num > 0 && fr.den > 0) d.fps = av_q2d(fr);
                if (int(i) == video_) {
                    d.orientation = displayTurn(st);
                    if (p->color_trc == AVCOL_TRC_SMPTE2084) d.hdr = "PQ";
                    if (p->color_trc == AVCOL_TRC_ARIB_STD_B67) d.hdr = "HLG";
                }
                break;
            }
            case AVMEDIA_TYPE_AUDIO: {
                d.kind = StreamSummary::Kind::Audio;
                d.sampleRate = p->sample_rate;
                char layout[64] = {};
                if (av_channel_layout_describe(&p->ch_layout, layout, sizeof layout) > 0)
                    d.channelLayout = layout;
                if (const char* n = av_get_sample_fmt_name(AVSampleFormat(p->format))) d.sampleFormat = n;
                break;
            }
            case AVMEDIA_TYPE_SUBTITLE:
                d.kind = StreamSummary::Kind::Subtitle;
                break;
            case AVMEDIA_TYPE_DATA:
                d.kind = StreamSummary::Kind::Data;
                break;
            case AVMEDIA_TYPE_ATTACHMENT:
                d.kind = StreamSummary::Kind::Attachment;
                break;
            default:
                d.kind = StreamSummary::Kind::Other;
                break;
        }
        s.streams.push_back(std::move(d));
    };
    if (video_ >= 0) describe(unsigned(video_));
    for (unsigned i = 0; i < f->nb_streams; ++i)
        if (int(i) != video_) describe(i);
    return s;
}

std::string InputFile::changeSinceOpen() const {
    struct stat now {};
    if (!watch_ || ::fstat(watch_.get(), &now) != 0) return {};
    const auto bytes = [](off_t n) {
        return std::to_string(static_cast<long long>(n));
    };
    if (now.st_size < opened_.st_size)
        return "it shrank from " + bytes(opened_.st_size) + " to " + bytes(now.st_size) + " bytes";
    if (now.st_size > opened_.st_size)
        return "it grew from " + bytes(opened_.st_size) + " to " + bytes(now.st_size) + " bytes";
    if (now.st_mtim.tv_sec != opened_.st_mtim.tv_sec || now.st_mtim.tv_nsec != opened_.st_mtim.tv_nsec)
        return "it was written to";
    struct stat named {};
    if (::stat(path_.c_str(), &named) == 0 &&
        (named.st_ino != opened_.st_ino || named.st_dev != opened_.st_dev))
        return "another file took its name";
    return {};
}

}  // namespace wm
