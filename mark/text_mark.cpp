#include "mark/text_mark.h"

#include "mark/color_text.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

int pixelSizeOf(const TextMark& mark) {
    return std::clamp(mark.pixelSize, kMinTextSize, kMaxTextSize);
}

// The font at the mark's size; antialiased outlines, no hinting, so that the
// letters keep their shape at every scale.
QFont fontOf(const TextMark& mark) {
    QFont font(mark.family);
    font.setPixelSize(pixelSizeOf(mark));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::PreferOutline));
    return font;
}

// The edge's reach beyond the letters at the mark's size.
double outlineWidth(const TextMark& mark) {
    return std::max(1.0, pixelSizeOf(mark) / 16.0);
}
double shadowOffset(const TextMark& mark) {
    return std::max(1.0, pixelSizeOf(mark) / 14.0);
}

// The letters with their baseline at y = 0, and the box the mark fills at
// 100 %: the font's line (so every text of one font is as high) joined with
// the letters' own outline, grown by the edge.
struct Layout {
    QPainterPath letters;
    QRectF box;
};

Layout layoutOf(const TextMark& mark) {
    const QFont font = fontOf(mark);
    const QFontMetricsF metrics(font);
    Layout l;
    l.letters.addText(0, 0, font, mark.text);
    QRectF line(0, -metrics.ascent(), metrics.horizontalAdvance(mark.text),
                metrics.ascent() + metrics.descent());
    l.box = line.united(l.letters.boundingRect());
    switch (mark.edge) {
        case TextMark::Edge::None:
            break;
        case TextMark::Edge::Outline: {
            const double o = outlineWidth(mark);
            l.box.adjust(-o, -o, o, o);
            break;
        }
        case TextMark::Edge::Shadow:
            l.box.adjust(0, 0, shadowOffset(mark), shadowOffset(mark));
            break;
    }
    return l;
}

}  // namespace

const char* edgeName(TextMark::Edge edge) {
    switch (edge) {
        case TextMark::Edge::None:
            return "None";
        case TextMark::Edge::Outline:
            return "Outline";
        case TextMark::Edge::Shadow:
            return "Shadow";
    }
    return "None";
}

QString fillTokens(const QString& text, const QString& name, const QDate& date) {
    // One pass, so a name that holds "{date}" stays as it is.
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        if (text.mid(i, 6) == u"{name}") {
            out += name;
            i += 6;
        } else if (text.mid(i, 6) == u"{date}") {
            if (date.isValid()) out += date.toString(Qt::ISODate);
            i += 6;
        } else {
            out += text[i++];
        }
    }
    return out;
}

QString videoName(const QString& path) {
    const QString file = QFileInfo(path).fileName();
    // The extension as the results name it: after the last dot, never a leading one.
    const qsizetype dot = file.lastIndexOf(u'.');
    return dot > 0 ? file.left(dot) : file;
}

QDate videoDate(const QDateTime& recorded, const QDateTime& fileWritten) {
    if (recorded.isValid()) return recorded.toLocalTime().date();
    return fileWritten.isValid() ? fileWritten.toLocalTime().date() : QDate();
}

QDate videoDateOf(const QString& path, const QDateTime& recorded) {
    return videoDate(recorded,
                     recorded.isValid() || path.isEmpty() ? QDateTime() : QFileInfo(path).lastModified());
}

TextMark filledFor(const TextMark& mark, const QString& path, const QDateTime& recorded) {
    TextMark filled = mark;
    const QDate date = mark.text.contains(QStringLiteral("{date}")) ? videoDateOf(path, recorded) : QDate();
    filled.text = fillTokens(mark.text, videoName(path), date);
    return filled;
}

QColor edgeColourOf(const QColor& letters) {
    return qGray(letters.rgb()) >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

QSize textMarkSize(const TextMark& mark) {
    const QRectF box = layoutOf(mark).box;
    return QSize(std::max(1, int(std::ceil(box.width()))), std::max(1, int(std::ceil(box.height()))));
}

QImage drawTextMark(const TextMark& mark, QSize size) {
    if (size.isEmpty()) return {};
    const Layout l = layoutOf(mark);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (l.box.isEmpty()) return image.convertToFormat(QImage::Format_ARGB32);
    // The outlines taken to the picture's size, not a picture scaled: the letters are filled at
    // the size they have here. Filled in the picture's own pixels, as the rasterizer is several
    // times quicker there than through a scaling painter, above all for the outline.
    const double sx = size.width() / l.box.width(), sy = size.height() / l.box.height();
    QTransform toImage;
    toImage.scale(sx, sy);
    toImage.translate(-l.box.left(), -l.box.top());
    const QPainterPath letters = toImage.map(l.letters);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor edge = edgeColourOf(mark.colour);
    switch (mark.edge) {
        case TextMark::Edge::None:
            break;
        case TextMark::Edge::Outline: {
            // Twice as wide, half of it under the letters.
            QPainterPathStroker stroker;
            stroker.setWidth(2 * outlineWidth(mark) * (sx + sy) / 2);
            stroker.setJoinStyle(Qt::RoundJoin);
            stroker.setCapStyle(Qt::RoundCap);
            p.fillPath(stroker.createStroke(letters), edge);
            break;
        }
        case TextMark::Edge::Shadow: {
            QColor shade = edge;
            shade.setAlpha(160);
            p.fillPath(letters.translated(shadowOffset(mark) * sx, shadowOffset(mark) * sy), shade);
            break;
        }
    }
    p.fillPath(letters, mark.colour);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

TextMarkProblem textMarkProblem(const QString& text, const QString& colourRrggbb) {
    if (text.trimmed().isEmpty())
        return {QStringLiteral("text"), QStringLiteral("Please type the text of the watermark")};
    // The window's field takes one line of at most this many; a script can hand over more.
    if (text.contains(u'\n') || text.contains(u'\r'))
        return {QStringLiteral("text"), QStringLiteral("Please type the text on one line")};
    if (text.size() > kMaxTextLength)
        return {QStringLiteral("text"),
                QStringLiteral("Please keep the text to %1 characters").arg(kMaxTextLength)};
    if (!colorFromRrggbb(colourRrggbb))
        return {QStringLiteral("colour"), QStringLiteral("Please use the RRGGBB format")};
    return {};
}
