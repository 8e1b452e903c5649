// The palette window "Palette Selection": chooses the mask colour. A swatch
// or "Restore Defaults" reports the colour text for the mask colour; "Save
// Settings" reports the chosen colour for the canvas. It keeps no state
// beyond its controls.
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

signals:
    // A swatch or "Restore Defaults": the key colour the mask is keyed on, RRGGBB.
    void maskColourChosen(const QString& rrggbb);
    // "Save Settings": the canvas takes this colour.
    void colourSaved(const QColor& colour);

public slots:
    void chooseSwatch(int index);  // 0-based index into kSwatches
    void previewTypedColour();
    void restoreDefaults();
    void saveMaskColour();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void showChosen(const QColor& colour);

    QLabel* instructions_ = nullptr;
    std::array<PictureBox*, 12> swatches_{};
    PictureBox* chosenColour_ = nullptr;
    QLineEdit* colourText_ = nullptr;
    QPushButton* previewButton_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
};
