// "Initialize Watermarking" and the prepared watermark: the preview is written
// as "temp.bmp", read back into the positioning window and painted on its
// canvas; the window is then sized to the video frame.
#include "app/form1.h"

#include "app/message.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "convert/form3.h"
#include "probe/probe_parse.h"
#include "watermark/bmp_file.h"

#include <QLineEdit>

namespace {

// The frame size as a whole number; nothing when the probe left no usable
// number (empty, or text that does not start with a positive number).
std::optional<int> frameSide(const QString& text) {
    const std::optional<int> v = sizeValue(text);
    if (!v || *v <= 0) return std::nullopt;
    return v;
}

}  // namespace

void Form1::Command9_Click() {
    const std::optional<int> w = frameSide(vidwidth);
    const std::optional<int> h = frameSide(vidheight);
    if (!w || !h) {
        msgBox(this, QStringLiteral("Please select a valid video file first"));
        return;
    }
    if (txturl->text().isEmpty()) {
        msgBox(this, QStringLiteral("Please select a watermark image first"));
        return;
    }
    qint32 holderHeight = Picture1->height();
    savetempimg(Picture1->width(), holderHeight);
    preparemark();
    resize_video_form(*w, *h);
    Form3::instance().show();
}

void Form1::savetempimg(qint32, qint32&) {
    // The first touch of the positioning window loads it: its message comes
    // before anything is written.
    Form3& form = Form3::instance();
    const ProgramForm::Busy busy(form);

    // The nominal size is the preview's pixel size, so the canvas shows the
    // watermark exactly as the preview does.
    form.Picture2->setBoxSize(Image1->width(), Image1->height());
    form.Picture2->setScaleSize(QSizeF(Image1->width(), Image1->height()));

    const QString path = programFolder() + QStringLiteral("/temp.bmp");
    QString why;
    std::optional<QImage> back;
    if (bmp::write24(path, Image1->image(), &why)) back = bmp::read24(path, &why);
    if (!back) {
        // The canvas can still use the preview itself; the conversion will
        // need the program folder writable for "mask.bmp".
        msgBox(this, QStringLiteral("Could not save the watermark as %1: %2\nThe program folder must be "
                                    "writable for the conversion.")
                         .arg(path, why));
        back = Image1->image().convertToFormat(QImage::Format_RGB32);
    }
    form.Picture2->setPicture(*back);
}

void Form1::preparemark() {
    Form3& form = Form3::instance();
    const ProgramForm::Busy busy(form);
    const QImage& mark = form.Picture2->picture();
    const QSizeF nominal = form.Picture2->scaleSize();
    if (!form.Picture1->paintPicture(mark, QRectF(QPointF(0, 0), nominal), QRectF(mark.rect())))
        msgBox(this, QStringLiteral("Please select a valid picture first"));
}
