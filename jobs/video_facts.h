// What is known of a video before its conversion: what the encoder says of
// it, read from its description, one video or a batch at a time.
#pragma once

#include "rules/mark_colour.h"
#include "rules/orientation.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

struct VideoFacts {
    QSize coded;                     // the frame as decoded
    rules::Orientation orientation;  // how players turn it
    QSize upright;                   // the frame as shown
    double seconds = 0;              // the duration; 0 when the encoder gave none
    QString durationText;            // "HH:MM:SS.ss" as the encoder wrote it
    QDateTime recorded;              // when its file says it was recorded; invalid when it does not
    rules::Transfer transfer = rules::Transfer::Sdr;  // HDR's PQ or HLG: frames are shown tone-mapped
};

// The facts of the encoder's whole description of a video; nothing when it
// names no frame size (not a video the encoder reads).
std::optional<VideoFacts> videoFactsOf(const QString& description);

// Runs the encoder's probe on `video` and waits for it (a fraction of a
// second); nothing and `why` (the encoder's own reason) when it is not a
// video the encoder reads.
std::optional<VideoFacts> probeVideo(const QString& video, QString* why);

struct ProbeOutcome {
    std::optional<VideoFacts> facts;
    QString why;  // when there are none: the encoder's reason
};

// Describes every video of the list with as few runs of the encoder as it
// takes (one for up to 32): a batch pays the encoder's start once, not once
// a video. The outcomes in the list's order.
std::vector<ProbeOutcome> probeVideos(const QStringList& videos);

// The outcomes from the encoder's text describing `count` inputs: each
// "Input #N, …" block, or "Input #N: " and why it cannot be read.
std::vector<ProbeOutcome> probeOutcomesOf(const QString& description, qsizetype count);
