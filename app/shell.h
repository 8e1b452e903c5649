// Colours as "&H" text, red in the low byte: how the windows give their
// background colours.
#pragma once

#include <QColor>
#include <QString>

// "&H" and upper-case hexadecimal digits without leading zeros; a negative
// number gives its 32-bit two's complement in eight digits.
QString hexText(qint32 colour);
// hexText(r + 256 g + 65536 b). Throws std::overflow_error when a component
// lies outside 0..255, as a byte conversion would.
QString rgbHexText(qint16 r, qint16 g, qint16 b);
// The colour a colour text "&H..." stands for (red in the low byte).
QColor colorFromHexText(const QString& text);
