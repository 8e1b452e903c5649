// Sizing the positioning window to the video frame: one canvas pixel per
// frame pixel, the window 160 by 130 pixels larger than the canvas, frame
// and title bar included.
#include "app/form1.h"

#include "app/picture_box.h"
#include "convert/form3.h"

void Form1::resize_video_form(qint32 wid, qint32 hey) {
    Form3& form = Form3::instance();
    const ProgramForm::Busy busy(form);

    form.Picture1->setBoxSize(wid, hey);

    // The frame's thickness is known once the window is shown (the load step
    // shows it); where the platform draws none it counts as zero.
    const QSize frame = form.frameGeometry().size() - form.size();
    const QSize outer(wid + 160, hey + 130);
    form.setFixedSize(qMax(1, outer.width() - frame.width()), qMax(1, outer.height() - frame.height()));

    form.Picture2->move(form.Picture1->x() + form.Picture1->width(), form.Picture2->y());
    form.show();
}
