#include "encoder/frame_turn.h"

#include <cstddef>
#include <cstring>

namespace wm {

BgrPicture turnUpright(const uint8_t* bgr, int stride, rules::PixelSize coded, rules::Orientation o) {
    BgrPicture out;
    if (!bgr || coded.width <= 0 || coded.height <= 0) return out;
    const rules::PixelSize shown = rules::uprightSize(coded, o);
    out.width = shown.width, out.height = shown.height;
    out.pixels.resize(size_t(shown.width) * 3 * size_t(shown.height));
    // The turn is affine: the coded pixel moves by a fixed step along each upright row and column.
    const rules::Pixel origin = rules::toCoded({0, 0}, coded, o);
    const rules::Pixel right = rules::toCoded({shown.width > 1 ? 1 : 0, 0}, coded, o);
    const rules::Pixel down = rules::toCoded({0, shown.height > 1 ? 1 : 0}, coded, o);
    const ptrdiff_t stepX = ptrdiff_t(right.y - origin.y) * stride + (right.x - origin.x) * 3;
    const ptrdiff_t stepY = ptrdiff_t(down.y - origin.y) * stride + (down.x - origin.x) * 3;
    ptrdiff_t rowStart = ptrdiff_t(origin.y) * stride + ptrdiff_t(origin.x) * 3;
    uint8_t* to = out.pixels.data();
    for (int y = 0; y < shown.height; ++y, rowStart += stepY) {
        ptrdiff_t from = rowStart;
        for (int x = 0; x < shown.width; ++x, from += stepX, to += 3)
            std::memcpy(to, bgr + from, 3);
    }
    return out;
}

}  // namespace wm
