#include "convert/conversion_line.h"

#include "runner/command_line.h"

#include <QStringList>

QString resultPath(const QString& resultsFolder, const QString& videoTitle) {
    return resultsFolder + QStringLiteral("/wm-") + videoTitle;
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
                       (run.opacity < 100 ? QStringLiteral(" -a %1").arg(run.opacity) : QString()) +
                       timeRangeArguments(run.range));
    if (run.enhanceAudio) tokens << QStringLiteral("-ar 22050");
    tokens << QStringLiteral("-y") << quoteArg(run.result);
    return tokens.join(u' ');
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
