#include "encoder/hook/mask_bmp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <algorithm>

namespace wm {
namespace {

uint32_t u16(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}
uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

std::string hex(uint32_t v) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08x", v);
    return text;
}

constexpr int64_t kMaxSide = 16384;
constexpr uint32_t kUncompressed = 0, kColourMasks = 3;
constexpr uint32_t kRedMask = 0x00ff0000, kGreenMask = 0x0000ff00, kBlueMask = 0x000000ff,
                   kAlphaMask = 0xff000000;
constexpr size_t kMasksAt = 14 + 40;  // R G B [A] masks, in the longer headers or behind the 40-byte one

const char* methodName(uint32_t method) {
    switch (method) {
        case 1:
            return "RLE8";
        case 2:
            return "RLE4";
        case 3:
            return "colour masks";
        case 4:
            return "JPEG";
        case 5:
            return "PNG";
        case 6:
            return "colour and alpha masks";
        default:
            return "unknown";
    }
}

// What the header says of the pixels: checked against the file's whole size before any pixel is
// read, so that a header claiming more than the file holds costs nothing.
struct MaskLayout {
    int64_t width = 0, height = 0;
    bool topDown = false, hasAlpha = false;
    uint32_t offset = 0;
    uint64_t pixelBytes = 0, rowBytes = 0;
    uint64_t need = 0;  // bytes of the file the pixels reach to
};

// `f` holds at least the headers (the whole file or its start); `fileSize` is the whole file's.
bool maskLayout(const std::vector<uint8_t>& f, uint64_t fileSize, MaskLayout& layout, std::string& error) {
    if (f.size() < 2 || f[0] != 'B' || f[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    if (f.size() < 14 + 40) {
        error = "truncated BMP header";
        return false;
    }
    const uint32_t offset = u32(f, 10);
    const uint32_t infoSize = u32(f, 14);
    if (infoSize < 40) {
        error = "old-style BMP header (" + std::to_string(infoSize) + " bytes) is not supported";
        return false;
    }
    const int64_t width = int32_t(u32(f, 18));
    const int64_t rawHeight = int32_t(u32(f, 22));
    const uint32_t bits = u16(f, 28);
    const uint32_t method = u32(f, 30);
    const std::string supported = "only 24-bit uncompressed and 32-bit bitmaps are supported";
    if (method != kUncompressed && method != kColourMasks) {
        error = "compressed BMP (method " + std::to_string(method) + ", " + methodName(method) + "); " +
                supported;
        return false;
    }
    if (bits != 24 && bits != 32) {
        error = std::to_string(bits) + "-bit BMP; " + supported;
        return false;
    }
    if (method == kColourMasks && bits != 32) {
        error = "24-bit BMP with colour masks; " + supported;
        return false;
    }
    // 40: the plain header; 52, 56: with colour masks, the latter with alpha; 108, 124: the two
    // later headers. Others (the 64-byte OS/2 one) give the same fields other meanings.
    if (bits == 32 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
        infoSize != 124) {
        error = "32-bit BMP with a " + std::to_string(infoSize) + "-byte header is not supported";
        return false;
    }
    const uint64_t headerEnd = 14 + uint64_t(infoSize) + (method == kColourMasks && infoSize == 40 ? 12 : 0);
    if (f.size() < headerEnd) {
        error = "truncated BMP header";
        return false;
    }
    bool hasAlpha = false;
    if (bits == 32) {
        const uint32_t alphaMask = infoSize >= 56 ? u32(f, kMasksAt + 12) : 0;
        if (method == kColourMasks) {
            const uint32_t r = u32(f, kMasksAt), g = u32(f, kMasksAt + 4), b = u32(f, kMasksAt + 8);
            if (r != kRedMask || g != kGreenMask || b != kBlueMask ||
                (alphaMask != 0 && alphaMask != kAlphaMask)) {
                error = "32-bit BMP with colour masks R " + hex(r) + " G " + hex(g) + " B " + hex(b) + " A " +
                        hex(alphaMask) + "; only R " + hex(kRedMask) + " G " + hex(kGreenMask) + " B " +
                        hex(kBlueMask) + " A " + hex(kAlphaMask) + " (or no alpha) are supported";
                return false;
            }
        } else if (alphaMask != 0 && alphaMask != kAlphaMask) {
            error = "uncompressed 32-bit BMP with alpha mask " + hex(alphaMask) + "; only " +
                    hex(kAlphaMask) + " (or none) is supported";
            return false;
        }
        // Without an alpha mask (always so behind the 40-byte header) the fourth byte is padding,
        // which writers often leave at 0: such a picture is opaque.
        hasAlpha = alphaMask == kAlphaMask;
    }
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        error = "unusable BMP size " + std::to_string(width) + "x" + std::to_string(rawHeight);
        return false;
    }
    if (offset < headerEnd) {
        error = "BMP pixels at offset " + std::to_string(offset) + " overlap its " +
                std::to_string(headerEnd) + "-byte header";
        return false;
    }
    // In 64 bits and by division: the header's figures must not wrap round into a small need.
    const uint64_t pixelBytes = bits / 8;
    const uint64_t rowBytes = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t lastRow = uint64_t(width) * pixelBytes;
    const uint64_t available = fileSize > offset ? fileSize - offset : 0;
    if (available < lastRow || (available - lastRow) / rowBytes < uint64_t(height - 1)) {
        const uint64_t need = offset + rowBytes * uint64_t(height - 1) + lastRow;
        error = "truncated BMP: a " + std::to_string(width) + "x" + std::to_string(height) + " " +
                std::to_string(bits) + "-bit BMP needs " + std::to_string(need) + " bytes, the file has " +
                std::to_string(fileSize);
        return false;
    }
    layout = MaskLayout{width,  height,     topDown,  hasAlpha,
                        offset, pixelBytes, rowBytes, offset + rowBytes * uint64_t(height - 1) + lastRow};
    return true;
}

}  // namespace

bool decodeMaskBmp(const std::vector<uint8_t>& f, RgbImage& out, std::string& error) {
    MaskLayout l;
    if (!maskLayout(f, f.size(), l, error)) return false;
    const int64_t width = l.width, height = l.height;
    const bool topDown = l.topDown, hasAlpha = l.hasAlpha;
    const uint32_t offset = l.offset;
    const uint64_t pixelBytes = l.pixelBytes, rowBytes = l.rowBytes;
    RgbImage img;
    img.width = int(width);
    img.height = int(height);
    img.rgb.resize(size_t(width * height * 3));
    img.alpha.assign(size_t(width * height), 255);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* src = f.data() + offset + rowBytes * uint64_t(topDown ? y : height - 1 - y);
        uint8_t* dst = img.rgb.data() + size_t(y * width * 3);
        uint8_t* a = img.alpha.data() + size_t(y * width);
        for (int64_t x = 0; x < width; ++x, src += pixelBytes, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (hasAlpha) a[x] = src[3];
        }
    }
    out = std::move(img);
    return true;
}

bool readMaskBmp(const std::string& path, RgbImage& out, std::string& error) {
    // Never blocks on a pipe, never reads more than the header says the pixels take.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot open mask '" + path + "': " + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "mask '" + path + "': not a regular file";
        return false;
    }
    const auto readAt = [&](std::vector<uint8_t>& into, uint64_t from, uint64_t count) {
        into.resize(size_t(from + count));
        uint64_t done = 0;
        while (done < count) {
            const ssize_t n =
                ::pread(fd, into.data() + from + done, size_t(count - done), off_t(from + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += uint64_t(n);
        }
        return true;
    };
    constexpr uint64_t kHeaders = 14 + 124 + 12;
    std::vector<uint8_t> bytes;
    const uint64_t fileSize = uint64_t(st.st_size);
    if (!readAt(bytes, 0, std::min(kHeaders, fileSize))) {
        error = "cannot read mask '" + path + "': " + std::strerror(errno ? errno : EIO);
        return false;
    }
    MaskLayout layout;
    std::string why;
    if (!maskLayout(bytes, fileSize, layout, why)) {
        error = "mask '" + path + "': " + why;
        return false;
    }
    if (layout.need > bytes.size() && !readAt(bytes, bytes.size(), layout.need - bytes.size())) {
        error = "cannot read mask '" + path + "': " + std::strerror(errno ? errno : EIO);
        return false;
    }
    bytes.resize(size_t(layout.need));
    if (!decodeMaskBmp(bytes, out, why)) {
        error = "mask '" + path + "': " + why;
        return false;
    }
    return true;
}

}  // namespace wm
