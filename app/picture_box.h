// A picture box whose drawing persists: everything painted on it is kept in
// an image of the box's size, which is what the box shows and what can be
// saved. Its coordinate range (scale) may differ from its pixel size.
#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QWidget>

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    QColor backColor() const { return back_; }
    // Sets the background colour and clears the drawing (see clear).
    void setBackColor(const QColor& c);

    // The persistent drawing, always the box's pixel size.
    const QImage& image() const { return image_; }
    // Clears the drawing to the background colour and the assigned picture.
    void clear();

    // The assigned picture (may be null). Assigning draws it at (0, 0) over a
    // cleared drawing; with autoSize on, the box first takes the picture's size.
    const QImage& picture() const { return picture_; }
    void setPicture(const QImage& picture);
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on) { autoSize_ = on; }

    // The coordinate range; follows the pixel size until set explicitly.
    QSizeF scaleSize() const;
    void setScaleSize(const QSizeF& s) { scale_ = s; }

    // Paints the region src of picture stretched into dst (in scale units),
    // cut at the box's edges. Returns false when picture is null.
    bool paintPicture(const QImage& picture, const QRectF& dst, const QRectF& src);

    // Resizes the box; the drawing keeps its pixels from the top-left corner and
    // new area gets the background colour.
    void setBoxSize(int w, int h);

signals:
    // A mouse button went down at (x, y) in scale units.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    // The assigned picture changed (after any auto-size).
    void pictureChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void fitImage();

    QColor back_{Qt::white};
    QImage image_;
    QImage picture_;
    QSizeF scale_;  // empty: follow the pixel size
    bool autoSize_ = false;
};
