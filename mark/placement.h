// What the user decided about the mark, free of widgets and of any one video:
// the picture, where it sits (an anchor and the margins from it, as shares of
// the upright frame), how wide it is (a share of the frame's width, its
// height by the picture's aspect), the key colour and the opacity. The
// positioning window shows and edits it; the masks are made from it for
// whatever frame the video has.
#pragma once

#include "mark/text_mark.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>
#include <optional>

enum class Anchor { TopLeft, Top, TopRight, Left, Centre, Right, BottomLeft, Bottom, BottomRight };

// The nine anchors in reading order, as the place control lays them out.
inline constexpr std::array<Anchor, 9> kAnchors{Anchor::TopLeft,    Anchor::Top,    Anchor::TopRight,
                                                Anchor::Left,       Anchor::Centre, Anchor::Right,
                                                Anchor::BottomLeft, Anchor::Bottom, Anchor::BottomRight};

// "Top left" … "Bottom right".
const char* anchorName(Anchor anchor);

// The mark's rectangle in one frame, and what had to give way for it.
struct MarkRect {
    QRect rect;
    bool shrunk = false;   // the mark was larger than the frame and is scaled to fit
    bool clamped = false;  // a margin would have pushed it out; it stands at the edge
};

// Where a mark of `picture` pixels stands in a `frame`-sized upright frame:
// width round(widthShare x frame width), height by the picture's aspect, both
// at least 1; never outside the frame. Margins count from the anchor's edges
// (round(share x frame side) pixels); on an axis where the anchor is centred
// the margin moves the mark from the centre, positive to the right or down.
MarkRect markRect(QSize picture, Anchor anchor, double marginX, double marginY, double widthShare,
                  QSize frame);

class Placement {
public:
    // The whole picture, with its alpha; the mark is always all of it.
    const QImage& picture() const { return picture_; }
    void setPicture(const QImage& picture) { picture_ = picture; }
    // A text mark (filled for the video): the picture is its drawing at 100 %,
    // and the mark is drawn again at whatever size it is laid. Nothing for a
    // picture mark.
    const std::optional<TextMark>& text() const { return text_; }
    void setText(const std::optional<TextMark>& text) { text_ = text; }

    Anchor anchor() const { return anchor_; }
    double marginX() const { return marginX_; }
    double marginY() const { return marginY_; }
    double widthShare() const { return widthShare_; }
    void setWidthShare(double share);

    // The mark at `anchor`, `margin` of the frame's width and height from
    // its edges (no offset on a centred axis).
    void moveTo(Anchor anchor, double margin);
    // The mark with its top-left corner on `pixel` of a `frame`-sized frame:
    // the anchor nearest to where the mark then stands (its centre's third
    // of the frame on each axis) and the margins that give back that pixel.
    void placeAt(QPoint pixel, QSize frame);
    // Margins from the anchor's edges as they are, for a remembered place.
    void setMargins(double marginX, double marginY);
    // The mark as wide as `pixels` are in a frame `frameWidth` wide.
    void setPixelWidth(int pixels, int frameWidth);

    MarkRect rectIn(QSize frame) const;

    // The key colour the user picked; nothing while the program chooses one
    // the mark does not use.
    const std::optional<QColor>& pickedKey() const { return pickedKey_; }
    void setPickedKey(const std::optional<QColor>& key) { pickedKey_ = key; }

    // How much of the mark covers the video, 10..100 per cent.
    int opacity() const { return opacity_; }
    void setOpacity(int percent);

    bool operator==(const Placement& other) const;

private:
    QImage picture_;
    std::optional<TextMark> text_;
    Anchor anchor_ = Anchor::TopLeft;
    double marginX_ = 0, marginY_ = 0;
    double widthShare_ = 0.2;
    std::optional<QColor> pickedKey_;
    int opacity_ = 100;
};
