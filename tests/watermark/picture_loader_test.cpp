#include "watermark/picture_loader.h"

#include "tests/support/picture_fixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PictureLoader : public testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    const QImage picture = fixtures::halves(40, 30, Qt::red, Qt::blue);
};

TEST_F(PictureLoader, LoadsBmpJpegAndGifByContentNotByName) {
    // Each kind is saved under another kind's extension.
    ASSERT_TRUE(fixtures::save(picture, path("bmp.jpg"), "BMP"));
    ASSERT_TRUE(fixtures::save(picture, path("jpeg.gif"), "JPG"));
    ASSERT_TRUE(fixtures::writeGif(path("gif.bmp"), {picture}));
    for (const char* name : {"bmp.jpg", "jpeg.gif", "gif.bmp"}) {
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

TEST_F(PictureLoader, RefusesPngAndEverythingElse) {
    ASSERT_TRUE(fixtures::save(picture, path("real.png"), "PNG"));
    ASSERT_TRUE(fixtures::save(picture, path("png.bmp"), "PNG"));
    ASSERT_TRUE(fixtures::writeBytes(path("text.jpg"), "not a picture at all"));
    ASSERT_TRUE(fixtures::writeBytes(path("empty.bmp"), QByteArray()));
    ASSERT_TRUE(fixtures::writeBytes(path("broken.bmp"), QByteArray("BM") + QByteArray(60, '\x07')));
    for (const char* name : {"real.png", "png.bmp", "text.jpg", "empty.bmp", "broken.bmp", "missing.gif"})
        EXPECT_TRUE(picture::load(path(name)).isNull()) << name;
    EXPECT_TRUE(picture::load(dir.path()).isNull());
    EXPECT_TRUE(picture::load(QString()).isNull());
}

}  // namespace
