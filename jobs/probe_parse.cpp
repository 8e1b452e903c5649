#include "jobs/probe_parse.h"

namespace {

// 0-based index of the first case-insensitive occurrence, or -1.
qsizetype find(const QString& text, const QString& what, qsizetype from = 0) {
    return text.indexOf(what, from, Qt::CaseInsensitive);
}

QString trimSpaces(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

// The turn a "Display:" line's text after the marker gives, as the encoder writes it:
// ["rotate N, "]["mirror, "]"shown WxH", with the shown size the coded one turned. Nothing for any
// other text, the identity included (the encoder writes no line for it).
std::optional<rules::Orientation> turnOf(QStringView text, QSize coded) {
    rules::Orientation o;
    auto take = [&text](QStringView word) {
        if (!text.startsWith(word, Qt::CaseInsensitive)) return false;
        text = text.mid(word.size());
        return true;
    };
    if (take(u"rotate ")) {
        if (take(u"90, "))
            o.quarterTurns = 1;
        else if (take(u"180, "))
            o.quarterTurns = 2;
        else if (take(u"270, "))
            o.quarterTurns = 3;
        else
            return std::nullopt;
    }
    o.mirrored = take(u"mirror, ");
    if (o.upright() || !take(u"shown ")) return std::nullopt;
    const qsizetype x = text.indexOf(u'x', 0, Qt::CaseInsensitive);
    if (x < 0) return std::nullopt;
    const std::optional<int> w = sizeValue(text.left(x).toString());
    const std::optional<int> h = sizeValue(text.mid(x + 1).toString());
    // Nothing but the two numbers: a line cut short or run on is no turn.
    if (!w || !h || QString::number(*w) != text.left(x) || QString::number(*h) != text.mid(x + 1))
        return std::nullopt;
    const rules::PixelSize shown = rules::uprightSize({coded.width(), coded.height()}, o);
    if (shown != rules::PixelSize{*w, *h}) return std::nullopt;
    return o;
}

}  // namespace

std::optional<QString> durationOf(const QString& chunk) {
    const qsizetype p = find(chunk, QStringLiteral("Duration"));
    if (p < 0) return std::nullopt;
    // The 10 skip the marker and the ": " behind it.
    return chunk.mid(p + 10, 11);
}

std::optional<QDateTime> recordedOf(const QString& chunk) {
    // At a line's start, as the encoder writes it: a file name on the line before cannot pass for it.
    const QString marker = QStringLiteral("\n  Recorded: ");
    const qsizetype p = find(chunk, marker);
    if (p < 0) return std::nullopt;
    const qsizetype end = chunk.indexOf(u'\n', p + marker.size());
    // A line cut by the chunk's end may have lost its zone or its time.
    if (end < 0) return std::nullopt;
    const QString text = chunk.mid(p + marker.size(), end - p - marker.size()).trimmed();
    const QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
    if (!moment.isValid()) return std::nullopt;
    return moment;
}

ProbeFacts parseProbeChunk(const QString& chunk) {
    ProbeFacts facts;
    facts.recorded = recordedOf(chunk);
    facts.duration = durationOf(chunk);
    if (!facts.duration) return facts;

    const qsizetype p = find(chunk, QStringLiteral("Duration"));
    // From the marker on, without the chunk's last character.
    const QString rest = chunk.mid(p, chunk.size() - p - 1);
    const qsizetype v = find(rest, QStringLiteral("video"));
    if (v < 0) return facts;
    const QString window = rest.mid(v, 40);
    const qsizetype x = find(window, QStringLiteral("x"));
    // The size is cut from four characters in front of the "x".
    if (x < 4) return facts;
    const QString size = trimSpaces(window.mid(x - 4, 9));
    const qsizetype y = find(size, QStringLiteral("x"));
    if (y < 0) return facts;
    facts.width = size.left(y);
    facts.height = size.mid(y + 1);

    // The "Display:" line is the one right after the video's, whole (up to its line end).
    const std::optional<QSize> coded = frameSizeOf(*facts.width, *facts.height);
    const qsizetype videoEnd = chunk.indexOf(u'\n', p + v);
    if (!coded || videoEnd < 0) return facts;
    qsizetype lineEnd = chunk.indexOf(u'\n', videoEnd + 1);
    if (lineEnd < 0) return facts;
    QStringView line = QStringView(chunk).mid(videoEnd + 1, lineEnd - videoEnd - 1);
    while (line.startsWith(u' '))
        line = line.mid(1);
    const QStringView marker = u"Display: ";
    if (line.startsWith(marker, Qt::CaseInsensitive)) {
        facts.orientation = turnOf(line.mid(marker.size()), *coded);
        // The "HDR:" line follows the "Display:" line when there is one.
        const qsizetype next = chunk.indexOf(u'\n', lineEnd + 1);
        if (next < 0) return facts;
        line = QStringView(chunk).mid(lineEnd + 1, next - lineEnd - 1);
        while (line.startsWith(u' '))
            line = line.mid(1);
    }
    if (line == u"HDR: PQ") facts.transfer = rules::Transfer::Pq;
    if (line == u"HDR: HLG") facts.transfer = rules::Transfer::Hlg;
    return facts;
}

std::optional<int> sizeValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    qint64 value = 0;
    const qsizetype first = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > 0x7fffffff) return std::nullopt;
        ++i;
    }
    if (i == first) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<QSize> frameSizeOf(const QString& width, const QString& height) {
    const std::optional<int> w = sizeValue(width);
    const std::optional<int> h = sizeValue(height);
    if (!w || !h || *w <= 0 || *h <= 0) return std::nullopt;
    return QSize(*w, *h);
}
