#include "mark/image_size.h"

#include <QFile>

#include <limits>

namespace imagesize {
namespace {

// A JPEG whose size marker lies beyond the first 64 KiB (large EXIF, XMP or
// colour profile blocks) is scanned on through the file, up to this size.
constexpr qint64 kLongestScan = qint64(256) << 20;

bool isStartOfFrame(std::uint8_t m) {
    return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7) || (m >= 0xC9 && m <= 0xCB) ||
           (m >= 0xCD && m <= 0xCF);
}

qint32 word(std::uint8_t high, std::uint8_t low) {
    return qint32(high) * 256 + qint32(low);
}

// The scan stops 11 bytes short of the end so that a marker's fields (up to
// 7 bytes past it) are always inside the bytes.
Size jpegSize(const std::uint8_t* b, qint64 n) {
    const qint64 scanEnd = n - 11;
    qint64 i = 0;
    while (i <= scanEnd && !(b[i] == 0xFF && b[i + 1] == 0xD8 && b[i + 2] == 0xFF))
        ++i;
    if (i > scanEnd) return {};
    qint64 p = i + 2;
    while (p < scanEnd) {
        if (b[p] == 0xFF && b[p + 1] != 0xFF) {
            const qint64 q = p + 1;
            if (isStartOfFrame(b[q])) return {word(b[q + 6], b[q + 7]), word(b[q + 4], b[q + 5])};
            // Lands on the segment's last byte; the byte-wise search then
            // steps onto the next marker. A length of 0 still moves on by one.
            p = q + word(b[q + 1], b[q + 2]);
        } else {
            ++p;
        }
    }
    return {};
}

}  // namespace

Size sizeFromHeader(const Buffer& b) {
    if (b[0] == 0x89 && b[1] == 'P' && b[2] == 'N') {
        const std::uint8_t colourType = b[25];
        if (colourType == 0 || colourType == 2 || colourType == 3 || colourType == 4 || colourType == 6)
            return {word(b[18], b[19]), word(b[22], b[23])};
    }
    if (b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return {word(b[7], b[6]), word(b[9], b[8])};
    if (b[0] == 'B' && b[1] == 'M') {
        // Signed 32-bit fields: rows stored top-down give a negative height.
        const auto field = [&](int at) {
            return static_cast<qint32>(std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
                                       std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24);
        };
        const qint32 width = field(18);
        const qint32 height = field(22);
        if (width <= 0 || height == 0 || height == std::numeric_limits<qint32>::min()) return {};
        return {width, height < 0 ? -height : height};
    }
    return jpegSize(b.data(), kBufferSize);
}

}  // namespace imagesize

namespace imagesize {

Size readImageSize(const QString& path) {
    // A static buffer: 64 KiB is too much for the stack of a window handler.
    static Buffer buffer;
    buffer.fill(0);
    if (!path.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            qint64 got = 0;
            while (got < kBufferSize) {
                const qint64 n = file.read(reinterpret_cast<char*>(buffer.data()) + got, kBufferSize - got);
                if (n <= 0) break;
                got += n;
            }
        }
    }
    Size size = sizeFromHeader(buffer);
    if (size.width == 0 && size.height == 0 && buffer[0] == 0xFF && buffer[1] == 0xD8 && buffer[2] == 0xFF) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.size() > kBufferSize) {
            const QByteArray all = file.read(kLongestScan);
            size = jpegSize(reinterpret_cast<const std::uint8_t*>(all.constData()), all.size());
        }
    }
    return size;
}

}  // namespace imagesize
