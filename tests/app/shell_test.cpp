#include "app/shell.h"

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
