#include "mark/mark_mask.h"

#include <gtest/gtest.h>

namespace {

// A picture whose every pixel is its own: where each ends up shows the turn.
QImage numbered(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba(x * 10, y * 10, 7, 255));
    return img;
}

TEST(Orientation, TheMaskTurnsBackToTheCodedFramePixelForPixel) {
    const rules::PixelSize coded{5, 3};
    for (int turns = 0; turns < 4; ++turns)
        for (bool mirrored : {false, true}) {
            const rules::Orientation o{turns, mirrored};
            const rules::PixelSize up = rules::uprightSize(coded, o);
            const QImage upright = numbered(up.width, up.height);
            const QImage back = toCodedOrientation(upright, o);
            ASSERT_EQ(back.size(), QSize(coded.width, coded.height)) << turns << mirrored;
            for (int y = 0; y < coded.height; ++y)
                for (int x = 0; x < coded.width; ++x) {
                    const rules::Pixel u = rules::toUpright({x, y}, coded, o);
                    EXPECT_EQ(back.pixel(x, y), upright.pixel(u.x, u.y))
                        << turns << mirrored << " " << x << "," << y;
                    EXPECT_EQ(rules::toCoded(u, coded, o), (rules::Pixel{x, y}));
                }
            EXPECT_EQ(toUprightOrientation(back, o), upright.convertToFormat(back.format()));
        }
}

TEST(Orientation, TurnsTheWayAPlayerShowsARotationTag) {
    // A phone's "rotate 90": shown turned a quarter clockwise, the coded top-left at the top-right.
    const int32_t rotate90[9] = {0, 65536, 0, -65536, 0, 0, 0, 0, 1 << 30};
    const rules::Orientation o = rules::orientationOfMatrix(rotate90);
    EXPECT_EQ(o, (rules::Orientation{1, false}));
    EXPECT_EQ(rules::toUpright({0, 0}, {1920, 1080}, o), (rules::Pixel{1079, 0}));
    const int32_t identity[9] = {65536, 0, 0, 0, 65536, 0, 0, 0, 1 << 30};
    EXPECT_TRUE(rules::orientationOfMatrix(identity).upright());
    const int32_t mirror[9] = {-65536, 0, 0, 0, 65536, 0, 0, 0, 1 << 30};
    EXPECT_EQ(rules::orientationOfMatrix(mirror), (rules::Orientation{0, true}));
    EXPECT_EQ(rules::orientationOfDegrees(-90), (rules::Orientation{3, false}));
}

TEST(MakeMask, AnOpaqueMarkAtFullOpacityIsTheKeyWithTheMarkOnIt) {
    QImage mark(3, 2, QImage::Format_ARGB32);
    mark.fill(qRgba(10, 200, 30, 255));
    const Mask m = makeMask(mark, QRect(2, 1, 3, 2), QSize(6, 4), QColor(255, 0, 255), 100, {});
    EXPECT_FALSE(m.withAlpha);
    ASSERT_EQ(m.image.size(), QSize(6, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool in = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(m.image.pixel(x, y) & 0xffffff, in ? 0x0ac81eu : 0xff00ffu) << x << "," << y;
        }
}

TEST(MakeMask, AlphaOrOpacityMakeTheMaskWithAlphaTurnedForTheCodedFrame) {
    QImage mark(2, 1, QImage::Format_ARGB32);
    mark.setPixel(0, 0, qRgba(255, 0, 0, 128));
    mark.setPixel(1, 0, qRgba(0, 0, 255, 255));
    // Upright 3 x 4 (a coded 4 x 3 frame turned a quarter clockwise), the mark at the top right.
    const Mask m = makeMask(mark, QRect(1, 0, 2, 1), QSize(3, 4), Qt::black, 100, {1, false});
    EXPECT_TRUE(m.withAlpha);
    ASSERT_EQ(m.image.size(), QSize(4, 3));
    // The upright top-right corner is the coded top-left.
    EXPECT_EQ(m.image.pixel(0, 0), qRgba(0, 0, 255, 255));
    EXPECT_EQ(m.image.pixel(0, 1), qRgba(255, 0, 0, 128));
    EXPECT_EQ(qAlpha(m.image.pixel(3, 2)), 0);

    // No mark: the key colour alone, whatever the rectangle says.
    const Mask none = makeMask(QImage(), QRect(0, 0, 5, 5), QSize(4, 4), Qt::green, 100, {});
    EXPECT_EQ(none.image.pixel(1, 1) & 0xffffff, 0x00ff00u);

    QImage opaque(1, 1, QImage::Format_ARGB32);
    opaque.fill(Qt::red);
    EXPECT_TRUE(makeMask(opaque, QRect(0, 0, 1, 1), QSize(2, 2), Qt::black, 50, {}).withAlpha);
}

TEST(LaidMark, OwnSizeKeepsThePixelsAndScalingKeepsTheWholePicture) {
    const QImage picture = numbered(20, 10);
    EXPECT_EQ(laidMark(picture, QSize(20, 10)), picture);
    const QImage half = laidMark(picture, QSize(10, 5));
    ASSERT_EQ(half.size(), QSize(10, 5));
    // The far corner still comes from the picture's far corner: nothing cut.
    EXPECT_GT(qRed(half.pixel(9, 4)), 170);
    EXPECT_GT(qGreen(half.pixel(9, 4)), 70);
}

}  // namespace

// A mark that would leave the video as it is: Start refuses it.
TEST(LaysAnything, OnlyAMarkThatChangesSomePixelOfTheFrame) {
    const QSize frame(64, 48);
    const QColor key(255, 0, 255);
    QImage opaque(16, 8, QImage::Format_ARGB32);
    opaque.fill(QColor(200, 30, 30));
    QImage clear(16, 8, QImage::Format_ARGB32);
    clear.fill(QColor(200, 30, 30, 0));
    QImage faint = clear.copy();
    faint.setPixelColor(3, 3, QColor(200, 30, 30, 1));  // weight 0 at 10 %, 1 at 100 %
    QImage keyed(16, 8, QImage::Format_ARGB32);
    keyed.fill(QColor(250, 10, 240));  // within the key's tolerance
    const struct {
        const char* name;
        QImage mark;
        QRect rect;
        int opacity;
        bool lays;
    } cases[] = {
        {"opaque, inside", opaque, QRect(QPoint(4, 4), opaque.size()), 100, true},
        {"opaque, half", opaque, QRect(QPoint(56, 44), opaque.size()), 40, true},
        {"opaque, wholly off the frame", opaque, QRect(QPoint(64, 10), opaque.size()), 100, false},
        {"opaque, off above the frame", opaque, QRect(QPoint(4, -8), opaque.size()), 100, false},
        {"fully transparent", clear, QRect(QPoint(4, 4), clear.size()), 100, false},
        {"one faint pixel at full opacity", faint, QRect(QPoint(4, 4), faint.size()), 100, true},
        {"one faint pixel at 10 %", faint, QRect(QPoint(4, 4), faint.size()), 10, false},
        {"all of the key colour", keyed, QRect(QPoint(4, 4), keyed.size()), 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Mask mask = makeMask(c.mark, c.rect, frame, key, c.opacity, {});
        EXPECT_EQ(laysAnything(mask, key, c.opacity), c.lays);
    }
}
