// The positioning window's canvas. It stands for one video frame, pixel for
// pixel: it holds the key colour, the mark and where the mark is placed, and
// shows what the result will look like: the video's frame (or the key colour
// until one arrives) with the mark over it as the module will lay it. The
// masks the module reads are made from that model, never from what is on the
// screen. A frame larger than the screen allows is shown scaled down by one
// factor; points on the canvas map to frame pixels.
//
// A press places the mark (through the window); moving with the button held
// drags it, and on the focused canvas the arrow keys move it by one frame
// pixel, ten with Shift.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <optional>

class MarkCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MarkCanvas(QWidget* parent = nullptr);

    // The key colour: the canvas's background, and the colour the mask is
    // keyed on. A new one clears the placed mark.
    QColor backColor() const { return key_; }
    void setBackColor(const QColor& colour);

    // The frame the canvas stands for; the mark stays where it is.
    QSize frameSize() const { return frame_; }
    // One canvas pixel per frame pixel.
    void setBoxSize(int width, int height);
    // The frame shown `view` pixels large, `scale` canvas pixels per frame pixel.
    void setView(QSize frame, double scale, QSize view);
    double scale() const { return scale_; }

    // The video's frame behind the mark; a null image shows the key colour.
    void setFrame(const QImage& frame);
    bool showsFrame() const { return !frameImage_.isNull(); }

    // Places `picture`, stretched to `nominal` frame pixels, with its top-left
    // corner at `at`. False (and nothing changes) when the picture is null.
    bool placeMark(const QImage& picture, QSizeF nominal, QPoint at);
    void clearMark();
    // Moves the placed mark, keeping its picture.
    void moveMark(QPoint at);
    bool hasPlacedMark() const { return at_.has_value(); }
    std::optional<QPoint> markPosition() const { return at_; }

    // How much of the mark covers the video, 10..100 per cent.
    int opacity() const { return opacity_; }
    void setOpacity(int percent);

    // The frame-sized picture of the canvas: the key colour with the mark
    // laid on it. For an opaque mark at full opacity, the 24-bit mask.
    QImage image() const;
    // The mask with alpha: fully transparent but for the mark's own pixels.
    QImage alphaMask() const;
    // The mask must carry alpha: the mark has transparent parts, or its
    // opacity is below 100 %.
    bool needsAlphaMask() const;

public slots:
    // A left-button press at (0, 0), as from the keyboard.
    void press();

signals:
    // A mouse button went down at (x, y) in frame pixels.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // The mark as it shows: key-coloured pixels let the background through
    // and every pixel's alpha is scaled by the opacity, as the module does.
    void updateShownMark();
    // What the screen shows, at the view's size: drawn once per change, so a
    // drag repaints two ready pictures.
    void updateViewBackground();
    void renderViewBackground();
    void updateViewMark();

    QSize frame_{1, 1};
    double scale_ = 1.0;
    QImage frameImage_;
    QImage viewBackground_;
    QImage viewMark_;
    QColor key_{Qt::black};
    QImage mark_;  // stretched to its nominal size, with its alpha
    bool markHasAlpha_ = false;
    QImage shownMark_;
    std::optional<QPoint> at_;
    int opacity_ = 100;
};
