#include "watermark/text_mark_window.h"

#include "app/message.h"
#include "mark/color_text.h"
#include "mark/scale.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

WindowSlot<TextMarkWindow>& slot() {
    static WindowSlot<TextMarkWindow> s;
    return s;
}

constexpr QSize kPreviewSize(360, 90);
constexpr std::array<TextMark::Edge, 3> kEdges{TextMark::Edge::None, TextMark::Edge::Outline,
                                               TextMark::Edge::Shadow};

}  // namespace

TextMarkWindow::TextMarkWindow(QWidget* parent) : ProgramWindow(parent) {
    setObjectName(QStringLiteral("textWindow"));
    setWindowTitle(QStringLiteral("Text Watermark"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setPlaceholderText(QStringLiteral("© {name} {date}"));
    text_->setAccessibleName(QStringLiteral("Text"));
    text_->setMaxLength(kMaxTextLength);
    font_ = new QFontComboBox(this);
    font_->setObjectName(QStringLiteral("font"));
    font_->setAccessibleName(QStringLiteral("Font"));
    size_ = new QSpinBox(this);
    size_->setObjectName(QStringLiteral("textSize"));
    size_->setRange(kMinTextSize, kMaxTextSize);
    size_->setSuffix(QStringLiteral(" px"));
    size_->setAccessibleName(QStringLiteral("Size"));
    size_->setAccessibleDescription(QStringLiteral("Height of the letters in video pixels at 100 % zoom"));
    colour_ = new QLineEdit(this);
    colour_->setObjectName(QStringLiteral("colour"));
    colour_->setMaxLength(6);
    colour_->setAccessibleName(QStringLiteral("Colour"));
    colour_->setAccessibleDescription(QStringLiteral("Colour of the letters, RRGGBB"));
    pickColourButton_ = new QToolButton(this);
    pickColourButton_->setObjectName(QStringLiteral("pickColour"));
    pickColourButton_->setText(QStringLiteral("…"));
    pickColourButton_->setAccessibleName(QStringLiteral("Choose the colour"));
    edge_ = new QComboBox(this);
    edge_->setObjectName(QStringLiteral("edge"));
    edge_->setAccessibleName(QStringLiteral("Edge"));
    for (const TextMark::Edge e : kEdges)
        edge_->addItem(QLatin1String(edgeName(e)));
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("textPreview"));
    preview_->setFixedSize(kPreviewSize);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setAccessibleName(QStringLiteral("Preview"));
    auto* hint = new QLabel(
        QStringLiteral("{name}: the video's file name; {date}: the day it was recorded (YYYY-MM-DD)"), this);
    hint->setWordWrap(true);
    useButton_ = new QPushButton(QStringLiteral("Use Text"), this);
    useButton_->setObjectName(QStringLiteral("useText"));
    useButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cancel"));

    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(colour_);
    colourRow->addWidget(pickColourButton_);
    auto* form = new QFormLayout;
    auto row = [this, form](const QString& caption, QWidget* field, QLayout* layout = nullptr) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        if (layout)
            form->addRow(label, layout);
        else
            form->addRow(label, field);
    };
    row(QStringLiteral("&Text:"), text_);
    row(QStringLiteral("&Font:"), font_);
    row(QStringLiteral("&Size:"), size_);
    row(QStringLiteral("&Colour:"), colour_, colourRow);
    row(QStringLiteral("&Edge:"), edge_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(useButton_);
    buttons->addWidget(cancelButton_);
    auto* root = new QVBoxLayout(this);
    root->addLayout(form);
    root->addWidget(hint);
    root->addWidget(preview_, 0, Qt::AlignHCenter);
    root->addLayout(buttons);

    showMark(TextMark{}, QString(), QDate());
    connect(text_, &QLineEdit::textChanged, this, &TextMarkWindow::updatePreview);
    connect(font_, &QFontComboBox::currentFontChanged, this, &TextMarkWindow::updatePreview);
    connect(size_, &QSpinBox::valueChanged, this, &TextMarkWindow::updatePreview);
    connect(colour_, &QLineEdit::textChanged, this, &TextMarkWindow::updatePreview);
    connect(edge_, &QComboBox::currentIndexChanged, this, &TextMarkWindow::updatePreview);
    connect(pickColourButton_, &QToolButton::clicked, this, &TextMarkWindow::pickColour);
    connect(useButton_, &QPushButton::clicked, this, &TextMarkWindow::useText);
    connect(cancelButton_, &QPushButton::clicked, this, &TextMarkWindow::close);
}

TextMarkWindow& TextMarkWindow::instance() {
    return slot().instance([] { return std::make_unique<TextMarkWindow>(); }, [](TextMarkWindow&) {});
}

TextMarkWindow* TextMarkWindow::loaded() {
    return slot().loaded();
}

void TextMarkWindow::showMark(const TextMark& mark, const QString& name, const QDate& date) {
    sampleName_ = name;
    sampleDate_ = date;
    lastColour_ = mark.colour;
    text_->setText(mark.text);
    if (!mark.family.isEmpty()) font_->setCurrentFont(QFont(mark.family));
    size_->setValue(mark.pixelSize);
    colour_->setText(rrggbbOf(mark.colour));
    edge_->setCurrentIndex(int(std::find(kEdges.begin(), kEdges.end(), mark.edge) - kEdges.begin()));
    updatePreview();
}

TextMark TextMarkWindow::mark() const {
    TextMark m;
    m.text = text_->text();
    m.family = font_->currentFont().family();
    m.pixelSize = size_->value();
    m.colour = colorFromRrggbb(colour_->text()).value_or(lastColour_);
    m.edge = kEdges[size_t(std::clamp(edge_->currentIndex(), 0, int(kEdges.size()) - 1))];
    return m;
}

void TextMarkWindow::updatePreview() {
    if (const std::optional<QColor> c = colorFromRrggbb(colour_->text())) lastColour_ = *c;
    TextMark filled = mark();
    filled.text = fillTokens(filled.text, sampleName_, sampleDate_);
    // On the program's grey, as large as the box shows it; drawn at that size.
    QImage shown(kPreviewSize, QImage::Format_RGB32);
    shown.fill(QColor(128, 128, 128));
    if (!filled.text.trimmed().isEmpty()) {
        const QSize size = zoom::fittedIn(textMarkSize(filled), kPreviewSize);
        QPainter p(&shown);
        p.drawImage(
            QPoint((kPreviewSize.width() - size.width()) / 2, (kPreviewSize.height() - size.height()) / 2),
            drawTextMark(filled, size));
    }
    preview_->setPixmap(QPixmap::fromImage(shown));
}

void TextMarkWindow::pickColour() {
    const Busy busy(*this);
    const QColor c = QColorDialog::getColor(mark().colour, this, QStringLiteral("Text Colour"));
    if (c.isValid() && isLoaded()) colour_->setText(rrggbbOf(c));
}

void TextMarkWindow::useText() {
    const Busy busy(*this);
    if (const TextMarkProblem p = textMarkProblem(text_->text(), colour_->text()); !p.problem.isEmpty()) {
        msgBox(this, p.problem);
        return;
    }
    emit textChosen(mark());
    close();
}

void TextMarkWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    ProgramWindow::keyPressEvent(e);
}

void TextMarkWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    unload();
}
