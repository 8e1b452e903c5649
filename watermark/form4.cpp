#include "watermark/form4.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "app/window_steps.h"
#include "convert/form3.h"
#include "convert/pressable_box.h"
#include "watermark/color_text.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The palette is laid out in twips, 15 to the pixel.
constexpr int px(int twips) {
    return (twips * 2 + 15) / 30;
}

constexpr int kSwatchSize = 500;
constexpr std::array<int, 4> kColumns{240, 1080, 1920, 2760};
constexpr std::array<int, 3> kRows{600, 1320, 2040};

const std::array<const char*, 12> kSwatchNames{"White",     "Pale green", "Pale blue",      "Pale magenta",
                                               "Red",       "Green",      "Blue",           "Magenta",
                                               "Dark grey", "Navy",       "Very dark blue", "Black"};

void describeColor(PictureBox* box, const QColor& c) {
    box->setAccessibleDescription(rrggbbOf(c));
}

}  // namespace

const std::array<Form4::Swatch, 12> Form4::kSwatches{{
    {kColumns[0], kRows[0], QColor(255, 255, 255), "ffffff"},
    {kColumns[1], kRows[0], QColor(192, 255, 192), "c0ffc0"},
    {kColumns[2], kRows[0], QColor(192, 192, 255), "c0c0ff"},
    {kColumns[3], kRows[0], QColor(255, 192, 255), "ffc0ff"},
    {kColumns[0], kRows[1], QColor(255, 0, 0), "ff0000"},
    {kColumns[1], kRows[1], QColor(0, 255, 0), "00ff00"},
    {kColumns[2], kRows[1], QColor(0, 0, 255), "0000ff"},
    {kColumns[3], kRows[1], QColor(255, 0, 255), "ff00ff"},
    {kColumns[0], kRows[2], QColor(64, 64, 64), "404040"},
    {kColumns[1], kRows[2], QColor(0, 0, 128), "000080"},
    {kColumns[2], kRows[2], QColor(0, 0, 64), "000040"},
    {kColumns[3], kRows[2], QColor(0, 0, 0), "000000"},
}};

Form4::Form4(QWidget* parent) : ProgramForm(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Palette Selection"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(px(3645), px(4635));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(pal);
    setAutoFillBackground(true);

    Label1 = new QLabel(QStringLiteral("Click on a box or define a custom color"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(px(120), px(120), px(3495), px(375));
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::Window, QColor(192, 192, 192));
    labelPal.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(labelPal);
    Label1->setAutoFillBackground(true);
    fitFont(Label1, Label1->text());

    PictureBox** members[12] = {&Picture1, &Picture2, &Picture3, &Picture4,  &Picture5,  &Picture6,
                                &Picture7, &Picture8, &Picture9, &Picture10, &Picture11, &Picture12};
    for (int i = 0; i < 12; ++i) {
        const Swatch& s = kSwatches[static_cast<size_t>(i)];
        auto* box = new PressableBox(QAccessible::Button, this);
        box->setObjectName(QStringLiteral("Picture%1").arg(i + 1));
        box->setGeometry(px(s.left), px(s.top), px(kSwatchSize), px(kSwatchSize));
        box->setBackColor(s.color);
        box->setAccessibleName(QLatin1String(kSwatchNames[static_cast<size_t>(i)]));
        describeColor(box, s.color);
        connect(box, &PictureBox::mouseDown, this, [this, i] { swatch_Click(i); });
        *members[i] = box;
    }

    Picture13 = new PictureBox(this);
    Picture13->setObjectName(QStringLiteral("Picture13"));
    Picture13->setGeometry(px(1560), px(2880), px(495), px(495));
    Picture13->setAccessibleName(QStringLiteral("Chosen colour"));
    Picture13->setBackColor(Qt::black);
    describeColor(Picture13, Qt::black);

    rgbval = new QLineEdit(QStringLiteral("RGB Value"), this);
    rgbval->setObjectName(QStringLiteral("rgbval"));
    rgbval->setGeometry(px(240), px(3000), px(1095), px(285));
    rgbval->setAccessibleName(QStringLiteral("RGB value"));

    auto button = [this](const char* name, const QString& caption, int l, int t, int w) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(px(l), px(t), px(w), px(375));
        return b;
    };
    Command2 = button("Command2", QStringLiteral("Preview"), 2280, 3000, 975);
    Command3 = button("Command3", QStringLiteral("Restore Defaults"), 240, 3480, 3015);
    Command1 = button("Command1", QStringLiteral("Save Settings"), 240, 4080, 3015);

    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
}

std::array<PictureBox*, 12> Form4::swatches() const {
    return {Picture1, Picture2, Picture3, Picture4,  Picture5,  Picture6,
            Picture7, Picture8, Picture9, Picture10, Picture11, Picture12};
}

void Form4::swatch_Click(int index) {
    if (index < 0 || index >= static_cast<int>(kSwatches.size())) return;
    const Busy busy(*this);  // touching Form3 may load it, message and all
    const auto i = static_cast<size_t>(index);
    Form3::instance().colormask = QLatin1String(kSwatches[i].text);
    Picture13->setBackColor(swatches()[i]->backColor());
    describeColor(Picture13, Picture13->backColor());
    rgbval->setText(QLatin1String(kSwatches[i].text));
}

void Form4::Command2_Click() {
    const Busy busy(*this);
    // Six characters that are not all hexadecimal digits are no colour either.
    const std::optional<QColor> c = colorFromRrggbb(rgbval->text());
    if (!c) {
        msgBox(this, QStringLiteral("Please use the RRGGBB format"));
        return;
    }
    Picture13->setBackColor(*c);
    describeColor(Picture13, *c);
}

void Form4::Command3_Click() {
    const Busy busy(*this);
    Picture13->setBackColor(Qt::black);
    describeColor(Picture13, Qt::black);
    Form3::instance().colormask = QStringLiteral("000000");
    rgbval->setText(QStringLiteral("000000"));
}

void Form4::Command1_Click() {
    const Busy busy(*this);
    Form3::instance().Picture1->setBackColor(Picture13->backColor());
}

void Form4::closeEvent(QCloseEvent* e) {
    e->accept();
    unload();
}
