// The window "Text Watermark": makes the watermark from a line of text. The
// text may hold {name} and {date}, filled for each video; a font of the
// system's, a size in video pixels, a colour and an edge (an outline or a
// shadow) make it read on any frame. The preview shows it filled for the
// video chosen; "Use Text" reports the mark, tokens unfilled, to whoever
// opened the window, and closes it. Escape closes it.
//
// One instance, created on first use and shown without blocking
// (TextMarkWindow::instance()); closing it discards it.
#pragma once

#include "app/program_window.h"
#include "mark/text_mark.h"

#include <QDate>
#include <QString>

class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

class TextMarkWindow : public ProgramWindow {
    Q_OBJECT
public:
    explicit TextMarkWindow(QWidget* parent = nullptr);

    static TextMarkWindow& instance();
    static TextMarkWindow* loaded();

    // Shows `mark` in the fields; the preview fills its tokens with `name` and `date`.
    void showMark(const TextMark& mark, const QString& name, const QDate& date);
    // The mark the fields make; the colour stays as it was while its text is no RRGGBB.
    TextMark mark() const;

signals:
    // "Use Text": the watermark is this text, its tokens unfilled.
    void textChosen(const TextMark& mark);

public slots:
    void useText();
    void pickColour();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void updatePreview();

    QLineEdit* text_ = nullptr;
    QFontComboBox* font_ = nullptr;
    QSpinBox* size_ = nullptr;
    QLineEdit* colour_ = nullptr;
    QToolButton* pickColourButton_ = nullptr;
    QComboBox* edge_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* useButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QColor lastColour_{Qt::white};
    QString sampleName_;
    QDate sampleDate_;
};
