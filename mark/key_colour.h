// The key colour and the mark: which colour a mark does not use, and how much
// of a mark a key would take away. A pixel counts when it is not fully
// transparent and lies within the module's tolerance of the key.
#pragma once

#include <QColor>
#include <QImage>

#include <optional>

// A colour no visible pixel of `mark` is within the key's tolerance of,
// preferring colours that logos seldom use (magenta, green, blue, …); nothing
// when the mark uses every colour.
std::optional<QColor> unusedKeyColour(const QImage& mark);

// How many visible pixels of `mark` the key `key` would make vanish.
qsizetype pixelsOfKey(const QImage& mark, const QColor& key);

// The mark's pixels that `key` makes vanish: white where one does, fully
// transparent elsewhere (Format_ARGB32, the mark's size).
QImage keyedPixels(const QImage& mark, const QColor& key);
