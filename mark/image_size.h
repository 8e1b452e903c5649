// The picture header reader: learns a picture file's width and height from
// its first 65536 bytes (PNG, GIF, BMP signatures, then a JPEG marker scan).
// The reader never fails and gives 0 by 0 when it finds nothing.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace imagesize {

inline constexpr int kBufferSize = 65536;
using Buffer = std::array<std::uint8_t, kBufferSize>;

struct Size {
    qint32 width = 0;
    qint32 height = 0;
};

// The size that the header tests find in b; 0 by 0 when none recognises it.
Size sizeFromHeader(const Buffer& b);

// Reads the first 65536 bytes of path (zero-padded past its end) and gives
// the size found; a JPEG whose size lies further on is scanned on through the
// file. A missing, empty or unreadable file gives 0 by 0.
Size readImageSize(const QString& path);

}  // namespace imagesize
