// The encoder's conversion command line, built from the paths of one run.
#pragma once

#include <QString>

#include <functional>

// What the result is: the source's container and codecs, or an MP4 with H.264 and AAC to share.
enum class OutputChoice { SameAsSource, Mp4ToShare };

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
};

// resultsFolder + "/wm-" + the video's title; for an MP4 to share its extension becomes ".mp4"
// ("wm-clip.mkv" is "wm-clip.mp4"; a title without one gets it).
QString resultPath(const QString& resultsFolder, const QString& videoTitle,
                   OutputChoice output = OutputChoice::SameAsSource);

// "Keep both" for a result path that is taken: the first of "<stem> (2).<ext>", "<stem> (3).<ext>",
// ... in the same folder that isTaken says is free (the extension as the encoder splits it: after
// the name's last dot, never a leading one). "" when every number up to 9999 is taken.
QString keepBothPath(const QString& takenPath, const std::function<bool(const QString&)>& isTaken);

// The nine tokens: the encoder, -i, the video, -sameq, -vhook, the quoted hook
// with its arguments (" -a N" at their end for an opacity below 100), [-ar 22050],
// -y, the quoted result; an MP4 to share has "-share" before -y. Quoted tokens are
// escaped so that no name can split its token or add an argument.
QString conversionCommandLine(const ConversionRun& run);
