// The watermark picture behind the main window's preview: loads the chosen
// picture whole and shows the mark it makes at the zoom: the whole picture
// scaled by the zoom (100 % = its own pixels), shown scaled down to fit the
// preview's box when it is larger, with its size in pixels under it.
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
    // The whole chosen picture with its alpha; null while none loaded.
    const QImage& picture() const { return picture_; }
    // The mark's size in the video at the window's zoom.
    QSize markSize() const;

    // Loads the chosen picture again and shows it at the window's zoom.
    void rebuild();
    // The preview shows the chosen picture: false after a picture failed to
    // load, when the preview still shows an earlier one (or the placeholder).
    bool holdsChosenPicture() const { return holdsChosen_; }

private:
    void onPictureChosen(const QString& path);
    void onZoomChanged();
    void show();

    MainWindow& window_;
    QString path_;
    QImage picture_;
    bool holdsChosen_ = false;
};
