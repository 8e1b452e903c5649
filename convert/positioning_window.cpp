#include "convert/positioning_window.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "app/pressable_box.h"
#include "app/shell.h"
#include "app/window_steps.h"
#include "convert/activity_frames.h"
#include "convert/canvas_geometry.h"
#include "runner/console_capture.h"
#include "watermark/palette_window.h"
#include "watermark/working_bitmaps.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

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

    canvas_ = new PressableBox(QAccessible::Canvas, this);
    PressableBox* canvas = canvas_;
    canvas->setObjectName(QStringLiteral("Picture1"));
    canvas->setGeometry(8, 80, 544, 384);
    canvas->setAccessibleName(QStringLiteral("Canvas"));
    canvas->setAccessibleDescription(
        QStringLiteral("Click to place the watermark with its top-left corner at that point"));
    canvas->setBackColor(Qt::black);

    preparedMark_ = new PictureBox(this);
    preparedMark_->setObjectName(QStringLiteral("Picture2"));
    preparedMark_->setGeometry(8 + 544, 80, 16, 16);
    preparedMark_->setAccessibleName(QStringLiteral("Prepared watermark"));
    preparedMark_->hide();

    connect(canvas_, &PictureBox::mouseDown, this, &PositioningWindow::placeMark);
    connect(changeMaskButton_, &QPushButton::clicked, this, &PositioningWindow::changeMaskColour);
    connect(startButton_, &QPushButton::clicked, this, &PositioningWindow::startConversion);
    connect(stopButton_, &QPushButton::clicked, this, &PositioningWindow::stopConversion);
}

void PositioningWindow::load() {
    const Busy busy(*this);
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

void PositioningWindow::initialize(QSize frame, const QImage& preview) {
    // The first touch loads the window: its message comes before anything is written.
    PositioningWindow& window = instance();
    const Busy busy(window);
    window.prepareMark(preview);
    window.placeMarkAtCanvasOrigin();
    window.fitToFrame(frame);
    window.show();
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
    markPlaced_ = canvas_->paintPicture(mark, QRectF(QPointF(0, 0), nominal), QRectF(mark.rect()));
    if (!markPlaced_) msgBox(this, QStringLiteral("Please select a valid picture first"));
}

void PositioningWindow::fitToFrame(QSize frame) {
    canvas_->setBoxSize(frame.width(), frame.height());
    // The frame's thickness is known once the window is shown (the load step
    // shows it); where the platform draws none it counts as zero.
    const QSize border = frameGeometry().size() - size();
    const QSize outer = canvas::windowOuterSize(frame);
    setFixedSize(qMax(1, outer.width() - border.width()), qMax(1, outer.height() - border.height()));
    preparedMark_->move(canvas_->x() + canvas_->width(), preparedMark_->y());
}

void PositioningWindow::setCanvasColour(const QColor& colour) {
    canvas_->setBackColor(colour);
    markPlaced_ = false;
}

void PositioningWindow::placeMark(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    canvas_->clear();
    const QImage& mark = preparedMark_->picture();
    const QSizeF nominal = preparedMark_->scaleSize();
    const QPoint at = canvas::framePixelAt(QPointF(x, y));
    markPlaced_ = canvas_->paintPicture(mark, QRectF(at, nominal), QRectF(mark.rect()));
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
    if (writeMaskBitmap(canvas_->image(), &why)) return true;
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
