// Loads a picture file as the holder takes it: BMP, GIF (first frame), JPEG,
// PNG, and WebP where Qt's image-format plugins are installed, recognised by
// their first bytes whatever the file is called, with their alpha. Every
// other kind is refused.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace picture {

// True when WebP pictures can be read here.
bool webpSupported();

// The decoder's format name for the leading 12 bytes of a file ("bmp",
// "gif", "jpeg", "png", "webp"), or an empty array when the kind is not one
// we load.
QByteArray formatOf(const QByteArray& head);

// The picture in path, or a null image when the file cannot be read, is of
// another kind or does not decode.
QImage load(const QString& path);

}  // namespace picture
