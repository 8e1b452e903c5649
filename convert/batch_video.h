// One video of a batch, before its conversion: what the encoder says of it,
// the job's mask for its frame, and the name of its result.
#pragma once

#include "app/encoder_lines.h"
#include "rules/orientation.h"
#include "watermark/mark_mask.h"
#include "watermark/placement.h"

#include <QColor>
#include <QDateTime>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct VideoFacts {
    QSize coded;                     // the frame as decoded
    rules::Orientation orientation;  // how players turn it
    QSize upright;                   // the frame as shown
    double seconds = 0;              // the duration; 0 when the encoder gave none
    QString durationText;            // "HH:MM:SS.ss" as the encoder wrote it
    QDateTime recorded;              // when its file says it was recorded; invalid when it does not
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

struct VideoMask {
    Mask mask;   // for the coded frame
    QColor key;  // the key colour the module gets
    QRect rect;  // where the mark stands in the upright frame
};

// The placement's mask for one video, made as the positioning window makes
// it; nothing and `why` when the mark would change no pixel of it.
std::optional<VideoMask> maskFor(const Placement& placement, const VideoFacts& video, QString* why);

// The proof frame: the frame shown at a tenth of the video with the mark laid
// on it by the encoder's own module, upright, as the result will show it (at
// the weight `range` gives that moment). Nothing and `why` when it cannot be
// made.
std::optional<QImage> proofFrame(const Placement& placement, const QString& video, const VideoFacts& facts,
                                 const rules::TimeRange& range, QString* why);

// The results of `videos` in `folder`: <prefix><file name>, and for a name
// that an earlier video of the list already takes (cameras repeat names
// across folders) "<stem> (2).<ext>", "(3)", … in the list's order, so that
// a second run names every result as the first did. An MP4 to share ends in ".mp4".
QStringList resultPaths(const QStringList& videos, const QString& folder, const QString& prefix,
                        OutputChoice output = OutputChoice::SameAsSource);

// The video files in `paths`: files as given, folders searched (not their
// subfolders) for the video types the dialog lists, sorted by name; every
// path absolute and each once. `why` names the first that is neither.
QStringList collectVideos(const QStringList& paths, QString* why);
