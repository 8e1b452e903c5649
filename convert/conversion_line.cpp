#include "convert/conversion_line.h"

#include "runner/command_line.h"

#include <QStringList>

QString outputCaption(OutputChoice choice) {
    return choice == OutputChoice::Mp4ToShare ? QStringLiteral("MP4 to share")
                                              : QStringLiteral("Same as the source");
}

QString outputWord(OutputChoice choice) {
    return choice == OutputChoice::Mp4ToShare ? QStringLiteral("share") : QStringLiteral("same");
}

OutputChoice outputFromWord(const QString& word) {
    return word == QStringLiteral("share") ? OutputChoice::Mp4ToShare : OutputChoice::SameAsSource;
}

QString resultPath(const QString& resultsFolder, const QString& videoTitle, OutputChoice output) {
    QString name = videoTitle;
    if (output == OutputChoice::Mp4ToShare) {
        // The extension as the encoder reads it: after the last dot, never a leading one.
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot > 0) name.truncate(dot);
        name += QStringLiteral(".mp4");
    }
    return resultsFolder + QStringLiteral("/wm-") + name;
}

QString keepBothPath(const QString& takenPath, const std::function<bool(const QString&)>& isTaken) {
    const qsizetype nameStart = takenPath.lastIndexOf(u'/') + 1;
    qsizetype dot = takenPath.lastIndexOf(u'.');
    if (dot <= nameStart) dot = takenPath.size();
    const QString stem = takenPath.left(dot), ext = takenPath.mid(dot);
    for (int n = 2; n <= 9999; ++n) {
        const QString candidate = stem + QStringLiteral(" (") + QString::number(n) + u')' + ext;
        if (!isTaken(candidate)) return candidate;
    }
    return QString();
}

QString conversionCommandLine(const ConversionRun& run) {
    QStringList tokens;
    tokens << run.programFolder + u'/' + run.encoder << QStringLiteral("-i") << run.video
           << QStringLiteral("-sameq") << QStringLiteral("-vhook")
           << quoteArg(run.programFolder + QStringLiteral("/watermark.dll -f ") + run.mask +
                       QStringLiteral(" -m 1 -t ") + run.maskColour +
                       (run.opacity < 100 ? QStringLiteral(" -a %1").arg(run.opacity) : QString()));
    if (run.enhanceAudio) tokens << QStringLiteral("-ar 22050");
    if (run.output == OutputChoice::Mp4ToShare) tokens << QStringLiteral("-share");
    tokens << QStringLiteral("-y") << quoteArg(run.result);
    return tokens.join(u' ');
}
