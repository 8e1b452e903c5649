// The video the user chose and what the probe learnt of it: the one value the
// main window hands to the rest of the program.
#pragma once

#include "jobs/progress_parse.h"
#include "jobs/video_facts.h"
#include "rules/orientation.h"

#include <QDateTime>
#include <QSize>
#include <QString>

struct ChosenVideo {
    QString path;      // exactly as chosen, whatever characters the name holds
    QString title;     // the file name without its folder
    QString duration;  // the probe's duration text, "" until one was read
    QString width;     // the upright frame width as shown: the probe's text as cut, e.g. "720", or
                       // the number when a quarter turn swaps the sides
    QString height;    // likewise the height, e.g. "576" or "576,"
    QSize frameSize;   // the upright frame (as a player shows it) in whole pixels; invalid until the
                       // probe gave a usable size
    QSize codedSize;   // the frame as it is decoded, which the masks are made for; equal to frameSize
                       // unless the video carries a display rotation
    rules::Orientation orientation;  // how the coded frame is turned for showing
    QDateTime recorded;              // when the file says it was recorded; invalid when it does not
    rules::Transfer transfer = rules::Transfer::Sdr;  // HDR's PQ or HLG, as the probe says
};

// What the conversion needs to know of the chosen video.
inline VideoFacts factsOf(const ChosenVideo& video) {
    VideoFacts f;
    f.coded = video.codedSize.isValid() ? video.codedSize : video.frameSize;
    f.orientation = video.orientation;
    f.upright = video.frameSize;
    f.durationText = video.duration;
    f.seconds = durationInSeconds(video.duration);
    f.recorded = video.recorded;
    f.transfer = video.transfer;
    return f;
}
