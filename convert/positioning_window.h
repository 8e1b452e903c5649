// The positioning window "Watermark Positioning": the canvas that stands for
// one video frame pixel for pixel, where a click places the watermark, and
// the conversion controls (Start, Stop, the audio option, the progress line
// and its activity animation).
//
// One loaded instance at a time, created and loaded by the first use
// (instance(), see app/program_window.h). "Initialize Watermarking" reaches
// it through initialize(); the palette through its signals; Start reads the
// chosen video and the preview from the main window. Closing it ends its
// conversion and unloads it; it is destroyed only when none of its handlers
// is running, so every handler that can dispatch events holds a Busy.
#pragma once

#include "app/chosen_video.h"
#include "app/program_window.h"
#include "convert/conversion_line.h"

#include <QImage>
#include <QString>

#include <array>
#include <memory>

class ConsoleCapture;
class PictureBox;
class MarkCanvas;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

class PositioningWindow : public ProgramWindow {
    Q_OBJECT
public:
    // Builds the window; the load step runs from instance().
    explicit PositioningWindow(QWidget* parent = nullptr);
    ~PositioningWindow() override;

    // The loaded window; creates and loads one (its message included) when
    // there is none.
    static PositioningWindow& instance();
    // The loaded window, or nullptr.
    static PositioningWindow* loaded();

    // "Initialize Watermarking": the preview becomes the mark, placed at the
    // canvas's origin, the canvas takes the video's frame size, and the frame
    // at a tenth of the video comes to show behind the mark.
    static void initialize(const ChosenVideo& video, const QImage& preview);
    // Asks the encoder for the frame at `share` of the video's duration and
    // shows it behind the mark; the key colour stays where none comes.
    void showFrameOf(const ChosenVideo& video, double share);

    // The key colour RRGGBB the mask is keyed on.
    const QString& maskColour() const { return maskColour_; }
    void setMaskColour(const QString& rrggbb) { maskColour_ = rrggbb; }
    // The canvas takes this background; what was placed on it is cleared.
    void setCanvasColour(const QColor& colour);

    // The paths and options of the last Start.
    const ConversionRun& lastRun() const { return lastRun_; }
    std::shared_ptr<ConsoleCapture> conversionRunner() const { return conversionRunner_; }

    // Writes the preview as "temp.bmp" and takes it back as the mark a click
    // places, at the preview's size.
    void prepareMark(const QImage& preview);
    // Paints the prepared mark at the canvas's origin.
    void placeMarkAtCanvasOrigin();
    // The canvas stands for the frame, shown one pixel per frame pixel or,
    // where the screen is too small, scaled down; the window around it.
    void fitToFrame(QSize frame);
    // Writes the canvas as "mask.bmp". On failure shows why and returns false:
    // the encoder must not run on a stale mask.
    bool writeMask();

    // One step of the activity animation: five yields to the event loop, then
    // the next frame, alternating bright and dimmed.
    void advanceActivityAnimation();
    int nextActivityFrame() const { return activityFrame_; }

public slots:
    void placeMark(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void changeMaskColour();
    void startConversion();
    void stopConversion();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void load();  // each step skipped on failure
    void onConversionOutput(const QString& chunk);
    void showProgress(const QString& elapsed);
    // Ends the conversion in progress; part of the close, never refuses it.
    void endConversion();

    QString maskColour_ = QStringLiteral("000000");
    ConversionRun lastRun_;
    int activityFrame_ = 0;                             // next frame of the animation, 0 or 1
    std::shared_ptr<ConsoleCapture> conversionRunner_;  // new at every load
    std::shared_ptr<ConsoleCapture> frameRunner_;       // fetches the frame shown behind the mark
    bool closing_ = false;
    QString consoleTail_;  // the end of the encoder's text of the current run

    QPushButton* changeMaskButton_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    PictureBox* activityBox_ = nullptr;
    QCheckBox* enhanceAudioCheck_ = nullptr;
    std::array<PictureBox*, 2> activityFrames_{};  // hidden: bright, dimmed
    QSlider* opacitySlider_ = nullptr;
    QLabel* opacityLabel_ = nullptr;
    MarkCanvas* canvas_ = nullptr;
    PictureBox* preparedMark_ = nullptr;  // hidden: the mark and its nominal size
};
