#include "mark/picture_loader.h"

#include "tests/support/picture_fixtures.h"

#include <QColorSpace>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PictureLoader : public testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    const QImage picture = fixtures::halves(40, 30, Qt::red, Qt::blue);
};

TEST_F(PictureLoader, LoadsEachKindByContentNotByName) {
    // Each kind is saved under another kind's extension.
    ASSERT_TRUE(fixtures::save(picture, path("bmp.jpg"), "BMP"));
    ASSERT_TRUE(fixtures::save(picture, path("jpeg.gif"), "JPG"));
    ASSERT_TRUE(fixtures::writeGif(path("gif.bmp"), {picture}));
    ASSERT_TRUE(fixtures::save(picture, path("png.bmp"), "PNG"));
    std::vector<const char*> names{"bmp.jpg", "jpeg.gif", "gif.bmp", "png.bmp"};
    if (picture::webpSupported()) {
        ASSERT_TRUE(fixtures::save(picture, path("webp.png"), "WEBP"));
        names.push_back("webp.png");
    }
    for (const char* name : names) {
        const QImage got = picture::load(path(name));
        ASSERT_FALSE(got.isNull()) << name;
        EXPECT_EQ(got.size(), QSize(40, 30)) << name;
        // JPEG is lossy: compare colours roughly.
        const QColor left = got.pixelColor(5, 15);
        const QColor right = got.pixelColor(30, 15);
        EXPECT_GT(left.red(), 200) << name;
        EXPECT_LT(left.blue(), 60) << name;
        EXPECT_GT(right.blue(), 200) << name;
        EXPECT_LT(right.red(), 60) << name;
    }
}

TEST_F(PictureLoader, TakesTheFirstFrameOfAGif) {
    const QImage second = fixtures::halves(40, 30, Qt::green, Qt::green);
    ASSERT_TRUE(fixtures::writeGif(path("two.gif"), {picture, second}));
    const QImage got = picture::load(path("two.gif"));
    ASSERT_FALSE(got.isNull());
    EXPECT_EQ(QColor(got.pixel(5, 15)), QColor(Qt::red));
    EXPECT_EQ(QColor(got.pixel(30, 15)), QColor(Qt::blue));
}

// A phone's picture in Display P3: its colours, not its numbers, reach the mark, which is sRGB.
// Without a profile the numbers are sRGB already and stay.
TEST_F(PictureLoader, TakesAPictureWithAProfileIntoSrgb) {
    QImage p3(8, 8, QImage::Format_RGB32);
    p3.fill(QColor(180, 60, 60));
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    ASSERT_TRUE(fixtures::save(p3, path("p3.png"), "PNG"));
    const QImage got = picture::load(path("p3.png"));
    ASSERT_FALSE(got.isNull());
    const QColor c = got.pixelColor(4, 4);
    EXPECT_GT(c.red(), 190);  // P3's red is beyond sRGB's: in sRGB numbers it is redder
    EXPECT_LT(c.green(), 55);
    EXPECT_TRUE(!got.colorSpace().isValid() || got.colorSpace() == QColorSpace::SRgb);

    QImage plain(8, 8, QImage::Format_RGB32);
    plain.fill(QColor(180, 60, 60));
    ASSERT_TRUE(fixtures::save(plain, path("plain.png"), "PNG"));
    EXPECT_EQ(picture::load(path("plain.png")).pixelColor(4, 4), QColor(180, 60, 60));
}

TEST_F(PictureLoader, KeepsThePicturesAlpha) {
    QImage soft(20, 10, QImage::Format_ARGB32);
    soft.fill(Qt::transparent);
    for (int x = 0; x < 20; ++x)
        soft.setPixel(x, 5, qRgba(200, 10, 10, x * 12));
    ASSERT_TRUE(fixtures::save(soft, path("soft.png"), "PNG"));
    const QImage got = picture::load(path("soft.png")).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(got.size(), soft.size());
    EXPECT_EQ(qAlpha(got.pixel(3, 2)), 0);
    EXPECT_EQ(got.pixel(7, 5), soft.pixel(7, 5));
    EXPECT_EQ(qAlpha(got.pixel(19, 5)), 19 * 12);
}

TEST_F(PictureLoader, RefusesEverythingElse) {
    ASSERT_TRUE(fixtures::save(picture, path("tiff.png"), "TIFF") ||
                fixtures::writeBytes(path("tiff.png"), "II*"));
    ASSERT_TRUE(fixtures::writeBytes(path("text.jpg"), "not a picture at all"));
    ASSERT_TRUE(fixtures::writeBytes(path("empty.bmp"), QByteArray()));
    ASSERT_TRUE(fixtures::writeBytes(path("broken.bmp"), QByteArray("BM") + QByteArray(60, '\x07')));
    ASSERT_TRUE(fixtures::writeBytes(path("broken.png"),
                                     QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(40, '\x07')));
    for (const char* name : {"tiff.png", "text.jpg", "empty.bmp", "broken.bmp", "broken.png", "missing.gif"})
        EXPECT_TRUE(picture::load(path(name)).isNull()) << name;
    EXPECT_TRUE(picture::load(dir.path()).isNull());
    EXPECT_TRUE(picture::load(QString()).isNull());
}

}  // namespace
