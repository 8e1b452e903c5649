// The encoder's conversion command line, built from the paths of one run.
#pragma once

#include "rules/time_weight.h"

#include <QString>

#include <functional>

struct ConversionRun {
    QString programFolder;                           // the program folder in its command-line-safe form
    QString encoder = QStringLiteral("mxcode.dll");  // the encoder's file name in it
    QString video;                                   // the source video, command-line-safe
    QString mask;                                    // the mask bitmap, command-line-safe
    QString maskColour;                              // key colour RRGGBB
    QString result;                                  // the result's path
    bool enhanceAudio = false;
    int opacity = 100;       // per cent; below 100 the module gets "-a N"
    rules::TimeRange range;  // when the mark shows; limited, the module gets "-from", "-until", "-fade"
};

// resultsFolder + "/wm-" + the video's title.
QString resultPath(const QString& resultsFolder, const QString& videoTitle);

// "Keep both" for a result path that is taken: the first of "<stem> (2).<ext>", "<stem> (3).<ext>",
// ... in the same folder that isTaken says is free (the extension as the encoder splits it: after
// the name's last dot, never a leading one). "" when every number up to 9999 is taken.
QString keepBothPath(const QString& takenPath, const std::function<bool(const QString&)>& isTaken);

// The nine tokens: the encoder, -i, the video, -sameq, -vhook, the quoted hook
// with its arguments (" -a N" at their end for an opacity below 100, then
// " -from S", " -until S" and " -fade S" for the bounds of a limited range and
// its fade, in seconds), [-ar 22050], -y, the quoted result. Quoted tokens are
// escaped so that no name can split its token or add an argument.
QString conversionCommandLine(const ConversionRun& run);

// The module's words for a time range: "" for one that is not limited, else
// " -from 2 -until 6.5 -fade 1" with the bounds it has (seconds to the
// millisecond, no trailing zeros) and the fade when it is above 0.
QString timeRangeArguments(const rules::TimeRange& range);
