// The mask colour as text: six hexadecimal digits RRGGBB, red first.
#pragma once

#include <QColor>
#include <QString>

#include <optional>

// The colour of an RRGGBB text, upper- or lower-case digits alike. Nothing
// when the text is not exactly six hexadecimal digits.
std::optional<QColor> colorFromRrggbb(const QString& text);

// Six lower-case hexadecimal digits RRGGBB of a colour, e.g. "ff00ff".
QString rrggbbOf(const QColor& color);
