#include "app/main_window.h"

#include "app/artwork.h"
#include "app/click_area.h"
#include "app/desktop_opener.h"
#include "app/message.h"
#include "app/picture_box.h"
#include "app/user_button.h"
#include "app/value_label.h"
#include "jobs/program_paths.h"
#include "jobs/video_types.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>

#include <exception>

namespace {

MainWindow* g_instance = nullptr;

const QColor kDarkGrey(64, 64, 64);

// The user guide page that the logo opens; the build puts it there.
QString userGuidePath() {
    return programFolder() + QStringLiteral("/user-guide.html");
}

void setTextColor(QWidget* w, QPalette::ColorRole role, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(role, c);
    w->setPalette(pal);
}

// The picture kinds the dialog lists: WebP only where Qt's plugins read it.
QString pictureTypes() {
    QString types = QStringLiteral("*.bmp;*.gif;*.jpg;*.jpeg;*.gif;*.png");
    if (QImageReader::supportedImageFormats().contains("webp")) types += QStringLiteral(";*.webp");
    return types;
}

}  // namespace

MainWindow* MainWindow::instance() {
    return g_instance;
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    g_instance = this;
    buildControls();
    opener_ = new DesktopOpener(this);
    connect(opener_, &DesktopOpener::failed, this, [this](const QString& message) { msgBox(this, message); });
    prepare();
}

MainWindow::~MainWindow() {
    if (g_instance == this) g_instance = nullptr;
}

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Watermark Image"));
    setWindowIcon(artwork::windowIcon());
    setFixedSize(621, 408);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Comic Sans MS where the desktop has it, else the closest free font.
    QFont windowFont;
    windowFont.setFamilies({QStringLiteral("Comic Sans MS"), QStringLiteral("DejaVu Sans")});
    windowFont.setStyleHint(QFont::SansSerif);
    windowFont.setPointSizeF(8.25);
    setFont(windowFont);

    // The background picture lies under every control; it is 4 pixels larger
    // than the client area on each axis, and the window cuts it.
    auto* background = new QLabel(this);
    background->setObjectName(QStringLiteral("Background"));
    background->setGeometry(0, 0, 625, 412);
    background->setPixmap(QPixmap::fromImage(artwork::background()));
    background->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto button = [this](const char* name, const QString& caption, int x, int y, int w, int h) {
        auto* b = new UserButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, y, w, h);
        return b;
    };
    // A value shown: a screen reader hears `what` and the value (app/value_label.h).
    auto label = [this](const char* name, const QString& what, int x, int y, int w, int h,
                        const QColor& text) {
        auto* l = new ValueLabel(what, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(x, y, w, h);
        l->setAutoFillBackground(true);
        setTextColor(l, QPalette::WindowText, text);
        return l;
    };

    chooseVideoButton_ = button("Command6", QStringLiteral("Video Selection"), 56, 8, 201, 25);
    choosePictureButton_ = button("browse", QStringLiteral("Image Selection"), 56, 48, 201, 25);
    textButton_ = button("textMark", QStringLiteral("Text…"), 262, 48, 58, 25);
    textButton_->setAccessibleDescription(QStringLiteral("Make the watermark from a line of text"));
    initializeButton_ = button("Command9", QStringLiteral("Initialize Watermarking"), 56, 88, 201, 25);

    zoomSlider_ = new QSlider(Qt::Horizontal, this);
    zoomSlider_->setObjectName(QStringLiteral("Slider1"));
    zoomSlider_->setGeometry(328, 24, 273, 25);
    // A drag changes the value once, when the thumb is let go: each change
    // reloads the picture from disk.
    zoomSlider_->setTracking(false);
    zoomSlider_->setAccessibleName(QStringLiteral("Picture zoom"));
    zoomSlider_->setAccessibleDescription(QStringLiteral("Zoom of the watermark picture in per cent"));

    zoomLabel_ = label("Label1", QStringLiteral("Picture zoom"), 560, 80, 41, 25, Qt::white);
    zoomLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    previewFrame_ = new QFrame(this);
    previewFrame_->setObjectName(QStringLiteral("Shape1"));
    previewFrame_->setGeometry(328, 80, 273, 273);
    previewFrame_->setFrameStyle(QFrame::Box | QFrame::Plain);
    previewFrame_->setLineWidth(1);
    setTextColor(previewFrame_, QPalette::WindowText, Qt::black);
    previewFrame_->setAttribute(Qt::WA_TransparentForMouseEvents);
    previewFrame_->setAccessibleName(QStringLiteral("Preview frame"));

    preview_ = new PictureBox(this);
    preview_->setObjectName(QStringLiteral("Image1"));
    preview_->setGeometry(344, 96, 240, 240);
    preview_->setAccessibleName(QStringLiteral("Preview"));
    preview_->setAccessibleDescription(QStringLiteral("The watermark picture at its final size"));
    preview_->setPicture(artwork::placeholder());
    // The mark's size in the video, under the preview that may show it smaller.
    markSizeLabel_ = label("markSize", QStringLiteral("Watermark size"), 328, 354, 200, 14, kDarkGrey);
    markSizeLabel_->setAutoFillBackground(false);

    titleLabel_ = label("vidtitle", QStringLiteral("Title"), 64, 173, 209, 17, kDarkGrey);
    titleLabel_->setAlignment(Qt::AlignCenter);
    videoPathView_ = new QPlainTextEdit(this);
    videoPathView_->setObjectName(QStringLiteral("textvid"));
    videoPathView_->setGeometry(32, 214, 233, 46);
    videoPathView_->setReadOnly(true);
    videoPathView_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTextColor(videoPathView_, QPalette::Text, Qt::black);
    videoPathView_->setAccessibleName(QStringLiteral("Path"));
    frameSizeLabel_ = label("vidres", QStringLiteral("Resolution"), 64, 269, 185, 17, kDarkGrey);
    durationLabel_ = label("Label5", QStringLiteral("Duration"), 104, 287, 161, 17, kDarkGrey);

    openFolderButton_ = button("Command5", QStringLiteral("Open Video Folder"), 80, 328, 169, 25);
    guideArea_ = new ClickArea(QStringLiteral("User guide"), this);
    guideArea_->setObjectName(QStringLiteral("Image2"));
    guideArea_->setGeometry(448, 368, 177, 41);

    // Centred on the screen when first shown; the user may move it later.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(width() / 2, height() / 2));
    }

    connect(chooseVideoButton_, &QPushButton::clicked, this, &MainWindow::chooseVideo);
    connect(choosePictureButton_, &QPushButton::clicked, this, &MainWindow::choosePicture);
    connect(textButton_, &QPushButton::clicked, this, &MainWindow::textRequested);
    connect(initializeButton_, &QPushButton::clicked, this, &MainWindow::initializeRequested);
    connect(openFolderButton_, &QPushButton::clicked, this, &MainWindow::openVideoFolder);
    connect(guideArea_, &ClickArea::clicked, this, &MainWindow::openUserGuide);
    connect(zoomSlider_, &QSlider::valueChanged, this, &MainWindow::onZoomChanged);
}

int MainWindow::zoom() const {
    return zoomSlider_->value();
}

QSize MainWindow::previewBoxSize() const {
    return preview_->size();
}

void MainWindow::resizePreview(QSize box, QSizeF scale) {
    preview_->setBoxSize(box.width(), box.height());
    preview_->setScaleSize(scale);
}

void MainWindow::showPreview(const QImage& mark, QSize markSize) {
    resizePreview(mark.size(), QSizeF(mark.size()));
    markSizeLabel_->setText(QStringLiteral("%1 x %2 pixels").arg(markSize.width()).arg(markSize.height()));
    previewMark_ = mark;
    // Transparent parts show the preview's own background, not what was there before.
    preview_->setPicture(QImage());
    preview_->paintPicture(mark, QRectF(QPointF(0, 0), preview_->scaleSize()), QRectF(mark.rect()));
}

void MainWindow::setVideoDuration(const QString& duration) {
    video_.duration = duration;
    durationLabel_->setText(duration);
}

void MainWindow::setVideoFrame(const QString& width, const QString& height, QSize frameSize) {
    setVideoFrame(width, height, frameSize, rules::Orientation{});
}

void MainWindow::setVideoFrame(const QString& width, const QString& height, QSize codedSize,
                               rules::Orientation orientation) {
    video_.width = width;
    video_.height = height;
    video_.codedSize = codedSize;
    video_.orientation = orientation;
    video_.frameSize = QSize();
    if (codedSize.isValid()) {
        const rules::PixelSize upright =
            rules::uprightSize({codedSize.width(), codedSize.height()}, orientation);
        video_.frameSize = QSize(upright.width, upright.height);
    }
    frameSizeLabel_->setText(width + QStringLiteral(" x ") + height);
}

void MainWindow::setVideoDetailsPending() {
    clearVideoDetails();
    const QString pending(QChar(0x2026));
    frameSizeLabel_->setText(pending);
    durationLabel_->setText(pending);
}

void MainWindow::clearVideoDetails() {
    setVideoDuration(QString());
    video_.width.clear();
    video_.height.clear();
    video_.frameSize = QSize();
    video_.codedSize = QSize();
    video_.orientation = {};
    video_.recorded = QDateTime();
    video_.transfer = rules::Transfer::Sdr;
    frameSizeLabel_->clear();
}

void MainWindow::setVideoRecorded(const QDateTime& recorded) {
    video_.recorded = recorded;
}

void MainWindow::setVideoTransfer(rules::Transfer transfer) {
    video_.transfer = transfer;
}

void MainWindow::tell(const QString& text) {
    if (!text.isEmpty()) msgBox(this, text);
}

void MainWindow::finishVideoDetails() {
    emit videoDescribed();
}

void MainWindow::chooseVideo() {
    videoDialog_.clearFilter();
    videoDialog_.addFileType(QStringLiteral("Video Files"), videoFilePattern());
    videoDialog_.exec(this);
    try {
        // A cancel keeps the video chosen before.
        if (!videoDialog_.fileName().isEmpty()) {
            video_.path = videoDialog_.fileName();
            videoPathView_->setPlainText(video_.path);
        }
        if (video_.path.isEmpty()) {
            msgBox(this, QStringLiteral("Please select a valid video file"));
            return;
        }
        video_.title = videoDialog_.fileTitle();
        titleLabel_->setText(video_.title);
        emit videoChosen(video_.path);
    } catch (const std::exception&) {
        msgBox(this, QStringLiteral("Please select a valid video file"));
    }
}

void MainWindow::openVideo(const QString& path) {
    if (path.isEmpty()) {
        msgBox(this, QStringLiteral("Please select a valid video file"));
        return;
    }
    video_.path = path;
    videoPathView_->setPlainText(path);
    video_.title = QFileInfo(path).fileName();
    titleLabel_->setText(video_.title);
    emit videoChosen(video_.path);
}

void MainWindow::choosePicture() {
    pictureDialog_.clearFilter();
    pictureDialog_.addFileType(QStringLiteral("Image Files"), pictureTypes());
    pictureDialog_.exec(this);
    emit pictureChosen(pictureDialog_.fileName());
}

void MainWindow::onZoomChanged() {
    zoomLabel_->setText(QString::number(zoomSlider_->value()) + u'%');
    emit zoomChanged(zoomSlider_->value());
}

void MainWindow::openVideoFolder() {
    // xdg-open's exit code is all we learn: the message carries it, as the
    // reason may be a missing file manager as well as a folder gone since.
    opener_->open(outputFolder(), QStringLiteral("No file manager could be started to show the folder"));
}

void MainWindow::openUserGuide() {
    // Every click asks the browser again, so a closed guide comes back.
    const QString guide = userGuidePath();
    if (!QFileInfo::exists(guide)) {
        msgBox(this, QStringLiteral("The user guide is missing. It belongs at\n%1")
                         .arg(QDir::toNativeSeparators(guide)));
        return;
    }
    opener_->open(guide, QStringLiteral("No web browser could be started to show the user guide"));
}
