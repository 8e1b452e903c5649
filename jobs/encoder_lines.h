// Every command line the program gives its encoder, in one place: the probe
// that describes a video, the frame shown behind the mark, the proof frame
// made with the mark on it, and the conversion. Pure: paths in, text out;
// the windows, the queue and the headless command all build theirs here.
#pragma once

#include "rules/output_choice.h"
#include "rules/time_weight.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The choice's caption in the window, and its word in the user's settings ("same", "share"); a
// word that is none of them reads as SameAsSource.
QString outputCaption(OutputChoice choice);
QString outputWord(OutputChoice choice);
OutputChoice outputFromWord(const QString& word);

struct ConversionRun {
    QString programFolder;                           // the program folder in its command-line-safe form
    QString encoder = QStringLiteral("mxcode.dll");  // the encoder's file name in it
    QString video;                                   // the source video, command-line-safe
    QString mask;                                    // the mask bitmap, command-line-safe
    QString maskColour;                              // key colour RRGGBB
    QString result;                                  // the result's path
    bool enhanceAudio = false;
    OutputChoice output = OutputChoice::SameAsSource;  // Mp4ToShare adds "-share" before "-y"
    int opacity = 100;                                 // per cent; below 100 the module gets "-a N"
    rules::TimeRange range;  // when the mark shows; limited, the module gets "-from", "-until", "-fade"
};

// The video's file name as its result's ends: the same, or for an MP4 to share with ".mp4" for
// its extension ("clip.mkv" is "clip.mp4"; a name without one gets it).
QString resultFileName(const QString& videoFileName, OutputChoice output);

// resultsFolder + "/wm-" + the video's title; for an MP4 to share its extension becomes ".mp4"
// ("wm-clip.mkv" is "wm-clip.mp4"; a title without one gets it).
QString resultPath(const QString& resultsFolder, const QString& videoTitle,
                   OutputChoice output = OutputChoice::SameAsSource);

// "Keep both" for a result path that is taken: the first of "<stem> (2).<ext>", "<stem> (3).<ext>",
// ... in the same folder that isTaken says is free (the extension as the encoder splits it: after
// the name's last dot, never a leading one). "" when every number up to 9999 is taken.
QString keepBothPath(const QString& takenPath, const std::function<bool(const QString&)>& isTaken);

// The nine tokens: the encoder, -i, the video, -sameq, -vhook, the quoted hook
// with its arguments (" -a N" at their end for an opacity below 100, then
// " -from S", " -until S" and " -fade S" for the bounds of a limited range and
// its fade, in seconds), [-ar 22050], -y, the quoted result; an MP4 to share
// has "-share" before -y. Quoted tokens are
// escaped so that no name can split its token or add an argument.
QString conversionCommandLine(const ConversionRun& run);

// The module's words for a time range: "" for one that is not limited, else
// " -from 2 -until 6.5 -fade 1" with the bounds it has (seconds to the
// millisecond, no trailing zeros) and the fade when it is above 0.
QString timeRangeArguments(const rules::TimeRange& range);

// The quoted module token of a run: the module, "-f" the mask, "-m 1", "-t"
// the key and, below 100, "-a" the opacity.
QString hookToken(const ConversionRun& run);

// The encoder and "-i" the video: it describes the video and writes nothing.
// `programFolder` and `video` command-line-safe.
QString probeCommandLine(const QString& programFolder, const QString& encoder, const QString& video);
// The same for several videos in one run: each "-i" in turn.
QString probeCommandLine(const QString& programFolder, const QString& encoder, const QStringList& videos);

// The frame shown at `seconds` of the video, written as a BMP to `out`
// ("-ss", "-i", "-vframes 1", "-upright" for a turned video, "-y"). With
// `hookOf` (its programFolder, mask, maskColour and opacity) the module lays
// the mark on that frame first, as the conversion will: the proof frame.
QString frameCommandLine(const QString& programFolder, const QString& encoder, const QString& video,
                         double seconds, bool upright, const QString& out,
                         const std::optional<ConversionRun>& hookOf = std::nullopt);
