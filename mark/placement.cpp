#include "mark/placement.h"

#include "rules/mark_rules.h"

#include <algorithm>
#include <cmath>

namespace {

enum class Side { Start, Middle, End };

Side horizontal(Anchor a) {
    switch (a) {
        case Anchor::TopLeft:
        case Anchor::Left:
        case Anchor::BottomLeft:
            return Side::Start;
        case Anchor::Top:
        case Anchor::Centre:
        case Anchor::Bottom:
            return Side::Middle;
        default:
            return Side::End;
    }
}

Side vertical(Anchor a) {
    switch (a) {
        case Anchor::TopLeft:
        case Anchor::Top:
        case Anchor::TopRight:
            return Side::Start;
        case Anchor::Left:
        case Anchor::Centre:
        case Anchor::Right:
            return Side::Middle;
        default:
            return Side::End;
    }
}

Anchor anchorOf(Side h, Side v) {
    return kAnchors[static_cast<size_t>(static_cast<int>(v) * 3 + static_cast<int>(h))];
}

int roundToInt(double v) {
    return static_cast<int>(std::lround(v));
}

// The mark's start on one axis, and whether it had to be pulled back inside.
int placeOnAxis(Side side, double margin, int length, int frame, bool& clamped) {
    const int m = roundToInt(margin * frame);
    int at = 0;
    switch (side) {
        case Side::Start:
            at = m;
            break;
        case Side::Middle:
            at = (frame - length) / 2 + m;
            break;
        case Side::End:
            at = frame - length - m;
            break;
    }
    const int fitted = std::clamp(at, 0, frame - length);
    clamped = clamped || fitted != at;
    return fitted;
}

// The margin, as a share of `frame`, that puts the mark's start on `at`.
double marginFor(Side side, int at, int length, int frame) {
    switch (side) {
        case Side::Start:
            return double(at) / frame;
        case Side::Middle:
            return double(at - (frame - length) / 2) / frame;
        case Side::End:
            return double(frame - length - at) / frame;
    }
    return 0;
}

Side nearestSide(int at, int length, int frame) {
    // The mark's centre, doubled to stay in whole numbers, against the thirds.
    const long long centre2 = 2LL * at + length;
    if (3 * centre2 < 2LL * frame) return Side::Start;
    if (3 * centre2 > 4LL * frame) return Side::End;
    return Side::Middle;
}

}  // namespace

const char* anchorName(Anchor anchor) {
    static constexpr std::array<const char*, 9> names{
        "Top left", "Top", "Top right", "Left", "Centre", "Right", "Bottom left", "Bottom", "Bottom right"};
    return names[static_cast<size_t>(anchor)];
}

MarkRect markRect(QSize picture, Anchor anchor, double marginX, double marginY, double widthShare,
                  QSize frame) {
    MarkRect out;
    const int fw = std::max(1, frame.width()), fh = std::max(1, frame.height());
    const int pw = std::max(1, picture.width()), ph = std::max(1, picture.height());
    const double share = std::isfinite(widthShare) && widthShare > 0 ? widthShare : 0;
    int w = std::max(1, roundToInt(std::min(share, 1e6) * fw));
    int h = std::max(1, roundToInt(double(w) * ph / pw));
    if (w > fw) {
        w = fw;
        h = std::max(1, roundToInt(double(fw) * ph / pw));
        out.shrunk = true;
    }
    if (h > fh) {
        h = fh;
        w = std::clamp(roundToInt(double(fh) * pw / ph), 1, fw);
        out.shrunk = true;
    }
    const double mx = std::isfinite(marginX) ? std::clamp(marginX, -1e6, 1e6) : 0;
    const double my = std::isfinite(marginY) ? std::clamp(marginY, -1e6, 1e6) : 0;
    const int x = placeOnAxis(horizontal(anchor), mx, w, fw, out.clamped);
    const int y = placeOnAxis(vertical(anchor), my, h, fh, out.clamped);
    out.rect = QRect(x, y, w, h);
    return out;
}

void Placement::setWidthShare(double share) {
    if (std::isfinite(share) && share > 0) widthShare_ = share;
}

void Placement::moveTo(Anchor anchor, double margin) {
    anchor_ = anchor;
    const double m = std::isfinite(margin) ? std::max(0.0, margin) : 0;
    marginX_ = horizontal(anchor) == Side::Middle ? 0 : m;
    marginY_ = vertical(anchor) == Side::Middle ? 0 : m;
}

void Placement::setMargins(double marginX, double marginY) {
    marginX_ = std::isfinite(marginX) ? marginX : 0;
    marginY_ = std::isfinite(marginY) ? marginY : 0;
}

void Placement::placeAt(QPoint pixel, QSize frame) {
    const int fw = std::max(1, frame.width()), fh = std::max(1, frame.height());
    const QRect r = rectIn(frame).rect;
    const int x = std::clamp(pixel.x(), 0, fw - r.width());
    const int y = std::clamp(pixel.y(), 0, fh - r.height());
    const Side h = nearestSide(x, r.width(), fw);
    const Side v = nearestSide(y, r.height(), fh);
    anchor_ = anchorOf(h, v);
    marginX_ = marginFor(h, x, r.width(), fw);
    marginY_ = marginFor(v, y, r.height(), fh);
}

void Placement::setPixelWidth(int pixels, int frameWidth) {
    if (pixels > 0 && frameWidth > 0) widthShare_ = double(pixels) / frameWidth;
}

MarkRect Placement::rectIn(QSize frame) const {
    return markRect(picture_.size(), anchor_, marginX_, marginY_, widthShare_, frame);
}

void Placement::setOpacity(int percent) {
    opacity_ = std::clamp(percent, rules::kMinOpacity, rules::kFullOpacity);
}

bool Placement::operator==(const Placement& o) const {
    return picture_ == o.picture_ && text_ == o.text_ && anchor_ == o.anchor_ && marginX_ == o.marginX_ &&
           marginY_ == o.marginY_ && widthShare_ == o.widthShare_ && pickedKey_ == o.pickedKey_ &&
           opacity_ == o.opacity_;
}
