#include "watermark/palette_window.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "app/pressable_box.h"
#include "app/window_steps.h"
#include "mark/color_text.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

WindowSlot<PaletteWindow>& slot() {
    static WindowSlot<PaletteWindow> s;
    return s;
}

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

const std::array<PaletteWindow::Swatch, 12> PaletteWindow::kSwatches{{
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

PaletteWindow::PaletteWindow(QWidget* parent) : ProgramWindow(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Palette Selection"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(px(3645), px(4635));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(pal);
    setAutoFillBackground(true);

    instructions_ = new QLabel(QStringLiteral("Click on a box or define a custom color"), this);
    instructions_->setObjectName(QStringLiteral("Label1"));
    instructions_->setGeometry(px(120), px(120), px(3495), px(375));
    QPalette labelPal = instructions_->palette();
    labelPal.setColor(QPalette::Window, QColor(192, 192, 192));
    labelPal.setColor(QPalette::WindowText, Qt::black);
    instructions_->setPalette(labelPal);
    instructions_->setAutoFillBackground(true);
    fitFont(instructions_, instructions_->text());

    for (int i = 0; i < 12; ++i) {
        const Swatch& s = kSwatches[static_cast<size_t>(i)];
        auto* box = new PressableBox(QAccessible::Button, this);
        box->setObjectName(QStringLiteral("Picture%1").arg(i + 1));
        box->setGeometry(px(s.left), px(s.top), px(kSwatchSize), px(kSwatchSize));
        box->setBackColor(s.color);
        box->setAccessibleName(QLatin1String(kSwatchNames[static_cast<size_t>(i)]));
        describeColor(box, s.color);
        connect(box, &PictureBox::mouseDown, this, [this, i] { chooseSwatch(i); });
        swatches_[static_cast<size_t>(i)] = box;
    }

    chosenColour_ = new PictureBox(this);
    chosenColour_->setObjectName(QStringLiteral("Picture13"));
    chosenColour_->setGeometry(px(1560), px(2880), px(495), px(495));
    chosenColour_->setAccessibleName(QStringLiteral("Chosen colour"));
    chosenColour_->setBackColor(Qt::black);
    describeColor(chosenColour_, Qt::black);

    colourText_ = new QLineEdit(QStringLiteral("RGB Value"), this);
    colourText_->setObjectName(QStringLiteral("rgbval"));
    colourText_->setGeometry(px(240), px(3000), px(1095), px(285));
    colourText_->setAccessibleName(QStringLiteral("RGB value"));

    auto button = [this](const char* name, const QString& caption, int l, int t, int w) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(px(l), px(t), px(w), px(375));
        return b;
    };
    previewButton_ = button("Command2", QStringLiteral("Preview"), 2280, 3000, 975);
    restoreButton_ = button("Command3", QStringLiteral("Restore Defaults"), 240, 3480, 3015);
    saveButton_ = button("Command1", QStringLiteral("Save Settings"), 240, 4080, 3015);

    connect(previewButton_, &QPushButton::clicked, this, &PaletteWindow::previewTypedColour);
    connect(restoreButton_, &QPushButton::clicked, this, &PaletteWindow::restoreDefaults);
    connect(saveButton_, &QPushButton::clicked, this, &PaletteWindow::saveMaskColour);
}

PaletteWindow& PaletteWindow::instance() {
    return slot().instance([] { return std::make_unique<PaletteWindow>(); }, [](PaletteWindow&) {});
}

PaletteWindow* PaletteWindow::loaded() {
    return slot().loaded();
}

QColor PaletteWindow::chosenColour() const {
    return chosenColour_->backColor();
}

void PaletteWindow::showChosen(const QColor& colour) {
    chosenColour_->setBackColor(colour);
    describeColor(chosenColour_, colour);
}

void PaletteWindow::chooseSwatch(int index) {
    if (index < 0 || index >= static_cast<int>(kSwatches.size())) return;
    const Busy busy(*this);  // whoever hears it may show a message
    const auto i = static_cast<size_t>(index);
    showChosen(swatches_[i]->backColor());
    colourText_->setText(QLatin1String(kSwatches[i].text));
}

void PaletteWindow::previewTypedColour() {
    const Busy busy(*this);
    // Six characters that are not all hexadecimal digits are no colour either.
    const std::optional<QColor> c = colorFromRrggbb(colourText_->text());
    if (!c) {
        msgBox(this, QStringLiteral("Please use the RRGGBB format"));
        return;
    }
    showChosen(*c);
}

void PaletteWindow::restoreDefaults() {
    const Busy busy(*this);
    showChosen(programDefault_);
    colourText_->setText(rrggbbOf(programDefault_));
}

void PaletteWindow::saveMaskColour() {
    const Busy busy(*this);
    emit colourSaved(chosenColour_->backColor());
}

void PaletteWindow::showKeyColour(const QColor& current, const QColor& programDefault) {
    programDefault_ = programDefault;
    showChosen(current);
    colourText_->setText(rrggbbOf(current));
}

void PaletteWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    ProgramWindow::keyPressEvent(e);
}

void PaletteWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    unload();
}
