// The bitmaps a run hands to the encoder, in the run's own WorkFolder:
// "temp.bmp", the mark as it is laid on the canvas, "mask.bmp", the canvas
// that the encoder's module lays over every frame, and "frame.bmp", the
// video's frame that the canvas shows behind the mark.
#pragma once

#include "jobs/work_folder.h"

#include <QImage>
#include <QString>

#include <optional>

QString previewBitmapPath(const WorkFolder& folder);
QString maskBitmapPath(const WorkFolder& folder);
QString frameBitmapPath(const WorkFolder& folder);

// Writes the preview as "temp.bmp" (with its alpha when it has transparent
// parts) and reads it back: the canvas places exactly what the file holds.
// On failure gives nothing and sets `why`.
std::optional<QImage> writePreviewBitmap(const WorkFolder& folder, const QImage& preview, QString* why);

// Writes "mask.bmp": the 24-bit bitmap keyed on its background colour, or,
// `withAlpha`, the 32-bit bitmap whose alpha says how much of each pixel is
// laid over the video. On failure returns false and sets `why`.
bool writeMaskBitmap(const WorkFolder& folder, const QImage& mask, bool withAlpha, QString* why);
