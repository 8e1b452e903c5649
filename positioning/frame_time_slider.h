// The small time slider under the positioning window's canvas: which moment
// of the video the canvas shows, to the millisecond (a key moves it a tenth
// of a second), with the time beside it. A move is told once the thumb is let go (or a key moved it), as each
// one asks the encoder for a frame.
#pragma once

#include <QWidget>

class ValueLabel;
class QSlider;

class FrameTimeSlider : public QWidget {
    Q_OBJECT
public:
    explicit FrameTimeSlider(QWidget* parent = nullptr);

    // The video's length; 0 while unknown, which disables the slider.
    void setDuration(double seconds);
    // Shows `seconds` without telling anyone.
    void setSeconds(double seconds);
    double seconds() const;

signals:
    // The user moved the slider to `seconds`.
    void timeChosen(double seconds);

private:
    void showTime(int ms);

    QSlider* slider_ = nullptr;
    ValueLabel* value_ = nullptr;
};
