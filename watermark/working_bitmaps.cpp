#include "watermark/working_bitmaps.h"

#include "app/shell.h"
#include "watermark/bmp_file.h"

QString previewBitmapPath() {
    return workingFolder() + QStringLiteral("/temp.bmp");
}

QString maskBitmapPath() {
    return workingFolder() + QStringLiteral("/mask.bmp");
}

QString frameBitmapPath() {
    return workingFolder() + QStringLiteral("/frame.bmp");
}

std::optional<QImage> writePreviewBitmap(const QImage& preview, QString* why) {
    const QString path = previewBitmapPath();
    const bool written =
        hasTransparency(preview) ? bmp::write32(path, preview, why) : bmp::write24(path, preview, why);
    if (!written) return std::nullopt;
    return bmp::read(path, why);
}

bool writeMaskBitmap(const QImage& mask, bool withAlpha, QString* why) {
    return withAlpha ? bmp::write32(maskBitmapPath(), mask, why) : bmp::write24(maskBitmapPath(), mask, why);
}
