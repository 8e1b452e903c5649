#include "mark/image_size.h"

#include "tests/support/picture_fixtures.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray be32(quint32 v) {
    QByteArray b;
    for (int shift : {24, 16, 8, 0})
        b.append(char((v >> shift) & 0xFF));
    return b;
}

QByteArray le32(quint32 v) {
    QByteArray b;
    for (int shift : {0, 8, 16, 24})
        b.append(char((v >> shift) & 0xFF));
    return b;
}

QByteArray le16(int v) {
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

QByteArray png(int colourType, quint32 w, quint32 h) {
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + be32(13) + "IHDR" + be32(w) + be32(h) + char(8) +
           char(colourType) + QByteArray(7, '\0');
}

QByteArray gif(int w, int h) {
    return QByteArray("GIF89a") + le16(w) + le16(h) + QByteArray(3, '\0');
}

QByteArray bmp(qint32 w, qint32 h) {
    return QByteArray("BM") + le32(1000) + le32(0) + le32(54) + le32(40) + le32(quint32(w)) +
           le32(quint32(h)) + QByteArray(28, '\0');
}

// A JPEG segment: FF, the marker, the big-endian length (counting itself)
// and the payload.
QByteArray segment(int marker, const QByteArray& payload) {
    const int len = int(payload.size()) + 2;
    return QByteArray(1, char(0xFF)) + char(marker) + char(len >> 8) + char(len & 0xFF) + payload;
}

QByteArray sof(int marker, int h, int w) {
    return segment(marker, QByteArray(1, char(8)) + char(h >> 8) + char(h & 0xFF) + char(w >> 8) +
                               char(w & 0xFF) + QByteArray("\x03\x01\x22\x00", 4));
}

const QByteArray kSoi("\xFF\xD8", 2);
const QByteArray kApp0 = segment(0xE0, QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
const QByteArray kDqt = segment(0xDB, QByteArray(65, '\x10'));

// SOI and APP0, then zeros up to `at`, then a SOF0 of 480 x 640 there.
QByteArray sofAt(int at) {
    QByteArray b = kSoi + kApp0;
    b.append(QByteArray(at - b.size(), '\0'));
    return b + sof(0xC0, 480, 640);
}

struct HeaderCase {
    const char* name;
    QByteArray bytes;
    qint32 width;
    qint32 height;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadImageSizeTable : public testing::TestWithParam<HeaderCase> {
protected:
    QTemporaryDir dir;
};

TEST_P(ReadImageSizeTable, FindsHeaderSize) {
    const HeaderCase& c = GetParam();
    const QString path = dir.filePath(QStringLiteral("picture"));
    ASSERT_TRUE(fixtures::writeBytes(path, c.bytes));
    const imagesize::Size size = imagesize::readImageSize(path);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ReadImageSizeTable,
    testing::Values(
        HeaderCase{"png_grey", png(0, 300, 200), 300, 200}, HeaderCase{"png_rgb", png(2, 300, 200), 300, 200},
        HeaderCase{"png_palette", png(3, 300, 200), 300, 200},
        HeaderCase{"png_grey_alpha", png(4, 300, 200), 300, 200},
        HeaderCase{"png_rgba", png(6, 300, 200), 300, 200},
        HeaderCase{"png_type1_unknown", png(1, 300, 200), 0, 0},
        HeaderCase{"png_type5_unknown", png(5, 300, 200), 0, 0},
        HeaderCase{"png_low_16_bits", png(2, 70000, 65541), 70000 - 65536, 5},
        // An unknown PNG falls through to the JPEG scan.
        HeaderCase{"png_type5_then_jpeg_bytes", png(5, 300, 200) + kSoi + sof(0xC0, 60, 80), 80, 60},
        HeaderCase{"gif", gif(320, 200), 320, 200}, HeaderCase{"gif_large", gif(65535, 258), 65535, 258},
        HeaderCase{"gif_signature_only", QByteArray("GIF"), 0, 0}, HeaderCase{"bmp", bmp(640, 480), 640, 480},
        // Rows stored top-down: the height is negative in the file.
        HeaderCase{"bmp_top_down", bmp(240, -240), 240, 240},
        HeaderCase{"bmp_wider_than_16_bits", bmp(70000, 1), 70000, 1},
        HeaderCase{"jpeg_app0_dqt_sof0", kSoi + kApp0 + kDqt + sof(0xC0, 480, 640), 640, 480},
        // DHT (C4) is not a frame marker: its segment is skipped.
        HeaderCase{"jpeg_dht_then_sof2", kSoi + segment(0xC4, QByteArray(30, '\x01')) + sof(0xC2, 33, 44), 44,
                   33},
        HeaderCase{"jpeg_sof15", kSoi + sof(0xCF, 7, 9), 9, 7},
        HeaderCase{"jpeg_fill_bytes", kSoi + QByteArray("\xFF\xFF", 2) + sof(0xC1, 100, 150), 150, 100},
        // Frame-marker bytes inside a segment are not read as a marker.
        HeaderCase{"jpeg_sof_bytes_inside_app1",
                   kSoi + segment(0xE1, QByteArray(4, '\0') + sof(0xC0, 1, 1) + QByteArray(4, '\0')) +
                       sof(0xC0, 480, 640),
                   640, 480},
        HeaderCase{"jpeg_after_other_bytes", QByteArray(100, 'x') + kSoi + kApp0 + sof(0xC0, 12, 34), 34, 12},
        HeaderCase{"jpeg_sof_at_65524", sofAt(65524), 640, 480},
        // Large EXIF, XMP or profile blocks put the size marker further on.
        HeaderCase{"jpeg_sof_at_65525", sofAt(65525), 640, 480},
        HeaderCase{"jpeg_sof_past_first_64k", sofAt(70000), 640, 480},
        HeaderCase{"jpeg_sof_past_a_megabyte", sofAt((1 << 20) + 5), 640, 480},
        HeaderCase{"jpeg_without_sof_past_64k", sofAt(70000).left(70002), 0, 0},
        HeaderCase{"no_ff_d8_ff", QByteArray("\xFF\xD8\x00\xFF\xC0 plain text", 16), 0, 0},
        HeaderCase{"empty_file", QByteArray(), 0, 0}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST(ReadImageSize, MissingOrNoFileGivesZero) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.gif"));
    ASSERT_TRUE(fixtures::writeBytes(good, gif(320, 200)));
    for (const QString& path : {dir.filePath(QStringLiteral("missing.gif")), QString(), dir.path()}) {
        ASSERT_EQ(imagesize::readImageSize(good).width, 320);
        const imagesize::Size size = imagesize::readImageSize(path);
        EXPECT_EQ(size.width, 0) << path.toStdString();
        EXPECT_EQ(size.height, 0) << path.toStdString();
    }
}

TEST(ReadImageSize, ShortFileIsZeroPaddedNotLeftOver) {
    // The first file leaves non-zero bytes at 6..9; a 3-byte GIF read after it
    // must see zeros there.
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big"));
    const QString tiny = dir.filePath(QStringLiteral("tiny"));
    ASSERT_TRUE(fixtures::writeBytes(big, gif(320, 200)));
    ASSERT_TRUE(fixtures::writeBytes(tiny, QByteArray("GIF")));
    (void)imagesize::readImageSize(big);
    const imagesize::Size size = imagesize::readImageSize(tiny);
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
}

struct RealCase {
    const char* name;
    const char* format;  // QImage writer format, or "GIF" for ours
    QImage::Format pixels;
    int width;
    int height;
};

void PrintTo(const RealCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadImageSizeReal : public testing::TestWithParam<RealCase> {};

TEST_P(ReadImageSizeReal, ReadsPictureMadeByAWriter) {
    const RealCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    const QImage image = fixtures::halves(c.width, c.height, Qt::red, Qt::blue).convertToFormat(c.pixels);
    if (QByteArray(c.format) == "GIF")
        ASSERT_TRUE(fixtures::writeGif(path, {image}));
    else
        ASSERT_TRUE(fixtures::save(image, path, c.format));
    const imagesize::Size size = imagesize::readImageSize(path);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Writers, ReadImageSizeReal,
                         testing::Values(RealCase{"bmp", "BMP", QImage::Format_RGB32, 37, 23},
                                         RealCase{"jpeg", "JPG", QImage::Format_RGB32, 640, 480},
                                         RealCase{"png_rgb", "PNG", QImage::Format_RGB32, 50, 40},
                                         RealCase{"png_grey", "PNG", QImage::Format_Grayscale8, 51, 41},
                                         RealCase{"png_rgba", "PNG", QImage::Format_ARGB32, 52, 42},
                                         RealCase{"gif", "GIF", QImage::Format_RGB32, 320, 200}),
                         [](const testing::TestParamInfo<RealCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
