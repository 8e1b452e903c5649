#include "mark/placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const QSize kLogo(606, 179);

// One placement, bottom-right, 3 % from the edges, a fifth of the width, on
// the frames people have: the same rounding every time.
TEST(MarkRect, OnePlacementOnEveryFrame) {
    struct Case {
        QSize frame;
        QRect rect;
    };
    const Case cases[] = {
        {{320, 240}, {246, 214, 64, 19}},      {{1280, 720}, {986, 622, 256, 76}},
        {{1920, 1080}, {1478, 935, 384, 113}}, {{3840, 2160}, {2957, 1868, 768, 227}},
        {{1080, 1920}, {832, 1798, 216, 64}},
    };
    for (const Case& c : cases) {
        const MarkRect r = markRect(kLogo, Anchor::BottomRight, 0.03, 0.03, 0.2, c.frame);
        EXPECT_EQ(r.rect, c.rect) << c.frame.width() << "x" << c.frame.height();
        EXPECT_FALSE(r.shrunk || r.clamped);
    }
}

TEST(MarkRect, EveryAnchorCountsItsMarginFromItsOwnEdges) {
    const QSize frame(1000, 500);
    struct Case {
        Anchor anchor;
        QPoint at;
    };
    // 100 x 30 at margins of 10 % (100 px) and 10 % (50 px); centred axes move by the margin.
    const Case cases[] = {
        {Anchor::TopLeft, {100, 50}},     {Anchor::Top, {550, 50}},     {Anchor::TopRight, {800, 50}},
        {Anchor::Left, {100, 285}},       {Anchor::Centre, {550, 285}}, {Anchor::Right, {800, 285}},
        {Anchor::BottomLeft, {100, 420}}, {Anchor::Bottom, {550, 420}}, {Anchor::BottomRight, {800, 420}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(markRect({100, 30}, c.anchor, 0.1, 0.1, 0.1, frame).rect.topLeft(), c.at)
            << anchorName(c.anchor);
}

TEST(MarkRect, NeverOutsideTheFrameAndSaysWhatGaveWay) {
    // Wider than the frame: scaled to fit by its aspect.
    MarkRect r = markRect(kLogo, Anchor::BottomRight, 0.03, 0.03, 2.0, {320, 240});
    EXPECT_EQ(r.rect, QRect(0, 138, 320, 95));
    EXPECT_TRUE(r.shrunk);
    // Taller than the frame: as high as the frame.
    r = markRect({100, 1000}, Anchor::TopLeft, 0, 0, 0.5, {320, 240});
    EXPECT_EQ(r.rect, QRect(0, 0, 24, 240));
    EXPECT_TRUE(r.shrunk);
    // A margin that would push it out stands it at the edge.
    r = markRect(kLogo, Anchor::TopLeft, 0.95, -0.5, 0.2, {320, 240});
    EXPECT_EQ(r.rect, QRect(256, 0, 64, 19));
    EXPECT_TRUE(r.clamped);
    EXPECT_FALSE(r.shrunk);
    // A vanishing size is still one pixel; nonsense shares change nothing dangerous.
    r = markRect(kLogo, Anchor::TopLeft, 0, 0, 1e-9, {320, 240});
    EXPECT_EQ(r.rect, QRect(0, 0, 1, 1));
    r = markRect(kLogo, Anchor::Centre, std::nan(""), std::numeric_limits<double>::infinity(), std::nan(""),
                 {320, 240});
    EXPECT_TRUE(QRect(0, 0, 320, 240).contains(r.rect));
}

TEST(Placement, APixelPlacesTheTopLeftCornerThereFromTheNearestAnchor) {
    Placement p;
    p.setPicture(QImage(kLogo, QImage::Format_ARGB32));
    p.setWidthShare(0.2);
    struct Case {
        QSize frame;
        QPoint pixel;
        Anchor anchor;
    };
    const Case cases[] = {
        {{1920, 1080}, {0, 0}, Anchor::TopLeft},           {{1920, 1080}, {1478, 935}, Anchor::BottomRight},
        {{1920, 1080}, {768, 483}, Anchor::Centre},        {{1920, 1080}, {1000, 10}, Anchor::Top},
        {{320, 240}, {17, 200}, Anchor::BottomLeft},       {{1080, 1920}, {831, 901}, Anchor::Right},
        {{3840, 2160}, {3071, 1900}, Anchor::BottomRight}, {{333, 777}, {101, 3}, Anchor::Top},
    };
    for (const Case& c : cases) {
        p.placeAt(c.pixel, c.frame);
        EXPECT_EQ(p.anchor(), c.anchor) << c.pixel.x() << "," << c.pixel.y();
        EXPECT_EQ(p.rectIn(c.frame).rect.topLeft(), c.pixel) << c.pixel.x() << "," << c.pixel.y();
    }
    // Past the frame's edge the mark stops at it, wholly inside.
    p.placeAt({1919, 1079}, {1920, 1080});
    EXPECT_EQ(p.rectIn({1920, 1080}).rect, QRect(1536, 967, 384, 113));
    EXPECT_EQ(p.anchor(), Anchor::BottomRight);
}

TEST(Placement, AnAnchorAtAMarginKeepsItsPlaceOnAnyFrame) {
    Placement p;
    p.setPicture(QImage(kLogo, QImage::Format_ARGB32));
    p.setWidthShare(0.2);
    p.moveTo(Anchor::BottomRight, 0.03);
    EXPECT_EQ(p.rectIn({1920, 1080}).rect, QRect(1478, 935, 384, 113));
    EXPECT_EQ(p.rectIn({320, 240}).rect, QRect(246, 214, 64, 19));
    p.moveTo(Anchor::Top, 0.05);
    EXPECT_EQ(p.marginX(), 0.0);
    EXPECT_EQ(p.rectIn({1000, 1000}).rect.topLeft(), QPoint(400, 50));
    p.setOpacity(5);
    EXPECT_EQ(p.opacity(), 10);
    p.setOpacity(140);
    EXPECT_EQ(p.opacity(), 100);
}

}  // namespace
