// The result read back once it is written: every stream written is there, the video lasts what was
// written within one frame, its first and last frames decode, and it holds as many frames as
// were written. A result that fails is not trusted: the conversion keeps it under a part's name.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/input_file.h"
#include "encoder/video_span.h"

namespace wm {

struct CheckExpectation {
    std::vector<AVMediaType> streams;  // the kinds of the streams written, in order
    VideoSpan video;                   // the video written, as the muxer was handed it
    double frameSeconds = 0.04;        // one frame, the tolerance for the length
    // Video packets [first, second) in decoding order, from a key frame, decoded whole and without
    // a fault (the joins of smart rendering); none when equal.
    std::pair<size_t, size_t> decodeWhole{0, 0};
};

struct CheckReport {
    VideoSpan video;
    int streams = 0;
};

class ResultCheck {
public:
    // Reads the file at path through and compares it with `expected`; the reason for a failure
    // is the error's detail.
    Error run(const std::string& path, const CheckExpectation& expected, CheckReport& report);
    // The file as read back; nullptr when it could not be opened.
    const AVFormatContext* context() const noexcept { return file_.get(); }

private:
    Error readThrough(int video, const CheckExpectation& expected, VideoSpan& span);
    Error decodeLast();

    InputFormatPtr file_;
    CodecContextPtr decoder_;
    std::vector<PacketPtr> tail_;  // the video's packets from its last key frame on
    int64_t lastPts_ = AV_NOPTS_VALUE;
    bool firstDecoded_ = false;
};

// The frames and span of the video stream of an open file, read from its packets; the file is
// read to its end.
Error measureVideo(AVFormatContext* file, int video, double frameSeconds, VideoSpan& span);

// A result checked against its source alone, as "-check" does: the source's video and sound
// streams, its frames and its length.
Error checkAgainstSource(const InputFile& source, const std::string& result, CheckReport& report);

// "1:23.4" (minutes, seconds and tenths; "1:02:03.4" from an hour on).
std::string formatClock(double seconds);
// "check: 1:23.4, 1997 frames, 3 streams"
std::string formatCheckLine(const CheckReport& report);

}  // namespace wm
