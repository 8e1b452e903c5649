// The palette window "Palette Selection": chooses the mask colour. It writes
// straight into the positioning window: a swatch or "Restore Defaults" sets
// Form3's colormask, "Save Settings" sets the canvas colour (and so clears the
// canvas). It keeps no state beyond its controls.
//
// One instance, created on first use and shown without blocking
// (Form4::instance(), see app/forms.h); closing it discards it, so the next
// "Change Mask Color" shows a fresh one. Every command that touches the
// positioning window creates (and loads) one when none is loaded.
#pragma once

#include "app/forms.h"

#include <QColor>
#include <QString>

#include <array>

class PictureBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Form4 : public ProgramForm {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    // The palette, created on first use.
    static Form4& instance();
    // The palette, or nullptr.
    static Form4* loaded();

    // A swatch: where it stands (in twips, as designed), its colour and the
    // colour text its click writes.
    struct Swatch {
        int left, top;
        QColor color;
        const char* text;
    };
    static const std::array<Swatch, 12> kSwatches;

    // --- controls (owned by the window) ---
    QLabel* Label1 = nullptr;        // "Click on a box or define a custom color"
    PictureBox* Picture1 = nullptr;  // swatches 1 to 12, as kSwatches
    PictureBox* Picture2 = nullptr;
    PictureBox* Picture3 = nullptr;
    PictureBox* Picture4 = nullptr;
    PictureBox* Picture5 = nullptr;
    PictureBox* Picture6 = nullptr;
    PictureBox* Picture7 = nullptr;
    PictureBox* Picture8 = nullptr;
    PictureBox* Picture9 = nullptr;
    PictureBox* Picture10 = nullptr;
    PictureBox* Picture11 = nullptr;
    PictureBox* Picture12 = nullptr;
    PictureBox* Picture13 = nullptr;  // the preview swatch
    QLineEdit* rgbval = nullptr;      // a colour text, "RGB Value" at first
    QPushButton* Command2 = nullptr;  // "Preview"
    QPushButton* Command3 = nullptr;  // "Restore Defaults"
    QPushButton* Command1 = nullptr;  // "Save Settings"

    // The twelve swatches in the order of kSwatches.
    std::array<PictureBox*, 12> swatches() const;

public slots:
    void swatch_Click(int index);  // 0-based index into kSwatches
    void Command2_Click();
    void Command3_Click();
    void Command1_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
};
