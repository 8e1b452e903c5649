// The 24-bit uncompressed Windows bitmap that carries the watermark to the
// encoder ("temp.bmp", "mask.bmp"): a 14-byte file header ("BM", file size,
// two zero reserved words, pixel offset 54), a 40-byte information header
// (width, positive height, 1 plane, 24 bits, no compression), then the rows
// bottom-up, blue-green-red, each padded with zero bytes to a multiple of 4.
//
// Encoding and decoding are pure; the file functions add only the I/O.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace bmp {

inline constexpr int kHeaderSize = 54;
// The bitmap with alpha: the 14-byte file header, a 108-byte BITMAPV4HEADER
// with BI_BITFIELDS and the masks red 0x00FF0000, green 0x0000FF00, blue
// 0x000000FF, alpha 0xFF000000, then the rows bottom-up, B G R A.
inline constexpr int kV4InfoSize = 108;
inline constexpr int kV5InfoSize = 124;
inline constexpr int kAlphaHeaderSize = 14 + kV4InfoSize;
inline constexpr quint32 kBitFields = 3;

// Bytes of one stored row of a bitmap `width` pixels wide, padding included.
constexpr qint64 rowStride(qint64 width) {
    return (width * 3 + 3) / 4 * 4;
}
// Size of the whole file for a width x height bitmap.
constexpr qint64 fileSize(qint64 width, qint64 height) {
    return kHeaderSize + rowStride(width) * height;
}

// The file image of `image` (alpha, if any, is dropped). Empty for a null
// or empty image.
QByteArray encode24(const QImage& image);

// The picture of a 24-bit uncompressed bitmap as encode24 writes it; rows
// stored top-down (negative height) are read too. Nothing for any other
// layout or for bytes that end before the pixels do.
std::optional<QImage> decode24(const QByteArray& bytes);

// The file image of `image` with its alpha, as the 32-bit bitmap above.
QByteArray encode32(const QImage& image);
// The picture of a 32-bit bitmap with those masks (V4 or V5 header), rows
// either way; nothing for anything else.
std::optional<QImage> decode32(const QByteArray& bytes);

// Writes `image` to a new file at `path`; a name already taken (a link
// included) is refused, never written through. On failure returns false, sets
// `error` to the reason and leaves no file behind.
bool write24(const QString& path, const QImage& image, QString* error);
bool write32(const QString& path, const QImage& image, QString* error);
bool writeBytes(const QString& path, const QByteArray& bytes, QString* error);

// Reads a bitmap written by write24. On failure returns nothing and sets
// `error` to the reason.
std::optional<QImage> read24(const QString& path, QString* error);
// Reads either kind.
std::optional<QImage> read(const QString& path, QString* error);

}  // namespace bmp
