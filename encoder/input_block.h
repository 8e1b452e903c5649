// The description of the input that the encoder prints before anything else.
//
// The windows cut facts out of this text by fixed markers, one chunk of at most 1024 bytes at a
// time, so the layout is a contract:
//  - the block is short and written in one write, so "Duration" and the video line share a chunk;
//  - "  Duration: " is followed by HH:MM:SS.ff and a comma (11 characters are taken);
//  - when the file says when it was recorded, the line before Duration is "  Recorded: " and the
//    moment in ISO 8601 as the file gives it: YYYY-MM-DD, then "T" and HH:MM:SS where it has a
//    time of day, then "Z" or +hh:mm / -hh:mm where it says the zone (no zone: the camera's
//    local time);
//  - the chosen video stream's line comes first after the Duration line, and within the 40
//    characters from its "Video" the first "x" of either case is the one between width and height,
//    with the width left-padded and the height right-padded so that the 4 characters on each side
//    of it trim to exactly "WxH";
//  - no line holds "time" or a second "duration" (any case): progress is read from the first
//    "time" of a chunk. File and codec names are cleaned of both words;
//  - when the chosen video is shown turned (its display matrix, or else its "rotate" tag, is not
//    the identity), the line right after its own starts with six spaces and "Display: ", then
//    "rotate N, " when it is turned (N is 90, 180 or 270, clockwise; FFmpeg's own tools give the
//    same turn anticlockwise, "rotation=-90" for "rotate 90"), "mirror, " when it is mirrored left
//    to right before the turn, and "shown WxH", the frame as shown (rules/orientation.h says how
//    the two combine). The line holds no "video", "time" or "duration", and a video of unknown
//    size gets none;
//  - a stream left out of the result gets a note on the line after its own (after its "Display:"
//    line, if any), which starts with "Note:" and holds no digit, "x", "time" or "duration", so it
//    reads as no size, length or time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rules/orientation.h"

namespace wm {

struct StreamSummary {
    enum class Kind { Video, Audio, Subtitle, Data, Attachment, Other };
    int index = 0;
    Kind kind = Kind::Other;
    std::string codec;        // codec short name
    std::string pixelFormat;  // video only; empty when unknown
    int width = 0, height = 0;
    int sarNum = 0, sarDen = 0;  // 0 when unknown
    double fps = 0;              // 0 when unknown
    int sampleRate = 0;
    std::string channelLayout;
    std::string sampleFormat;
    int64_t bitRate = 0;             // bits per second, 0 when unknown
    std::string leftOut;             // why the stream stays out of a result; empty when it is carried
    rules::Orientation orientation;  // video only: how the frame is turned for showing
    std::string hdr;                 // the chosen video only: "PQ" or "HLG" for an HDR picture, else empty
};

struct InputSummary {
    std::string formatName;
    std::string fileName;
    int64_t durationUs = -1;  // negative when unknown
    int64_t startUs = 0;
    int64_t bitRate = 0;
    std::string recorded;                // recordedMoment() of the file's creation time; "" when none
    std::vector<StreamSummary> streams;  // the chosen video stream first, the others in index order
};

std::string formatInputBlock(const InputSummary& in, int index = 0);
std::string formatStreamLine(const StreamSummary& s, int fileIndex);
// The note line for a stream left out of the result, without the line end.
std::string leftOutNote(const std::string& why);
// "      HDR: PQ" (or HLG) for an HDR video, which the windows show tone-mapped; "" otherwise.
std::string hdrLine(const StreamSummary& s);
// The "Display:" line of a video shown turned, without the line end; empty when it is shown as
// coded or its size is unknown.
std::string displayLine(const StreamSummary& s);
// A creation-time tag ("2021-03-04T10:00:00.000000Z", "2021-03-04 10:00:00", "2021-03-04") as the
// "Recorded:" line gives it: ISO 8601 without the fraction of a second; "" for anything that is no
// date and time of the years 1000 to 9999.
std::string recordedMoment(const std::string& creationTime);
// "HH:MM:SS.ff", hundredths cut, not rounded.
std::string formatDuration(int64_t us);
// A name made safe for the console block: no control characters, "time" / "duration" broken up,
// long names shortened from the front.
std::string cleanName(const std::string& name, size_t maxLength = 64);

}  // namespace wm
