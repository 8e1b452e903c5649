// The positioning window on real widgets (offscreen): its layout, the load
// step, the canvas click, the activity animation, access for screen readers
// and its lifetime when closed from inside one of its own handlers.
#include "convert/positioning_window.h"
#include "app/picture_box.h"
#include "convert/activity_frames.h"
#include "convert/canvas_geometry.h"
#include "runner/console_capture.h"
#include "tests/support/own_encoder_name.h"
#include "tests/support/window_test_support.h"
#include "watermark/bmp_file.h"
#include "watermark/working_bitmaps.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every pixel different, so that a shifted or flipped placement shows.
QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(40 + x % 200, 40 + y % 200, 255 - (x + y) % 100));
    return img;
}

// What the canvas must show: its colour, and the watermark painted at each
// point in turn, cut at the edges.
QImage expectedCanvas(QSize canvas, const QColor& back, const QImage& mark, const QList<QPoint>& at) {
    QImage img(canvas, QImage::Format_RGB32);
    img.fill(back);
    for (const QPoint p : at) {
        for (int y = 0; y < mark.height(); ++y)
            for (int x = 0; x < mark.width(); ++x)
                if (QRect(QPoint(), canvas).contains(p + QPoint(x, y)))
                    img.setPixel(p + QPoint(x, y), mark.pixel(x, y));
    }
    return img;
}

// Gives the loaded window a prepared watermark, as "Initialize" would.
void prepare(PositioningWindow& form, QSize canvas, const QImage& mark) {
    child<MarkCanvas>(form, "Picture1")->setBoxSize(canvas.width(), canvas.height());
    child<PictureBox>(form, "Picture2")->setBoxSize(mark.width(), mark.height());
    child<PictureBox>(form, "Picture2")->setScaleSize(QSizeF(mark.size()));
    child<PictureBox>(form, "Picture2")->setPicture(mark);
}

// A button press at a point; QTest takes (0, 0) for "the middle".
void pressAt(QWidget* w, Qt::MouseButton button, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// Counts the times the event loop dispatches posted events: each dispatch
// handles the one waiting event, which posts the next.
class YieldCounter : public QObject {
public:
    int count = 0;
    void arm() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

protected:
    void customEvent(QEvent*) override {
        ++count;
        arm();
    }
};

QColor windowColor(QWidget* w) {
    return w->palette().color(w->backgroundRole());
}

}  // namespace

class PositioningWindowTest : public QObject {
    Q_OBJECT
private slots:
    // A program folder of its own: the masks it writes must not meet another
    // test program's, which may run at the same time.
    void initTestCase() { setProgramFolderForTesting(folder_.path()); }
    void cleanupTestCase() { setProgramFolderForTesting(QString()); }
    void cleanup() { QTRY_VERIFY(closeProgramWindows()); }

    void layout_data();
    void layout();
    void checkBoxCaptionHasItsSpaces();
    void loadStep();
    void closingLoadsAFreshWindow();
    void canvasClick_data();
    void canvasClick();
    void canvasPressWithoutMouse();
    void changeMaskColorShowsOnePalette();
    void activityFrames();
    void activityAnimationSteps();
    void closedInsideAHandlerLivesUntilItReturns();
    void accessibility();
    void opacityShowsOnTheCanvasAndGoesToTheMask();
    void aMarkWithAlphaKeepsItInTheMask();
    void dragAndArrowKeysMoveTheMark();
    void aLargeFrameIsShownScaledDown();

private:
    QTemporaryDir folder_;
};

void PositioningWindowTest::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::newRow("Command3") << "Command3" << QRect(16, 8, 129, 25) << "Change Mask Color" << true;
    QTest::newRow("Command2") << "Command2" << QRect(160, 8, 129, 25) << "Start Watermarking" << true;
    QTest::newRow("stop") << "stop" << QRect(304, 8, 129, 25) << "Stop conversion" << true;
    QTest::newRow("Label1") << "Label1" << QRect(24, 48, 89, 17) << "Progress: 0%" << true;
    QTest::newRow("pbox") << "pbox" << QRect(136, 40, 36, 36) << QString() << true;
    QTest::newRow("Check1") << "Check1" << QRect(192, 40, 289, 33) << QString() << true;
    QTest::newRow("Picture1") << "Picture1" << QRect(8, 80, 544, 384) << QString() << true;
    QTest::newRow("Picture2") << "Picture2" << QRect() << QString() << false;
    QTest::newRow("pb0") << "pb0" << QRect(QPoint(), QSize(36, 36)) << QString() << false;
    QTest::newRow("pb1") << "pb1" << QRect(QPoint(), QSize(36, 36)) << QString() << false;
}

void PositioningWindowTest::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, shown);

    PositioningWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QString("Watermark Positioning"));
    QCOMPARE(form.size(), QSize(574, 478));
    QCOMPARE(form.minimumSize(), form.maximumSize());  // fixed

    auto* w = form.findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->isVisible(), shown);
    if (shown)
        QCOMPARE(w->geometry(), geometry);
    else if (!geometry.isNull())
        QCOMPARE(w->size(), geometry.size());
    if (!text.isEmpty()) {
        const QString actual = qobject_cast<QPushButton*>(w) ? qobject_cast<QPushButton*>(w)->text()
                                                             : qobject_cast<QLabel*>(w)->text();
        QCOMPARE(actual, text);
    }
}

void PositioningWindowTest::checkBoxCaptionHasItsSpaces() {
    PositioningWindow form;
    QCOMPARE(
        child<QCheckBox>(form, "Check1")->text(),
        QString("Enhance Audio quality                         (necessary for some videocameras output)"));
    QCOMPARE(child<QCheckBox>(form, "Check1")->text().count(u' '), 25 + 2 + 4);
    QVERIFY(!child<QCheckBox>(form, "Check1")->isChecked());
    QCOMPARE(child<QLabel>(form, "Label1")->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->backColor(), QColor(Qt::black));
    QCOMPARE(child<PictureBox>(form, "pbox")->picture(), activityFrame(1));  // starts dimmed
    QCOMPARE(child<PictureBox>(form, QStringLiteral("pb%1").arg(0))->picture(), activityFrame(0));
    QCOMPARE(child<PictureBox>(form, QStringLiteral("pb%1").arg(1))->picture(), activityFrame(1));
    // A click anywhere on the box, the wrapped second line included, toggles it.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QCheckBox>(form, "Check1"), Qt::LeftButton, {}, QPoint(200, 26));
    QVERIFY(child<QCheckBox>(form, "Check1")->isChecked());
}

void PositioningWindowTest::loadStep() {
    bool shownAtMessage = false;
    QString maskAtMessage;
    ModalAnswerer answer([&](QMessageBox*) {
        PositioningWindow* f = PositioningWindow::loaded();
        shownAtMessage = f && f->isVisible();
        maskAtMessage = f ? f->maskColour() : QString();
    });
    PositioningWindow& form = PositioningWindow::instance();
    QCOMPARE(answer.texts(), QStringList{"Click on the canvas area to place your watermark"});
    QCOMPARE(answer.lastTitle(), QString("Watermark Image"));
    QVERIFY(shownAtMessage);
    QCOMPARE(maskAtMessage, QString("000000"));
    QCOMPARE(PositioningWindow::loaded(), &form);
    QCOMPARE(&PositioningWindow::instance(), &form);  // loaded once
    QCOMPARE(answer.texts().size(), 1);
    QVERIFY(form.conversionRunner());
    QCOMPARE(form.nextActivityFrame(), qint16(0));
    QCOMPARE(form.maskColour(), QString("000000"));
    for (QWidget* w : {static_cast<QWidget*>(&form), static_cast<QWidget*>(child<QLabel>(form, "Label1")),
                       static_cast<QWidget*>(child<QCheckBox>(form, "Check1"))})
        QCOMPARE(windowColor(w), QColor(200, 200, 200));
    QCOMPARE(form.size(), QSize(574, 478));
    const QRect screen = form.screen()->availableGeometry();
    // Centred, up to rounding and the frame the platform adds.
    const QPoint off = form.frameGeometry().center() - screen.center();
    QVERIFY2(qAbs(off.x()) <= 3 && qAbs(off.y()) <= 3,
             qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    const QImage canvas = child<MarkCanvas>(form, "Picture1")->image();
    QCOMPARE(canvas, expectedCanvas(QSize(544, 384), Qt::black, QImage(), {}));
}

void PositioningWindowTest::closingLoadsAFreshWindow() {
    PositioningWindow* first = &loadedPositioningWindow();
    const std::shared_ptr<ConsoleCapture> firstRunner = first->conversionRunner();
    first->setMaskColour("ff00ff");
    first->advanceActivityAnimation();
    child<MarkCanvas>(*first, "Picture1")->setBackColor(Qt::blue);
    child<QCheckBox>(*first, "Check1")->setChecked(true);
    QPointer<PositioningWindow> gone = first;
    first->close();
    QCOMPARE(PositioningWindow::loaded(), nullptr);
    QTRY_VERIFY(gone.isNull());

    ModalAnswerer answer;
    PositioningWindow& second = PositioningWindow::instance();
    QCOMPARE(answer.texts().size(), 1);
    QVERIFY(second.conversionRunner());
    QVERIFY(second.conversionRunner() != firstRunner);
    QCOMPARE(second.maskColour(), QString("000000"));
    QCOMPARE(second.nextActivityFrame(), qint16(0));
    QCOMPARE(child<MarkCanvas>(second, "Picture1")->backColor(), QColor(Qt::black));
    QVERIFY(!child<QCheckBox>(second, "Check1")->isChecked());
    QCOMPARE(child<QLabel>(second, "Label1")->text(), QString("Progress: 0%"));
}

void PositioningWindowTest::canvasClick_data() {
    QTest::addColumn<QList<Qt::MouseButton>>("buttons");
    QTest::addColumn<QList<QPoint>>("points");

    using B = QList<Qt::MouseButton>;
    using P = QList<QPoint>;
    QTest::newRow("cut at the bottom-right corner") << B{Qt::LeftButton} << P{{300, 220}};
    QTest::newRow("inside") << B{Qt::LeftButton} << P{{50, 60}};
    QTest::newRow("at the origin") << B{Qt::LeftButton} << P{{0, 0}};
    QTest::newRow("last pixel") << B{Qt::LeftButton} << P{{319, 239}};
    QTest::newRow("second click replaces the first")
        << B{Qt::LeftButton, Qt::LeftButton} << P{{10, 10}, {200, 100}};
    QTest::newRow("right button") << B{Qt::RightButton} << P{{120, 30}};
    QTest::newRow("middle button") << B{Qt::MiddleButton} << P{{30, 120}};
}

void PositioningWindowTest::canvasClick() {
    QFETCH(QList<Qt::MouseButton>, buttons);
    QFETCH(QList<QPoint>, points);

    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(100, 50);
    prepare(form, QSize(320, 240), mark);
    // A mark placed before the clicks must go.
    child<MarkCanvas>(form, "Picture1")->placeMark(mark, QSizeF(mark.size()), QPoint(150, 150));
    for (int i = 0; i < points.size(); ++i)
        pressAt(child<MarkCanvas>(form, "Picture1"), buttons[i], points[i]);
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->image(),
             expectedCanvas(QSize(320, 240), Qt::black, mark, {points.last()}));
}

void PositioningWindowTest::canvasPressWithoutMouse() {
    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(30, 20);
    prepare(form, QSize(100, 80), mark);
    QTest::mousePress(child<MarkCanvas>(form, "Picture1"), Qt::LeftButton, {}, QPoint(60, 60));
    child<MarkCanvas>(form, "Picture1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(child<MarkCanvas>(form, "Picture1"), Qt::Key_Space);
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->image(),
             expectedCanvas(QSize(100, 80), Qt::black, mark, {{0, 0}}));
}

void PositioningWindowTest::changeMaskColorShowsOnePalette() {
    PositioningWindow& form = loadedPositioningWindow();
    QCOMPARE(PaletteWindow::loaded(), nullptr);
    QTest::mouseClick(child<QPushButton>(form, "Command3"), Qt::LeftButton);
    PaletteWindow* palette = PaletteWindow::loaded();
    QVERIFY(palette);
    QVERIFY(palette->isVisible());
    QVERIFY(!palette->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QTest::mouseClick(child<QPushButton>(form, "Command3"), Qt::LeftButton);
    QCOMPARE(PaletteWindow::loaded(), palette);
    // Both stay usable: a click on the canvas still works with the palette up.
    prepare(form, QSize(50, 50), pattern(5, 5));
    QTest::mousePress(child<MarkCanvas>(form, "Picture1"), Qt::LeftButton, {}, QPoint(7, 9));
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->image(),
             expectedCanvas(QSize(50, 50), Qt::black, pattern(5, 5), {{7, 9}}));
}

void PositioningWindowTest::activityFrames() {
    const QImage bright = activityFrame(0);
    const QImage dimmed = activityFrame(1);
    for (const QImage& f : {bright, dimmed}) {
        QCOMPARE(f.size(), QSize(36, 36));
        QCOMPARE(qAlpha(f.pixel(0, 0)), 0);  // round: the corners are see-through
        QCOMPARE(qAlpha(f.pixel(35, 35)), 0);
        QCOMPARE(qAlpha(f.pixel(18, 4)), 255);
    }
    // Orange: strong red, middling green, little blue; the dimmed one duller.
    const QColor face = QColor(bright.pixel(8, 27));
    QVERIFY(face.red() > 200 && face.green() > 60 && face.green() < 180 && face.blue() < 80);
    const QColor dull = QColor(dimmed.pixel(8, 27));
    QVERIFY(dull.hsvSaturation() < face.hsvSaturation());
    QVERIFY(dull.value() < face.value());
    // The arrow's head stands out light on the face.
    QVERIFY(QColor(bright.pixel(22, 18)).lightness() > 240);
    QVERIFY(bright != dimmed);
}

void PositioningWindowTest::activityAnimationSteps() {
    PositioningWindow& form = loadedPositioningWindow();
    // Five yields dispatch posted events as often as five processEvents do.
    YieldCounter yields;
    yields.arm();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const int five = yields.count;
    QVERIFY(five >= 5);
    for (int step = 0; step < 4; ++step) {
        yields.count = 0;
        form.advanceActivityAnimation();
        QCOMPARE(yields.count, five);
        QCOMPARE(child<PictureBox>(form, "pbox")->picture(), activityFrame(step % 2));
        QCOMPARE(form.nextActivityFrame(), qint16((step + 1) % 2));
    }
    QCoreApplication::removePostedEvents(&yields);
}

void PositioningWindowTest::closedInsideAHandlerLivesUntilItReturns() {
    QPointer<PositioningWindow> form = &loadedPositioningWindow();
    // The close arrives from the handler's own yields, as a close during a
    // conversion does; later yields of the same handler must not destroy it.
    bool closedInside = false;
    QTimer::singleShot(0, form, [&] {
        form->close();
        closedInside = true;
    });
    form->advanceActivityAnimation();
    QVERIFY(closedInside);
    QVERIFY(!form.isNull());
    QCOMPARE(PositioningWindow::loaded(), nullptr);
    QVERIFY(!form->isVisible());
    QVERIFY(!form->isLoaded());
    QCOMPARE(child<PictureBox>(*form, "pbox")->picture(),
             activityFrame(0));  // the handler finished its steps

    // Nested deeper: held busy by an outer handler across many loops.
    {
        const ProgramWindow::Busy busy(*form);
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        destroyClosedWindows();
        QVERIFY(!form.isNull());
    }
    QTRY_VERIFY(form.isNull());

    // The next use loads a new one.
    PositioningWindow& next = loadedPositioningWindow();
    QVERIFY(next.isLoaded());
    QCOMPARE(PositioningWindow::loaded(), &next);
}

void PositioningWindowTest::accessibility() {
    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(10, 10);
    prepare(form, QSize(60, 60), mark);
    QTest::mousePress(child<MarkCanvas>(form, "Picture1"), Qt::LeftButton, {}, QPoint(30, 30));

    struct Want {
        QWidget* widget;
        QAccessible::Role role;
        QString name;
    };
    const Want wants[] = {
        {child<QPushButton>(form, "Command3"), QAccessible::Button, "Change Mask Color"},
        {child<QPushButton>(form, "Command2"), QAccessible::Button, "Start Watermarking"},
        {child<QPushButton>(form, "stop"), QAccessible::Button, "Stop conversion"},
        {child<QLabel>(form, "Label1"), QAccessible::StaticText, "Progress: 0%"},
        {child<QCheckBox>(form, "Check1"), QAccessible::CheckBox, child<QCheckBox>(form, "Check1")->text()},
        {child<MarkCanvas>(form, "Picture1"), QAccessible::Canvas, "Canvas"},
        {child<PictureBox>(form, "pbox"), QAccessible::Client, "Conversion activity"},
    };
    for (const Want& w : wants) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w.widget);
        QVERIFY2(iface, qPrintable(w.widget->objectName()));
        QCOMPARE(iface->role(), w.role);
        QCOMPARE(iface->text(QAccessible::Name), w.name);
        const QRect place(w.widget->mapToGlobal(QPoint()), w.widget->size());
        QVERIFY(!iface->rect().isEmpty());
        QVERIFY(place.contains(iface->rect()));  // a check box reports its first line
    }
    // Pressing the canvas through the accessibility interface places the watermark.
    QAccessibleInterface* canvas = QAccessible::queryAccessibleInterface(child<MarkCanvas>(form, "Picture1"));
    QVERIFY(canvas->actionInterface());
    QVERIFY(canvas->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    canvas->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->image(),
             expectedCanvas(QSize(60, 60), Qt::black, mark, {{0, 0}}));
    // And the check box.
    QAccessibleInterface* check = QAccessible::queryAccessibleInterface(child<QCheckBox>(form, "Check1"));
    check->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(child<QCheckBox>(form, "Check1")->isChecked());
}

// The mask file as the module will read it.
QImage writtenMask() {
    QFile file(maskBitmapPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (const auto img = bmp::decode24(bytes)) return *img;
    if (const auto img = bmp::decode32(bytes)) return *img;
    return {};
}

void PositioningWindowTest::opacityShowsOnTheCanvasAndGoesToTheMask() {
    PositioningWindow& form = loadedPositioningWindow();
    auto* slider = child<QSlider>(form, "opacity");
    QCOMPARE(QAccessible::queryAccessibleInterface(slider)->text(QAccessible::Name), QString("Opacity"));
    QCOMPARE(slider->minimum(), 10);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(slider->value(), 100);
    QCOMPARE(child<QLabel>(form, "opacityValue")->text(), QString("100%"));
    QImage white(20, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    prepare(form, QSize(64, 48), white);
    auto* canvas = child<MarkCanvas>(form, "Picture1");
    pressAt(canvas, Qt::LeftButton, QPoint(10, 10));

    // Full opacity, an opaque picture: the 24-bit mask, the canvas as it is.
    QVERIFY(form.writeMask());
    QCOMPARE(writtenMask(), canvas->image());
    QCOMPARE(writtenMask().format(), QImage::Format_RGB32);

    slider->setValue(50);
    QCOMPARE(child<QLabel>(form, "opacityValue")->text(), QString("50%"));
    const QImage shown = canvas->grab().toImage();
    QVERIFY2(qAbs(QColor(shown.pixel(15, 12)).red() - 128) <= 2, "half white over the black background");
    QCOMPARE(QColor(shown.pixel(40, 40)), QColor(Qt::black));
    // The mask keeps the mark's own pixels, opaque; the module applies the opacity.
    QVERIFY(form.writeMask());
    const QImage mask = writtenMask();
    QCOMPARE(mask.format(), QImage::Format_ARGB32);
    QCOMPARE(mask.pixel(15, 12), qRgba(255, 255, 255, 255));
    QCOMPARE(qAlpha(mask.pixel(40, 40)), 0);
}

void PositioningWindowTest::aMarkWithAlphaKeepsItInTheMask() {
    PositioningWindow& form = loadedPositioningWindow();
    QImage soft(20, 10, QImage::Format_ARGB32);
    soft.fill(Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x)
            soft.setPixel(x, y, qRgba(0, 200, 0, x < 15 ? 128 : 255));
    prepare(form, QSize(64, 48), soft);
    auto* canvas = child<MarkCanvas>(form, "Picture1");
    pressAt(canvas, Qt::LeftButton, QPoint(4, 6));

    const QImage shown = canvas->grab().toImage();
    QCOMPARE(QColor(shown.pixel(4 + 2, 6 + 2)), QColor(Qt::black));  // transparent: the background
    QVERIFY2(qAbs(QColor(shown.pixel(4 + 12, 6 + 2)).green() - 100) <= 2, "half the mark");
    QCOMPARE(QColor(shown.pixel(4 + 17, 6 + 2)), QColor(0, 200, 0));

    QVERIFY(form.writeMask());
    const QImage mask = writtenMask();
    QCOMPARE(mask.format(), QImage::Format_ARGB32);
    QCOMPARE(mask.size(), QSize(64, 48));
    for (const QPoint p : {QPoint(2, 2), QPoint(12, 2), QPoint(17, 2), QPoint(0, 9)})
        QCOMPARE(mask.pixel(p + QPoint(4, 6)), soft.pixel(p));
    QCOMPARE(qAlpha(mask.pixel(50, 40)), 0);
}

void PositioningWindowTest::dragAndArrowKeysMoveTheMark() {
    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(12, 8);
    prepare(form, QSize(200, 100), mark);
    auto* canvas = child<MarkCanvas>(form, "Picture1");
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent drag(QEvent::MouseMove, QPointF(70, 40), canvas->mapToGlobal(QPointF(70, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drag);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(70, 40));
    QCOMPARE(canvas->markPosition(), QPoint(70, 40));
    // Without a button held the mouse moves nothing.
    QMouseEvent hover(QEvent::MouseMove, QPointF(5, 5), canvas->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &hover);
    QCOMPARE(canvas->markPosition(), QPoint(70, 40));

    canvas->setFocus(Qt::TabFocusReason);
    QTest::keyClick(canvas, Qt::Key_Right);
    QTest::keyClick(canvas, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(canvas, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(canvas, Qt::Key_Up);
    QCOMPARE(canvas->markPosition(), QPoint(61, 49));
    // The mask follows the mark.
    QCOMPARE(canvas->image(), expectedCanvas(QSize(200, 100), Qt::black, mark, {{61, 49}}));
}

void PositioningWindowTest::aLargeFrameIsShownScaledDown() {
    PositioningWindow& form = loadedPositioningWindow();
    QImage mark(300, 150, QImage::Format_RGB32);
    mark.fill(QColor(250, 20, 20));
    prepare(form, QSize(10, 10), mark);
    const QRect screen = form.screen()->availableGeometry();
    const QSize frame(screen.width() * 3, screen.height() * 3);
    form.fitToFrame(frame);
    QVERIFY(form.frameGeometry().width() <= screen.width());
    QVERIFY(form.frameGeometry().height() <= screen.height());
    auto* canvas = child<MarkCanvas>(form, "Picture1");
    QVERIFY(canvas->scale() < 1.0);
    QCOMPARE(canvas->frameSize(), frame);
    // A click lands on the frame pixel under it; the mask keeps the frame's size.
    const QPoint at = canvas::framePixelAt(QPointF(40, 30), canvas->scale());
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(40, 30));
    QCOMPARE(canvas->markPosition(), at);
    QVERIFY(at.x() > 40 && at.y() > 30);
    QCOMPARE(canvas->image().size(), frame);
    QCOMPARE(QColor(canvas->image().pixel(at)), QColor(mark.pixel(0, 0)));
    // On the screen the mark is drawn at the same scale.
    const QImage shown = canvas->grab().toImage();
    QCOMPARE(QColor(shown.pixel(41, 31)), QColor(mark.pixel(0, 0)));
    const QPoint beyond =
        canvas::viewPointOf(at + QPoint(300, 150), canvas->scale()).toPoint() + QPoint(2, 2);
    QCOMPARE(QColor(shown.pixel(beyond)), QColor(Qt::black));
}

QTEST_MAIN(PositioningWindowTest)
#include "positioning_window_test.moc"
