// The mark as the module lays it: the whole picture scaled to its rectangle,
// and the frame-sized mask made from it for the coded frame.
#pragma once

#include "rules/orientation.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

// True when some pixel of `image` is not fully opaque.
bool hasTransparency(const QImage& image);

// The whole picture at `size` (Format_ARGB32, alpha kept): its own pixels
// when the size is its own, else smoothly scaled.
QImage laidMark(const QImage& picture, QSize size);

struct Mask {
    QImage image;            // the coded frame's size
    bool withAlpha = false;  // a 32-bit mask with an alpha channel, else 24-bit keyed
};

// The mask of `mark` standing at `rect` of the upright frame `upright`,
// keyed on `key`, at `opacity` per cent, turned back to the coded frame.
// An opaque mark at full opacity makes the 24-bit mask: the key colour with
// the mark on it. Anything else makes the 32-bit one: fully transparent but
// for the mark's own pixels.
Mask makeMask(const QImage& mark, QRect rect, QSize upright, const QColor& key, int opacity,
              rules::Orientation orientation);

// Whether the module would change any pixel of the video with this mask:
// false for a fully transparent mark, one wholly of the key colour, or one
// wholly off the frame.
bool laysAnything(const Mask& mask, const QColor& key, int opacity);

// The upright picture turned back to the coded frame's orientation, pixel for
// pixel.
QImage toCodedOrientation(const QImage& upright, rules::Orientation orientation);
// The coded picture as it shows.
QImage toUprightOrientation(const QImage& coded, rules::Orientation orientation);
