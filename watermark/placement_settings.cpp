#include "watermark/placement_settings.h"

#include "mark/color_text.h"

#include <QSettings>

#include <cmath>

namespace {

const QString kAnchor = QStringLiteral("mark/anchor");
const QString kMarginX = QStringLiteral("mark/marginX");
const QString kMarginY = QStringLiteral("mark/marginY");
const QString kKey = QStringLiteral("mark/keyColour");
const QString kOpacity = QStringLiteral("mark/opacity");

// Stored by name, so that a reordering never moves a remembered mark.
std::optional<Anchor> anchorNamed(const QString& name) {
    for (Anchor a : kAnchors)
        if (name == QLatin1String(anchorName(a))) return a;
    return std::nullopt;
}

std::optional<double> share(const QSettings& s, const QString& key) {
    bool ok = false;
    const double v = s.value(key).toDouble(&ok);
    return ok && std::isfinite(v) && std::fabs(v) <= 1 ? std::optional<double>(v) : std::nullopt;
}

}  // namespace

void savePlacement(QSettings& s, const Placement& p) {
    s.setValue(kAnchor, QLatin1String(anchorName(p.anchor())));
    s.setValue(kMarginX, p.marginX());
    s.setValue(kMarginY, p.marginY());
    s.setValue(kKey, p.pickedKey() ? p.pickedKey()->name(QColor::HexRgb) : QString());
    s.setValue(kOpacity, p.opacity());
}

void restorePlacement(const QSettings& s, Placement& p) {
    const std::optional<Anchor> anchor = anchorNamed(s.value(kAnchor).toString());
    const std::optional<double> mx = share(s, kMarginX), my = share(s, kMarginY);
    if (anchor && mx && my) {
        p.moveTo(*anchor, 0);
        p.setMargins(*mx, *my);
    }
    if (s.contains(kKey)) {
        const QString key = s.value(kKey).toString();
        if (key.isEmpty())
            p.setPickedKey(std::nullopt);
        else if (key.startsWith(u'#'))
            if (const std::optional<QColor> c = colorFromRrggbb(key.mid(1))) p.setPickedKey(*c);
    }
    bool ok = false;
    const int opacity = s.value(kOpacity).toInt(&ok);
    if (ok) p.setOpacity(opacity);
}
