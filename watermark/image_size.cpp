#include "watermark/image_size.h"

#include <QFile>

namespace imagesize {
namespace {

// The scan stops short of the buffer's end so that a marker's fields
// (up to 7 bytes past it) are always inside the buffer.
constexpr int kScanEnd = 65525;

bool isStartOfFrame(std::uint8_t m) {
    return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7) || (m >= 0xC9 && m <= 0xCB) ||
           (m >= 0xCD && m <= 0xCF);
}

qint32 word(std::uint8_t high, std::uint8_t low) {
    return qint32(high) * 256 + qint32(low);
}

Size jpegSize(const Buffer& b) {
    int i = 0;
    while (i <= kScanEnd && !(b[i] == 0xFF && b[i + 1] == 0xD8 && b[i + 2] == 0xFF))
        ++i;
    if (i > kScanEnd) return {};
    int p = i + 2;
    while (p < kScanEnd) {
        if (b[p] == 0xFF && b[p + 1] != 0xFF) {
            const int q = p + 1;
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
    if (b[0] == 'B' && b[1] == 'M') return {word(b[19], b[18]), word(b[23], b[22])};
    return jpegSize(b);
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
    return sizeFromHeader(buffer);
}

}  // namespace imagesize
