#include "app/shell.h"
#include "jobs/program_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

struct ColourCase {
    int r, g, b;
    const char* text;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.text;
}

class RgbHexTextTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(RgbHexTextTest, GivesUpperCaseDigitsWithoutLeadingZeros) {
    const ColourCase c = GetParam();
    EXPECT_EQ(rgbHexText(c.r, c.g, c.b).toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(Colours, RgbHexTextTest,
                         ::testing::Values(ColourCase{200, 200, 200, "&HC8C8C8"}, ColourCase{0, 0, 0, "&H0"},
                                           ColourCase{255, 0, 0, "&HFF"}, ColourCase{0, 0, 255, "&HFF0000"},
                                           ColourCase{1, 2, 3, "&H30201"}));

TEST(RgbHexText, ComponentOutsideAByteIsAnOverflow) {
    EXPECT_THROW(rgbHexText(256, 0, 0), std::overflow_error);
    EXPECT_THROW(rgbHexText(0, -1, 0), std::overflow_error);
    EXPECT_THROW(rgbHexText(0, 0, 300), std::overflow_error);
}

TEST(HexText, NegativeNumbersGiveEightDigits) {
    EXPECT_EQ(hexText(255).toStdString(), "&HFF");
    EXPECT_EQ(hexText(-1).toStdString(), "&HFFFFFFFF");
    EXPECT_EQ(hexText(-256).toStdString(), "&HFFFFFF00");
    EXPECT_EQ(colorFromHexText(rgbHexText(200, 100, 50)), QColor(200, 100, 50));
}

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("data");
}

bool safeToken(const QString& s) {
    for (const QChar c : s) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || c == u'"' || c == u'\\') return false;
    }
    return true;
}

}  // namespace

TEST(CommandLineSafePath, EmptyAndMissingPathsGiveEmpty) {
    QTemporaryDir dir;
    EXPECT_EQ(commandLineSafePath(QString()), QString());
    EXPECT_EQ(commandLineSafePath(dir.filePath(QStringLiteral("missing.avi"))), QString());
    EXPECT_EQ(commandLineSafePath(dir.filePath(QStringLiteral("no dir/clip.avi"))), QString());
}

TEST(CommandLineSafePath, SafePathIsReturnedUnchanged) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("clip_1-a.avi"));
    touch(file);
    EXPECT_EQ(commandLineSafePath(file), file);
    EXPECT_EQ(commandLineSafePath(dir.path()), dir.path());
}

TEST(CommandLineSafePath, UnsafeNamesGetASafeAliasOfTheSameFile) {
    QTemporaryDir dir;
    const QStringList names = {QStringLiteral("holiday trip.avi"), QStringLiteral("clip\" -f x \"y.avi"),
                               QStringLiteral("back\\slash.mov"), QStringLiteral("Überfahrt.mpg"),
                               QStringLiteral("tab\there.avi")};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString file = dir.filePath(name);
        touch(file);
        const QString alias = commandLineSafePath(file);
        ASSERT_FALSE(alias.isEmpty());
        EXPECT_TRUE(safeToken(alias)) << alias.toStdString();
        EXPECT_EQ(QFileInfo(alias).canonicalFilePath(), QFileInfo(file).canonicalFilePath());
        EXPECT_EQ(QFileInfo(alias).suffix(), QFileInfo(file).suffix());
        // Asking again gives the same alias.
        EXPECT_EQ(commandLineSafePath(file), alias);
    }
}

TEST(CommandLineSafePath, AliasOfAFolderServesPathsBelowIt) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("my videos"));
    ASSERT_TRUE(QDir().mkdir(folder));
    touch(folder + QStringLiteral("/mask.bmp"));
    const QString alias = commandLineSafePath(folder);
    ASSERT_FALSE(alias.isEmpty());
    EXPECT_TRUE(safeToken(alias));
    EXPECT_TRUE(QFileInfo::exists(alias + QStringLiteral("/mask.bmp")));
    EXPECT_EQ(QFileInfo(alias + QStringLiteral("/mask.bmp")).canonicalFilePath(),
              QFileInfo(folder + QStringLiteral("/mask.bmp")).canonicalFilePath());
}
