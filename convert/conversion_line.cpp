#include "convert/conversion_line.h"

#include "runner/command_line.h"

#include <QStringList>

QString resultPath(const QString& programFolder, const QString& videoTitle) {
    return programFolder + QStringLiteral("/watermarked/wm-") + videoTitle;
}

QString conversionCommandLine(const ConversionRun& run) {
    QStringList tokens;
    tokens << run.programFolder + u'/' + run.encoder << QStringLiteral("-i") << run.videoname
           << QStringLiteral("-sameq") << QStringLiteral("-vhook")
           << quoteArg(run.programFolder + QStringLiteral("/watermark.dll -f ") + run.maskpic +
                       QStringLiteral(" -m 1 -t ") + run.colormask);
    if (run.enhanceAudio) tokens << QStringLiteral("-ar 22050");
    tokens << QStringLiteral("-y") << quoteArg(run.outputfile);
    return tokens.join(u' ');
}
