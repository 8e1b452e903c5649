// The two bitmaps a conversion works from, both in workingFolder():
// "temp.bmp", the preview as it is placed on the canvas, and "mask.bmp", the
// canvas that the encoder's module lays over every frame.
#pragma once

#include <QImage>
#include <QString>

#include <optional>

QString previewBitmapPath();
QString maskBitmapPath();

// Writes the preview as "temp.bmp" and reads it back: the canvas places
// exactly what the file holds. On failure gives nothing and sets `why`.
std::optional<QImage> writePreviewBitmap(const QImage& preview, QString* why);

// Writes the canvas as "mask.bmp". On failure returns false and sets `why`.
bool writeMaskBitmap(const QImage& canvas, QString* why);
