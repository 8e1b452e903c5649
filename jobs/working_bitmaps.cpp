#include "jobs/working_bitmaps.h"

#include "mark/bmp_file.h"
#include "mark/mark_mask.h"

QString previewBitmapPath(const WorkFolder& folder) {
    return folder.filePath(QStringLiteral("temp.bmp"));
}

QString maskBitmapPath(const WorkFolder& folder) {
    return folder.filePath(QStringLiteral("mask.bmp"));
}

QString frameBitmapPath(const WorkFolder& folder) {
    return folder.filePath(QStringLiteral("frame.bmp"));
}

std::optional<QImage> writePreviewBitmap(const WorkFolder& folder, const QImage& preview, QString* why) {
    const QString path = previewBitmapPath(folder);
    const bool written =
        hasTransparency(preview) ? bmp::write32(path, preview, why) : bmp::write24(path, preview, why);
    if (!written) return std::nullopt;
    return bmp::read(path, why);
}

bool writeMaskBitmap(const WorkFolder& folder, const QImage& mask, bool withAlpha, QString* why) {
    const QString path = maskBitmapPath(folder);
    return withAlpha ? bmp::write32(path, mask, why) : bmp::write24(path, mask, why);
}
