#include "convert/positioning_window.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "app/window_steps.h"
#include "convert/activity_frames.h"
#include "convert/canvas_geometry.h"
#include "convert/mark_canvas.h"
#include "convert/progress_parse.h"
#include "runner/command_line.h"
#include "runner/console_capture.h"
#include "watermark/bmp_file.h"
#include "watermark/palette_window.h"
#include "watermark/working_bitmaps.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

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

WindowSlot<PositioningWindow>& slot() {
    static WindowSlot<PositioningWindow> s;
    return s;
}

}  // namespace

PositioningWindow::PositioningWindow(QWidget* parent) : ProgramWindow(parent) {
    buildControls();
}

PositioningWindow::~PositioningWindow() = default;

void PositioningWindow::buildControls() {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Watermark Positioning"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(574, 478);

    auto button = [this](const char* name, const QString& caption, int x) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, 8, 129, 25);
        return b;
    };
    changeMaskButton_ = button("Command3", QStringLiteral("Change Mask Color"), 16);
    startButton_ = button("Command2", QStringLiteral("Start Watermarking"), 160);
    stopButton_ = button("stop", QStringLiteral("Stop conversion"), 304);

    progressLabel_ = new QLabel(QStringLiteral("Progress: 0%"), this);
    progressLabel_->setObjectName(QStringLiteral("Label1"));
    progressLabel_->setGeometry(24, 48, 89, 17);
    QPalette white = progressLabel_->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    progressLabel_->setPalette(white);
    fitFont(progressLabel_, QStringLiteral("Progress: 100%"));

    for (int i = 0; i < 2; ++i) {
        auto* frame = new PictureBox(this);
        frame->setObjectName(QStringLiteral("pb%1").arg(i));
        frame->setGeometry(136 + 40 * (i + 1), 480, 36, 36);  // below the visible area
        frame->setAccessibleName(i == 0 ? QStringLiteral("Activity frame, bright")
                                        : QStringLiteral("Activity frame, dimmed"));
        frame->setPicture(activityFrame(i));
        frame->hide();
        activityFrames_[i] = frame;
    }
    activityBox_ = new PictureBox(this);
    activityBox_->setObjectName(QStringLiteral("pbox"));
    activityBox_->setGeometry(136, 40, 36, 36);
    activityBox_->setAccessibleName(QStringLiteral("Conversion activity"));
    activityBox_->setPicture(activityFrames_[1]->picture());

    enhanceAudioCheck_ = new WrappingCheckBox(kEnhanceAudioCaption, this);
    enhanceAudioCheck_->setObjectName(QStringLiteral("Check1"));
    enhanceAudioCheck_->setGeometry(192, 40, 289, 33);
    enhanceAudioCheck_->setChecked(false);

    // The mark's opacity: not part of the window's first layout, so it takes
    // the free corner right of the buttons.
    opacitySlider_ = new QSlider(Qt::Horizontal, this);
    opacitySlider_->setObjectName(QStringLiteral("opacity"));
    opacitySlider_->setGeometry(448, 8, 82, 25);
    opacitySlider_->setRange(10, 100);
    opacitySlider_->setValue(100);
    opacitySlider_->setAccessibleName(QStringLiteral("Opacity"));
    opacitySlider_->setAccessibleDescription(
        QStringLiteral("How much of the watermark covers the video, in per cent"));
    opacityLabel_ = new QLabel(QStringLiteral("100%"), this);
    opacityLabel_->setObjectName(QStringLiteral("opacityValue"));
    opacityLabel_->setGeometry(532, 8, 38, 25);
    opacityLabel_->setTextFormat(Qt::PlainText);
    opacityLabel_->setPalette(white);
    opacityLabel_->setAccessibleName(QStringLiteral("Opacity value"));

    canvas_ = new MarkCanvas(this);
    canvas_->setObjectName(QStringLiteral("Picture1"));
    canvas_->setGeometry(8, 80, 544, 384);
    canvas_->setBoxSize(544, 384);
    canvas_->setAccessibleName(QStringLiteral("Canvas"));
    canvas_->setAccessibleDescription(
        QStringLiteral("Click to place the watermark with its top-left corner at that point"));
    canvas_->setBackColor(Qt::black);

    preparedMark_ = new PictureBox(this);
    preparedMark_->setObjectName(QStringLiteral("Picture2"));
    preparedMark_->setGeometry(8 + 544, 80, 16, 16);
    preparedMark_->setAccessibleName(QStringLiteral("Prepared watermark"));
    preparedMark_->hide();

    connect(canvas_, &MarkCanvas::mouseDown, this, &PositioningWindow::placeMark);
    connect(opacitySlider_, &QSlider::valueChanged, this, [this](int percent) {
        canvas_->setOpacity(percent);
        opacityLabel_->setText(QString::number(percent) + u'%');
    });
    connect(changeMaskButton_, &QPushButton::clicked, this, &PositioningWindow::changeMaskColour);
    connect(startButton_, &QPushButton::clicked, this, &PositioningWindow::startConversion);
    connect(stopButton_, &QPushButton::clicked, this, &PositioningWindow::stopConversion);
}

void PositioningWindow::load() {
    const Busy busy(*this);
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
        for (PictureBox* frame : {activityBox_, activityFrames_[0], activityFrames_[1]})
            frame->setBackColor(grey);
    });
    maskColour_ = QStringLiteral("000000");
    skipOnFailure([this] {
        // Centred on first showing; later sizing keeps the top-left corner.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
    });
    msgBox(this, QStringLiteral("Click on the canvas area to place your watermark"));
    activityFrame_ = 0;
}

PositioningWindow& PositioningWindow::instance() {
    return slot().instance([] { return std::make_unique<PositioningWindow>(); },
                           [](PositioningWindow& w) { w.load(); });
}

PositioningWindow* PositioningWindow::loaded() {
    return slot().loaded();
}

void PositioningWindow::initialize(const ChosenVideo& video, const QImage& preview) {
    // The first touch loads the window: its message comes before anything is written.
    PositioningWindow& window = instance();
    const Busy busy(window);
    window.prepareMark(preview);
    window.placeMarkAtCanvasOrigin();
    window.fitToFrame(video.frameSize);
    window.show();
    // Fetched once this handler has returned: the windows never wait for it,
    // and the canvas shows the key colour until it comes.
    QTimer::singleShot(0, &window, [w = QPointer<PositioningWindow>(&window), video] {
        if (w && w->isLoaded()) w->showFrameOf(video, kFrameAt);
    });
}

void PositioningWindow::showFrameOf(const ChosenVideo& video, double share) {
    const Busy busy(*this);
    const std::shared_ptr<ConsoleCapture> runner = frameRunner_;
    if (!runner || !runner->commandLine().isEmpty()) return;
    const QString out = frameBitmapPath();
    const double at = durationInSeconds(video.duration) * share;
    const QString line = quoteArg(commandLineSafePath(programFolder()) + u'/' + encoderName()) +
                         QStringLiteral(" -ss ") + QString::number(at, 'f', 3) + QStringLiteral(" -i ") +
                         quoteArg(commandLineSafePath(video.path)) + QStringLiteral(" -vframes 1 -y ") +
                         quoteArg(out);
    if (runner->run(line) != 0 || !isLoaded()) return;
    // Shown only when it is the frame the canvas stands for.
    if (const std::optional<QImage> frame = bmp::read24(out, nullptr);
        frame && frame->size() == canvas_->frameSize())
        canvas_->setFrame(*frame);
}

void PositioningWindow::prepareMark(const QImage& preview) {
    const Busy busy(*this);
    // The nominal size is the preview's pixel size, so the canvas shows the
    // watermark exactly as the preview does.
    preparedMark_->setBoxSize(preview.width(), preview.height());
    preparedMark_->setScaleSize(QSizeF(preview.width(), preview.height()));
    QString why;
    std::optional<QImage> back = writePreviewBitmap(preview, &why);
    if (!back) {
        // The canvas can still use the preview itself; the conversion will
        // need the program folder writable for "mask.bmp".
        msgBox(this, QStringLiteral("Could not save the watermark as %1: %2\nThe program folder must be "
                                    "writable for the conversion.")
                         .arg(previewBitmapPath(), why));
        back = preview.convertToFormat(QImage::Format_RGB32);
    }
    preparedMark_->setPicture(*back);
}

void PositioningWindow::placeMarkAtCanvasOrigin() {
    const Busy busy(*this);
    const QImage& mark = preparedMark_->picture();
    const QSizeF nominal = preparedMark_->scaleSize();
    if (!canvas_->placeMark(mark, nominal, QPoint(0, 0)))
        msgBox(this, QStringLiteral("Please select a valid picture first"));
}

void PositioningWindow::fitToFrame(QSize frame) {
    // Never larger than the screen's free area: a larger frame is shown scaled down.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1 << 20, 1 << 20);
    const canvas::View view = canvas::fitFrame(frame, available);
    canvas_->setView(frame, view.scale, view.view);
    // The frame's thickness is known once the window is shown (the load step
    // shows it); where the platform draws none it counts as zero.
    const QSize border = frameGeometry().size() - size();
    const QSize outer = canvas::windowOuterSize(view.view);
    setFixedSize(qMax(1, outer.width() - border.width()), qMax(1, outer.height() - border.height()));
    preparedMark_->move(canvas_->x() + canvas_->width(), preparedMark_->y());
}

void PositioningWindow::setCanvasColour(const QColor& colour) {
    canvas_->setBackColor(colour);
}

void PositioningWindow::placeMark(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    canvas_->clearMark();
    const QImage& mark = preparedMark_->picture();
    const QSizeF nominal = preparedMark_->scaleSize();
    const QPoint at = canvas::framePixelAt(QPointF(x, y));
    canvas_->placeMark(mark, nominal, at);
}

void PositioningWindow::changeMaskColour() {
    const Busy busy(*this);
    const bool fresh = PaletteWindow::loaded() == nullptr;
    PaletteWindow& palette = PaletteWindow::instance();
    if (fresh) {
        // The palette may outlive this window: what it reports goes to the
        // loaded positioning window, loading a fresh one if need be.
        connect(&palette, &PaletteWindow::maskColourChosen, &palette,
                [](const QString& rrggbb) { PositioningWindow::instance().setMaskColour(rrggbb); });
        connect(&palette, &PaletteWindow::colourSaved, &palette,
                [](const QColor& colour) { PositioningWindow::instance().setCanvasColour(colour); });
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
    activityBox_->setPicture(activityFrames_[static_cast<size_t>(activityFrame_)]->picture());
    activityFrame_ = activityFrame_ == 0 ? 1 : 0;
}

bool PositioningWindow::writeMask() {
    const Busy busy(*this);
    QString why;
    const bool withAlpha = canvas_->needsAlphaMask();
    if (writeMaskBitmap(withAlpha ? canvas_->alphaMask() : canvas_->image(), withAlpha, &why)) return true;
    msgBox(this, QStringLiteral("Could not write %1: %2\nThe conversion needs this file; the program "
                                "folder must be writable.")
                     .arg(maskBitmapPath(), why));
    return false;
}

void PositioningWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    if (closing_ || !isLoaded()) return;
    closing_ = true;
    const Busy busy(*this);
    hide();
    skipOnFailure([this] { endConversion(); });
    unload();
}
