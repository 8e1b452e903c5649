// The watermark picture behind the main window's preview: loads the chosen
// picture whole and shows the mark it makes at the zoom: the whole picture
// scaled by the zoom (100 % = its own pixels), shown scaled down to fit the
// preview's box when it is larger, with its size in pixels under it.
//
// The mark may be a line of text instead ("Text…" opens the text window):
// then it is the text filled for the chosen video and drawn at the size it
// shows, its size at 100 % the text's own. Choosing a picture makes the mark
// a picture again.
#pragma once

#include "mark/text_mark.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>

class MainWindow;

class PicturePreview : public QObject {
    Q_OBJECT
public:
    // Hears the window's picture choices and zoom; a child of it.
    explicit PicturePreview(MainWindow& window);

    // The chosen picture's path; "" while none was chosen.
    const QString& path() const { return path_; }
    // The whole chosen picture with its alpha; null while none loaded. For a
    // text, its drawing at 100 % for the chosen video.
    const QImage& picture() const { return picture_; }
    // The mark's size in the video at the window's zoom.
    QSize markSize() const;
    // The text the mark is made of, its tokens unfilled; nothing for a picture.
    const std::optional<TextMark>& textMark() const { return text_; }
    // The text filled for the window's video; nothing for a picture.
    std::optional<TextMark> filledText() const;

    // Loads the chosen picture again (draws the text again for the video
    // chosen now) and shows it at the window's zoom.
    void rebuild();
    // The preview shows the chosen picture: false after a picture failed to
    // load, when the preview still shows an earlier one (or the placeholder).
    bool holdsChosenPicture() const { return holdsChosen_; }

public slots:
    // Opens the text window on the text in use, or the one remembered.
    void editText();
    // The mark is `mark` from now on (remembered for the next run).
    void useText(const TextMark& mark);

private:
    void onPictureChosen(const QString& path);
    void onZoomChanged();
    void show();

    MainWindow& window_;
    QString path_;
    QImage picture_;
    std::optional<TextMark> text_;
    bool holdsChosen_ = false;
};
