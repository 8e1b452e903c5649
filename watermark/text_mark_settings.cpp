#include "watermark/text_mark_settings.h"

#include "mark/color_text.h"

#include <QSettings>

namespace {

const QString kText = QStringLiteral("text/text");
const QString kFamily = QStringLiteral("text/family");
const QString kSize = QStringLiteral("text/pixelSize");
const QString kColour = QStringLiteral("text/colour");
const QString kEdge = QStringLiteral("text/edge");

}  // namespace

void saveTextMark(QSettings& s, const TextMark& mark) {
    s.setValue(kText, mark.text);
    s.setValue(kFamily, mark.family);
    s.setValue(kSize, mark.pixelSize);
    s.setValue(kColour, mark.colour.name(QColor::HexRgb));
    s.setValue(kEdge, QLatin1String(edgeName(mark.edge)));
}

std::optional<TextMark> restoreTextMark(const QSettings& s) {
    const QString text = s.value(kText).toString();
    if (text.isEmpty()) return std::nullopt;
    TextMark mark;
    mark.text = text;
    mark.family = s.value(kFamily, mark.family).toString();
    bool ok = false;
    const int size = s.value(kSize).toInt(&ok);
    if (ok && size >= kMinTextSize && size <= kMaxTextSize) mark.pixelSize = size;
    const QString colour = s.value(kColour).toString();
    if (colour.startsWith(u'#'))
        if (const std::optional<QColor> c = colorFromRrggbb(colour.mid(1))) mark.colour = *c;
    const QString edge = s.value(kEdge).toString();
    for (const TextMark::Edge e : {TextMark::Edge::None, TextMark::Edge::Outline, TextMark::Edge::Shadow})
        if (edge == QLatin1String(edgeName(e))) mark.edge = e;
    return mark;
}
