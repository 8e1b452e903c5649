#include "app/form1.h"

#include "app/artwork.h"
#include "app/click_area.h"
#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "app/user_button.h"
#include "runner/console_capture.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QUrl>

namespace {

Form1* g_instance = nullptr;

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

}  // namespace

Form1* Form1::instance() {
    return g_instance;
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
    g_instance = this;
    buildControls();
    Form_Load();
}

Form1::~Form1() {
    if (g_instance == this) g_instance = nullptr;
}

void Form1::buildControls() {
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

    // The background picture lies under every control; it is larger than
    // the client area, as it always was.
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
    auto label = [this](const char* name, int x, int y, int w, int h, const QColor& text) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(x, y, w, h);
        l->setAutoFillBackground(true);
        setTextColor(l, QPalette::WindowText, text);
        return l;
    };

    Command6 = button("Command6", QStringLiteral("Video Selection"), 56, 8, 201, 25);
    browse = button("browse", QStringLiteral("Image Selection"), 56, 48, 201, 25);
    Command9 = button("Command9", QStringLiteral("Initialize Watermarking"), 56, 88, 201, 25);

    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setGeometry(328, 24, 273, 25);
    // A drag changes the value once, when the thumb is let go: each change
    // reloads the picture from disk.
    Slider1->setTracking(false);
    Slider1->setAccessibleName(QStringLiteral("Picture zoom"));
    Slider1->setAccessibleDescription(QStringLiteral("Zoom of the watermark picture in per cent"));

    Label1 = label("Label1", 560, 80, 41, 25, Qt::white);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setAccessibleDescription(QStringLiteral("Picture zoom"));

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(328, 80, 273, 273);
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setLineWidth(1);
    setTextColor(Shape1, QPalette::WindowText, Qt::black);
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(344, 96, 240, 240);
    Image1->setAccessibleName(QStringLiteral("Preview"));
    Image1->setAccessibleDescription(QStringLiteral("The watermark picture at its final size"));
    Image1->setPicture(artwork::placeholder());

    vidtitle = label("vidtitle", 64, 173, 209, 17, kDarkGrey);
    vidtitle->setAlignment(Qt::AlignCenter);
    vidtitle->setAccessibleDescription(QStringLiteral("Title"));
    textvid = new QPlainTextEdit(this);
    textvid->setObjectName(QStringLiteral("textvid"));
    textvid->setGeometry(32, 214, 233, 46);
    textvid->setReadOnly(true);
    textvid->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTextColor(textvid, QPalette::Text, Qt::black);
    textvid->setAccessibleName(QStringLiteral("Path"));
    vidres = label("vidres", 64, 269, 185, 17, kDarkGrey);
    vidres->setAccessibleDescription(QStringLiteral("Resolution"));
    Label5 = label("Label5", 104, 287, 161, 17, kDarkGrey);
    Label5->setAccessibleDescription(QStringLiteral("Duration"));

    Command5 = button("Command5", QStringLiteral("Open Video Folder"), 80, 328, 169, 25);
    Image2 = new ClickArea(QStringLiteral("User guide"), this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(448, 368, 177, 41);

    // Hidden state holders, placed outside the client area.
    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(640, 0, 240, 240);
    Picture1->setAutoSize(true);
    Picture1->hide();
    txturl = new QLineEdit(this);
    txturl->setObjectName(QStringLiteral("txturl"));
    txturl->setGeometry(640, 250, 100, 20);
    txturl->hide();

    // Centred on the screen when first shown; the user may move it later.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(width() / 2, height() / 2));
    }

    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(browse, &QPushButton::clicked, this, &Form1::browse_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(static_cast<ClickArea*>(Image2), &ClickArea::clicked, this, &Form1::Image2_Click);
    connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Change);
    connect(Picture1, &PictureBox::pictureChanged, this, &Form1::Picture1_Change);
}

void Form1::Command5_Click() {
    // A missing folder is the file manager's to report; only a desktop that
    // cannot start one at all gets our message.
    const QString folder = outputFolder();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        msgBox(this, QStringLiteral("No file manager could be started to show the folder\n%1")
                         .arg(QDir::toNativeSeparators(folder)));
    }
}

void Form1::Image2_Click() {
    // Every click asks the browser again, so a closed guide comes back.
    const QString guide = userGuidePath();
    if (!QFileInfo::exists(guide)) {
        msgBox(this, QStringLiteral("The user guide is missing. It belongs at\n%1")
                         .arg(QDir::toNativeSeparators(guide)));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(guide))) {
        msgBox(this, QStringLiteral("No web browser could be started to show the user guide\n%1")
                         .arg(QDir::toNativeSeparators(guide)));
    }
}
