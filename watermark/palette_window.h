// The palette window "Palette Selection": chooses the mask colour. It opens
// on the key colour in use; a swatch, a typed colour or "Restore Defaults"
// (the colour the program chose) only shows a colour, and "Save Settings"
// reports it to the window that opened the palette. Escape closes it.
//
// One instance, created on first use and shown without blocking
// (PaletteWindow::instance()); closing it discards it, so the next "Change
// Mask Color" shows a fresh one.
#pragma once

#include "app/program_window.h"

#include <QColor>
#include <QString>

#include <array>

class PictureBox;
class QLabel;
class QLineEdit;
class QPushButton;

class PaletteWindow : public ProgramWindow {
    Q_OBJECT
public:
    explicit PaletteWindow(QWidget* parent = nullptr);

    // The palette, created on first use.
    static PaletteWindow& instance();
    // The palette, or nullptr.
    static PaletteWindow* loaded();

    // A swatch: where it stands (in twips, 15 to the pixel), its colour and
    // the colour text its click reports.
    struct Swatch {
        int left, top;
        QColor color;
        const char* text;
    };
    static const std::array<Swatch, 12> kSwatches;

    QColor chosenColour() const;

    // Shows `current` as the chosen colour; "Restore Defaults" brings back
    // `programDefault`.
    void showKeyColour(const QColor& current, const QColor& programDefault);

signals:
    // "Save Settings": the mask is keyed on this colour.
    void colourSaved(const QColor& colour);

public slots:
    void chooseSwatch(int index);  // 0-based index into kSwatches
    void previewTypedColour();
    void restoreDefaults();
    void saveMaskColour();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void showChosen(const QColor& colour);

    QLabel* instructions_ = nullptr;
    std::array<PictureBox*, 12> swatches_{};
    PictureBox* chosenColour_ = nullptr;
    QLineEdit* colourText_ = nullptr;
    QPushButton* previewButton_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QColor programDefault_{Qt::black};
};
