// The bitmap the windows write for the module: any picture through encode24 comes back with the
// same pixels from decode24 and from the module's decodeMaskBmp, stored bottom-up as written or
// turned top-down (negative height).
//
// Input: width byte, height byte, format byte, layout byte, then the picture's bytes (repeated).
#include "encoder/hook/mask_bmp.h"
#include "mark/bmp_file.h"
#include "tests/fuzz/fuzz_check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr std::array kFormats = {QImage::Format_RGB32,  QImage::Format_ARGB32,
                                 QImage::Format_RGB888, QImage::Format_Grayscale8,
                                 QImage::Format_RGB16,  QImage::Format_ARGB32_Premultiplied};

// The same file stored top-down: negative height, rows in the opposite order.
QByteArray topDown(const QByteArray& file, int width, int height) {
    QByteArray out = file;
    const qint32 negative = -height;
    std::memcpy(out.data() + 22, &negative, 4);  // little-endian, as the file stores it
    const qint64 stride = bmp::rowStride(width);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.data() + bmp::kHeaderSize + y * stride,
                    file.constData() + bmp::kHeaderSize + (height - 1 - y) * stride, size_t(stride));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const int width = 1 + data[0] % 64;
    const int height = 1 + data[1] % 64;
    const QImage::Format format = kFormats[data[2] % kFormats.size()];
    const bool storeTopDown = data[3] & 1;
    const std::uint8_t* fill = data + 4;
    const std::size_t fillSize = size - 4;

    QImage picture(width, height, format);
    FUZZ_CHECK(!picture.isNull());
    const qsizetype lineBytes = picture.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        uchar* line = picture.scanLine(y);
        for (qsizetype i = 0; i < lineBytes; ++i)
            line[i] = fill[(std::size_t(y) * std::size_t(lineBytes) + std::size_t(i)) % fillSize];
    }
    // What the file should hold: the picture's colours, alpha dropped.
    const QImage expected = picture.convertToFormat(QImage::Format_RGB32);

    QByteArray file = bmp::encode24(picture);
    FUZZ_CHECK(file.size() == bmp::fileSize(width, height));
    if (storeTopDown) file = topDown(file, width, height);

    const std::optional<QImage> decoded = bmp::decode24(file);
    FUZZ_CHECK(decoded && decoded->width() == width && decoded->height() == height);

    wm::RgbImage mask;
    std::string error;
    const std::vector<std::uint8_t> fileBytes(file.begin(), file.end());
    if (!wm::decodeMaskBmp(fileBytes, mask, error)) fuzzFail(error.c_str(), __FILE__, __LINE__);
    FUZZ_CHECK(mask.width == width && mask.height == height);

    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb want = expected.pixel(x, y);
            FUZZ_CHECK(decoded->pixel(x, y) == (want | 0xff000000u));
            const std::uint8_t* m = mask.rgb.data() + (std::size_t(y) * std::size_t(width) + x) * 3;
            FUZZ_CHECK(m[0] == qRed(want) && m[1] == qGreen(want) && m[2] == qBlue(want));
        }
    return 0;
}
