// The bitmap bytes the encoder's watermark module reads, and the colour text.
#include "mark/bmp_file.h"
#include "mark/color_text.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>

namespace {

quint32 u32(const QByteArray& b, int at) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

quint16 u16(const QByteArray& b, int at) {
    return static_cast<quint16>(static_cast<quint8>(b[at]) | static_cast<quint8>(b[at + 1]) << 8);
}

// Every pixel different, so that a swapped row, column or channel shows.
QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7 + y) & 0xff, (y * 13 + 5) & 0xff, (x * 3 + y * 11 + 1) & 0xff));
    return img;
}

struct SizeCase {
    int width, height;
    qint64 stride;
    qint64 fileSize;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height;
}

class BmpLayout : public testing::TestWithParam<SizeCase> {};

TEST_P(BmpLayout, HeadersSizeAndRowPaddingMatchTheFormat) {
    const SizeCase c = GetParam();
    const QByteArray b = bmp::encode24(pattern(c.width, c.height));
    ASSERT_EQ(b.size(), c.fileSize);
    EXPECT_EQ(bmp::fileSize(c.width, c.height), c.fileSize);
    EXPECT_EQ(b.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(b, 2), c.fileSize);
    EXPECT_EQ(u16(b, 6), 0);
    EXPECT_EQ(u16(b, 8), 0);
    EXPECT_EQ(u32(b, 10), 54u);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), static_cast<quint32>(c.width));
    EXPECT_EQ(static_cast<qint32>(u32(b, 22)), c.height);  // positive: bottom-up
    EXPECT_EQ(u16(b, 26), 1);
    EXPECT_EQ(u16(b, 28), 24);
    EXPECT_EQ(u32(b, 30), 0u);  // no compression
    EXPECT_EQ(bmp::rowStride(c.width), c.stride);
    // The padding bytes of every row are zero.
    const qint64 used = qint64(c.width) * 3;
    for (qint64 y = 0; y < c.height; ++y)
        for (qint64 i = used; i < c.stride; ++i)
            ASSERT_EQ(b[static_cast<int>(54 + y * c.stride + i)], '\0') << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Sizes, BmpLayout,
                         testing::Values(SizeCase{240, 180, 720, 129654},       // a landscape preview
                                         SizeCase{240, 240, 720, 172854},       // the largest preview
                                         SizeCase{75, 50, 228, 54 + 50 * 228},  // 225 + 3 padding
                                         SizeCase{1, 1, 4, 58}, SizeCase{2, 3, 8, 78}, SizeCase{3, 1, 12, 66},
                                         SizeCase{320, 240, 960, 230454}));

TEST(BmpPixels, BottomRowFirstInBlueGreenRedOrder) {
    QImage img(3, 2, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(1, 2, 3));
    img.setPixel(1, 0, qRgb(4, 5, 6));
    img.setPixel(2, 0, qRgb(7, 8, 9));
    img.setPixel(0, 1, qRgb(10, 11, 12));
    img.setPixel(1, 1, qRgb(13, 14, 15));
    img.setPixel(2, 1, qRgb(16, 17, 18));
    const QByteArray b = bmp::encode24(img);
    const unsigned char want[] = {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,  // bottom row (y = 1)
                                  3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0};
    ASSERT_EQ(b.size(), 54 + 24);
    EXPECT_EQ(std::memcmp(b.constData() + 54, want, sizeof want), 0);
}

TEST(BmpPixels, AlphaIsDroppedNotBlended) {
    QImage img(1, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(200, 100, 50, 255));
    const QByteArray b = bmp::encode24(img);
    EXPECT_EQ(static_cast<quint8>(b[54]), 50);
    EXPECT_EQ(static_cast<quint8>(b[55]), 100);
    EXPECT_EQ(static_cast<quint8>(b[56]), 200);
}

TEST(BmpRoundTrip, DecodeGivesBackEveryPixel) {
    for (const QSize s : {QSize(75, 50), QSize(1, 1), QSize(240, 180), QSize(6, 3)}) {
        const QImage img = pattern(s.width(), s.height());
        const auto back = bmp::decode24(bmp::encode24(img));
        ASSERT_TRUE(back) << s.width() << "x" << s.height();
        EXPECT_EQ(*back, img) << s.width() << "x" << s.height();
    }
}

TEST(BmpRoundTrip, TopDownRowsAreReadToo) {
    const QImage img = pattern(5, 4);
    QByteArray b = bmp::encode24(img);
    // Flip the stored rows and negate the height: the same picture.
    const int stride = static_cast<int>(bmp::rowStride(5));
    QByteArray flipped = b.left(54);
    for (int y = 3; y >= 0; --y)
        flipped += b.mid(54 + y * stride, stride);
    const qint32 negative = -4;
    std::memcpy(flipped.data() + 22, &negative, 4);
    const auto back = bmp::decode24(flipped);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, img);
}

TEST(BmpDecode, RefusesOtherLayoutsAndCutFiles) {
    const QByteArray good = bmp::encode24(pattern(4, 3));
    auto patched = [&](int at, QByteArray bytes) {
        QByteArray b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    const struct {
        const char* what;
        QByteArray bytes;
    } bad[] = {
        {"empty", QByteArray()},
        {"header only, cut", good.left(40)},
        {"pixels cut", good.left(good.size() - 1)},
        {"not BM", patched(0, "BN")},
        {"8 bits", patched(28, QByteArray("\x08\x00", 2))},
        {"compressed", patched(30, QByteArray("\x01\x00\x00\x00", 4))},
        {"zero width", patched(18, QByteArray(4, '\0'))},
        {"zero height", patched(22, QByteArray(4, '\0'))},
        {"offset inside the header", patched(10, QByteArray("\x20\x00\x00\x00", 4))},
        {"two planes", patched(26, QByteArray("\x02\x00", 2))},
        // Rows times height past 64 bits must not wrap into a small size.
        {"huge width and height", patched(18, QByteArray("\xff\xff\xff\x7f\xff\xff\xff\x7f", 8))},
        {"huge width, top-down", patched(18, QByteArray("\xff\xff\xff\x7f\x01\x00\x00\x80", 8))},
        {"offset past the end", patched(10, QByteArray("\xff\xff\xff\xff", 4))},
    };
    for (const auto& c : bad)
        EXPECT_FALSE(bmp::decode24(c.bytes)) << c.what;
    EXPECT_TRUE(bmp::decode24(good));
}

TEST(BmpEncode, NothingForAnEmptyPicture) {
    EXPECT_TRUE(bmp::encode24(QImage()).isEmpty());
    QString why;
    QTemporaryDir dir;
    EXPECT_FALSE(bmp::write24(dir.filePath("x.bmp"), QImage(), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("x.bmp")));
}

TEST(BmpFile, WriteMakesANewFileAndReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath("temp.bmp");
    QString why;
    ASSERT_TRUE(bmp::write24(path, pattern(240, 180), &why)) << why.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 129654);
    const auto back = bmp::read24(path, &why);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, pattern(240, 180));
    // A name already taken is refused, the file left as it was.
    EXPECT_FALSE(bmp::write24(path, pattern(9, 9), &why));
    EXPECT_EQ(*bmp::read24(path, &why), pattern(240, 180));
}

// A link planted at the bitmap's name is never written through, dangling or
// not.
TEST(BmpFile, APlantedLinkIsRefusedAndItsTargetKept) {
    QTemporaryDir dir;
    const QString target = dir.filePath("precious.txt");
    QFile precious(target);
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.write("the user's data");
    precious.close();
    ASSERT_TRUE(QFile::link(target, dir.filePath("mask.bmp")));
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere.txt"), dir.filePath("temp.bmp")));
    QString why;
    EXPECT_FALSE(bmp::write24(dir.filePath("mask.bmp"), pattern(4, 4), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(bmp::write32(dir.filePath("temp.bmp"), pattern(4, 4), &why));
    ASSERT_TRUE(precious.open(QIODevice::ReadOnly));
    EXPECT_EQ(precious.readAll(), QByteArray("the user's data"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nowhere.txt")));
}

TEST(BmpFile, FailuresSayWhyAndKeepTheOldFile) {
    QTemporaryDir dir;
    QString why;
    // A folder in the way cannot be replaced, not even by root.
    ASSERT_TRUE(QDir(dir.path()).mkdir("mask.bmp"));
    EXPECT_FALSE(bmp::write24(dir.filePath("mask.bmp"), pattern(2, 2), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath("mask.bmp")).isDir());

    why.clear();
    EXPECT_FALSE(bmp::read24(dir.filePath("missing.bmp"), &why));
    EXPECT_FALSE(why.isEmpty());

    QFile junk(dir.filePath("junk.bmp"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("GIF89a");
    junk.close();
    why.clear();
    EXPECT_FALSE(bmp::read24(junk.fileName(), &why));
    EXPECT_FALSE(why.isEmpty());
}

struct ColorCase {
    const char* text;
    int r, g, b;  // r < 0: not a colour
};

void PrintTo(const ColorCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ColorText : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorText, ReadsSixHexDigitsOnly) {
    const ColorCase c = GetParam();
    const auto color = colorFromRrggbb(QString::fromUtf8(c.text));
    if (c.r < 0) {
        EXPECT_FALSE(color);
        return;
    }
    ASSERT_TRUE(color);
    EXPECT_EQ(*color, QColor(c.r, c.g, c.b));
}

INSTANTIATE_TEST_SUITE_P(Texts, ColorText,
                         testing::Values(ColorCase{"c0c0ff", 192, 192, 255},
                                         ColorCase{"C0C0FF", 192, 192, 255}, ColorCase{"ff0000", 255, 0, 0},
                                         ColorCase{"000080", 0, 0, 128},
                                         ColorCase{"aBcDeF", 0xab, 0xcd, 0xef},
                                         ColorCase{"RGB Value", -1, 0, 0}, ColorCase{"", -1, 0, 0},
                                         ColorCase{"fffff", -1, 0, 0}, ColorCase{"fffffff", -1, 0, 0},
                                         ColorCase{"gg0000", -1, 0, 0}, ColorCase{"zzzzzz", -1, 0, 0},
                                         ColorCase{"+12345", -1, 0, 0}, ColorCase{" 12345", -1, 0, 0},
                                         ColorCase{"12345 ", -1, 0, 0}, ColorCase{"0x1234", -1, 0, 0},
                                         ColorCase{"&H1234", -1, 0, 0}, ColorCase{"１２３４５６", -1, 0, 0}));

TEST(ColorText, WritesSixLowerCaseDigits) {
    EXPECT_EQ(rrggbbOf(QColor(255, 0, 255)), "ff00ff");
    EXPECT_EQ(rrggbbOf(QColor(0, 0, 0)), "000000");
    EXPECT_EQ(rrggbbOf(QColor(1, 2, 10)), "01020a");
    EXPECT_EQ(rrggbbOf(*colorFromRrggbb("C0FFC0")), "c0ffc0");
}

}  // namespace
