// The positioning window's canvas. It stands for one upright video frame:
// it shows the frame (or the key colour until one arrives) with the mark of a
// Placement over it as the module will lay it, and edits that placement. A
// frame larger than the room it has is shown scaled down by one factor;
// points on the canvas map to frame pixels.
//
// A press reports the frame pixel under it (the window places the mark's
// top-left corner there); moving with the button held drags the mark, and on
// the focused canvas the arrow keys move it by one frame pixel, ten with
// Shift. Every edit comes out as placementChanged().
#pragma once

#include "mark/placement.h"
#include "rules/mark_colour.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QWidget>

class MarkCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MarkCanvas(QWidget* parent = nullptr);

    // The key colour the mask is keyed on: the background until a frame
    // comes, and the colour that makes mark pixels vanish. With `tint`, the
    // mark's pixels of that colour show tinted instead, so the user sees what
    // will vanish.
    QColor backColor() const { return key_; }
    void setKeyColour(const QColor& key, bool tint);

    // The upright frame the canvas stands for.
    QSize frameSize() const { return frame_; }
    // The frame shown `view` pixels large, `scale` canvas pixels per frame pixel.
    void setView(QSize frame, double scale, QSize view);
    double scale() const { return scale_; }

    // An HDR video (PQ, HLG) shows its frames tone-mapped, and the mark at the brightness it will
    // have there (rules::shownOnSdr); SDR shows the mark's own colours.
    void setTransfer(rules::Transfer transfer);

    // The video's frame behind the mark; a null image shows the key colour.
    void setFrame(const QImage& frame);
    bool showsFrame() const { return !frameImage_.isNull(); }

    const Placement& placement() const { return placement_; }
    void setPlacement(const Placement& placement);
    // Shows the mark or not (nothing placed yet).
    bool hasPlacedMark() const { return shown_; }
    void setMarkShown(bool shown);
    // The mark's rectangle in the frame.
    MarkRect markRect() const { return placement_.rectIn(frame_); }
    // The whole picture at the mark's size in this frame; a text mark drawn at that size.
    const QImage& laidMark() const { return laid_; }
    // The share of its weight the mark has at the frame shown, 0..1: it
    // shows as the module lays it at that frame's time; at 0 a dashed frame
    // shows where it stands.
    double timeWeight() const { return timeWeight_; }
    void setTimeWeight(double weight);
    // Moves the mark's top-left corner to `pixel`, keeping its size.
    void moveMarkTo(QPoint pixel);

public slots:
    // A left-button press at (0, 0), as from the keyboard.
    void press();

signals:
    // A mouse button went down at (x, y) in frame pixels.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    // A drag or a key moved the mark.
    void placementChanged(const Placement& placement);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // The laid mark again when the picture or its size changed, then what shows.
    void updateLaidMark();
    // The mark as it shows: key-coloured pixels let the background through
    // (or are tinted) and every pixel's alpha is scaled by the opacity.
    void updateShownMark();
    void renderViewBackground();
    void updateViewMark();

    QSize frame_{1, 1};
    double scale_ = 1.0;
    QImage frameImage_;
    QImage viewBackground_;
    QColor key_{Qt::black};
    bool tint_ = false;
    Placement placement_;
    bool shown_ = false;
    QImage laid_;
    qint64 laidFrom_ = 0;  // cache key of the picture laid_ was made from
    double timeWeight_ = 1;
    rules::Transfer transfer_ = rules::Transfer::Sdr;
    QImage viewMark_;
};
