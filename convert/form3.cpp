#include "convert/form3.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "app/window_steps.h"
#include "convert/activity_frames.h"
#include "convert/pressable_box.h"
#include "runner/console_capture.h"
#include "watermark/bmp_file.h"
#include "watermark/form4.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// The audio option's caption, its two parts 25 spaces apart as designed; the
// box is too narrow for one line, so the second part wraps below the first.
const QString kCheck1Caption = QStringLiteral("Enhance Audio quality") + QString(25, u' ') +
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

// The canvas pixel under a point in canvas units.
QPoint canvasPixel(double x, double y) {
    return {static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
}

}  // namespace

Form3::Form3(QWidget* parent) : ProgramForm(parent) {
    buildControls();
}

Form3::~Form3() = default;

void Form3::buildControls() {
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
    Command3 = button("Command3", QStringLiteral("Change Mask Color"), 16);
    Command2 = button("Command2", QStringLiteral("Start Watermarking"), 160);
    stop = button("stop", QStringLiteral("Stop conversion"), 304);

    Label1 = new QLabel(QStringLiteral("Progress: 0%"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 48, 89, 17);
    QPalette white = Label1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(white);
    fitFont(Label1, QStringLiteral("Progress: 100%"));

    for (int i = 0; i < 2; ++i) {
        auto* frame = new PictureBox(this);
        frame->setObjectName(QStringLiteral("pb%1").arg(i));
        frame->setGeometry(136 + 40 * (i + 1), 480, 36, 36);  // below the visible area
        frame->setAccessibleName(i == 0 ? QStringLiteral("Activity frame, bright")
                                        : QStringLiteral("Activity frame, dimmed"));
        frame->setPicture(activityFrame(i));
        frame->hide();
        pb[i] = frame;
    }
    pbox = new PictureBox(this);
    pbox->setObjectName(QStringLiteral("pbox"));
    pbox->setGeometry(136, 40, 36, 36);
    pbox->setAccessibleName(QStringLiteral("Conversion activity"));
    pbox->setPicture(pb[1]->picture());

    Check1 = new WrappingCheckBox(kCheck1Caption, this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(192, 40, 289, 33);
    Check1->setChecked(false);

    auto* canvas = new PressableBox(QAccessible::Canvas, this);
    canvas->setObjectName(QStringLiteral("Picture1"));
    canvas->setGeometry(8, 80, 544, 384);
    canvas->setAccessibleName(QStringLiteral("Canvas"));
    canvas->setAccessibleDescription(
        QStringLiteral("Click to place the watermark with its top-left corner at that point"));
    canvas->setBackColor(Qt::black);
    Picture1 = canvas;

    Picture2 = new PictureBox(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(8 + 544, 80, 16, 16);
    Picture2->setAccessibleName(QStringLiteral("Prepared watermark"));
    Picture2->hide();

    connect(Picture1, &PictureBox::mouseDown, this, &Form3::Picture1_MouseDown);
    connect(Command3, &QPushButton::clicked, this, &Form3::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(stop, &QPushButton::clicked, this, &Form3::stop_Click);
}

void Form3::Form_Load() {
    const Busy busy(*this);
    skipOnFailure([this] {
        conApp2 = std::make_shared<ConsoleCapture>();
        connect(conApp2.get(), &ConsoleCapture::output, this, &Form3::conApp2_ReadProcess);
    });
    skipOnFailure([this] {
        const QColor grey = colorFromHexText(RGB2Hex(200, 200, 200));
        setBackground(this, grey);
        setBackground(Label1, grey);
        setBackground(Check1, grey);
        for (PictureBox* frame : {pbox, pb[0], pb[1]})
            frame->setBackColor(grey);
    });
    colormask = QStringLiteral("000000");
    skipOnFailure([this] {
        // Centred on first showing; later sizing keeps the top-left corner.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
    });
    msgBox(this, QStringLiteral("Click on the canvas area to place your watermark"));
    n = 0;
}

void Form3::Picture1_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double X, double Y) {
    Picture1->cls();
    const QImage& mark = Picture2->picture();
    const QSizeF nominal = Picture2->scaleSize();
    const QPoint at = canvasPixel(X, Y);
    Picture1->paintPicture(mark, QRectF(at, nominal), QRectF(mark.rect()));
}

void Form3::Command3_Click() {
    const Busy busy(*this);
    const bool fresh = Form4::loaded() == nullptr;
    Form4& palette = Form4::instance();
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

void Form3::update_froll() {
    const Busy busy(*this);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    pbox->setPicture(pb[std::clamp<int>(n, 0, 1)]->picture());
    n = static_cast<qint16>(n + 1);
    if (n > 1) n = 0;
}

bool Form3::savemask() {
    const Busy busy(*this);
    const QString path = programFolder() + QStringLiteral("/mask.bmp");
    QString why;
    if (bmp::write24(path, Picture1->image(), &why)) return true;
    msgBox(this, QStringLiteral("Could not write %1: %2\nThe conversion needs this file; the program "
                                "folder must be writable.")
                     .arg(path, why));
    return false;
}

void Form3::closeEvent(QCloseEvent* e) {
    e->accept();
    if (closing_ || !isLoaded()) return;
    closing_ = true;
    const Busy busy(*this);
    hide();
    skipOnFailure([this] { Form_QueryUnload(); });
    skipOnFailure([this] { Form_Unload(); });
    unload();
}
