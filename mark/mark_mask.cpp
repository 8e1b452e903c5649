#include "mark/mark_mask.h"

#include "rules/mark_rules.h"

#include <QTransform>

bool hasTransparency(const QImage& image) {
    if (!image.hasAlphaChannel()) return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 255) return true;
    }
    return false;
}

QImage laidMark(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty()) return {};
    // Scaled with premultiplied alpha: the colour of a transparent pixel must
    // not bleed into its visible neighbours.
    if (picture.size() == size) return picture.convertToFormat(QImage::Format_ARGB32);
    const QImage from = picture.hasAlphaChannel()
                            ? picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                            : picture.convertToFormat(QImage::Format_RGB32);
    return from.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

Mask makeMask(const QImage& mark, QRect rect, QSize upright, const QColor& key, int opacity,
              rules::Orientation orientation) {
    Mask out;
    out.withAlpha = opacity < 100 || hasTransparency(mark);
    // Only what the mark really covers: nothing when there is no mark.
    const QRect area =
        rect.intersected(QRect(QPoint(0, 0), upright)).intersected(QRect(rect.topLeft(), mark.size()));
    // 32 bits: fully transparent but for the mark; 24 bits: the key with the
    // mark on it. Copied pixel by pixel: a painter would round the colours of
    // half-transparent pixels.
    QImage img(upright, out.withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    img.fill(out.withAlpha ? QColor(key.red(), key.green(), key.blue(), 0) : key);
    const QImage from = mark.convertToFormat(img.format());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(from.constScanLine(y - rect.y()));
        auto* to = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            to[x] = source[x - rect.x()];
    }
    out.image = toCodedOrientation(img, orientation);
    return out;
}

bool laysAnything(const Mask& mask, const QColor& key, int opacity) {
    const QImage img = mask.image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = row[x];
            if (rules::isKeyColour(qRed(p), qGreen(p), qBlue(p), key.red(), key.green(), key.blue()))
                continue;
            if (!mask.withAlpha ||
                rules::alphaWeight(static_cast<unsigned>(qAlpha(p)), static_cast<unsigned>(opacity)) > 0)
                return true;
        }
    }
    return false;
}

QImage toCodedOrientation(const QImage& upright, rules::Orientation o) {
    if (o.upright()) return upright;
    // Quarter turns go through Qt's exact rotation: no pixel is mixed.
    QImage turned =
        o.quarterTurns ? upright.transformed(QTransform().rotate(-90.0 * o.quarterTurns)) : upright;
    return o.mirrored ? turned.mirrored(true, false) : turned;
}

QImage toUprightOrientation(const QImage& coded, rules::Orientation o) {
    if (o.upright()) return coded;
    const QImage mirrored = o.mirrored ? coded.mirrored(true, false) : coded;
    return o.quarterTurns ? mirrored.transformed(QTransform().rotate(90.0 * o.quarterTurns)) : mirrored;
}
