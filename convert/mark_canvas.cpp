#include "convert/mark_canvas.h"

#include "app/pressable_box.h"
#include "convert/canvas_geometry.h"
#include "watermark/working_bitmaps.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The module's tolerance: a mask pixel within this of the key colour in every
// channel leaves the video visible.
constexpr int kKeyTolerance = 32;

bool isKeyColour(QRgb pixel, const QColor& key) {
    return std::abs(qRed(pixel) - key.red()) <= kKeyTolerance &&
           std::abs(qGreen(pixel) - key.green()) <= kKeyTolerance &&
           std::abs(qBlue(pixel) - key.blue()) <= kKeyTolerance;
}

}  // namespace

MarkCanvas::MarkCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Tab only: a mouse click must not draw a focus frame over the frame.
    setFocusPolicy(Qt::TabFocus);
    makeAccessiblyPressable(this, QAccessible::Canvas);
}

void MarkCanvas::setBackColor(const QColor& colour) {
    key_ = colour;
    at_.reset();
    updateViewBackground();
    updateShownMark();
}

void MarkCanvas::setBoxSize(int width, int height) {
    const QSize frame(std::max(1, width), std::max(1, height));
    setView(frame, 1.0, frame);
}

void MarkCanvas::setView(QSize frame, double scale, QSize view) {
    frame_ = QSize(std::max(1, frame.width()), std::max(1, frame.height()));
    scale_ = scale > 0 ? scale : 1.0;
    resize(view.expandedTo(QSize(1, 1)));
    if (!frameImage_.isNull() && frameImage_.size() != frame_) frameImage_ = QImage();
    updateViewBackground();
    updateViewMark();
}

void MarkCanvas::setFrame(const QImage& frame) {
    frameImage_ = frame.size() == frame_ ? frame : QImage();
    updateViewBackground();
    update();
}

bool MarkCanvas::placeMark(const QImage& picture, QSizeF nominal, QPoint at) {
    if (picture.isNull()) return false;
    const QSize size(std::max(1, static_cast<int>(std::ceil(nominal.width()))),
                     std::max(1, static_cast<int>(std::ceil(nominal.height()))));
    QImage mark(size, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    {
        QPainter p(&mark);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRectF(QPointF(0, 0), nominal), picture, QRectF(picture.rect()));
    }
    mark_ = std::move(mark);
    markHasAlpha_ = hasTransparency(mark_);
    at_ = at;
    updateShownMark();
    return true;
}

void MarkCanvas::clearMark() {
    at_.reset();
    update();
}

void MarkCanvas::moveMark(QPoint at) {
    if (!at_ || *at_ == at) return;
    at_ = at;
    update();
}

void MarkCanvas::setOpacity(int percent) {
    opacity_ = std::clamp(percent, 10, 100);
    updateShownMark();
}

QImage MarkCanvas::image() const {
    QImage img(frame_, QImage::Format_RGB32);
    img.fill(key_);
    if (at_) {
        QPainter p(&img);
        p.drawImage(*at_, mark_);
    }
    return img;
}

QImage MarkCanvas::alphaMask() const {
    QImage img(frame_, QImage::Format_ARGB32);
    img.fill(QColor(key_.red(), key_.green(), key_.blue(), 0));
    if (!at_) return img;
    // Copied pixel by pixel: a painter would round the colours of
    // half-transparent pixels.
    const QRect area = QRect(*at_, mark_.size()).intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(mark_.constScanLine(y - at_->y()));
        auto* to = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            to[x] = from[x - at_->x()];
    }
    return img;
}

bool MarkCanvas::needsAlphaMask() const {
    return opacity_ < 100 || (at_ && markHasAlpha_);
}

void MarkCanvas::press() {
    emit mouseDown(Qt::LeftButton, Qt::NoModifier, 0.0, 0.0);
}

void MarkCanvas::updateShownMark() {
    if (mark_.isNull()) {
        shownMark_ = QImage();
    } else {
        shownMark_ = mark_.copy();
        for (int y = 0; y < shownMark_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(shownMark_.scanLine(y));
            for (int x = 0; x < shownMark_.width(); ++x) {
                const QRgb px = line[x];
                const int alpha = isKeyColour(px, key_) ? 0 : (qAlpha(px) * opacity_ + 50) / 100;
                line[x] = qRgba(qRed(px), qGreen(px), qBlue(px), alpha);
            }
        }
    }
    updateViewMark();
}

void MarkCanvas::updateViewBackground() {
    renderViewBackground();
    update();
}

void MarkCanvas::renderViewBackground() {
    viewBackground_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    viewBackground_.fill(key_);
    if (!frameImage_.isNull()) {
        QPainter p(&viewBackground_);
        p.setRenderHint(QPainter::SmoothPixmapTransform, scale_ < 1.0);
        p.drawImage(QRectF(QPointF(0, 0), QSizeF(frame_) * scale_), frameImage_);
    }
}

void MarkCanvas::updateViewMark() {
    if (shownMark_.isNull() || scale_ == 1.0) {
        viewMark_ = shownMark_;
    } else {
        const QSize size(std::max(1, static_cast<int>(std::lround(shownMark_.width() * scale_))),
                         std::max(1, static_cast<int>(std::lround(shownMark_.height() * scale_))));
        viewMark_ = shownMark_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    update();
}

void MarkCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (viewBackground_.size() != size()) renderViewBackground();
    p.drawImage(0, 0, viewBackground_);
    if (at_) p.drawImage(canvas::viewPointOf(*at_, scale_), viewMark_);
    if (hasFocus()) {
        p.end();
        paintFocusFrame(this);
    }
}

void MarkCanvas::mousePressEvent(QMouseEvent* e) {
    const QPoint at = canvas::framePixelAt(e->position(), scale_);
    emit mouseDown(e->button(), e->modifiers(), at.x(), at.y());
}

void MarkCanvas::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() != Qt::NoButton) moveMark(canvas::framePixelAt(e->position(), scale_));
}

void MarkCanvas::keyPressEvent(QKeyEvent* e) {
    if (isPressKey(e->key())) {
        press();
        return;
    }
    switch (e->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (at_) {
                const int step = e->modifiers() & Qt::ShiftModifier ? 10 : 1;
                const int dx = e->key() == Qt::Key_Left ? -step : e->key() == Qt::Key_Right ? step : 0;
                const int dy = e->key() == Qt::Key_Up ? -step : e->key() == Qt::Key_Down ? step : 0;
                moveMark(*at_ + QPoint(dx, dy));
                return;
            }
            QWidget::keyPressEvent(e);
            return;
        default:
            QWidget::keyPressEvent(e);
    }
}
