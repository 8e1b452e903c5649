#include "positioning/positioning_window.h"

#include "app/chosen_video.h"
#include "app/desktop_opener.h"
#include "app/file_choice.h"
#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "app/toggle_click.h"
#include "app/user_settings.h"
#include "app/window_steps.h"
#include "jobs/path_links.h"
#include "jobs/program_paths.h"
#include "jobs/progress_parse.h"
#include "jobs/video_types.h"
#include "jobs/working_bitmaps.h"
#include "mark/bmp_file.h"
#include "mark/color_text.h"
#include "mark/key_colour.h"
#include "positioning/activity_frames.h"
#include "positioning/canvas_geometry.h"
#include "positioning/frame_time_slider.h"
#include "positioning/mark_canvas.h"
#include "positioning/time_range_box.h"
#include "queue/batch_window.h"
#include "runner/command_line.h"
#include "runner/console_capture.h"
#include "watermark/palette_window.h"
#include "watermark/placement_settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace {

// The audio option's caption, its two parts 25 spaces apart; the box is too
// narrow for one line, so the second part wraps below the first.
const QString kEnhanceAudioCaption = QStringLiteral("Enhance Audio quality") + QString(25, u' ') +
                                     QStringLiteral("(necessary for some videocameras output)");

// A check box whose caption wraps at word boundaries inside its rectangle and
// which toggles on a click anywhere in it.
class WrappingCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        const QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
        QStyleOptionButton box = opt;
        box.rect = indicator;
        p.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
        const int gap = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, this);
        const QRect textRect = rect().adjusted(indicator.right() + 1 + gap, 0, 0, 0);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text());
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = textRect;
            p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
};

// Where in the video the canvas's frame is taken from.
constexpr double kFrameAt = 0.1;
// The size the user chose, and the width the zoom gave the mark then.
const QString kSizeShare = QStringLiteral("mark/widthShare");
const QString kSizeZoomWidth = QStringLiteral("mark/zoomWidth");
// The frame the window is first laid out for: the canvas has its shape from the first paint.
QSize& firstFrame() {
    static QSize frame;
    return frame;
}
// The margin the place control starts with, per cent of the frame.
constexpr double kDefaultMargin = 3.0;
// Text on the window's light grey: dark enough to read (contrast above 12:1).
const QColor kText(0x1a, 0x1a, 0x1a);

WindowSlot<PositioningWindow>& slot() {
    static WindowSlot<PositioningWindow> s;
    return s;
}

}  // namespace

// The room the canvas has: it shows the frame as large as fits, by one
// factor, at most one canvas pixel per frame pixel.
class CanvasArea : public QWidget {
public:
    CanvasArea(MarkCanvas* canvas, QWidget* parent) : QWidget(parent), canvas_(canvas) {
        canvas_->setParent(this);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setMinimumSize(64, 48);
    }
    void setFrame(QSize frame, QSize wanted) {
        frame_ = frame;
        wanted_ = wanted;
        updateGeometry();
        fit();
    }
    QSize sizeHint() const override { return wanted_; }

protected:
    void resizeEvent(QResizeEvent*) override { fit(); }

private:
    void fit() {
        const canvas::View v = canvas::fitInto(frame_, size());
        canvas_->setView(frame_, v.scale, v.view);
        canvas_->move(0, 0);
    }
    MarkCanvas* canvas_;
    QSize frame_{1, 1};
    QSize wanted_{544, 384};
};

PositioningWindow::PositioningWindow(QWidget* parent) : ProgramWindow(parent) {
    buildControls();
}

PositioningWindow::~PositioningWindow() = default;

void PositioningWindow::buildControls() {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Watermark Positioning"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumSize(129, 25);
        return b;
    };
    changeMaskButton_ = button("Command3", QStringLiteral("Change Mask Color"));
    startButton_ = button("Command2", QStringLiteral("Start Watermarking"));
    stopButton_ = button("stop", QStringLiteral("Stop conversion"));
    saveJobButton_ = button("saveJob", QStringLiteral("Save Job…"));
    saveJobButton_->setMinimumWidth(0);
    saveJobButton_->setToolTip(
        QStringLiteral("Save this placement as a job for other videos and the command line"));
    addVideosButton_ = button("addVideos", QStringLiteral("Add Videos…"));
    addVideosButton_->setMinimumWidth(0);
    addVideosButton_->setToolTip(QStringLiteral("Stamp this placement on many videos"));

    progressLabel_ = new ValueLabel(QStringLiteral("Progress"), this);
    progressLabel_->setObjectName(QStringLiteral("Label1"));
    progressLabel_->setText(QStringLiteral("Progress: 0%"));
    progressLabel_->setMinimumWidth(89);
    QPalette dark = progressLabel_->palette();
    dark.setColor(QPalette::WindowText, kText);
    progressLabel_->setPalette(dark);

    paceLabel_ = new ValueLabel(QStringLiteral("Speed and time left"), this);
    paceLabel_->setObjectName(QStringLiteral("pace"));
    paceLabel_->setPalette(dark);

    for (int i = 0; i < 2; ++i)
        activityPictures_[static_cast<size_t>(i)] = activityFrame(i);
    activityBox_ = new PictureBox(this);
    activityBox_->setObjectName(QStringLiteral("pbox"));
    activityBox_->setFixedSize(36, 36);
    activityBox_->setAccessibleName(QStringLiteral("Conversion activity"));
    activityBox_->setPicture(activityPictures_[1]);

    enhanceAudioCheck_ = new WrappingCheckBox(kEnhanceAudioCaption, this);
    enhanceAudioCheck_->setObjectName(QStringLiteral("Check1"));
    enhanceAudioCheck_->setFixedSize(289, 33);
    enhanceAudioCheck_->setChecked(false);

    outputChoice_ = new QComboBox(this);
    outputChoice_->setObjectName(QStringLiteral("output"));
    for (OutputChoice o : {OutputChoice::SameAsSource, OutputChoice::Mp4ToShare})
        outputChoice_->addItem(outputCaption(o), outputWord(o));
    outputChoice_->setAccessibleName(QStringLiteral("Output"));
    outputChoice_->setAccessibleDescription(QStringLiteral(
        "The result's kind: the source's own, or an MP4 with H.264 and AAC that plays anywhere"));

    opacitySlider_ = new QSlider(Qt::Horizontal, this);
    opacitySlider_->setObjectName(QStringLiteral("opacity"));
    opacitySlider_->setFixedWidth(82);
    opacitySlider_->setRange(10, 100);
    opacitySlider_->setValue(100);
    opacitySlider_->setAccessibleName(QStringLiteral("Opacity"));
    opacitySlider_->setAccessibleDescription(
        QStringLiteral("How much of the watermark covers the video, in per cent"));
    opacityLabel_ = new ValueLabel(QStringLiteral("Opacity"), this);
    opacityLabel_->setObjectName(QStringLiteral("opacityValue"));
    opacityLabel_->setText(QStringLiteral("100%"));
    opacityLabel_->setMinimumWidth(38);
    opacityLabel_->setPalette(dark);

    canvas_ = new MarkCanvas(this);
    canvas_->setObjectName(QStringLiteral("Picture1"));
    canvas_->setAccessibleName(QStringLiteral("Canvas"));
    canvas_->setAccessibleDescription(
        QStringLiteral("Click to place the watermark with its top-left corner at that point"));
    canvasArea_ = new CanvasArea(canvas_, this);
    canvasArea_->setObjectName(QStringLiteral("canvasArea"));

    // The place control: the nine anchors, in a 3 x 3 grid.
    auto* place = new QWidget(this);
    place->setObjectName(QStringLiteral("place"));
    auto* grid = new QGridLayout(place);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    static constexpr std::array<const char*, 9> kArrows{"↖", "↑", "↗", "←", "•", "→", "↙", "↓", "↘"};
    for (size_t i = 0; i < kAnchors.size(); ++i) {
        auto* b = new QToolButton(place);
        makeToggleAClick(b);  // a screen reader's Toggle moves the mark as a click does
        b->setObjectName(QStringLiteral("place%1").arg(i));
        b->setText(QString::fromUtf8(kArrows[i]));
        b->setAccessibleName(QLatin1String(anchorName(kAnchors[i])));
        b->setToolTip(QLatin1String(anchorName(kAnchors[i])));
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setFixedSize(28, 28);
        b->setFocusPolicy(Qt::StrongFocus);
        grid->addWidget(b, int(i / 3), int(i % 3));
        connect(b, &QToolButton::clicked, this, [this, i] { moveMarkTo(kAnchors[i]); });
        placeButtons_[i] = b;
    }

    auto spin = [this](const char* name, const QString& accessible, double min, double max, double value) {
        auto* s = new QDoubleSpinBox(this);
        s->setObjectName(QLatin1String(name));
        s->setRange(min, max);
        s->setDecimals(1);
        s->setSingleStep(0.5);
        s->setSuffix(QStringLiteral(" %"));
        s->setValue(value);
        s->setAccessibleName(accessible);
        s->setKeyboardTracking(false);
        return s;
    };
    marginSpin_ = spin("margin", QStringLiteral("Margin"), 0.0, 45.0, kDefaultMargin);
    marginSpin_->setAccessibleDescription(
        QStringLiteral("Distance of the watermark from the frame's edges, per cent of the frame"));
    sizeSpin_ = spin("size", QStringLiteral("Size"), 0.1, 100.0, 20.0);
    sizeSpin_->setAccessibleDescription(
        QStringLiteral("Width of the watermark, per cent of the frame's width"));
    timeRange_ = new TimeRangeBox(this);
    timeRange_->setObjectName(QStringLiteral("when"));
    frameTime_ = new FrameTimeSlider(this);
    frameTime_->setObjectName(QStringLiteral("frameTimeSlider"));

    endLabel_ = new ValueLabel(QStringLiteral("How the conversion ended"), this);
    endLabel_->setObjectName(QStringLiteral("runEnd"));
    endLabel_->setPalette(dark);
    endLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    showInFolderButton_ = new QPushButton(QStringLiteral("Show in folder"), this);
    showInFolderButton_->setObjectName(QStringLiteral("showInFolder"));
    playButton_ = new QPushButton(QStringLiteral("Play"), this);
    playButton_->setObjectName(QStringLiteral("play"));
    // Laid out even while hidden: the canvas must not jump when a run ends.
    for (QPushButton* b : {showInFolderButton_, playButton_}) {
        QSizePolicy keep = b->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        b->setSizePolicy(keep);
    }
    opener_ = new DesktopOpener(this);
    connect(opener_, &DesktopOpener::failed, this, [this](const QString& why) { msgBox(this, why); });
    connect(showInFolderButton_, &QPushButton::clicked, this, [this] {
        opener_->open(QFileInfo(endPath_).absolutePath(),
                      QStringLiteral("The results folder could not be shown."));
    });
    connect(playButton_, &QPushButton::clicked, this,
            [this] { opener_->open(endPath_, QStringLiteral("The result could not be played.")); });

    noteLabel_ = new ValueLabel(QStringLiteral("Placement note"), this);
    noteLabel_->setObjectName(QStringLiteral("note"));
    noteLabel_->setPalette(dark);
    noteLabel_->setWordWrap(true);

    auto caption = [this, &dark](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setPalette(dark);
        l->setBuddy(buddy);
        return l;
    };

    auto* top = new QHBoxLayout;
    top->addWidget(changeMaskButton_);
    top->addWidget(startButton_);
    top->addWidget(stopButton_);
    top->addSpacing(8);
    top->addWidget(opacitySlider_);
    top->addWidget(opacityLabel_);
    top->addStretch(1);
    auto* second = new QHBoxLayout;
    second->addSpacing(16);
    second->addWidget(progressLabel_);
    second->addWidget(activityBox_);
    second->addWidget(enhanceAudioCheck_);
    second->addWidget(outputChoice_);
    second->addStretch(1);
    second->addWidget(saveJobButton_);
    second->addWidget(addVideosButton_);
    auto* pace = new QHBoxLayout;
    pace->addSpacing(16);
    pace->addWidget(paceLabel_, 1);
    auto* ending = new QHBoxLayout;
    ending->addSpacing(16);
    ending->addWidget(endLabel_, 1);
    ending->addWidget(showInFolderButton_);
    ending->addWidget(playButton_);
    auto* side = new QVBoxLayout;
    side->addWidget(caption(QStringLiteral("Place:"), placeButtons_[0]));
    side->addWidget(place);
    side->addSpacing(8);
    side->addWidget(caption(QStringLiteral("&Margin:"), marginSpin_));
    side->addWidget(marginSpin_);
    side->addWidget(caption(QStringLiteral("Si&ze:"), sizeSpin_));
    side->addWidget(sizeSpin_);
    side->addStretch(1);
    auto* canvasColumn = new QVBoxLayout;
    canvasColumn->addWidget(canvasArea_, 1);
    canvasColumn->addWidget(frameTime_);
    auto* middle = new QHBoxLayout;
    middle->addLayout(canvasColumn, 1);
    middle->addLayout(side);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    root->addLayout(top);
    root->addLayout(second);
    root->addLayout(pace);
    root->addLayout(ending);
    root->addLayout(middle, 1);
    root->addWidget(timeRange_);
    root->addWidget(noteLabel_);

    showRunEnd(std::nullopt);
    // The key colour shows from the start, before any mark is placed.
    canvas_->setKeyColour(keyColour(), false);

    rememberTimer_ = new QTimer(this);
    rememberTimer_->setSingleShot(true);
    rememberTimer_->setInterval(300);
    connect(rememberTimer_, &QTimer::timeout, this, &PositioningWindow::rememberChoices);
    connect(enhanceAudioCheck_, &QCheckBox::toggled, this, [this](bool on) {
        job_.enhanceAudio = on;
        rememberTimer_->start();
    });
    connect(outputChoice_, &QComboBox::currentIndexChanged, this, [this] {
        job_.output = outputFromWord(outputChoice_->currentData().toString());
        rememberTimer_->start();
    });
    connect(marginSpin_, &QDoubleSpinBox::valueChanged, rememberTimer_, qOverload<>(&QTimer::start));
    connect(timeRange_, &TimeRangeBox::rangeChanged, this, [this] {
        takeRange();
        showTimeWeight();
        noteLabel_->setText(noteText());
        rememberTimer_->start();
    });
    connect(frameTime_, &FrameTimeSlider::timeChosen, this, &PositioningWindow::showFrameAt);

    connect(canvas_, &MarkCanvas::mouseDown, this, &PositioningWindow::placeMark);
    // A drag or a key moved the mark on the canvas: the job takes where it now stands.
    connect(canvas_, &MarkCanvas::placementChanged, this, [this](const Placement& moved) {
        hintShown_ = false;
        editMark([&moved](Placement& p) { p = moved; });
    });
    connect(opacitySlider_, &QSlider::valueChanged, this, [this](int percent) {
        opacityLabel_->setText(QString::number(percent) + u'%');
        if (!syncing_) editMark([percent](Placement& p) { p.setOpacity(percent); });
    });
    connect(marginSpin_, &QDoubleSpinBox::valueChanged, this, [this] {
        if (!syncing_) moveMarkTo(job_.anchor);
    });
    connect(sizeSpin_, &QDoubleSpinBox::valueChanged, this, [this](double percent) {
        if (!syncing_) editMark([percent](Placement& p) { p.setWidthShare(percent / 100.0); });
    });
    connect(changeMaskButton_, &QPushButton::clicked, this, &PositioningWindow::changeMaskColour);
    connect(startButton_, &QPushButton::clicked, this, &PositioningWindow::startConversion);
    connect(stopButton_, &QPushButton::clicked, this, &PositioningWindow::stopConversion);
    connect(saveJobButton_, &QPushButton::clicked, this, &PositioningWindow::saveJob);
    connect(addVideosButton_, &QPushButton::clicked, this, &PositioningWindow::addVideos);
}

void PositioningWindow::load() {
    const Busy busy(*this);
    startButton_->setEnabled(true);
    skipOnFailure([this] { frameRunner_ = std::make_shared<ConsoleCapture>(); });
    skipOnFailure([this] {
        conversionRunner_ = std::make_shared<ConsoleCapture>();
        connect(conversionRunner_.get(), &ConsoleCapture::output, this,
                &PositioningWindow::onConversionOutput);
    });
    skipOnFailure([this] {
        const QColor grey = colorFromHexText(rgbHexText(200, 200, 200));
        setBackground(this, grey);
        setBackground(progressLabel_, grey);
        setBackground(enhanceAudioCheck_, grey);
        activityBox_->setBackColor(grey);
    });
    skipOnFailure([this] {
        const QSettings settings = userSettings();
        const QSignalBlocker quietCheck(enhanceAudioCheck_);
        const QSignalBlocker quietMargin(marginSpin_);
        const QSignalBlocker quietOutput(outputChoice_);
        outputChoice_->setCurrentIndex(outputChoice_->findData(
            outputWord(outputFromWord(settings.value(QStringLiteral("conversion/output")).toString()))));
        enhanceAudioCheck_->setChecked(
            settings.value(QStringLiteral("conversion/enhanceAudio"), false).toBool());
        bool ok = false;
        const double margin = settings.value(QStringLiteral("mark/marginControl")).toDouble(&ok);
        if (ok) marginSpin_->setValue(margin);
        timeRange_->setTexts(settings.value(QStringLiteral("mark/timeRange")).toStringList());
        job_.enhanceAudio = enhanceAudioCheck_->isChecked();
        job_.output = outputFromWord(outputChoice_->currentData().toString());
        takeRange();
    });
    skipOnFailure([this] {
        fitToFrame(firstFrame().isValid() ? firstFrame() : QSize(544, 384));
        show();
    });
    // Said under the canvas until the user first places the mark: no box to dismiss.
    hintShown_ = true;
    noteLabel_->setText(noteText());
    activityFrame_ = 0;
}

PositioningWindow& PositioningWindow::instance() {
    return slot().instance([] { return std::make_unique<PositioningWindow>(); },
                           [](PositioningWindow& w) { w.load(); });
}

PositioningWindow* PositioningWindow::loaded() {
    return slot().loaded();
}

void PositioningWindow::initialize(const ChosenVideo& video, const QImage& picture, QSize markSize,
                                   const QString& picturePath, const std::optional<TextMark>& text) {
    const bool fresh = loaded() == nullptr;
    // The first touch loads the window, laid out for this video's frame.
    firstFrame() = video.frameSize;
    PositioningWindow& window = instance();
    firstFrame() = QSize();
    const Busy busy(window);
    window.video_ = video;
    window.canvas_->setTransfer(video.transfer);
    // On the screen of the window Initialize was pressed in.
    if (const QWidget* from = QApplication::activeWindow(); from && from != &window && from->screen())
        window.setScreen(from->screen());
    window.fitToFrame(video.frameSize);
    const double length = durationInSeconds(video.duration);
    window.timeRange_->setDuration(length > 0 ? std::optional<double>(length) : std::nullopt);
    window.takeRange();
    window.frameTime_->setDuration(length);
    window.frameTime_->setSeconds(length * kFrameAt);
    window.showTimeWeight();
    if (picture.isNull()) {
        window.canvas_->setMarkShown(false);
        msgBox(&window, QStringLiteral("Please select a valid picture first"));
    } else {
        window.takeMark(picture, markSize, picturePath, text, fresh || !window.canvas_->hasPlacedMark());
    }
    window.show();
    // Fetched once this handler has returned: the windows never wait for it,
    // and the canvas shows the key colour until it comes.
    QTimer::singleShot(0, &window, [w = QPointer<PositioningWindow>(&window), video] {
        if (w && w->isLoaded()) w->showFrameOf(video, kFrameAt);
    });
}

void PositioningWindow::takeMark(const QImage& picture, QSize markSize, const QString& picturePath,
                                 const std::optional<TextMark>& text, bool remembered) {
    Job job = job_;
    const QSettings settings = userSettings();
    if (remembered) {
        // Where the last mark went (the frame's origin the first time).
        Placement p;
        p.moveTo(Anchor::TopLeft, 0);
        restorePlacement(settings, p);
        takePlacement(job, p);
    }
    job.text = text;
    job.picturePath = text ? QString() : QFileInfo(picturePath).absoluteFilePath();
    job.pictureSha256.clear();
    drawing_ = picture;
    filled_ = text ? std::optional<TextMark>(filledFor(*text, video_.path, video_.recorded)) : std::nullopt;
    Placement p = placementOf(job, drawing_, filled_);
    // The size the user chose stays while the zoom gives the mark the width it gave then; a new
    // zoom (or picture) starts again from the zoom.
    bool ok = false;
    const double share = settings.value(kSizeShare).toDouble(&ok);
    const bool sameZoom = settings.value(kSizeZoomWidth).toInt() == markSize.width();
    if (remembered && ok && sameZoom && share > 0 && share <= 1)
        p.setWidthShare(share);
    else if (!remembered && zoomWidth_ == markSize.width())
        p.setWidthShare(mark_.widthShare());
    else
        p.setPixelWidth(markSize.width(), canvas_->frameSize().width());
    zoomWidth_ = markSize.width();
    takePlacement(job, p);
    canvas_->setMarkShown(true);
    setJob(job);
}

void PositioningWindow::changeVideo(const ChosenVideo& video, bool keepRunEnd) {
    const Busy busy(*this);
    if (converting()) {
        // The run in progress finishes on its own video; the new one comes after it.
        nextVideo_ = video;
        return;
    }
    if (video.path == video_.path && video.frameSize == video_.frameSize && video.duration == video_.duration)
        return;
    if (!video.frameSize.isValid()) {
        // Nothing to place a mark on: the window goes, as Initialize would refuse it.
        close();
        return;
    }
    video_ = video;
    canvas_->setTransfer(video.transfer);
    fitToFrame(video.frameSize);
    const double length = durationInSeconds(video.duration);
    timeRange_->setDuration(length > 0 ? std::optional<double>(length) : std::nullopt);
    takeRange();
    frameTime_->setDuration(length);
    frameTime_->setSeconds(length * kFrameAt);
    canvas_->setFrame(QImage());
    // The last run's line was about another video; one that ended just now still says where its file is.
    if (!keepRunEnd) {
        progressLabel_->setText(progressCaption(0));
        paceLabel_->clear();
        showRunEnd(std::nullopt);
    }
    if (job_.text) {
        // The text is filled for this video: its own name and date.
        filled_ = filledFor(*job_.text, video.path, video.recorded);
        drawing_ = drawTextMark(*filled_, textMarkSize(*filled_));
    }
    setJob(job_);
    showTimeWeight();
    QTimer::singleShot(0, this, [w = QPointer<PositioningWindow>(this), video] {
        if (w && w->isLoaded()) w->showFrameOf(video, kFrameAt);
    });
}

void PositioningWindow::takeRange() {
    // A range still being typed, or past this video's end, is no range: Start says what is wrong.
    job_.range = timeRange_->range().value_or(rules::TimeRange{});
}

bool PositioningWindow::converting() const {
    return conversionRunner_ && !conversionRunner_->commandLine().isEmpty();
}

void PositioningWindow::showFrameOf(const ChosenVideo& video, double share) {
    showFrameAt(durationInSeconds(video.duration) * share);
}

void PositioningWindow::showFrameAt(double seconds) {
    const Busy busy(*this);
    frameTime_->setSeconds(seconds);
    showTimeWeight();
    ++frameWishes_;
    // A fetch under way fetches the latest wish when it is done.
    const std::shared_ptr<ConsoleCapture> runner = frameRunner_;
    if (!runner || !runner->commandLine().isEmpty()) return;
    for (quint64 fetched = 0; fetched != frameWishes_ && isLoaded();) {
        fetched = frameWishes_;
        fetchFrame(frameTime_->seconds());
    }
}

void PositioningWindow::fetchFrame(double at) {
    const std::shared_ptr<ConsoleCapture> runner = frameRunner_;
    if (!runner) return;
    const std::unique_ptr<WorkFolder> folder = WorkFolder::create(nullptr);
    if (!folder) return;  // the key colour stays behind the mark
    const QString out = frameBitmapPath(*folder);
    const ChosenVideo& video = video_;
    PathLinks links(folder.get());
    const QString line = frameCommandLine(links.safePath(programFolder()), encoderName(),
                                          links.safePath(video.path), at, !video.orientation.upright(), out);
    if (runner->run(line) != 0 || !isLoaded()) return;
    // Shown only when it is the frame the canvas stands for.
    if (const std::optional<QImage> frame = bmp::read24(out, nullptr);
        frame && frame->size() == canvas_->frameSize())
        canvas_->setFrame(*frame);
}

const Placement& PositioningWindow::placement() const {
    return mark_;
}

QColor PositioningWindow::keyColour() const {
    return job_.key ? *job_.key : programKey();
}

QColor PositioningWindow::programKey() const {
    const QImage& laid = canvas_->laidMark();
    if (laid.cacheKey() != programKeyFrom_) {
        programKey_ = unusedKeyColour(laid).value_or(QColor(Qt::black));
        programKeyFrom_ = laid.cacheKey();
    }
    return programKey_;
}

QString PositioningWindow::maskColour() const {
    return rrggbbOf(keyColour());
}

void PositioningWindow::setPickedKey(const QColor& colour) {
    // The program's own choice saved back is no choice of the user's.
    const std::optional<QColor> key =
        colour.rgb() != programKey().rgb() ? std::optional<QColor>(colour) : std::nullopt;
    editMark([&key](Placement& p) { p.setPickedKey(key); });
}

void PositioningWindow::editMark(const std::function<void(Placement&)>& edit) {
    Placement p = mark_;
    edit(p);
    Job job = job_;
    takePlacement(job, p);
    setJob(job);
}

void PositioningWindow::setJob(const Job& job) {
    job_ = job;
    mark_ = placementOf(job_, drawing_, filled_);
    canvas_->setPlacement(mark_);
    showPlacement();
}

void PositioningWindow::showPlacement() {
    const Placement& p = mark_;
    const QColor key = keyColour();
    const qsizetype gone = p.pickedKey() ? pixelsOfKey(canvas_->laidMark(), key) : 0;
    canvas_->setKeyColour(key, gone > 0);
    syncing_ = true;
    placeButtons_[static_cast<size_t>(p.anchor())]->setChecked(true);
    sizeSpin_->setValue(p.widthShare() * 100.0);
    opacitySlider_->setValue(p.opacity());
    syncing_ = false;
    noteLabel_->setText(noteFor(gone));
    if (canvas_->hasPlacedMark()) rememberTimer_->start();
}

void PositioningWindow::rememberChoices() const {
    QSettings settings = userSettings();
    if (canvas_->hasPlacedMark()) {
        savePlacement(settings, mark_);
        settings.setValue(kSizeShare, mark_.widthShare());
        settings.setValue(kSizeZoomWidth, zoomWidth_);
    }
    settings.setValue(QStringLiteral("conversion/enhanceAudio"), enhanceAudioCheck_->isChecked());
    settings.setValue(QStringLiteral("conversion/output"), outputWord(outputChoice()));
    settings.setValue(QStringLiteral("mark/marginControl"), marginSpin_->value());
    settings.setValue(QStringLiteral("mark/timeRange"), timeRange_->texts());
}

std::optional<rules::TimeRange> PositioningWindow::timeRange() const {
    return timeRange_->range();
}

void PositioningWindow::showTimeWeight() {
    const std::optional<rules::TimeRange> range = timeRange_->range();
    canvas_->setTimeWeight(range ? rules::timeWeight(frameTime_->seconds(), *range) : 1.0);
}

QString PositioningWindow::noteText() const {
    const Placement& p = mark_;
    return noteFor(p.pickedKey() ? pixelsOfKey(canvas_->laidMark(), keyColour()) : 0);
}

QString PositioningWindow::noteFor(qsizetype vanishing) const {
    QStringList notes;
    if (hintShown_) notes << QStringLiteral("Click on the canvas area to place your watermark");
    if (!canvas_->hasPlacedMark()) return notes.join(u' ');
    const MarkRect r = canvas_->markRect();
    if (r.shrunk)
        notes << QStringLiteral(
                     "The watermark is larger than the frame: it is shown at %1 x %2 pixels to fit.")
                     .arg(r.rect.width())
                     .arg(r.rect.height());
    if (r.clamped)
        notes << QStringLiteral(
            "The margin would push the watermark out of the frame: it stands at the edge.");
    if (vanishing > 0)
        notes << QStringLiteral(
                     "The mask colour is in the watermark: %1 of its pixels (tinted) will not show.")
                     .arg(vanishing);
    if (const QString time = timeRange_->problem(); !time.isEmpty()) notes << time;
    return notes.join(u' ');
}

QString PositioningWindow::endText() const {
    return endLabel_->text();
}

OutputChoice PositioningWindow::outputChoice() const {
    return job_.output;
}

QString PositioningWindow::paceText() const {
    return paceLabel_->text();
}

void PositioningWindow::showRunEnd(const std::optional<RunEnd>& end) {
    endLabel_->setText(end ? end->text : QString());
    endPath_ = end ? end->path : QString();
    const bool kept = end && !end->path.isEmpty();
    showInFolderButton_->setVisible(kept);
    playButton_->setVisible(kept);
}

void PositioningWindow::fitToFrame(QSize frame) {
    const QSize f = frame.isValid() && !frame.isEmpty() ? frame : QSize(544, 384);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
    // Everything but the canvas, and the frame the window manager draws.
    canvasArea_->setFrame(f, f);
    if (QLayout* l = layout()) l->activate();
    const QSize chrome = (sizeHint() - canvasArea_->sizeHint()).expandedTo(QSize(0, 0));
    const QSize border = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
    const canvas::View view = canvas::fitInto(f, area.size() - chrome - border);
    canvasArea_->setFrame(f, view.view);
    if (isMaximized()) return;
    const QSize wanted = (chrome + view.view).boundedTo(area.size() - border).expandedTo(minimumSizeHint());
    resize(wanted);
    // Centred the first time it shows; after that it stays where the user put it.
    const QPoint from =
        isVisible() ? frameGeometry().topLeft()
                    : area.center() - QPoint((wanted + border).width() / 2, (wanted + border).height() / 2);
    const QRect placed = canvas::insideArea(QRect(from, wanted + border), area);
    move(placed.topLeft());
    // Once the manager has drawn its frame, the window may hang over an edge
    // it did not know of before.
    for (const int ms : {0, 200, 600})
        QTimer::singleShot(ms, this, &PositioningWindow::keepOnScreen);
}

void PositioningWindow::keepOnScreen() {
    if (!isVisible() || isMaximized() || isFullScreen()) return;
    const QScreen* screen = this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect outer = frameGeometry();
    if (area.contains(outer)) return;
    const QSize border = outer.size() - size();
    const QSize inner = size().boundedTo(area.size() - border).expandedTo(minimumSizeHint());
    if (inner != size()) resize(inner);
    move(canvas::insideArea(QRect(outer.topLeft(), inner + border), area).topLeft());
}

void PositioningWindow::placeMark(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    if (drawing_.isNull()) {
        msgBox(this, QStringLiteral("Please select a valid picture first"));
        return;
    }
    hintShown_ = false;
    canvas_->setMarkShown(true);
    const QPoint pixel = canvas::framePixelAt(QPointF(x, y));
    const QSize frame = canvas_->frameSize();
    editMark([pixel, frame](Placement& p) { p.placeAt(pixel, frame); });
}

void PositioningWindow::moveMarkTo(Anchor anchor) {
    hintShown_ = false;
    const double margin = marginSpin_->value() / 100.0;
    editMark([anchor, margin](Placement& p) { p.moveTo(anchor, margin); });
}

void PositioningWindow::changeMaskColour() {
    const Busy busy(*this);
    const bool fresh = PaletteWindow::loaded() == nullptr;
    PaletteWindow& palette = PaletteWindow::instance();
    // What the palette saves goes to the window that opened it, while it is open.
    disconnect(&palette, &PaletteWindow::colourSaved, nullptr, nullptr);
    connect(&palette, &PaletteWindow::colourSaved, this, &PositioningWindow::setPickedKey);
    palette.showKeyColour(keyColour(), programKey());
    if (fresh) {
        // Beside this window when the screen has room, else where it opens.
        const QRect me = frameGeometry();
        const QScreen* screen = this->screen();
        const QPoint at(me.right() + 8, me.top());
        if (screen && screen->availableGeometry().contains(QRect(at, palette.frameGeometry().size())))
            palette.move(at);
    }
    palette.show();
}

void PositioningWindow::advanceActivityAnimation() {
    const Busy busy(*this);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    activityBox_->setPicture(activityPictures_[static_cast<size_t>(activityFrame_)]);
    activityFrame_ = activityFrame_ == 0 ? 1 : 0;
}

Mask PositioningWindow::currentMask() const {
    // Without a placed mark the mask is the key colour alone.
    if (!canvas_->hasPlacedMark())
        return makeMask(QImage(), canvas_->markRect().rect, canvas_->frameSize(), keyColour(), job_.opacity,
                        video_.orientation);
    return videoMaskOf(mark_, videoFacts()).mask;
}

VideoFacts PositioningWindow::videoFacts() const {
    VideoFacts facts = factsOf(video_);
    // The frame the canvas stands for, as the mark was placed on it.
    facts.upright = canvas_->frameSize();
    return facts;
}

bool PositioningWindow::writeMask() {
    const Busy busy(*this);
    if (run_.writeBitmaps(mark_, videoFacts(), nullptr)) return true;
    showBitmapRefusal();
    return false;
}

bool PositioningWindow::readyForJob() {
    if ((job_.picturePath.isEmpty() && !job_.text) || !canvas_->hasPlacedMark()) {
        msgBox(this, QStringLiteral("Click on the canvas area to place your watermark"));
        return false;
    }
    // A job holds a range the module can lay; what is wrong is said as Start says it.
    if (!timeRange()) {
        msgBox(this, timeRange_->problem());
        return false;
    }
    return true;
}

Job PositioningWindow::currentJob() const {
    Job job = job_;
    // The picture's bytes as they are now: the job refuses to run on another picture.
    if (!job.text && !job.picturePath.isEmpty()) job.pictureSha256 = fileSha256(job.picturePath);
    job.outputFolder = outputFolder();
    return job;
}

void PositioningWindow::saveJob() {
    const Busy busy(*this);
    if (!readyForJob()) return;
    const QString name = job_.text ? QStringLiteral("text") : QFileInfo(job_.picturePath).completeBaseName();
    const QString suggested = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + u'/' +
                              name + QStringLiteral(".wmjob");
    QString path = chooseFileToSave(this, QStringLiteral("Save Job"), suggested,
                                    QStringLiteral("Watermark jobs (*.wmjob)"));
    if (path.isEmpty() || !isLoaded()) return;
    if (!path.endsWith(QStringLiteral(".wmjob"))) path += QStringLiteral(".wmjob");
    QString why;
    if (!writeJobFile(path, currentJob(), &why))
        msgBox(this, QStringLiteral("The job could not be saved.\n") + why);
}

void PositioningWindow::addVideos() {
    const Busy busy(*this);
    if (!readyForJob()) return;
    const QStringList videos =
        chooseFilesToOpen(this, QStringLiteral("Add Videos"), QFileInfo(video_.path).absolutePath(),
                          QStringLiteral("Video Files (%1)").arg(videoFilePattern().replace(u';', u' ')));
    if (videos.isEmpty() || !isLoaded()) return;
    BatchWindow::open(currentJob(), drawing_, videos);
}

QString PositioningWindow::maskPath() const {
    return run_.maskPath();
}

void PositioningWindow::stopForQuit() {
    withProgram_ = true;
    stopConversion();
}

bool PositioningWindow::askStopAndClose() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Watermark Image"),
                    QStringLiteral("Stop the conversion and keep the part?"), QMessageBox::NoButton, this);
    QPushButton* stop = box.addButton(QStringLiteral("Stop and close"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == stop;
}

void PositioningWindow::closeEvent(QCloseEvent* e) {
    if (!closing_ && isLoaded() && converting() && !withProgram_) {
        e->ignore();
        if (closeAfterRun_ || !askStopAndClose() || !isLoaded() || !converting()) {
            if (isLoaded() && !converting() && !closeAfterRun_) close();  // the run ended while it asked
            return;
        }
        // The encoder keeps its part the orderly way; the window goes when the run has ended.
        closeAfterRun_ = true;
        hide();
        stopConversion();
        return;
    }
    e->accept();
    if (closing_ || !isLoaded()) return;
    closing_ = true;
    const Busy busy(*this);
    hide();
    if (rememberTimer_->isActive()) {
        rememberTimer_->stop();
        skipOnFailure([this] { rememberChoices(); });
    }
    skipOnFailure([this] { endConversion(); });
    unload();
}
