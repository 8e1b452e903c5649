// The picture header reader: learns a picture file's width and height from
// its first 65536 bytes (PNG, GIF, BMP signatures, then a JPEG marker scan).
// One result for the whole program, overwritten by every read; the reader
// never fails and leaves 0 by 0 when it finds nothing.
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

}  // namespace imagesize

// Reads the first 65536 bytes of path (zero-padded past its end) and keeps
// the size found; a missing, empty or unreadable file gives 0 by 0.
void ReadImageSize(const QString& path);
// The width and height of the last ReadImageSize.
qint32 ImageWidth();
qint32 ImageHeight();
