#include "mark/color_text.h"

std::optional<QColor> colorFromRrggbb(const QString& text) {
    if (text.size() != 6) return std::nullopt;
    int v[3] = {};
    for (int i = 0; i < 6; ++i) {
        // Only 0-9, a-f and A-F count: no sign, no space, no prefix.
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0) return std::nullopt;
        v[i / 2] = v[i / 2] * 16 + digit;
    }
    return QColor(v[0], v[1], v[2]);
}

QString rrggbbOf(const QColor& color) {
    const QColor c = color.toRgb();
    return QStringLiteral("%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'));
}
