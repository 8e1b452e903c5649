// The main window "Watermark Image": the hub of the program. It owns the probe
// runner and the probe's results, the chosen video and picture, the zoom and
// the preview; the other windows read and write its controls and fields.
//
// Its handlers live beside the work they do: start-up and shut-down in
// app/form1_lifecycle.cpp, the layout and small commands in app/form1.cpp,
// video selection and probing in probe/, the picture and the bitmaps in
// watermark/.
#pragma once

#include "app/open_file_dialog.h"

#include <QString>
#include <QWidget>

#include <memory>

class ConsoleCapture;
class PictureBox;
class UserButton;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSlider;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The one main window of the running program, or nullptr.
    static Form1* instance();

    // --- fields ---
    std::shared_ptr<ConsoleCapture> conApp;  // probe runner
    QString duration;                        // duration text of the last probe
    QString vidwidth;                        // frame width text of the last probe
    QString vidheight;                       // frame height text of the last probe

    // --- controls (owned by the window) ---
    UserButton* Command6 = nullptr;     // "Video Selection"
    UserButton* browse = nullptr;       // "Image Selection"
    UserButton* Command9 = nullptr;     // "Initialize Watermarking"
    QSlider* Slider1 = nullptr;         // zoom, 1..100
    QLabel* Label1 = nullptr;           // zoom text "N%"
    QFrame* Shape1 = nullptr;           // frame around the preview
    PictureBox* Image1 = nullptr;       // the preview
    QLabel* vidtitle = nullptr;         // the video's file name
    QPlainTextEdit* textvid = nullptr;  // the video's full path
    QLabel* vidres = nullptr;           // "W x H"
    QLabel* Label5 = nullptr;           // duration text
    UserButton* Command5 = nullptr;     // "Open Video Folder"
    QWidget* Image2 = nullptr;          // click area over the logo
    PictureBox* Picture1 = nullptr;     // hidden holder of the chosen picture
    QLineEdit* txturl = nullptr;        // hidden picture path
    OpenFileDialog cd1;                 // picture dialog
    OpenFileDialog cd2;                 // video dialog

    // --- operations other windows call ---
    void scaleimage();
    void savetempimg(qint32 X, qint32& Y);
    void preparemark();
    void initiate_vsize();
    void getvsize(const QString& conout);
    void get_duration(const QString& outstr);
    void resize_video_form(qint32 wid, qint32 hey);

public slots:
    void Command6_Click();
    void browse_Click();
    void Command9_Click();
    void Command5_Click();
    void Image2_Click();
    void Slider1_Change();
    void Picture1_Change();
    void conApp_ReadProcess(const QString& readData);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();  // layout of the window
    void Form_Load();      // start-up, before the window is first shown
    void closeSequence(bool secondPass);
    bool closing_ = false;
};
