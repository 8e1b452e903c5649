// A batch's videos before their conversion: the proof frame of one, the
// results' names, and the videos of the paths given.
#pragma once

#include "jobs/video_facts.h"
#include "mark/placement.h"
#include "rules/output_choice.h"
#include "rules/time_weight.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

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
