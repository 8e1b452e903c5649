// The result's container. Packets may come from the decoding thread (copied and audio streams)
// and from the encoding thread (video); writes are serialised here and interleaved by libavformat.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/video_span.h"

namespace wm {

class Muxer {
public:
    // format: the container chosen from the result's name; path: the file actually written.
    Error create(const AVOutputFormat* format, const std::string& path);
    AVFormatContext* context() const noexcept { return out_.get(); }
    Error writeHeader();
    // Rescales pkt from `from` to the stream's time base and writes it; takes the packet's data.
    Error write(AVPacket* pkt, AVRational from);
    // Writes the trailer and closes the file, reporting any write failure on the way.
    Error finish();
    int64_t bytesWritten();
    int64_t packetsOf(int stream);
    // The packets of `stream` handed to the muxer so far and the time they span; a packet without a
    // duration lasts frameSeconds.
    VideoSpan spanOf(int stream, double frameSeconds);

private:
    OutputFormatPtr out_;
    std::mutex lock_;
    std::string path_;
    std::vector<SpanCounter> spans_;  // per output stream, made when the header is written
    int64_t finalSize_ = 0;
};

}  // namespace wm
