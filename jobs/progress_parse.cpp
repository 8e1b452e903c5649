#include "jobs/progress_parse.h"

#include <QRegularExpression>

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A number as the encoder writes it ("10.00", " 7"), read in the C locale.
std::optional<double> number(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Whole number, rounded halves to even; nothing outside the target's range.
template <typename Int>
std::optional<Int> roundEven(double v) {
    const double r = std::nearbyint(v);
    if (!(r >= std::numeric_limits<Int>::min() && r <= std::numeric_limits<Int>::max())) return std::nullopt;
    return static_cast<Int>(r);
}

// The words behind "speed=…x " of a progress line, as UTF-8 when the runner handed them a byte a
// character.
QString reencodedOf(const QString& line) {
    static const QRegularExpression behind(
        QStringLiteral("speed=[^ \\r]*x (re-encoded [^\\r]+|nothing re-encoded [^\\r]+)\\r"));
    const QRegularExpressionMatch m = behind.match(line);
    if (!m.hasMatch()) return QString();
    const QString words = m.captured(1);
    if (std::any_of(words.begin(), words.end(), [](QChar c) { return c.unicode() > 0xff; })) return words;
    return QString::fromUtf8(words.toLatin1());
}

}  // namespace

std::optional<QString> elapsedTextOf(const QString& chunk) {
    const qsizetype p = chunk.indexOf(QStringLiteral("time"), 0, Qt::CaseInsensitive);
    if (p < 0) return std::nullopt;
    const qsizetype from = p + 5;  // behind "time" and its separator
    const qsizetype space = chunk.indexOf(u' ', from);
    if (space < 0 || from > chunk.size()) return QString();
    return chunk.mid(from, space - from);
}

qint32 durationSeconds(const QString& duration) {
    const auto h = number(duration.mid(0, 2));
    const auto m = number(duration.mid(3, 2));
    const auto s = number(duration.mid(6, 2));
    if (!h || !m || !s) return 0;
    const auto hi = roundEven<qint32>(*h);
    const auto mi = roundEven<qint32>(*m);
    const auto si = roundEven<qint32>(*s);
    if (!hi || !mi || !si) return 0;
    const qint64 total = 3600LL * *hi + 60LL * *mi + *si;
    if (total < std::numeric_limits<qint32>::min() || total > std::numeric_limits<qint32>::max()) return 0;
    return static_cast<qint32>(total);
}

double durationInSeconds(const QString& duration) {
    bool okH = false, okM = false, okS = false;
    const double h = duration.mid(0, 2).toDouble(&okH);
    const double m = duration.mid(3, 2).toDouble(&okM);
    // The seconds end where their digits do ("05.3," at a chunk's end).
    const QString seconds = duration.mid(6);
    qsizetype end = 0;
    while (end < seconds.size() && (seconds[end].isDigit() || seconds[end] == u'.'))
        ++end;
    const double s = seconds.left(end).toDouble(&okS);
    return okH && okM && okS && h >= 0 && m >= 0 && s >= 0 ? h * 3600 + m * 60 + s : 0.0;
}

int progressPercent(const QString& duration, const QString& elapsed) {
    const qint32 total = durationSeconds(duration);
    const auto e = number(elapsed);
    if (total == 0 || !e) return 0;
    const auto percent = roundEven<qint16>(*e * 100.0 / total);
    if (!percent) return 0;
    return *percent > 100 ? 100 : *percent;
}

QString progressCaption(int percent) {
    return QStringLiteral("Progress: %1%").arg(percent);
}

std::optional<double> speedOf(const QString& chunk) {
    const qsizetype at = chunk.lastIndexOf(QStringLiteral("speed="));
    if (at < 0) return std::nullopt;
    const qsizetype from = at + 6;
    const qsizetype x = chunk.indexOf(u'x', from);
    if (x < 0) return std::nullopt;
    const auto v = number(chunk.mid(from, x - from));
    if (!v || *v <= 0) return std::nullopt;
    return v;
}

QString paceText(double speed, double elapsedSeconds, double totalSeconds) {
    if (!(speed > 0) || !std::isfinite(speed) || !(totalSeconds > 0) || !std::isfinite(totalSeconds) ||
        !std::isfinite(elapsedSeconds))
        return {};
    const double left = std::max(0.0, totalSeconds - std::max(0.0, elapsedSeconds)) / speed;
    // A week is past any conversion's reach: beyond it the number says nothing.
    const qint64 s = static_cast<qint64>(std::ceil(std::min(left, 7 * 24 * 3600.0)));
    const QString clock = s >= 3600
                              ? QStringLiteral("%1:%2:%3")
                                    .arg(s / 3600)
                                    .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                    .arg(s % 60, 2, 10, QLatin1Char('0'))
                              : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    const QString times = QLocale::c().toString(speed, 'f', speed < 10 ? 1 : 0);
    return times + QStringLiteral("x, about ") + clock + QStringLiteral(" left");
}

std::optional<EncoderProgress> lastProgress(const QString& text) {
    static const QRegularExpression line(
        QStringLiteral("frame=\\s*(\\d+)\\s+fps=\\s*([0-9.]+)\\s.*?time=([0-9.]+)\\s[^\\r\\n]*\\r"));
    std::optional<EncoderProgress> last;
    QRegularExpressionMatchIterator it = line.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        last = EncoderProgress{m.captured(1).toLongLong(),
                               m.captured(2).toDouble(),
                               m.captured(3).toDouble(),
                               m.captured(3),
                               m.captured(0),
                               reencodedOf(m.captured(0))};
    }
    return last;
}
