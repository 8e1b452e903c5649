#include "jobs/encoder_lines.h"

#include "runner/command_line.h"

#include <QStringList>

QString outputCaption(OutputChoice choice) {
    return choice == OutputChoice::Mp4ToShare ? QStringLiteral("MP4 to share")
                                              : QStringLiteral("Same as the source");
}

QString outputWord(OutputChoice choice) {
    const std::string_view word = outputChoiceWord(choice);
    return QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()));
}

OutputChoice outputFromWord(const QString& word) {
    return outputChoiceOfWord(word.toStdString());
}

QString resultFileName(const QString& videoFileName, OutputChoice output) {
    QString name = videoFileName;
    if (output == OutputChoice::Mp4ToShare) {
        // The extension as the encoder reads it: after the last dot, never a leading one.
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot > 0) name.truncate(dot);
        name += QStringLiteral(".mp4");
    }
    return name;
}

QString resultPath(const QString& resultsFolder, const QString& videoTitle, OutputChoice output) {
    return resultsFolder + QStringLiteral("/wm-") + resultFileName(videoTitle, output);
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

QString hookToken(const ConversionRun& run) {
    return quoteArg(run.programFolder + QStringLiteral("/watermark.dll -f ") + run.mask +
                    QStringLiteral(" -m 1 -t ") + run.maskColour +
                    (run.opacity < 100 ? QStringLiteral(" -a %1").arg(run.opacity) : QString()) +
                    timeRangeArguments(run.range));
}

QString timeRangeArguments(const rules::TimeRange& range) {
    if (!range.limited()) return {};
    auto seconds = [](double s) {
        QString text = QString::number(s, 'f', 3);
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
        return text;
    };
    QString words;
    if (range.from) words += QStringLiteral(" -from ") + seconds(*range.from);
    if (range.until) words += QStringLiteral(" -until ") + seconds(*range.until);
    if (range.fade > 0) words += QStringLiteral(" -fade ") + seconds(range.fade);
    return words;
}

QString conversionCommandLine(const ConversionRun& run) {
    QStringList tokens;
    tokens << run.programFolder + u'/' + run.encoder << QStringLiteral("-i") << run.video
           << QStringLiteral("-sameq") << QStringLiteral("-vhook") << hookToken(run);
    if (run.enhanceAudio) tokens << QStringLiteral("-ar 22050");
    if (run.output == OutputChoice::Mp4ToShare) tokens << QStringLiteral("-share");
    tokens << QStringLiteral("-y") << quoteArg(run.result);
    return tokens.join(u' ');
}

QString probeCommandLine(const QString& programFolder, const QString& encoder, const QString& video) {
    return quoteArg(programFolder + u'/' + encoder) + QStringLiteral(" -i ") + quoteArg(video);
}

QString probeCommandLine(const QString& programFolder, const QString& encoder, const QStringList& videos) {
    QString line = quoteArg(programFolder + u'/' + encoder);
    for (const QString& video : videos)
        line += QStringLiteral(" -i ") + quoteArg(video);
    return line;
}

QString frameCommandLine(const QString& programFolder, const QString& encoder, const QString& video,
                         double seconds, bool upright, const QString& out,
                         const std::optional<ConversionRun>& hookOf) {
    QStringList tokens;
    tokens << quoteArg(programFolder + u'/' + encoder) << QStringLiteral("-ss")
           << QString::number(seconds, 'f', 3) << QStringLiteral("-i") << quoteArg(video);
    if (hookOf) tokens << QStringLiteral("-vhook") << hookToken(*hookOf);
    tokens << QStringLiteral("-vframes 1");
    if (upright) tokens << QStringLiteral("-upright");
    tokens << QStringLiteral("-y") << quoteArg(out);
    return tokens.join(u' ');
}
