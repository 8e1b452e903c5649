// The result's container. Packets may come from the decoding thread (copied and audio streams)
// and from the encoding thread (video); writes are serialised here and interleaved by libavformat.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/stop.h"

namespace wm {

class Muxer {
public:
    // format: the container chosen from the result's name; path: the file actually written.
    // Waits on the file give up when the stop is insisted on.
    Error create(const AVOutputFormat* format, const std::string& path, const StopRequest& stop);
    AVFormatContext* context() const noexcept { return out_.get(); }
    Error writeHeader();
    // Rescales pkt from `from` to the stream's time base and writes it; takes the packet's data.
    Error write(AVPacket* pkt, AVRational from);
    // Writes the trailer and closes the file, reporting any write failure on the way.
    Error finish();
    int64_t bytesWritten();
    int64_t packetsOf(int stream);

private:
    OutputFormatPtr out_;
    std::mutex lock_;
    std::string path_;
    std::vector<int64_t> packets_;  // per output stream, sized when the header is written
    int64_t finalSize_ = 0;
};

}  // namespace wm
