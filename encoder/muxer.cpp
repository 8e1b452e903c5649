#include "encoder/muxer.h"

#include <algorithm>

namespace wm {

Error Muxer::create(const AVOutputFormat* format, const std::string& path) {
    path_ = path;
    AVFormatContext* raw = nullptr;
    if (int r = avformat_alloc_output_context2(&raw, format, nullptr, path.c_str()); r < 0)
        return avError(r, "create output");
    out_.reset(raw);
    // No interrupt callback: a stop still needs every packet and the trailer written. A folder
    // that hangs is main's close watch's business.
    return noError();
}

Error Muxer::writeHeader() {
    if (!(out_->oformat->flags & AVFMT_NOFILE))
        if (int r = avio_open2(&out_->pb, path_.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr); r < 0)
            return avError(r, "open output");
    if (int r = avformat_write_header(out_.get(), nullptr); r < 0)
        return avError(r, "write the result's header");
    // The muxer may have chosen the streams' time bases only now.
    spans_.clear();
    for (unsigned i = 0; i < out_->nb_streams; ++i)
        spans_.emplace_back(out_->streams[i]->time_base);
    return noError();
}

Error Muxer::write(AVPacket* pkt, AVRational from) {
    std::lock_guard guard(lock_);
    if (pkt->stream_index < 0 || size_t(pkt->stream_index) >= spans_.size())
        return failure("write the result", "a packet of no known stream");
    AVStream* st = out_->streams[pkt->stream_index];
    av_packet_rescale_ts(pkt, from, st->time_base);
    pkt->pos = -1;
    spans_[size_t(pkt->stream_index)].add(pkt);
    if (int r = av_interleaved_write_frame(out_.get(), pkt); r < 0) return avError(r, "write the result");
    if (out_->pb && out_->pb->error < 0) return avError(out_->pb->error, "write the result");
    return noError();
}

Error Muxer::finish() {
    std::lock_guard guard(lock_);
    if (int r = av_write_trailer(out_.get()); r < 0) return avError(r, "finish the result");
    if (out_->pb) {
        avio_flush(out_->pb);
        finalSize_ = std::max(avio_tell(out_->pb), avio_size(out_->pb));
        if (out_->pb->error < 0) return avError(out_->pb->error, "write the result");
        if (!(out_->oformat->flags & AVFMT_NOFILE))
            if (int r = avio_closep(&out_->pb); r < 0) return avError(r, "close the result");
    }
    return noError();
}

int64_t Muxer::bytesWritten() {
    std::lock_guard guard(lock_);
    return out_->pb ? avio_tell(out_->pb) : finalSize_;
}

int64_t Muxer::packetsOf(int stream) {
    return spanOf(stream, 0).frames;
}

VideoSpan Muxer::spanOf(int stream, double frameSeconds) {
    std::lock_guard guard(lock_);
    return stream >= 0 && size_t(stream) < spans_.size() ? spans_[size_t(stream)].span(frameSeconds)
                                                         : VideoSpan{};
}

}  // namespace wm
