#include "positioning/mark_canvas.h"

#include "app/pressable_box.h"
#include "mark/mark_mask.h"
#include "positioning/canvas_geometry.h"
#include "rules/mark_rules.h"
#include "rules/time_weight.h"

#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

MarkCanvas::MarkCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Tab only: a mouse click must not draw a focus frame over the frame.
    setFocusPolicy(Qt::TabFocus);
    makeAccessiblyPressable(this, QAccessible::Canvas);
}

void MarkCanvas::setKeyColour(const QColor& key, bool tint) {
    if (key == key_ && tint == tint_) return;
    const bool background = key != key_;
    key_ = key;
    tint_ = tint;
    if (background) renderViewBackground();
    updateShownMark();
}

void MarkCanvas::setView(QSize frame, double scale, QSize view) {
    frame_ = QSize(std::max(1, frame.width()), std::max(1, frame.height()));
    scale_ = scale > 0 ? scale : 1.0;
    resize(view.expandedTo(QSize(1, 1)));
    if (!frameImage_.isNull() && frameImage_.size() != frame_) frameImage_ = QImage();
    renderViewBackground();
    updateLaidMark();
}

void MarkCanvas::setFrame(const QImage& frame) {
    frameImage_ = frame.size() == frame_ ? frame : QImage();
    renderViewBackground();
    update();
}

void MarkCanvas::setPlacement(const Placement& placement) {
    placement_ = placement;
    updateLaidMark();
}

void MarkCanvas::setTransfer(rules::Transfer transfer) {
    if (transfer == transfer_) return;
    transfer_ = transfer;
    updateShownMark();
}

void MarkCanvas::setTimeWeight(double weight) {
    if (weight == timeWeight_) return;
    timeWeight_ = weight;
    updateShownMark();
}

void MarkCanvas::setMarkShown(bool shown) {
    shown_ = shown;
    update();
}

void MarkCanvas::moveMarkTo(QPoint pixel) {
    if (!shown_) return;
    const QPoint before = markRect().rect.topLeft();
    placement_.placeAt(pixel, frame_);
    if (markRect().rect.topLeft() == before) return;
    update();
    emit placementChanged(placement_);
}

void MarkCanvas::press() {
    emit mouseDown(Qt::LeftButton, Qt::NoModifier, 0.0, 0.0);
}

void MarkCanvas::updateLaidMark() {
    const QSize size = markRect().rect.size();
    const qint64 from = placement_.picture().cacheKey();
    if (placement_.picture().isNull()) {
        laid_ = QImage();
    } else if (laid_.size() != size || laidFrom_ != from) {
        // A text is drawn at the size it has, never scaled from its picture.
        laid_ = placement_.text() ? drawTextMark(*placement_.text(), size)
                                  : ::laidMark(placement_.picture(), size);
    }
    laidFrom_ = from;
    updateShownMark();
}

void MarkCanvas::updateShownMark() {
    QImage shown = laid_.copy();
    const int opacity = placement_.opacity();
    const unsigned factor = rules::timeFactor(timeWeight_);
    const rules::VideoColour colour{rules::Matrix::Bt2020, transfer_, rules::Primaries::Bt2020};
    QHash<QRgb, QRgb> onSdr;  // a logo has few colours
    const auto shownColour = [&](QRgb px) {
        if (transfer_ == rules::Transfer::Sdr) return px;
        const QRgb rgb = px | 0xff000000u;
        auto at = onSdr.constFind(rgb);
        if (at == onSdr.constEnd()) {
            const auto c =
                rules::shownOnSdr(uint8_t(qRed(px)), uint8_t(qGreen(px)), uint8_t(qBlue(px)), colour);
            at = onSdr.insert(rgb, qRgb(c[0], c[1], c[2]));
        }
        return *at;
    };
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb px = line[x];
            const bool keyed =
                rules::isKeyColour(qRed(px), qGreen(px), qBlue(px), key_.red(), key_.green(), key_.blue());
            if (keyed && tint_ && qAlpha(px) != 0)
                line[x] = qRgba(255, 0, 160, 200);  // what this key will take away
            else if (keyed)
                line[x] = qRgba(qRed(px), qGreen(px), qBlue(px), 0);
            else {
                const QRgb c = shownColour(px);
                line[x] = qRgba(qRed(c), qGreen(c), qBlue(c),
                                int(rules::timedWeight(rules::shownAlpha(qAlpha(px), opacity), factor)));
            }
        }
    }
    if (shown.isNull() || scale_ == 1.0) {
        viewMark_ = shown;
    } else {
        const QSize size(std::max(1, static_cast<int>(std::lround(shown.width() * scale_))),
                         std::max(1, static_cast<int>(std::lround(shown.height() * scale_))));
        viewMark_ = shown.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
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
    update();
}

void MarkCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (viewBackground_.size() != size()) renderViewBackground();
    p.drawImage(0, 0, viewBackground_);
    if (shown_) {
        const QPointF at = canvas::viewPointOf(markRect().rect.topLeft(), scale_);
        p.drawImage(at, viewMark_);
        // A mark the time range hides at this moment still shows where it stands, so it can be
        // placed: a dashed frame, white and black to read on any picture.
        if (timeWeight_ <= 0 && !viewMark_.isNull()) {
            const QRectF frame(at + QPointF(0.5, 0.5), QSizeF(viewMark_.size()) - QSizeF(1, 1));
            p.setPen(QPen(Qt::white, 1));
            p.drawRect(frame);
            p.setPen(QPen(Qt::black, 1, Qt::DashLine));
            p.drawRect(frame);
        }
    }
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
    if (e->buttons() != Qt::NoButton) moveMarkTo(canvas::framePixelAt(e->position(), scale_));
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
            if (shown_) {
                const int step = e->modifiers() & Qt::ShiftModifier ? 10 : 1;
                const int dx = e->key() == Qt::Key_Left ? -step : e->key() == Qt::Key_Right ? step : 0;
                const int dy = e->key() == Qt::Key_Up ? -step : e->key() == Qt::Key_Down ? step : 0;
                moveMarkTo(markRect().rect.topLeft() + QPoint(dx, dy));
                return;
            }
            QWidget::keyPressEvent(e);
            return;
        default:
            QWidget::keyPressEvent(e);
    }
}
