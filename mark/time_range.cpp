#include "mark/time_range.h"

#include <QStringList>

#include <cmath>

namespace {

// Whole numbers of at most 9 digits, a fraction only on the last field.
std::optional<double> fieldValue(const QString& field, bool last) {
    if (field.isEmpty()) return std::nullopt;
    QString text = field;
    text.replace(u',', u'.');
    qsizetype points = 0;
    for (const QChar c : text) {
        if (c == u'.')
            ++points;
        else if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    if (points > (last ? 1 : 0) || text.startsWith(u'.') || text.endsWith(u'.') ||
        text.section(u'.', 0, 0).size() > 9)
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QString seconds(double s) {
    return QString::number(s, 'g', 6) + QStringLiteral(" s");
}

}  // namespace

std::optional<double> parseTimeText(const QString& typed) {
    const QStringList fields = typed.trimmed().split(u':');
    if (fields.size() > 3) return std::nullopt;
    double total = 0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const bool last = i + 1 == fields.size();
        const std::optional<double> v = fieldValue(fields[i], last);
        // Behind a colon come minutes or seconds, under 60.
        if (!v || (i > 0 && *v >= 60)) return std::nullopt;
        total = total * 60 + *v;
    }
    return std::round(total * 1000) / 1000;
}

QString timeText(double s) {
    const qint64 ms = std::llround(std::max(0.0, s) * 1000);
    const qint64 h = ms / 3600000, m = ms / 60000 % 60, sec = ms / 1000 % 60, frac = ms % 1000;
    QString text =
        h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QChar(u'0')).arg(sec, 2, 10, QChar(u'0'))
              : QStringLiteral("%1:%2").arg(m).arg(sec, 2, 10, QChar(u'0'));
    if (frac > 0) {
        QString f = QStringLiteral("%1").arg(frac, 3, 10, QChar(u'0'));
        while (f.endsWith(u'0'))
            f.chop(1);
        text += u'.' + f;
    }
    return text;
}

QString timeRangeProblem(const rules::TimeRange& r, std::optional<double> duration) {
    switch (rules::problemOf(r, duration)) {
        case rules::RangeProblem::None:
            return {};
        case rules::RangeProblem::NotATime:  // parseTimeText gives no such time
            return QStringLiteral("From and Until must be times in the video.");
        case rules::RangeProblem::UntilNotAfterFrom:
            return QStringLiteral("Until (%1) must come after From (%2).")
                .arg(timeText(*r.until), timeText(r.from.value_or(0)));
        case rules::RangeProblem::PastTheEnd: {
            const bool from = r.from && *r.from >= *duration;
            return QStringLiteral("%1 (%2) is past the end of the video (%3).")
                .arg(from ? QStringLiteral("From") : QStringLiteral("Until"),
                     timeText(from ? *r.from : *r.until), timeText(*duration));
        }
        case rules::RangeProblem::FadeOutOfBounds:
            return QStringLiteral("Fade must be from 0 to %1 seconds.").arg(rules::kMaxFade);
        case rules::RangeProblem::FadesTooLong: {
            const double room = r.until.value_or(duration.value_or(0)) - r.from.value_or(0);
            return r.from && r.until
                       ? QStringLiteral(
                             "Fade %1 in and %1 out is longer than the time from From to Until (%2).")
                             .arg(seconds(r.fade), seconds(room))
                       : QStringLiteral("Fade %1 is longer than the time the watermark shows (%2).")
                             .arg(seconds(r.fade), seconds(room));
        }
    }
    return {};
}

TimeRangeCheck readTimeRange(const QString& fromText, const QString& untilText, const QString& fadeText,
                             std::optional<double> duration) {
    TimeRangeCheck check;
    auto read = [&check](const QString& text, const QString& field) -> std::optional<double> {
        if (text.trimmed().isEmpty() || !check.problem.isEmpty()) return std::nullopt;
        if (const std::optional<double> t = parseTimeText(text)) return t;
        check.problem = text.trimmed().startsWith(u'-')
                            ? QStringLiteral("%1 cannot be negative.").arg(field)
                            : QStringLiteral(
                                  "%1 \"%2\" is not a time: give seconds (75) or minutes and "
                                  "seconds (1:15).")
                                  .arg(field, text.trimmed());
        return std::nullopt;
    };
    rules::TimeRange& r = check.range;
    r.from = read(fromText, QStringLiteral("From"));
    r.until = read(untilText, QStringLiteral("Until"));
    const std::optional<double> fade = read(fadeText, QStringLiteral("Fade"));
    if (!check.problem.isEmpty()) return check;
    r.fade = fade.value_or(0);

    check.problem = timeRangeProblem(r, duration);
    return check;
}
