#include "positioning/activity_frames.h"

#include "app/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

struct Look {
    QColor light, face, rim, arrow;
};

// Bright: a lit orange button. Dimmed: the same button with its light off.
constexpr Look kBright{QColor(255, 200, 120), QColor(255, 128, 0), QColor(180, 80, 0), QColor(255, 255, 255)};
constexpr Look kDimmed{QColor(205, 180, 150), QColor(170, 130, 90), QColor(120, 90, 60),
                       QColor(215, 205, 195)};

}  // namespace

QImage activityFrame(int index) {
    const Look& look = index == 0 ? kBright : kDimmed;
    QImage img(kActivityFrameSize, kActivityFrameSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF disc(1.5, 1.5, 33, 33);
    QRadialGradient shade(QPointF(13, 11), 24);
    shade.setColorAt(0, look.light);
    shade.setColorAt(0.7, look.face);
    shade.setColorAt(1, look.rim);
    p.setPen(QPen(look.rim, 1.5));
    p.setBrush(shade);
    p.drawEllipse(disc);

    // The forward arrow: a shaft and a head pointing right.
    const QPainterPath arrow =
        artwork::polygonPath({{9, 15}, {18, 15}, {18, 9}, {28, 18}, {18, 27}, {18, 21}, {9, 21}});
    p.setPen(QPen(look.rim, 1));
    p.setBrush(look.arrow);
    p.drawPath(arrow);
    return img;
}
