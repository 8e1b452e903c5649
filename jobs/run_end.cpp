#include "jobs/run_end.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

const QString kStoppedBy = QStringLiteral("Stopped by signal ");
const QString kCheckFailed = QStringLiteral("Check failed: ");

// The last line of the text that starts with `head`, without it.
std::optional<QString> lineAfter(const QString& text, const QString& head) {
    const QStringList lines = QString(text).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (it->startsWith(head)) return it->mid(head.size()).trimmed();
    return std::nullopt;
}

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

// What the done line adds when a complete run removed the parts earlier stopped runs kept of its
// result: "; the earlier stopped part is removed", "; 2 earlier stopped parts are removed", or "".
QString removedParts(const QString& text) {
    static const QRegularExpression removed(
        QStringLiteral("^Removed (?:the earlier stopped part '|(\\d+) earlier stopped parts: ')"));
    const QStringList lines = QString(text).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (const QRegularExpressionMatch m = removed.match(*it); m.hasMatch())
            return m.capturedLength(1) == 0 ? QStringLiteral("; the earlier stopped part is removed")
                                            : QStringLiteral("; ") + m.captured(1) +
                                                  QStringLiteral(" earlier stopped parts are removed");
    return QString();
}

}  // namespace

QString lastEncoderLine(const QString& text) {
    const QStringList lines = QString(text).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast().trimmed();
}

std::optional<QString> reencodedSummary(const QString& encoderText) {
    const QStringList lines = QString(encoderText).replace(u'\r', u'\n').split(u'\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if ((it->startsWith(QStringLiteral("Re-encoded ")) ||
             it->startsWith(QStringLiteral("Nothing re-encoded "))) &&
            it->endsWith(u'.')) {
            const QString line = decoded(it->trimmed());
            return line.left(1).toLower() + line.mid(1, line.size() - 2);
        }
    return std::nullopt;
}

std::optional<QString> checkSummary(const QString& encoderText) {
    return lineAfter(encoderText, QStringLiteral("check: "));
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
    const std::optional<QString> checked = checkSummary(encoderText);
    const QString reencoded = reencodedSummary(encoderText).value_or(QString());
    const QString smart = reencoded.isEmpty() ? QString() : QStringLiteral("; ") + reencoded;
    const RunEnd done =
        checked
            ? RunEnd{RunEnd::Kind::Done,
                     QStringLiteral("Done and checked: ") + fileName(resultPath) + QStringLiteral(", ") +
                         *checked + smart + removedParts(encoderText),
                     resultPath}
            : RunEnd{RunEnd::Kind::Done, QStringLiteral("Done: ") + fileName(resultPath) + smart, resultPath};
    if (exitCode == 0) return done;
    if (const std::optional<QString> part = stoppedPartPath(encoderText)) {
        QString text = stoppedAt + QStringLiteral("the part is ") + fileName(*part);
        if (const std::optional<QString> failed = lineAfter(encoderText, kCheckFailed))
            text += QStringLiteral(", but its check failed: ") + decoded(*failed);
        else if (checked)
            text += QStringLiteral(", checked: ") + *checked + smart;
        return {RunEnd::Kind::Stopped, text, *part};
    }
    const QString last = decoded(lastEncoderLine(encoderText));
    // A whole run whose file failed its check: the file is kept under a part's name.
    static const QRegularExpression failedCheck(
        QStringLiteral("^Check failed: (.*?); the file is kept as '(.*)'\\.$"),
        QRegularExpression::DotMatchesEverythingOption);
    if (const QRegularExpressionMatch m = failedCheck.match(last); m.hasMatch())
        return {RunEnd::Kind::Failed,
                QStringLiteral("Failed the check: ") + m.captured(1) +
                    QStringLiteral("; the file is kept as ") + fileName(m.captured(2)),
                m.captured(2)};
    if (last.startsWith(kStoppedBy)) {
        // The stop came after the result was finished and in place.
        if (last.endsWith(QStringLiteral("; the result was already complete."))) return done;
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
