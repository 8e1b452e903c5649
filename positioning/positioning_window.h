// The positioning window "Watermark Positioning": the canvas that stands for
// the video's upright frame, where a click, a drag, the arrow keys or the
// place control put the mark, the margin and size controls, and the
// conversion controls (Start, Stop, the audio option, the progress line and
// its activity animation).
//
// One loaded instance at a time, created and loaded by the first use
// (instance(), see app/program_window.h). "Initialize Watermarking" hands it
// the chosen video and the mark's picture through initialize(); what the
// user decides lives in a Placement the canvas shows and edits. Closing it
// ends its conversion and unloads it; it is destroyed only when none of its
// handlers is running, so every handler that can dispatch events holds a Busy.
#pragma once

#include "app/chosen_video.h"
#include "app/program_window.h"
#include "app/value_label.h"
#include "jobs/encoder_lines.h"
#include "jobs/job.h"
#include "jobs/run_end.h"
#include "jobs/video_run.h"
#include "mark/mark_mask.h"
#include "mark/placement.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class CanvasArea;
class DesktopOpener;
class FrameTimeSlider;
class TimeRangeBox;
class WorkFolder;
class ConsoleCapture;
class PictureBox;
class MarkCanvas;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;

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

    // "Initialize Watermarking": `picture` (whole) becomes the mark,
    // `markSize` pixels large in the frame, its top-left corner at the
    // frame's origin; the canvas takes the video's upright frame, and the
    // frame at a tenth of the video comes to show behind the mark. With
    // `text` (as written, its tokens filled here for the video) the mark is
    // that text, `picture` its drawing at 100 %, and it is drawn at whatever
    // size it is laid.
    static void initialize(const ChosenVideo& video, const QImage& picture, QSize markSize,
                           const QString& picturePath = QString(),
                           const std::optional<TextMark>& text = std::nullopt);
    // Asks the encoder for the upright frame at `share` of the video's
    // duration and shows it behind the mark; the key colour stays where none
    // comes.
    void showFrameOf(const ChosenVideo& video, double share);
    // The same for the frame shown `seconds` into the video: the time slider
    // moves there and the mark shows at its weight then. Asked while a frame
    // is being fetched, it is fetched next.
    void showFrameAt(double seconds);

    const ChosenVideo& video() const { return video_; }
    const Placement& placement() const;
    // The key colour RRGGBB the mask is keyed on: the user's, or one the mark
    // does not use.
    QString maskColour() const;
    QColor keyColour() const;
    // The user picked a key colour (the palette's "Save Settings"): the
    // canvas shows it, and any mark pixels it will take away, tinted.
    void setPickedKey(const QColor& colour);

    // What the next Start writes: the source's kind of file, or an MP4 to share.
    OutputChoice outputChoice() const;

    // The paths and options of the last Start.
    const ConversionRun& lastRun() const { return run_.line(); }
    std::shared_ptr<ConsoleCapture> conversionRunner() const { return conversionRunner_; }

    // The canvas stands for the upright frame, shown one pixel per frame
    // pixel or, where the window has less room, scaled down; the window is
    // sized for it and lies wholly on the screen that shows it.
    void fitToFrame(QSize frame);
    // Another video was chosen in the main window: the canvas takes its frame,
    // the mark its place on it (a text filled for it), and the last run's line
    // goes (unless `keepRunEnd`). A window converting takes it when its run
    // ends; one without a frame closes.
    void changeVideo(const ChosenVideo& video, bool keepRunEnd = false);
    // Pulls the window back wholly onto its screen's free area, smaller if
    // need be: the window manager draws its frame only after the window shows.
    void keepOnScreen();
    // The mask of the placed mark for the coded frame, as "mask.bmp" gets it.
    Mask currentMask() const;
    // Writes currentMask() as "mask.bmp". On failure shows why and returns
    // false: the encoder must not run on a stale mask.
    bool writeMask();
    // What the user decided here, as a job for other videos.
    Job currentJob() const;
    // "Save Job…" and "Add Videos…".
    void saveJob();
    void addVideos();
    // A placed mark and a time range the module can lay; says what is missing when not.
    bool readyForJob();
    // "mask.bmp" of the last writeMask(); "" before one.
    QString maskPath() const;
    // The time range of "From", "Until" and "Fade"; nothing while they are wrong.
    std::optional<rules::TimeRange> timeRange() const;

    // The line under the progress caption when a run ended; "" while none has.
    QString endText() const;
    // The speed and the time left while a conversion runs ("2.3x, about 0:41 left"); "" otherwise.
    QString paceText() const;

    // The line under the canvas: what gave way for the mark, and what the key
    // colour takes away from it.
    QString noteText() const;

    // One step of the activity animation: five yields to the event loop, then
    // the next frame, alternating bright and dimmed.
    void advanceActivityAnimation();
    int nextActivityFrame() const { return activityFrame_; }

    // A conversion is running.
    bool converting() const;
    // The program is ending on a quit signal: the conversion stops the orderly
    // way, and the window closes without asking.
    void stopForQuit();
    // The main window is closing: this window closes with it without asking.
    void closeWithProgram() { withProgram_ = true; }

signals:
    // The window was closed during a conversion, which then stopped: how it ended.
    void closedDuringRun(const QString& endText);

public slots:
    void placeMark(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    // The place control: the mark to `anchor` at the margin control's margin.
    void moveMarkTo(Anchor anchor);
    void changeMaskColour();
    void startConversion();
    void stopConversion();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void load();  // each step skipped on failure
    // The job is what the window shows: the canvas lays it on the video's frame.
    void setJob(const Job& job);
    // An edit of the mark as it is laid, taken back into the job.
    void editMark(const std::function<void(Placement&)>& edit);
    // The controls show the mark as it is laid.
    void showPlacement();
    // Initialize's picture or text becomes the mark, `markSize` pixels large by the zoom, at the
    // remembered place and size when `remembered`.
    void takeMark(const QImage& picture, QSize markSize, const QString& picturePath,
                  const std::optional<TextMark>& text, bool remembered);
    // The job's time range from "From", "Until" and "Fade" against this video's length.
    void takeRange();
    // noteText() for a mark of which `vanishing` pixels are of the key colour.
    QString noteFor(qsizetype vanishing) const;
    // The mark on the canvas at its weight at the time of the frame shown.
    void showTimeWeight();
    void fetchFrame(double seconds);
    // Keeps the placement, the audio and output options, the time range and the margin for the next
    // window and the next run.
    void rememberChoices() const;
    // The key the program picks for the laid mark: one it does not use.
    // Worked out again only when the laid mark changes, not at every move.
    QColor programKey() const;
    // Shows how the last run ended, with "Show in folder" and "Play" for a
    // kept file; nothing hides the line.
    void showRunEnd(const std::optional<RunEnd>& end);
    void onConversionOutput(const QString& chunk);
    // Prepares run_ for the Start; says why not when it cannot be.
    VideoFacts videoFacts() const;
    bool prepareRun(const Job& job, const VideoFacts& facts, const QString& result);
    void showBitmapRefusal();
    // "Stop the conversion and keep the part?": true for "Stop and close".
    bool askStopAndClose();
    // Ends the conversion in progress; part of the close, never refuses it.
    void endConversion();

    ChosenVideo video_;
    std::optional<ChosenVideo> nextVideo_;              // chosen while a run went on: shown when it ends
    Job job_;                                           // what the user decided: the window's document
    QImage drawing_;                                    // the mark's picture; a text's drawing at 100 %
    std::optional<TextMark> filled_;                    // a text filled for this video
    Placement mark_;                                    // the job laid on this video's mark
    int zoomWidth_ = -1;                                // the width the zoom gave the mark at Initialize
    bool hintShown_ = false;                            // "Click on the canvas area…" under the canvas
    VideoRun run_;                                      // the last Start's, or the bitmaps of writeMask()
    int activityFrame_ = 0;                             // next frame of the animation, 0 or 1
    std::array<QImage, 2> activityPictures_;            // bright, dimmed
    std::shared_ptr<ConsoleCapture> conversionRunner_;  // new at every load
    std::shared_ptr<ConsoleCapture> frameRunner_;       // fetches the frame shown behind the mark
    bool closing_ = false;
    bool withProgram_ = false;            // closing with the program: nothing to ask
    bool closeAfterRun_ = false;          // "Stop and close": the window goes once its run has ended
    bool syncing_ = false;                // the controls are being set from the placement
    QString endPath_;                     // the file the last run kept
    mutable QColor programKey_;           // programKey() for the laid mark below
    mutable qint64 programKeyFrom_ = -1;  // the laid mark's cache key

    QPushButton* changeMaskButton_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* saveJobButton_ = nullptr;
    QPushButton* addVideosButton_ = nullptr;
    ValueLabel* progressLabel_ = nullptr;
    ValueLabel* paceLabel_ = nullptr;  // the speed and the time left, under the progress
    PictureBox* activityBox_ = nullptr;
    QCheckBox* enhanceAudioCheck_ = nullptr;
    QComboBox* outputChoice_ = nullptr;  // "Same as the source" or "MP4 to share"
    QSlider* opacitySlider_ = nullptr;
    ValueLabel* opacityLabel_ = nullptr;
    CanvasArea* canvasArea_ = nullptr;
    MarkCanvas* canvas_ = nullptr;
    std::array<QToolButton*, 9> placeButtons_{};
    QDoubleSpinBox* marginSpin_ = nullptr;
    QDoubleSpinBox* sizeSpin_ = nullptr;
    ValueLabel* noteLabel_ = nullptr;
    TimeRangeBox* timeRange_ = nullptr;
    FrameTimeSlider* frameTime_ = nullptr;
    quint64 frameWishes_ = 0;  // counts the frames asked for, so a fetch knows a later wish
    ValueLabel* endLabel_ = nullptr;
    QPushButton* showInFolderButton_ = nullptr;
    QPushButton* playButton_ = nullptr;
    DesktopOpener* opener_ = nullptr;
    QTimer* rememberTimer_ = nullptr;  // a drag is remembered once it rests
};
