#include "convert/run_end.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

const QString kStoppedBy = QStringLiteral("Stopped by signal ");

// The runner hands one character per byte; the encoder writes file names and its words as UTF-8.
// Text that is not UTF-8 as bytes (already decoded, or another encoding) is left as it is.
QString decoded(const QString& text) {
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xff; })) return text;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = utf8.decode(text.toLatin1());
    return utf8.hasError() ? text : s;
}

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

}  // namespace

QString lastEncoderLine(const QString& text) {
    const QStringList lines = QString(text).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast().trimmed();
}

std::optional<QString> stoppedPartPath(const QString& encoderText) {
    // The leftmost closing line and the greedy path: a path that holds the closing words itself
    // still ends at the text's last "', the result's name ...".
    static const QRegularExpression closing(
        QStringLiteral("(?:^|[\\r\\n])Stopped by signal \\d+; the part converted so far is kept as '(.*)', "
                       "the result's name is left untouched\\.\\s*$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = closing.match(encoderText);
    if (!m.hasMatch() || m.capturedLength(1) == 0) return std::nullopt;
    return decoded(m.captured(1));
}

RunEnd endOfRun(int exitCode, int percent, const QString& resultPath, const QString& encoderText) {
    const QString stoppedAt =
        QStringLiteral("Stopped at ") + QString::number(std::clamp(percent, 0, 100)) + QStringLiteral(" %: ");
    if (exitCode == 0)
        return {RunEnd::Kind::Done, QStringLiteral("Done: ") + fileName(resultPath), resultPath};
    if (const std::optional<QString> part = stoppedPartPath(encoderText))
        return {RunEnd::Kind::Stopped, stoppedAt + QStringLiteral("the part is ") + fileName(*part), *part};
    const QString last = decoded(lastEncoderLine(encoderText));
    if (last.startsWith(kStoppedBy)) {
        // The stop came after the result was finished and in place.
        if (last.endsWith(QStringLiteral("; the result was already complete.")))
            return {RunEnd::Kind::Done, QStringLiteral("Done: ") + fileName(resultPath), resultPath};
        if (last.endsWith(QStringLiteral("nothing was written.")))
            return {RunEnd::Kind::Stopped, stoppedAt + QStringLiteral("nothing was written"), QString()};
    }
    // A crash or a kill leaves a progress line, or nothing, last: no reason of the encoder's own.
    if (last.isEmpty() || last.startsWith(QStringLiteral("frame=")))
        return {RunEnd::Kind::Failed,
                QStringLiteral("Failed: the encoder ended with code %1 without saying why").arg(exitCode),
                QString()};
    return {RunEnd::Kind::Failed, QStringLiteral("Failed: ") + last, QString()};
}
