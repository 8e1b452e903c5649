// The bitmaps a conversion works from, all in workingFolder():
// "temp.bmp", the preview as it is placed on the canvas, and "mask.bmp", the
// canvas that the encoder's module lays over every frame.
#pragma once

#include "watermark/mark_mask.h"

#include <QImage>
#include <QString>

#include <optional>

QString previewBitmapPath();
QString maskBitmapPath();
// "frame.bmp": the video's frame that the canvas shows behind the mark.
QString frameBitmapPath();

// Writes the preview as "temp.bmp" (with its alpha when it has transparent
// parts) and reads it back: the canvas places exactly what the file holds.
// On failure gives nothing and sets `why`.
std::optional<QImage> writePreviewBitmap(const QImage& preview, QString* why);

// Writes "mask.bmp": the 24-bit bitmap keyed on its background colour, or,
// `withAlpha`, the 32-bit bitmap whose alpha says how much of each pixel is
// laid over the video. On failure returns false and sets `why`.
bool writeMaskBitmap(const QImage& mask, bool withAlpha, QString* why);
