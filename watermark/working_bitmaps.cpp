#include "watermark/working_bitmaps.h"

#include "app/shell.h"
#include "watermark/bmp_file.h"

QString previewBitmapPath() {
    return workingFolder() + QStringLiteral("/temp.bmp");
}

QString maskBitmapPath() {
    return workingFolder() + QStringLiteral("/mask.bmp");
}

std::optional<QImage> writePreviewBitmap(const QImage& preview, QString* why) {
    const QString path = previewBitmapPath();
    if (!bmp::write24(path, preview, why)) return std::nullopt;
    return bmp::read24(path, why);
}

bool writeMaskBitmap(const QImage& canvas, QString* why) {
    return bmp::write24(maskBitmapPath(), canvas, why);
}
