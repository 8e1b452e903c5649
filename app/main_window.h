// The main window "Watermark Image": choosing the video and the picture, the
// zoom and its preview, the video's details, the results folder and the user
// guide.
//
// It keeps what the user chose and shows it; the work behind its buttons is
// done by parts attached to it (the probe, the picture preview, the
// positioning window), which hear its signals and answer through the few
// calls below. None of them touches its controls.
#pragma once

#include "app/chosen_video.h"
#include "app/open_file_dialog.h"

#include <QImage>
#include <QString>
#include <QWidget>

class ClickArea;
class DesktopOpener;
class PictureBox;
class UserButton;
class ValueLabel;
class QFrame;
class QPlainTextEdit;
class QSlider;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The one main window of the running program, or nullptr.
    static MainWindow* instance();

    // The chosen video; its path is kept exactly as the dialog gave it.
    const ChosenVideo& video() const { return video_; }
    // The zoom in per cent, 1..100.
    int zoom() const;
    // The preview as shown: the whole mark, scaled down to fit the preview's
    // box when it is larger, with its alpha; null until a picture was shown.
    const QImage& previewImage() const { return previewMark_; }

    // --- the probe's answers ---
    void setVideoDuration(const QString& duration);
    // A video shown as coded: `frameSize` is its coded and its upright frame.
    void setVideoFrame(const QString& width, const QString& height, QSize frameSize);
    // A video whose coded frame is shown turned by `orientation`; `width` and
    // `height` are the texts shown for the upright frame. An invalid
    // `codedSize` leaves the frame size unknown.
    void setVideoFrame(const QString& width, const QString& height, QSize codedSize,
                       rules::Orientation orientation);
    // The details of a video being probed: the earlier video's duration and
    // frame size are forgotten and "…" stands for both.
    void setVideoDetailsPending();
    // Forgets the duration and frame size: the chosen file told neither.
    void clearVideoDetails();
    // When the chosen video was recorded, as its file says.
    void setVideoRecorded(const QDateTime& recorded);
    // The chosen video is HDR (PQ or HLG), as its probe says.
    void setVideoTransfer(rules::Transfer transfer);
    // The probe has said all it will of the chosen video (a refused one has no frame).
    void finishVideoDetails();

    // --- the picture preview's answers ---
    // The preview's pixel size.
    QSize previewBoxSize() const;
    // The largest the preview can show: 240 x 240 pixels.
    static QSize previewBoxLimit() { return {240, 240}; }
    // Gives the preview `box` pixels and the coordinate range `scale`; the
    // drawing keeps its top-left pixels.
    void resizePreview(QSize box, QSizeF scale);
    // Shows `shown` (at most previewBoxLimit()) on the preview's background,
    // and under it the mark's size in the video, `markSize`.
    void showPreview(const QImage& shown, QSize markSize);

signals:
    // "Video Selection" chose a file: the probe learns its details.
    void videoChosen(const QString& path);
    // The chosen video is described: what video() holds now is all there is to know of it.
    void videoDescribed();
    // "Image Selection" closed; `path` is the dialog's latest choice ("" when
    // there never was one).
    void pictureChosen(const QString& path);
    // "Text…": the user wants a line of text as the watermark.
    void textRequested();
    void zoomChanged(int percent);
    void initializeRequested();
    // The window is closing: whatever runs for it must end.
    void closing();

public slots:
    // A message from another window, shown here: that window is gone.
    void tell(const QString& text);
    void chooseVideo();
    // Takes `path` as if "Video Selection" had chosen it (a file handed to the
    // program on its command line).
    void openVideo(const QString& path);
    void choosePicture();
    void openVideoFolder();
    void openUserGuide();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void prepare();  // start-up, before the window is first shown
    void closeOtherWindows();
    void onZoomChanged();

    ChosenVideo video_;
    QImage previewMark_;
    OpenFileDialog pictureDialog_{QStringLiteral("dialogs/pictureFolder"), QStandardPaths::PicturesLocation};
    OpenFileDialog videoDialog_{QStringLiteral("dialogs/videoFolder"), QStandardPaths::MoviesLocation};

    UserButton* chooseVideoButton_ = nullptr;
    UserButton* choosePictureButton_ = nullptr;
    UserButton* textButton_ = nullptr;
    UserButton* initializeButton_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    ValueLabel* zoomLabel_ = nullptr;
    QFrame* previewFrame_ = nullptr;
    PictureBox* preview_ = nullptr;
    ValueLabel* markSizeLabel_ = nullptr;
    ValueLabel* titleLabel_ = nullptr;
    QPlainTextEdit* videoPathView_ = nullptr;
    ValueLabel* frameSizeLabel_ = nullptr;
    ValueLabel* durationLabel_ = nullptr;
    UserButton* openFolderButton_ = nullptr;
    ClickArea* guideArea_ = nullptr;
    DesktopOpener* opener_ = nullptr;  // the results folder and the user guide
};
