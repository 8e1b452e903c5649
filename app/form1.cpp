#include "app/form1.h"

#include "app/picture_box.h"
#include "app/shell.h"
#include "app/user_button.h"
#include "runner/console_capture.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QUrl>

namespace {
Form1* g_instance = nullptr;
}

Form1* Form1::instance()
{
    return g_instance;
}

Form1::Form1(QWidget* parent)
    : QWidget(parent)
{
    g_instance = this;
    buildControls();
    Form_Load();
}

Form1::~Form1()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Watermark Image"));
    setFixedSize(621, 408);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto button = [this](const char* name, const QString& caption, int x, int y, int w, int h) {
        auto* b = new UserButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, y, w, h);
        return b;
    };
    auto label = [this](const char* name, int x, int y, int w, int h) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(x, y, w, h);
        l->setAutoFillBackground(true);
        return l;
    };

    Command6 = button("Command6", QStringLiteral("Video Selection"), 56, 8, 201, 25);
    browse = button("browse", QStringLiteral("Image Selection"), 56, 48, 201, 25);
    Command9 = button("Command9", QStringLiteral("Initialize Watermarking"), 56, 88, 201, 25);

    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setGeometry(328, 24, 273, 25);
    Slider1->setAccessibleName(QStringLiteral("Picture zoom"));

    Label1 = label("Label1", 560, 80, 41, 25);
    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(328, 80, 273, 273);
    Shape1->setFrameShape(QFrame::Box);

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(344, 96, 240, 240);
    Image1->setAccessibleName(QStringLiteral("Preview"));

    vidtitle = label("vidtitle", 64, 173, 209, 17);
    vidtitle->setAlignment(Qt::AlignCenter);
    textvid = new QPlainTextEdit(this);
    textvid->setObjectName(QStringLiteral("textvid"));
    textvid->setGeometry(32, 214, 233, 46);
    textvid->setReadOnly(true);
    textvid->setAccessibleName(QStringLiteral("Path"));
    vidres = label("vidres", 64, 269, 185, 17);
    Label5 = label("Label5", 104, 287, 161, 17);

    Command5 = button("Command5", QStringLiteral("Open Video Folder"), 80, 328, 169, 25);
    Image2 = new QWidget(this);
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

    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(browse, &QPushButton::clicked, this, &Form1::browse_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Slider1, &QSlider::valueChanged, this, &Form1::Slider1_Change);
    connect(Picture1, &PictureBox::pictureChanged, this, &Form1::Picture1_Change);
}

void Form1::Command5_Click()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(outputFolder()));
}

void Form1::Image2_Click()
{
}
