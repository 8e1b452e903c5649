// The positioning window under a real window manager (run by on_screen.sh on
// its own X server): for frames from 320 x 240 to 3840 x 2160, the whole
// window lies on the screen's free area, the whole frame shows on its
// canvas, a click on the frame's bottom-right pixel as shown puts the mark
// there, and maximised the canvas grows by one factor.
#include "positioning/canvas_geometry.h"
#include "positioning/positioning_window.h"
#include "tests/support/window_test_support.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage logo() {
    QImage img(60, 20, QImage::Format_ARGB32);
    img.fill(QColor(200, 30, 30));
    return img;
}

// The window manager answers asynchronously: wait until the frame it drew is known.
void settle(QWidget& w) {
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(300);
}

QString where(const QWidget& w, QRect area) {
    const QRect f = w.frameGeometry();
    return QStringLiteral("window %1,%2 %3x%4 in %5,%6 %7x%8")
        .arg(f.x())
        .arg(f.y())
        .arg(f.width())
        .arg(f.height())
        .arg(area.x())
        .arg(area.y())
        .arg(area.width())
        .arg(area.height());
}

}  // namespace

class OnScreenTest : public QObject {
    Q_OBJECT
private slots:
    void init() { setProgramFolderForTesting(dir_.path()); }
    void cleanup() { QVERIFY(closeProgramWindows()); }
    void wholeOnScreen_data();
    void wholeOnScreen();

private:
    QTemporaryDir dir_;
};

void OnScreenTest::wholeOnScreen_data() {
    QTest::addColumn<QSize>("frame");
    for (const QSize f : {QSize(320, 240), QSize(720, 528), QSize(1280, 720), QSize(1920, 1080),
                          QSize(3840, 2160), QSize(1080, 1920)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(f.width()).arg(f.height()))) << f;
}

void OnScreenTest::wholeOnScreen() {
    QFETCH(QSize, frame);
    PositioningWindow* form = &initializedWith(videoOfFrame(frame), logo());
    settle(*form);
    const QRect area = form->screen()->availableGeometry();
    QTRY_VERIFY2_WITH_TIMEOUT(area.contains(form->frameGeometry()), qPrintable(where(*form, area)), 3000);
    auto* canvas = control<MarkCanvas>(*form, "Canvas");
    QCOMPARE(canvas->frameSize(), frame);
    // The whole frame shows, inside the window.
    const QRect shown(canvas->mapTo(form, QPoint(0, 0)), canvas->size());
    QVERIFY(form->rect().contains(shown));
    QCOMPARE(canvas->width(), static_cast<int>(std::floor(frame.width() * canvas->scale())));

    // A click on the bottom-right pixel as shown puts the mark at the frame's bottom-right corner.
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(canvas->width() - 1, canvas->height() - 1));
    const QRect mark = canvas->markRect().rect;
    QCOMPARE(mark.right(), frame.width() - 1);
    QCOMPARE(mark.bottom(), frame.height() - 1);

    // Maximised, the canvas is as large as the room allows, still the whole frame.
    const double before = canvas->scale();
    form->showMaximized();
    // The manager's frame of a maximised window may round up by a logical
    // pixel at a scale factor of 2 (an odd number of device pixels).
    QTRY_VERIFY2_WITH_TIMEOUT(
        form->isMaximized() && area.adjusted(0, 0, 1, 1).contains(form->frameGeometry()),
        qPrintable(where(*form, area)), 5000);
    QVERIFY(canvas->scale() >= before);
    QVERIFY(QRect(canvas->mapTo(form, QPoint(0, 0)), canvas->size()).intersected(form->rect()) ==
            QRect(canvas->mapTo(form, QPoint(0, 0)), canvas->size()));
}

QTEST_MAIN(OnScreenTest)
#include "on_screen_test.moc"
