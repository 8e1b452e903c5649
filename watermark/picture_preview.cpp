#include "watermark/picture_preview.h"

#include "app/main_window.h"
#include "app/message.h"
#include "watermark/image_size.h"
#include "watermark/picture_loader.h"
#include "watermark/scale.h"

#include <QPainter>

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

void PicturePreview::onPictureChosen(const QString& path) {
    // A cancel leaves the dialog's last choice, so the path stays as it was.
    if (!path.isEmpty()) path_ = path;
    rebuild();
}

void PicturePreview::onZoomChanged() {
    if (!path_.isEmpty()) rebuild();
}

void PicturePreview::rebuild() {
    // The holder still has the size of the previous picture (or 240 by 240).
    const QSize holder = holder_;
    QSize header = window_.previewBoxSize();
    if (!path_.isEmpty()) {
        const imagesize::Size s = imagesize::readImageSize(path_);
        header = QSize(s.width, s.height);
    }
    const zoom::PreviewSize size =
        zoom::previewSize(window_.zoom(), holder.width(), holder.height(), header.width(), header.height());
    window_.resizePreview(QSize(zoom::pixelWidth(size.ws), size.hs), QSizeF(size.ws, size.hs));

    holdsChosen_ = false;
    try {
        const QImage picture = picture::load(path_);
        if (picture.isNull()) {
            msgBox(&window_, invalidPicture());
            return;
        }
        hold(picture);
        // The holder's region of the picture stretched over the preview's
        // pixels, alpha and all: this is the watermark.
        const QSize box(zoom::pixelWidth(size.ws), size.hs);
        QImage mark(box, QImage::Format_ARGB32);
        mark.fill(Qt::transparent);
        {
            QPainter p(&mark);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.drawImage(QRectF(QPointF(0, 0), QSizeF(box)), picture_, QRectF(QPointF(0, 0), QSizeF(holder_)));
        }
        window_.showPreview(mark);
        holdsChosen_ = true;
    } catch (const std::exception&) {
        // A picture too large to hold in memory ends up here.
        msgBox(&window_, invalidPicture());
    }
}

void PicturePreview::hold(const QImage& picture) {
    picture_ = picture;
    // Only the holder shrinks: the picture keeps its pixels and the preview
    // shows its top-left part.
    holder_ = zoom::holderSize(picture.size());
    if (holder_ == picture.size()) return;
    msgBox(&window_, QStringLiteral("Images smaller than 240x240 are recommended"));
}
