#include "app/artwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace artwork {
namespace {

const QColor kGrey(200, 200, 200);
const QColor kDarkGrey(64, 64, 64);
const QColor kFolder(232, 190, 84);
const QColor kFolderEdge(150, 112, 30);
const QColor kMark(46, 92, 140);

QFont sans(qreal pixelSize, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(qRound(pixelSize));
    f.setBold(bold);
    return f;
}

}  // namespace

QPainterPath polygonPath(std::initializer_list<QPointF> corners) {
    QPainterPath path;
    for (const QPointF& c : corners) {
        if (path.elementCount() == 0)
            path.moveTo(c);
        else
            path.lineTo(c);
    }
    path.closeSubpath();
    return path;
}

namespace {

// A folder of 28 x 22 with its top-left corner at (x, y).
void drawFolder(QPainter& p, qreal x, qreal y) {
    p.setPen(QPen(kFolderEdge, 1));
    p.setBrush(kFolder.darker(115));
    p.drawPath(polygonPath(
        {{x, y + 3}, {x + 10, y + 3}, {x + 13, y + 6}, {x + 27, y + 6}, {x + 27, y + 21}, {x, y + 21}}));
    p.setBrush(kFolder);
    p.drawPath(polygonPath({{x + 3, y + 9}, {x + 28, y + 9}, {x + 25, y + 21}, {x, y + 21}}));
}

// A folder with a strip of film across its front.
void drawFilmFolder(QPainter& p, qreal x, qreal y) {
    drawFolder(p, x, y);
    const QRectF strip(x + 5, y + 11, 18, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkGrey);
    p.drawRect(strip);
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(strip.x() + 1.5 + i * 4.5, strip.y() + 1, 2, 1.5));
        p.drawRect(QRectF(strip.x() + 1.5 + i * 4.5, strip.bottom() - 2.5, 2, 1.5));
    }
}

void drawText(QPainter& p, const QRectF& r, const QFont& f, const QColor& c, int flags, const QString& text) {
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, flags, text);
}

// The round stamp mark of the logo and the icon: a drop over a frame.
void drawMark(QPainter& p, const QRectF& r) {
    p.setPen(Qt::NoPen);
    p.setBrush(kMark);
    p.drawEllipse(r);
    const qreal u = r.width() / 32.0;
    const QPointF c = r.center();
    QPainterPath drop;
    drop.moveTo(c.x(), c.y() - 11 * u);
    drop.cubicTo(c.x() + 3 * u, c.y() - 5 * u, c.x() + 8 * u, c.y() - 1 * u, c.x() + 8 * u, c.y() + 4 * u);
    drop.arcTo(QRectF(c.x() - 8 * u, c.y() - 4 * u, 16 * u, 16 * u), 0, -180);
    drop.cubicTo(c.x() - 8 * u, c.y() - 1 * u, c.x() - 3 * u, c.y() - 5 * u, c.x(), c.y() - 11 * u);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawPath(drop);
}

}  // namespace

QImage background() {
    QImage img(625, 412, QImage::Format_RGB32);
    img.fill(kGrey);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Folder icons left of "Video Selection", "Image Selection",
    // "Initialize Watermarking" and "Open Video Folder".
    for (int top : {8, 48, 88})
        drawFolder(p, 22, top + 1);
    drawFolder(p, 46, 329);

    drawText(p, QRectF(328, 6, 273, 16), sans(10, true), kDarkGrey, Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("PICTURE ZOOM"));

    drawFilmFolder(p, 18, 134);
    drawText(p, QRectF(52, 134, 220, 22), sans(14, true), kDarkGrey, Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Video details"));

    // The video panel: the four fields lie inside, their names beside them.
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(14.5, 164.5, 268, 148), 6, 6);
    const QFont field = sans(10, true);
    const int right = Qt::AlignRight | Qt::AlignVCenter;
    drawText(p, QRectF(18, 173, 42, 17), field, kDarkGrey, right, QStringLiteral("TITLE:"));
    drawText(p, QRectF(32, 196, 120, 17), field, kDarkGrey, Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Path"));
    drawText(p, QRectF(18, 269, 42, 17), field, kDarkGrey, right, QStringLiteral("RES:"));
    drawText(p, QRectF(18, 287, 82, 17), field, kDarkGrey, right, QStringLiteral("DURATION:"));

    // The title, embossed, at the bottom centre of the 621-pixel client area.
    const QRectF title(0, 370, 621, 34);
    const QFont titleFont = sans(22, true);
    drawText(p, title.translated(1, 1), titleFont, QColor(236, 236, 236), Qt::AlignCenter,
             QStringLiteral("Watermark Image"));
    drawText(p, title, titleFont, kDarkGrey, Qt::AlignCenter, QStringLiteral("Watermark Image"));

    // The logo, under the click area Image2 (448, 368, 177, 41).
    drawMark(p, QRectF(474, 372, 32, 32));
    drawText(p, QRectF(512, 372, 104, 16), sans(12, true), kMark, Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("User guide"));
    drawText(p, QRectF(512, 388, 104, 14), sans(10, false), kDarkGrey, Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("and help"));
    return img;
}

QImage placeholder() {
    QImage img(240, 240, QImage::Format_RGB32);
    img.fill(kDarkGrey);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QString text = QStringLiteral("Watermark Image");
    // As large as fits along the diagonal with a margin.
    QFont f = sans(30, true);
    while (f.pixelSize() > 10 && QFontMetricsF(f).horizontalAdvance(text) > 290)
        f.setPixelSize(f.pixelSize() - 1);
    p.translate(120, 120);
    p.rotate(-45);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(-160, -30, 320, 60), Qt::AlignCenter, text);
    return img;
}

namespace {

// The icon in its 32 x 32 drawing, scaled to a size x size square.
void drawIcon(QPainter& p, int size) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A picture frame with a landscape, stamped with the mark.
    p.setPen(QPen(kDarkGrey, 1.5));
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(1.5, 4.5, 29, 23), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 196, 232));
    p.drawRect(QRectF(4, 7, 24, 18));
    p.setBrush(QColor(92, 150, 80));
    p.drawPath(polygonPath({{4, 25}, {12, 14}, {18, 20}, {22, 16}, {28, 25}}));
    drawMark(p, QRectF(14, 14, 17, 17));
}

}  // namespace

QIcon windowIcon() {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        drawIcon(p, size);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QImage iconImage(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    drawIcon(p, size);
    p.end();
    return img;
}

}  // namespace artwork
