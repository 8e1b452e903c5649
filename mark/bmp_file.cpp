#include "mark/bmp_file.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace bmp {
namespace {

void put16(char* p, quint16 v) {
    p[0] = static_cast<char>(v & 0xff);
    p[1] = static_cast<char>(v >> 8);
}

void put32(char* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

quint32 get32(const QByteArray& b, int at) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

quint16 get16(const QByteArray& b, int at) {
    return static_cast<quint16>(static_cast<quint8>(b[at]) | (static_cast<quint8>(b[at + 1]) << 8));
}

}  // namespace

QByteArray encode24(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    const qint64 w = image.width();
    const qint64 h = image.height();
    const qint64 total = fileSize(w, h);
    if (total > std::numeric_limits<quint32>::max() || total > std::numeric_limits<int>::max()) return {};
    const qint64 stride = rowStride(w);

    QByteArray out(static_cast<int>(total), '\0');
    char* d = out.data();
    d[0] = 'B';
    d[1] = 'M';
    put32(d + 2, static_cast<quint32>(total));
    put32(d + 10, kHeaderSize);
    put32(d + 14, 40);
    put32(d + 18, static_cast<quint32>(w));
    put32(d + 22, static_cast<quint32>(h));
    put16(d + 26, 1);
    put16(d + 28, 24);
    put32(d + 30, 0);  // no compression
    put32(d + 34, static_cast<quint32>(stride * h));
    // Resolution and palette fields stay zero.

    const QImage src = image.convertToFormat(QImage::Format_RGB32);
    for (qint64 y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(static_cast<int>(y)));
        char* row = d + kHeaderSize + (h - 1 - y) * stride;  // bottom row first
        for (qint64 x = 0; x < w; ++x) {
            row[x * 3 + 0] = static_cast<char>(qBlue(line[x]));
            row[x * 3 + 1] = static_cast<char>(qGreen(line[x]));
            row[x * 3 + 2] = static_cast<char>(qRed(line[x]));
        }
    }
    return out;
}

std::optional<QImage> decode24(const QByteArray& bytes) {
    if (bytes.size() < kHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    const quint32 offset = get32(bytes, 10);
    const quint32 infoSize = get32(bytes, 14);
    const auto width = static_cast<qint32>(get32(bytes, 18));
    const auto rawHeight = static_cast<qint32>(get32(bytes, 22));
    if (infoSize < 40 || offset < kHeaderSize || get16(bytes, 26) != 1 || get16(bytes, 28) != 24 ||
        get32(bytes, 30) != 0)
        return std::nullopt;
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<qint32>::min()) return std::nullopt;
    const bool bottomUp = rawHeight > 0;
    const qint64 h = std::llabs(rawHeight);
    const qint64 stride = rowStride(width);
    // Divided, not multiplied: a huge width times a huge height leaves 64 bits.
    const qint64 available = bytes.size() - static_cast<qint64>(offset);
    if (available < 0 || h > available / stride) return std::nullopt;

    QImage img(width, static_cast<int>(h), QImage::Format_RGB32);
    if (img.isNull()) return std::nullopt;
    const auto* base = reinterpret_cast<const quint8*>(bytes.constData()) + offset;
    for (qint64 y = 0; y < h; ++y) {
        const quint8* row = base + (bottomUp ? h - 1 - y : y) * stride;
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(y)));
        for (qint32 x = 0; x < width; ++x)
            line[x] = qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3 + 0]);
    }
    return img;
}

QByteArray encode32(const QImage& image) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    const qint64 w = image.width();
    const qint64 h = image.height();
    const qint64 total = kAlphaHeaderSize + w * 4 * h;
    if (total > std::numeric_limits<quint32>::max() || total > std::numeric_limits<int>::max()) return {};

    QByteArray out(static_cast<int>(total), '\0');
    char* d = out.data();
    d[0] = 'B';
    d[1] = 'M';
    put32(d + 2, static_cast<quint32>(total));
    put32(d + 10, kAlphaHeaderSize);
    put32(d + 14, kV4InfoSize);
    put32(d + 18, static_cast<quint32>(w));
    put32(d + 22, static_cast<quint32>(h));
    put16(d + 26, 1);
    put16(d + 28, 32);
    put32(d + 30, kBitFields);
    put32(d + 34, static_cast<quint32>(w * 4 * h));
    put32(d + 54, 0x00FF0000);  // red
    put32(d + 58, 0x0000FF00);  // green
    put32(d + 62, 0x000000FF);  // blue
    put32(d + 66, 0xFF000000);  // alpha
    put32(d + 70, 0x73524742);  // "sRGB"

    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    for (qint64 y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(static_cast<int>(y)));
        char* row = d + kAlphaHeaderSize + (h - 1 - y) * w * 4;  // bottom row first
        for (qint64 x = 0; x < w; ++x)
            put32(row + x * 4, line[x]);  // B G R A in the file, as QRgb lies in memory
    }
    return out;
}

std::optional<QImage> decode32(const QByteArray& bytes) {
    if (bytes.size() < kAlphaHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    const quint32 offset = get32(bytes, 10);
    const quint32 infoSize = get32(bytes, 14);
    const auto width = static_cast<qint32>(get32(bytes, 18));
    const auto rawHeight = static_cast<qint32>(get32(bytes, 22));
    if ((infoSize != kV4InfoSize && infoSize != kV5InfoSize) || offset < 14 + infoSize ||
        get16(bytes, 26) != 1 || get16(bytes, 28) != 32 || get32(bytes, 30) != kBitFields ||
        get32(bytes, 54) != 0x00FF0000 || get32(bytes, 58) != 0x0000FF00 || get32(bytes, 62) != 0x000000FF ||
        get32(bytes, 66) != 0xFF000000)
        return std::nullopt;
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<qint32>::min()) return std::nullopt;
    const bool bottomUp = rawHeight > 0;
    const qint64 h = std::llabs(rawHeight);
    const qint64 stride = qint64(width) * 4;
    const qint64 available = bytes.size() - static_cast<qint64>(offset);
    if (available < 0 || h > available / stride) return std::nullopt;

    QImage img(width, static_cast<int>(h), QImage::Format_ARGB32);
    if (img.isNull()) return std::nullopt;
    for (qint64 y = 0; y < h; ++y) {
        const int at = static_cast<int>(offset + (bottomUp ? h - 1 - y : y) * stride);
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(static_cast<int>(y)));
        for (qint32 x = 0; x < width; ++x)
            line[x] = get32(bytes, at + x * 4);
    }
    return img;
}

bool write24(const QString& path, const QImage& image, QString* error) {
    return writeBytes(path, encode24(image), error);
}

bool write32(const QString& path, const QImage& image, QString* error) {
    return writeBytes(path, encode32(image), error);
}

bool writeBytes(const QString& path, const QByteArray& bytes, QString* error) {
    if (bytes.isEmpty()) {
        if (error) *error = QStringLiteral("the picture is empty");
        return false;
    }
    // Always a new file: a name already taken, a planted link above all, is
    // refused rather than written through; a failed write leaves nothing.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (error) *error = file.errorString();
        file.remove();
        return false;
    }
    return true;
}

std::optional<QImage> read24(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return std::nullopt;
    }
    auto img = decode24(file.readAll());
    if (!img && error) *error = QStringLiteral("not a 24-bit uncompressed bitmap");
    return img;
}

std::optional<QImage> read(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    std::optional<QImage> img = decode24(bytes);
    if (!img) img = decode32(bytes);
    if (!img && error) *error = QStringLiteral("not a bitmap this program writes");
    return img;
}

}  // namespace bmp
