// The watermark picture behind the main window's preview: loads the chosen
// picture, keeps it in a holder of at most 240 x 240 pixels, and rebuilds
// the preview at the zoom's size whenever the picture or the zoom changes.
// The preview's pixel size is the watermark's size in the video.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

class MainWindow;

class PicturePreview : public QObject {
    Q_OBJECT
public:
    // Hears the window's picture choices and zoom; a child of it.
    explicit PicturePreview(MainWindow& window);

    // The chosen picture's path; "" while none was chosen.
    const QString& path() const { return path_; }
    // The holder: the picture's size, cut to 240 x 240. The next zoom step
    // keeps its shape.
    QSize holderSize() const { return holder_; }

    // Rebuilds the preview from the chosen picture at the window's zoom.
    void rebuild();
    // The preview shows the chosen picture: false after a picture failed to
    // load, when the preview still shows an earlier one (or the placeholder).
    bool holdsChosenPicture() const { return holdsChosen_; }

private:
    void onPictureChosen(const QString& path);
    void onZoomChanged();
    // Takes a freshly loaded picture into the holder, with the clamp.
    void hold(const QImage& picture);

    MainWindow& window_;
    QString path_;
    QImage picture_;
    QSize holder_{240, 240};
    bool holdsChosen_ = false;
};
