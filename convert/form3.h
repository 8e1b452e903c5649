// The positioning window "Watermark Positioning": the canvas that stands for
// one video frame pixel for pixel, where a click places the watermark, and
// the conversion controls (Start, Stop, the audio option, the progress line
// and its activity animation).
//
// One loaded instance at a time, created and loaded by the first use
// (Form3::instance(), see app/forms.h). The main window and the palette read
// and write its controls and public members directly. Closing it runs its
// close handling and unloads it; it is destroyed only when none of its
// handlers is running, so every handler that can dispatch events holds a
// Busy for its whole body.
#pragma once

#include "app/forms.h"

#include <QString>

#include <array>
#include <memory>

class ConsoleCapture;
class PictureBox;
class QCheckBox;
class QLabel;
class QPushButton;

class Form3 : public ProgramForm {
    Q_OBJECT
public:
    // Builds the window as designed; the load step runs from instance().
    explicit Form3(QWidget* parent = nullptr);
    ~Form3() override;

    // The loaded window; creates and loads one (its message included) when
    // there is none.
    static Form3& instance();
    // The loaded window, or nullptr.
    static Form3* loaded();

    // --- fields (the conversion's, then the canvas's) ---
    QString videoname;                             // short path of the source; set by Start
    QString maskpic;                               // short path of "mask.bmp"; set by Start
    QString colormask = QStringLiteral("000000");  // key colour RRGGBB; the palette sets it
    QString outputfile;                            // full path of the result; set by Start
    qint16 n = 0;                                  // next frame of the animation, 0 or 1
    std::shared_ptr<ConsoleCapture> conApp2;       // the conversion runner, new at every load

    // --- controls (owned by the window) ---
    QPushButton* Command3 = nullptr;  // "Change Mask Color"
    QPushButton* Command2 = nullptr;  // "Start Watermarking"
    QPushButton* stop = nullptr;      // "Stop conversion"
    QLabel* Label1 = nullptr;         // "Progress: N%"
    PictureBox* pbox = nullptr;       // the animation's current frame
    QCheckBox* Check1 = nullptr;      // "Enhance Audio quality ..."
    std::array<PictureBox*, 2> pb{};  // hidden animation frames: bright, dimmed
    PictureBox* Picture1 = nullptr;   // the canvas: one pixel per frame pixel
    PictureBox* Picture2 = nullptr;   // hidden prepared watermark and its nominal size

    // --- operations other windows call ---
    // Writes the canvas as "mask.bmp" in the program folder. On failure shows
    // why and returns false: the encoder must not run on a stale mask.
    bool savemask();
    // One step of the activity animation: five yields to the event loop, then
    // frame n in pbox, and n moves on 0, 1, 0, ...
    void update_froll();

    // The conversion (convert/form3_convert.cpp).
    void receiving(const QString& data);
    void update_progress(const QString& dur);

public slots:
    void Picture1_MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, double X, double Y);
    void Command3_Click();
    void Command2_Click();
    void stop_Click();
    void conApp2_ReadProcess(const QString& readData);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();  // the designed layout
    void Form_Load();      // each step skipped on failure
    // The conversion's close handling (convert/form3_convert.cpp), in this
    // order when the window closes; never refuses the close.
    void Form_QueryUnload();
    void Form_Unload();

    bool closing_ = false;
    QString consoleTail_;  // the end of the encoder's text of the current run
};
