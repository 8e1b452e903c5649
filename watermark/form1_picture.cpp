// "Image Selection", the zoom slider and the preview: the preview is what is
// later saved as the watermark, so its pixel size is the watermark's size.
#include "app/form1.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "watermark/add_filter.h"
#include "watermark/image_size.h"
#include "watermark/picture_loader.h"
#include "watermark/scale.h"

#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <exception>

namespace {

constexpr int kHolderMax = 240;

const QString& invalidPicture() {
    static const QString text = QStringLiteral("Please select a valid picture");
    return text;
}

}  // namespace

void Form1::browse_Click() {
    cd1.Filter.clear();
    AddFilter(cd1, QStringLiteral("Image Files"), QStringLiteral("*.bmp;*.gif;*.jpg;*.jpeg;*.gif;*.png"));
    cd1.ShowOpen(this);
    // A cancel leaves the dialog's last choice, so the path stays as it was.
    if (!cd1.FileName.isEmpty()) txturl->setText(cd1.FileName);
    scaleimage();
}

void Form1::scaleimage() {
    const QString path = txturl->text();
    // The holder still has the size of the previous picture (or 240 by 240).
    const int holderW = Picture1->width();
    const int holderH = Picture1->height();

    ReadImageSize(path);
    qint32 W = Image1->width();
    qint32 H = Image1->height();
    if (!path.isEmpty()) {
        W = ImageWidth();
        H = ImageHeight();
    }
    const zoom::PreviewSize size = zoom::previewSize(Slider1->value(), holderW, holderH, W, H);

    Image1->setBoxSize(zoom::pixelWidth(size.ws), size.hs);
    Image1->setScaleSize(QSizeF(size.ws, size.hs));

    try {
        const QImage picture = picture::load(path);
        if (picture.isNull()) {
            msgBox(this, invalidPicture());
            return;
        }
        // Takes the picture's size, then the clamp (Picture1_Change) runs.
        Picture1->setPicture(picture);
        const QRectF source(0, 0, Picture1->width(), Picture1->height());
        if (!Image1->paintPicture(Picture1->picture(), QRectF(0, 0, size.ws, size.hs), source))
            msgBox(this, invalidPicture());
    } catch (const std::exception&) {
        // A picture too large to hold in memory ends up here.
        msgBox(this, invalidPicture());
    }
}

void Form1::Slider1_Change() {
    Label1->setText(QString::number(Slider1->value()) + u'%');
    if (!txturl->text().isEmpty()) scaleimage();
}

void Form1::Picture1_Change() {
    int w = Picture1->width();
    int h = Picture1->height();
    const bool clamp = w > kHolderMax || h > kHolderMax;
    if (!clamp) return;
    w = qMin(w, kHolderMax);
    h = qMin(h, kHolderMax);
    // Only the holder shrinks: the picture keeps its pixels and the preview
    // shows its top-left part.
    Picture1->setBoxSize(w, h);
    msgBox(this, QStringLiteral("Images smaller than 240x240 are recommended"));
}
