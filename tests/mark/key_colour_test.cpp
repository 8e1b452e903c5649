#include "mark/key_colour.h"

#include "rules/mark_rules.h"

#include <gtest/gtest.h>

namespace {

bool markUses(const QImage& mark, const QColor& key) {
    return pixelsOfKey(mark, key) > 0;
}

// A logo with near-black text on transparency, an opaque one with black text
// on white, and one that uses the usual keys: the program's key takes nothing.
TEST(UnusedKeyColour, NeverOneTheMarkUses) {
    QImage nearBlackText(60, 20, QImage::Format_ARGB32);
    nearBlackText.fill(Qt::transparent);
    for (int x = 5; x < 55; ++x)
        nearBlackText.setPixel(x, 10, qRgba(20, 18, 25, 255));
    QImage blackOnWhite(60, 20, QImage::Format_RGB32);
    blackOnWhite.fill(Qt::white);
    for (int x = 5; x < 55; ++x)
        blackOnWhite.setPixel(x, 10, qRgb(0, 0, 0));
    QImage primaries(8, 1, QImage::Format_RGB32);
    const QRgb used[] = {0xff00ff, 0x00ff00, 0x0000ff, 0x00ffff, 0xff0000, 0xffff00, 0x000000, 0xffffff};
    for (int x = 0; x < 8; ++x)
        primaries.setPixel(x, 0, used[x]);
    for (const QImage& mark : {nearBlackText, blackOnWhite, primaries}) {
        const std::optional<QColor> key = unusedKeyColour(mark);
        ASSERT_TRUE(key);
        EXPECT_FALSE(markUses(mark, *key)) << key->name().toStdString();
    }
    EXPECT_EQ(unusedKeyColour(blackOnWhite), QColor(0xff00ff));
}

TEST(UnusedKeyColour, TransparentPixelsUseNothingAndAFullMarkLeavesNone) {
    QImage clear(4, 4, QImage::Format_ARGB32);
    clear.fill(QColor(255, 0, 255, 0));
    EXPECT_EQ(unusedKeyColour(clear), QColor(0xff00ff));
    // Every colour 16 levels apart: nothing is left free.
    QImage all(17 * 17, 17, QImage::Format_RGB32);
    for (int r = 0; r < 17; ++r)
        for (int g = 0; g < 17; ++g)
            for (int b = 0; b < 17; ++b)
                all.setPixel(r * 17 + g, b,
                             qRgb(std::min(255, r * 16), std::min(255, g * 16), std::min(255, b * 16)));
    EXPECT_FALSE(unusedKeyColour(all));
}

TEST(PixelsOfKey, CountsVisiblePixelsWithinTheTolerance) {
    QImage mark(4, 1, QImage::Format_ARGB32);
    mark.setPixel(0, 0, qRgba(0, 0, 0, 255));
    mark.setPixel(1, 0, qRgba(rules::kKeyTolerance, 0, 0, 255));
    mark.setPixel(2, 0, qRgba(rules::kKeyTolerance + 1, 0, 0, 255));
    mark.setPixel(3, 0, qRgba(0, 0, 0, 0));  // invisible: takes nothing away
    EXPECT_EQ(pixelsOfKey(mark, Qt::black), 2);
    const QImage shown = keyedPixels(mark, Qt::black);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(shown.pixel(2, 0)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(3, 0)), 0);
}

}  // namespace
