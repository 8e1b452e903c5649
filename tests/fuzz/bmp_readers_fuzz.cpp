// Both bitmap readers on any file: the windows' decode24 and decode32 and the module's
// decodeMaskBmp. Each must stay inside the bytes, refuse with a reason, and when both take a file
// they must see the same picture, alpha included: the module lays over the video what the windows
// drew.
#include "encoder/hook/mask_bmp.h"
#include "mark/bmp_file.h"
#include "tests/fuzz/fuzz_check.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QImage> image = bmp::decode24(bytes);

    wm::RgbImage mask;
    std::string error;
    const bool maskRead = wm::decodeMaskBmp(std::vector<std::uint8_t>(data, data + size), mask, error);
    FUZZ_CHECK(maskRead || !error.empty());
    if (maskRead) {
        FUZZ_CHECK(mask.width > 0 && mask.height > 0);
        FUZZ_CHECK(mask.rgb.size() == std::size_t(mask.width) * std::size_t(mask.height) * 3);
    }

    if (image) {
        FUZZ_CHECK(!image->isNull() && image->width() > 0 && image->height() > 0);
        // What the windows read they write back the same.
        const std::optional<QImage> again = bmp::decode24(bmp::encode24(*image));
        FUZZ_CHECK(again && *again == *image);
    }

    const std::optional<QImage> withAlpha = bmp::decode32(bytes);
    if (withAlpha) {
        FUZZ_CHECK(!withAlpha->isNull() && withAlpha->width() > 0 && withAlpha->height() > 0);
        const std::optional<QImage> again = bmp::decode32(bmp::encode32(*withAlpha));
        FUZZ_CHECK(again && *again == *withAlpha);
    }
    if (withAlpha && maskRead) {
        FUZZ_CHECK(mask.width == withAlpha->width() && mask.height == withAlpha->height());
        for (int y = 0; y < mask.height; ++y)
            for (int x = 0; x < mask.width; ++x) {
                const QRgb p = withAlpha->pixel(x, y);
                const std::size_t at = std::size_t(y) * std::size_t(mask.width) + std::size_t(x);
                const std::uint8_t* m = mask.rgb.data() + at * 3;
                FUZZ_CHECK(m[0] == qRed(p) && m[1] == qGreen(p) && m[2] == qBlue(p));
                FUZZ_CHECK((mask.alpha.empty() ? 255 : mask.alpha[at]) == qAlpha(p));
            }
    }

    if (image && maskRead) {
        FUZZ_CHECK(mask.width == image->width() && mask.height == image->height());
        for (int y = 0; y < mask.height; ++y)
            for (int x = 0; x < mask.width; ++x) {
                const QRgb p = image->pixel(x, y);
                const std::uint8_t* m = mask.rgb.data() + (std::size_t(y) * std::size_t(mask.width) + x) * 3;
                FUZZ_CHECK(m[0] == qRed(p) && m[1] == qGreen(p) && m[2] == qBlue(p));
            }
    }
    return 0;
}
