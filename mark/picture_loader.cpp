#include "mark/picture_loader.h"

#include "mark/regular_file.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>

namespace picture {

bool webpSupported() {
    static const bool supported = QImageReader::supportedImageFormats().contains("webp");
    return supported;
}

QByteArray formatOf(const QByteArray& head) {
    if (head.startsWith("BM")) return QByteArrayLiteral("bmp");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return QByteArrayLiteral("gif");
    if (head.startsWith("\xFF\xD8\xFF")) return QByteArrayLiteral("jpeg");
    if (head.startsWith("\x89PNG\r\n\x1A\n")) return QByteArrayLiteral("png");
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP" && webpSupported())
        return QByteArrayLiteral("webp");
    return {};
}

QImage load(const QString& path) {
    if (path.isEmpty()) return {};
    UniqueFd fd = openRegularFile(path, kMaxPictureBytes, nullptr);
    QFile file;
    if (!fd.valid() || !file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return {};
    fd.release();
    const QByteArray format = formatOf(file.peek(12));
    if (format.isEmpty()) return {};
    // The format is fixed by the bytes above; the reader must not fall back
    // to guessing, or a kind we do not take could slip through.
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    QImage image = reader.read();  // a GIF gives its first frame
    if (image.isNull() || image.width() < 1 || image.height() < 1) return {};
    // The mark's pixels are taken as sRGB from here on (rules/mark_colour.h): a picture with a
    // profile of its own (Display P3 from a phone, Adobe RGB) keeps its colours so.
    if (const QColorSpace space = image.colorSpace(); space.isValid() && space != QColorSpace::SRgb) {
        image.convertToColorSpace(QColorSpace::SRgb);
        if (image.isNull()) return {};
    }
    return image;
}

}  // namespace picture
