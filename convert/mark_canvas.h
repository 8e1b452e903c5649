// The positioning window's canvas. It stands for one video frame, pixel for
// pixel: it holds the key colour, the mark and where the mark is placed, and
// shows what the result will look like. The masks the encoder's module reads
// are made from that model, never from what is on the screen.
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
    void setBoxSize(int width, int height);

    // Places `picture`, stretched to `nominal` frame pixels, with its top-left
    // corner at `at`. False (and nothing changes) when the picture is null.
    bool placeMark(const QImage& picture, QSizeF nominal, QPoint at);
    void clearMark();
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
    void keyPressEvent(QKeyEvent* e) override;

private:
    // The mark as it shows: key-coloured pixels let the background through
    // and every pixel's alpha is scaled by the opacity, as the module does.
    void updateShownMark();

    QSize frame_{1, 1};
    QColor key_{Qt::black};
    QImage mark_;  // stretched to its nominal size, with its alpha
    bool markHasAlpha_ = false;
    QImage shownMark_;
    std::optional<QPoint> at_;
    int opacity_ = 100;
};
