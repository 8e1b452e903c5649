#include "app/picture_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    fitImage();
}

void PictureBox::setBackColor(const QColor& c) {
    back_ = c;
    clear();
}

void PictureBox::clear() {
    // Clearing removes what was painted; the assigned picture stays.
    fitImage();
    image_.fill(back_);
    if (!picture_.isNull()) {
        QPainter p(&image_);
        p.drawImage(0, 0, picture_);
    }
    update();
}

void PictureBox::setPicture(const QImage& picture) {
    picture_ = picture;
    if (autoSize_ && !picture.isNull()) setBoxSize(picture.width(), picture.height());
    clear();
    emit pictureChanged();
}

QSizeF PictureBox::scaleSize() const {
    return scale_.isEmpty() ? QSizeF(width(), height()) : scale_;
}

bool PictureBox::paintPicture(const QImage& picture, const QRectF& dst, const QRectF& src) {
    if (picture.isNull()) return false;
    // A box not yet shown gets its resize event late; draw at its real size.
    fitImage();
    const QSizeF s = scaleSize();
    const double sx = s.width() > 0 ? width() / s.width() : 1.0;
    const double sy = s.height() > 0 ? height() / s.height() : 1.0;
    const QRectF target(dst.x() * sx, dst.y() * sy, dst.width() * sx, dst.height() * sy);
    QPainter p(&image_);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, picture, src);
    update();
    return true;
}

void PictureBox::setBoxSize(int w, int h) {
    resize(w, h);
    fitImage();
}

void PictureBox::fitImage() {
    const QSize want(qMax(1, width()), qMax(1, height()));
    if (image_.size() == want) return;
    QImage next(want, QImage::Format_RGB32);
    next.fill(back_);
    if (!image_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(next);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

void PictureBox::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    fitImage();
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
    const QSizeF s = scaleSize();
    const double x = width() > 0 ? e->position().x() * s.width() / width() : e->position().x();
    const double y = height() > 0 ? e->position().y() * s.height() / height() : e->position().y();
    emit mouseDown(e->button(), e->modifiers(), x, y);
}
