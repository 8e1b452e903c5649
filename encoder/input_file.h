// The source video: opened once, probed, and described for the console.
#pragma once

#include <string>

#include <sys/stat.h>

#include "encoder/av_ptr.h"
#include "encoder/error.h"
#include "encoder/input_block.h"
#include "encoder/stop.h"
#include "encoder/unique_fd.h"
#include "rules/orientation.h"

namespace wm {

// How a video is turned for showing: by its display matrix (nine values, FFmpeg's layout) when it
// has one, else by its "rotate" tag (degrees clockwise, as older files carry it); as coded when
// neither is given or the tag is no number.
rules::Orientation displayTurn(const int32_t* matrix, const char* rotateTag);
rules::Orientation displayTurn(const AVStream* stream);

// Why a stream cannot go into a result: its parameters were never learnt (a stream only glimpsed
// while probing). Empty when it can.
std::string incompleteParameters(const AVStream* stream);

class InputFile {
public:
    // Waits on the input (a pipe, a hung network folder) give up when stop is asked for.
    Error open(const std::string& path, const StopRequest& stop);
    AVFormatContext* context() const noexcept { return format_.get(); }
    // The stream that is decoded and watermarked; -1 when the input has no video.
    int videoStream() const noexcept { return video_; }
    // Start of the input's timeline in AV_TIME_BASE units (0 when unknown); results start at 0.
    int64_t startTime() const noexcept;
    // Video bit rate of the source, estimated from the container when the stream does not say.
    int64_t videoBitRate() const;
    InputSummary summary() const;
    // How the chosen video is turned for showing; as coded when there is no video.
    rules::Orientation videoTurn() const;
    // How the source file changed since it was opened ("it shrank from 5000 to 1200 bytes"); ""
    // when it did not, or is no regular file. A source deleted meanwhile has not changed: the
    // open file is read on to its end.
    std::string changeSinceOpen() const;

private:
    InputFormatPtr format_;
    std::string path_;
    int video_ = -1;
    UniqueFd watch_;         // the source as opened, whatever its name comes to mean
    struct stat opened_ {};  // and what it was then
};

}  // namespace wm
