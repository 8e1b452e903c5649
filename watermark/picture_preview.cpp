#include "watermark/picture_preview.h"

#include "app/main_window.h"
#include "app/message.h"
#include "watermark/mark_mask.h"
#include "watermark/picture_loader.h"
#include "watermark/scale.h"

#include <exception>

namespace {

const QString& invalidPicture() {
    static const QString text = QStringLiteral("Please select a valid picture");
    return text;
}

}  // namespace

PicturePreview::PicturePreview(MainWindow& window) : QObject(&window), window_(window) {
    connect(&window, &MainWindow::pictureChosen, this, &PicturePreview::onPictureChosen);
    connect(&window, &MainWindow::zoomChanged, this, &PicturePreview::onZoomChanged);
}

QSize PicturePreview::markSize() const {
    return picture_.isNull() ? QSize() : zoom::zoomedSize(picture_.size(), window_.zoom());
}

void PicturePreview::onPictureChosen(const QString& path) {
    // A cancel leaves the dialog's last choice, so the path stays as it was.
    if (!path.isEmpty()) path_ = path;
    rebuild();
}

void PicturePreview::onZoomChanged() {
    // Read again: a picture edited since it was chosen shows as it is now.
    if (!path_.isEmpty()) rebuild();
}

void PicturePreview::rebuild() {
    holdsChosen_ = false;
    try {
        const QImage picture = picture::load(path_);
        if (picture.isNull()) {
            msgBox(&window_, invalidPicture());
            return;
        }
        picture_ = picture;
        holdsChosen_ = true;
        show();
    } catch (const std::exception&) {
        // A picture too large to hold in memory ends up here.
        holdsChosen_ = false;
        msgBox(&window_, invalidPicture());
    }
}

void PicturePreview::show() {
    const QSize mark = markSize();
    const QSize shown = zoom::fittedIn(mark, window_.previewBoxLimit());
    // Drawn from the whole picture straight to the shown size: one scaling, so
    // a large picture is quick and sharp.
    const QImage image = laidMark(picture_, shown);
    window_.showPreview(image, mark);
}
