#include "app/shell.h"

#include <stdexcept>

QString hexText(qint32 colour) {
    return QStringLiteral("&H") + QString::number(static_cast<quint32>(colour), 16).toUpper();
}

QString rgbHexText(qint16 r, qint16 g, qint16 b) {
    for (const qint16 c : {r, g, b}) {
        if (c < 0 || c > 255) throw std::overflow_error("Overflow");
    }
    return hexText(r + 256 * g + 65536 * b);
}

QColor colorFromHexText(const QString& text) {
    bool ok = false;
    const uint value = text.mid(2).toUInt(&ok, 16);
    if (!text.startsWith(QStringLiteral("&H"), Qt::CaseInsensitive) || !ok) return {};
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}
