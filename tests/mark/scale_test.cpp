#include "mark/scale.h"

#include <gtest/gtest.h>

namespace {

struct ZoomCase {
    QSize picture;
    int percent;
    QSize mark;
};

TEST(ZoomedSize, ScalesTheWholePictureKeepingItsAspect) {
    const ZoomCase cases[] = {
        {{606, 179}, 100, {606, 179}},  // a wide logo keeps its own pixels at 100 %
        {{606, 179}, 37, {224, 66}},    {{4000, 3000}, 100, {4000, 3000}},  // no 240-pixel limit
        {{4000, 3000}, 10, {400, 300}}, {{150, 300}, 50, {75, 150}},
        {{1000, 1}, 1, {10, 1}},    // never 0 high
        {{1, 1000}, 1, {1, 1000}},  // never 0 wide; the height follows the width
        {{606, 179}, 0, {6, 2}},    // the zoom is at least 1 %
        {{606, 179}, 250, {606, 179}},
    };
    for (const ZoomCase& c : cases)
        EXPECT_EQ(zoom::zoomedSize(c.picture, c.percent), c.mark)
            << c.picture.width() << "x" << c.picture.height() << " at " << c.percent;
}

TEST(FittedIn, ShrinksByOneFactorOnlyWhatDoesNotFit) {
    const QSize box(240, 240);
    EXPECT_EQ(zoom::fittedIn({200, 100}, box), QSize(200, 100));
    EXPECT_EQ(zoom::fittedIn({240, 240}, box), QSize(240, 240));
    EXPECT_EQ(zoom::fittedIn({606, 179}, box), QSize(240, 71));
    EXPECT_EQ(zoom::fittedIn({4000, 3000}, box), QSize(240, 180));
    EXPECT_EQ(zoom::fittedIn({150, 3000}, box), QSize(12, 240));
    EXPECT_EQ(zoom::fittedIn({10000, 1}, box), QSize(240, 1));
}

}  // namespace
