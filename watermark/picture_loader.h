// Loads a picture file as the holder takes it: BMP, GIF (first frame) and
// JPEG, recognised by their first bytes whatever the file is called. Every
// other kind, PNG included, is refused.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace picture {

// The decoder's format name for the leading bytes of a file ("bmp", "gif",
// "jpeg"), or an empty array when the kind is not one we load.
QByteArray formatOf(const QByteArray& head);

// The picture in path, or a null image when the file cannot be read, is of
// another kind or does not decode.
QImage load(const QString& path);

}  // namespace picture
