#include "mark/key_colour.h"

#include "rules/mark_rules.h"

#include <array>
#include <vector>

namespace {

// Colours are looked at in cells of 8 levels a channel: a candidate key is
// free when no used cell comes within the tolerance of it, which is exact
// enough (it may pass over a free key, never take a used one).
constexpr int kCellBits = 3;
constexpr int kCells = 256 >> kCellBits;
constexpr int kReach = rules::kKeyTolerance >> kCellBits;  // cells a used colour reaches on each side

size_t cellIndex(int r, int g, int b) {
    return (size_t(r) * kCells + size_t(g)) * kCells + size_t(b);
}

QImage argbOf(const QImage& image) {
    return image.format() == QImage::Format_ARGB32 ? image : image.convertToFormat(QImage::Format_ARGB32);
}

// Spreads every used cell over the cells within reach along one axis.
void spread(std::vector<unsigned char>& cells, int axis) {
    std::vector<unsigned char> out(cells.size(), 0);
    for (int a = 0; a < kCells; ++a)
        for (int b = 0; b < kCells; ++b) {
            auto at = [&](int c) {
                const int r = axis == 0 ? c : a, g = axis == 1 ? c : (axis == 0 ? a : b),
                          bl = axis == 2 ? c : b;
                return cellIndex(r, g, bl);
            };
            for (int c = 0; c < kCells; ++c) {
                if (!cells[at(c)]) continue;
                for (int d = std::max(0, c - kReach - 1); d <= std::min(kCells - 1, c + kReach + 1); ++d)
                    out[at(d)] = 1;
            }
        }
    cells.swap(out);
}

}  // namespace

std::optional<QColor> unusedKeyColour(const QImage& mark) {
    const QImage argb = argbOf(mark);
    std::vector<unsigned char> used(size_t(kCells) * kCells * kCells, 0);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 0)
                used[cellIndex(qRed(line[x]) >> kCellBits, qGreen(line[x]) >> kCellBits,
                               qBlue(line[x]) >> kCellBits)] = 1;
    }
    for (int axis = 0; axis < 3; ++axis)
        spread(used, axis);

    auto freeCell = [&](int r, int g, int b) {
        return !used[cellIndex(r >> kCellBits, g >> kCellBits, b >> kCellBits)];
    };
    static constexpr std::array<QRgb, 8> kPreferred{0xff00ff, 0x00ff00, 0x0000ff, 0x00ffff,
                                                    0xff0000, 0xffff00, 0x000000, 0xffffff};
    for (QRgb c : kPreferred)
        if (freeCell(qRed(c), qGreen(c), qBlue(c))) return QColor(c);
    for (int r = 0; r < kCells; ++r)
        for (int g = 0; g < kCells; ++g)
            for (int b = 0; b < kCells; ++b)
                if (!used[cellIndex(r, g, b)])
                    return QColor((r << kCellBits) + 4, (g << kCellBits) + 4, (b << kCellBits) + 4);
    return std::nullopt;
}

qsizetype pixelsOfKey(const QImage& mark, const QColor& key) {
    const QImage argb = argbOf(mark);
    qsizetype n = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 0 && rules::isKeyColour(qRed(line[x]), qGreen(line[x]), qBlue(line[x]),
                                                           key.red(), key.green(), key.blue()))
                ++n;
    }
    return n;
}

QImage keyedPixels(const QImage& mark, const QColor& key) {
    const QImage argb = argbOf(mark);
    QImage out(argb.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(from[x]) != 0 && rules::isKeyColour(qRed(from[x]), qGreen(from[x]), qBlue(from[x]),
                                                           key.red(), key.green(), key.blue()))
                to[x] = qRgba(255, 255, 255, 255);
    }
    return out;
}
