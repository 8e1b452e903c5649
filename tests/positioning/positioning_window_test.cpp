// The positioning window on real widgets (offscreen): its layout, the load
// step, the canvas click, the activity animation, access for screen readers
// and its lifetime when closed from inside one of its own handlers.
#include "positioning/positioning_window.h"
#include "app/picture_box.h"
#include "app/user_settings.h"
#include "jobs/working_bitmaps.h"
#include "mark/bmp_file.h"
#include "positioning/activity_frames.h"
#include "positioning/canvas_geometry.h"
#include "runner/console_capture.h"
#include "tests/support/own_encoder_name.h"
#include "tests/support/window_test_support.h"

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

#include <algorithm>
#include <cmath>

namespace {

// The audio option's caption as it reads, its run of spaces one.
const QString kEnhanceAudio =
    QStringLiteral("Enhance Audio quality (necessary for some videocameras output)");

// Every pixel different, so that a shifted or flipped placement shows.
QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(40 + x % 200, 40 + y % 200, 255 - (x + y) % 100));
    return img;
}

// The 24-bit mask an opaque mark makes: the key colour, and the watermark
// painted at each point in turn.
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

// Gives the loaded window a frame of that size and the mark at its own size,
// as "Initialize" does.
void prepare(PositioningWindow& form, QSize canvas, const QImage& mark) {
    PositioningWindow::initialize(videoOfFrame(canvas), mark, mark.size());
    QCOMPARE(PositioningWindow::loaded(), &form);
}

// The mask Start would write now.
QImage maskOf(const PositioningWindow& form) {
    return form.currentMask().image.convertToFormat(QImage::Format_RGB32);
}

// The contrast of two colours as the web's accessibility guidelines reckon it.
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
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
    // Each case starts from a program that remembers nothing.
    void init() { userSettings().clear(); }
    void cleanup() { QTRY_VERIFY(closeProgramWindows()); }

    void layout_data();
    void layout();
    void objectNamesStay();
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
    void placeButtonsMoveTheMarkForAScreenReader_data();
    void placeButtonsMoveTheMarkForAScreenReader();
    void opacityShowsOnTheCanvasAndGoesToTheMask();
    void aMarkWithAlphaKeepsItInTheMask();
    void dragAndArrowKeysMoveTheMark();
    void aLargeFrameIsShownScaledDown();

private:
    QTemporaryDir folder_;
};

void PositioningWindowTest::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::newRow("Change Mask Color") << "Change Mask Color"
                                       << "QPushButton"
                                       << "Change Mask Color" << true;
    QTest::newRow("Start Watermarking") << "Start Watermarking"
                                        << "QPushButton"
                                        << "Start Watermarking" << true;
    QTest::newRow("Stop conversion") << "Stop conversion"
                                     << "QPushButton"
                                     << "Stop conversion" << true;
    QTest::newRow("Progress") << "Progress"
                              << "QLabel"
                              << "Progress: 0%" << true;
    QTest::newRow("Conversion activity") << "Conversion activity"
                                         << "PictureBox" << QString() << true;
    QTest::newRow("Enhance Audio quality") << kEnhanceAudio << "QCheckBox" << QString() << true;
    QTest::newRow("Canvas") << "Canvas"
                            << "MarkCanvas" << QString() << true;
    QTest::newRow("Opacity") << "Opacity"
                             << "QSlider" << QString() << true;
    QTest::newRow("Bottom right") << "Bottom right"
                                  << "QToolButton" << QString() << true;
    QTest::newRow("Margin") << "Margin"
                            << "QDoubleSpinBox" << QString() << true;
    QTest::newRow("Size") << "Size"
                          << "QDoubleSpinBox" << QString() << true;
    QTest::newRow("How the conversion ended") << "How the conversion ended"
                                              << "QLabel" << QString() << true;
    QTest::newRow("Play") << "Play"
                          << "QPushButton"
                          << "Play" << false;  // until a run kept a file
    QTest::newRow("Show in folder") << "Show in folder"
                                    << "QPushButton"
                                    << "Show in folder" << false;
}

void PositioningWindowTest::layout() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, shown);

    PositioningWindow form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QString("Watermark Positioning"));
    // The user may resize and maximise it.
    QVERIFY(form.minimumSize() != form.maximumSize());
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    // Storage in hidden controls is gone.
    for (const char* gone : {"Picture2", "pb0", "pb1"})
        QCOMPARE(form.findChild<QWidget*>(QLatin1String(gone)), nullptr);

    auto* w = control(form, name, kind.toLatin1().constData());
    QVERIFY(w);
    QCOMPARE(w->isVisible(), shown);
    if (shown) QVERIFY(form.rect().contains(QRect(w->mapTo(&form, QPoint()), w->size())));
    if (!text.isEmpty()) {
        const QString actual = qobject_cast<QPushButton*>(w) ? qobject_cast<QPushButton*>(w)->text()
                                                             : qobject_cast<QLabel*>(w)->text();
        QCOMPARE(actual, text);
    }
}

// The short object names stay for what may look controls up by them.
void PositioningWindowTest::objectNamesStay() {
    PositioningWindow form;
    QCOMPARE(form.objectName(), QString("Form3"));
    const struct {
        const char* objectName;
        QWidget* control;
    } controls[] = {{"Command3", control<QPushButton>(form, "Change Mask Color")},
                    {"Command2", control<QPushButton>(form, "Start Watermarking")},
                    {"Label1", control<QLabel>(form, "Progress")},
                    {"pbox", control<PictureBox>(form, "Conversion activity")},
                    {"Check1", control<QCheckBox>(form, kEnhanceAudio)},
                    {"Picture1", control<MarkCanvas>(form, "Canvas")}};
    for (const auto& c : controls)
        QCOMPARE(child<QWidget>(form, c.objectName), c.control);
}

void PositioningWindowTest::checkBoxCaptionHasItsSpaces() {
    PositioningWindow form;
    QCOMPARE(
        control<QCheckBox>(form, kEnhanceAudio)->text(),
        QString("Enhance Audio quality                         (necessary for some videocameras output)"));
    QCOMPARE(control<QCheckBox>(form, kEnhanceAudio)->text().count(u' '), 25 + 2 + 4);
    QVERIFY(!control<QCheckBox>(form, kEnhanceAudio)->isChecked());
    // The progress and opacity read well on the window's grey.
    for (const char* name : {"Progress", "Opacity"})
        QVERIFY2(contrast(control<QLabel>(form, name)->palette().color(QPalette::WindowText),
                          QColor(200, 200, 200)) >= 4.5,
                 name);
    QCOMPARE(control<PictureBox>(form, "Conversion activity")->picture(), activityFrame(1));  // starts dimmed
    // A click anywhere on the box, the wrapped second line included, toggles it.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(control<QCheckBox>(form, kEnhanceAudio), Qt::LeftButton, {}, QPoint(200, 26));
    QVERIFY(control<QCheckBox>(form, kEnhanceAudio)->isChecked());
}

void PositioningWindowTest::loadStep() {
    // The hint is a line under the canvas, not a box to dismiss.
    ModalAnswerer answer;
    PositioningWindow& form = PositioningWindow::instance();
    QVERIFY(form.isVisible());
    QCOMPARE(answer.texts(), QStringList{});
    QCOMPARE(form.noteText(), QString("Click on the canvas area to place your watermark"));
    QCOMPARE(PositioningWindow::loaded(), &form);
    QCOMPARE(&PositioningWindow::instance(), &form);  // loaded once
    QCOMPARE(answer.texts().size(), 0);
    QVERIFY(form.conversionRunner());
    QCOMPARE(form.nextActivityFrame(), qint16(0));
    for (QWidget* w : {static_cast<QWidget*>(&form), static_cast<QWidget*>(control<QLabel>(form, "Progress")),
                       static_cast<QWidget*>(control<QCheckBox>(form, kEnhanceAudio))})
        QCOMPARE(windowColor(w), QColor(200, 200, 200));
    const QRect screen = form.screen()->availableGeometry();
    QVERIFY(screen.contains(form.frameGeometry()));
    // Centred, up to rounding and the frame the platform adds.
    const QPoint off = form.frameGeometry().center() - screen.center();
    QVERIFY2(qAbs(off.x()) <= 3 && qAbs(off.y()) <= 3,
             qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    // Nothing placed: the mask is the key colour alone.
    QVERIFY(!control<MarkCanvas>(form, "Canvas")->hasPlacedMark());
    const QImage mask = maskOf(form);
    QCOMPARE(mask, expectedCanvas(mask.size(), form.keyColour(), QImage(), {}));
}

void PositioningWindowTest::closingLoadsAFreshWindow() {
    PositioningWindow* first = &loadedPositioningWindow();
    const std::shared_ptr<ConsoleCapture> firstRunner = first->conversionRunner();
    first->advanceActivityAnimation();
    control<QCheckBox>(*first, kEnhanceAudio)->setChecked(true);
    QPointer<PositioningWindow> gone = first;
    first->close();
    QCOMPARE(PositioningWindow::loaded(), nullptr);
    QTRY_VERIFY(gone.isNull());

    // A new window and runner; the audio option is remembered.
    ModalAnswerer answer;
    PositioningWindow& second = PositioningWindow::instance();
    QCOMPARE(answer.texts().size(), 0);
    QVERIFY(second.conversionRunner());
    QVERIFY(second.conversionRunner() != firstRunner);
    QCOMPARE(second.nextActivityFrame(), qint16(0));
    QVERIFY(control<QCheckBox>(second, kEnhanceAudio)->isChecked());
    QCOMPARE(control<QLabel>(second, "Progress")->text(), QString("Progress: 0%"));
}

void PositioningWindowTest::canvasClick_data() {
    QTest::addColumn<QList<Qt::MouseButton>>("buttons");
    QTest::addColumn<QList<QPoint>>("points");

    using B = QList<Qt::MouseButton>;
    using P = QList<QPoint>;
    QTest::addColumn<QPoint>("at");  // where the mark's top-left corner lands

    using B = QList<Qt::MouseButton>;
    using P = QList<QPoint>;
    // Near the far edges the mark stops at them, whole.
    QTest::newRow("stopped at the bottom-right corner")
        << B{Qt::LeftButton} << P{{300, 220}} << QPoint(220, 190);
    QTest::newRow("inside") << B{Qt::LeftButton} << P{{50, 60}} << QPoint(50, 60);
    QTest::newRow("at the origin") << B{Qt::LeftButton} << P{{0, 0}} << QPoint(0, 0);
    QTest::newRow("last pixel") << B{Qt::LeftButton} << P{{319, 239}} << QPoint(220, 190);
    QTest::newRow("second click replaces the first")
        << B{Qt::LeftButton, Qt::LeftButton} << P{{10, 10}, {200, 100}} << QPoint(200, 100);
    QTest::newRow("right button") << B{Qt::RightButton} << P{{120, 30}} << QPoint(120, 30);
    QTest::newRow("middle button") << B{Qt::MiddleButton} << P{{30, 120}} << QPoint(30, 120);
}

void PositioningWindowTest::canvasClick() {
    QFETCH(QList<Qt::MouseButton>, buttons);
    QFETCH(QList<QPoint>, points);
    QFETCH(QPoint, at);

    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(100, 50);
    prepare(form, QSize(320, 240), mark);
    // A mark placed before the clicks must go.
    control<MarkCanvas>(form, "Canvas")->moveMarkTo(QPoint(150, 150));
    for (int i = 0; i < points.size(); ++i)
        pressAt(control<MarkCanvas>(form, "Canvas"), buttons[i], points[i]);
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->markRect().rect, QRect(at, mark.size()));
    QCOMPARE(maskOf(form), expectedCanvas(QSize(320, 240), form.keyColour(), mark, {at}));
}

void PositioningWindowTest::canvasPressWithoutMouse() {
    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(30, 20);
    prepare(form, QSize(100, 80), mark);
    QTest::mousePress(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(60, 60));
    control<MarkCanvas>(form, "Canvas")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control<MarkCanvas>(form, "Canvas"), Qt::Key_Space);
    QCOMPARE(maskOf(form), expectedCanvas(QSize(100, 80), form.keyColour(), mark, {{0, 0}}));
}

void PositioningWindowTest::changeMaskColorShowsOnePalette() {
    PositioningWindow& form = loadedPositioningWindow();
    QCOMPARE(PaletteWindow::loaded(), nullptr);
    QTest::mouseClick(control<QPushButton>(form, "Change Mask Color"), Qt::LeftButton);
    PaletteWindow* palette = PaletteWindow::loaded();
    QVERIFY(palette);
    QVERIFY(palette->isVisible());
    QVERIFY(!palette->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QTest::mouseClick(control<QPushButton>(form, "Change Mask Color"), Qt::LeftButton);
    QCOMPARE(PaletteWindow::loaded(), palette);
    // Both stay usable: a click on the canvas still works with the palette up.
    prepare(form, QSize(50, 50), pattern(5, 5));
    QTest::mousePress(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(7, 9));
    QCOMPARE(maskOf(form), expectedCanvas(QSize(50, 50), form.keyColour(), pattern(5, 5), {{7, 9}}));
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
        QCOMPARE(control<PictureBox>(form, "Conversion activity")->picture(), activityFrame(step % 2));
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
    QCOMPARE(control<PictureBox>(*form, "Conversion activity")->picture(),
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
    QTest::mousePress(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(30, 30));

    struct Want {
        QWidget* widget;
        QAccessible::Role role;
        QString name;
    };
    const Want wants[] = {
        {control<QPushButton>(form, "Change Mask Color"), QAccessible::Button, "Change Mask Color"},
        {control<QPushButton>(form, "Start Watermarking"), QAccessible::Button, "Start Watermarking"},
        {control<QPushButton>(form, "Stop conversion"), QAccessible::Button, "Stop conversion"},
        {control<QLabel>(form, "Progress"), QAccessible::StaticText, "Progress"},
        {control<QCheckBox>(form, kEnhanceAudio), QAccessible::CheckBox,
         control<QCheckBox>(form, kEnhanceAudio)->text()},
        {control<MarkCanvas>(form, "Canvas"), QAccessible::Canvas, "Canvas"},
        {control<PictureBox>(form, "Conversion activity"), QAccessible::Client, "Conversion activity"},
        {control<QWidget>(form, "Top left"), QAccessible::CheckBox, "Top left"},  // checked where the mark is
        {control<QWidget>(form, "Centre"), QAccessible::CheckBox, "Centre"},
        {control<QWidget>(form, "Bottom right"), QAccessible::CheckBox, "Bottom right"},
        {control<QWidget>(form, "Margin"), QAccessible::SpinBox, "Margin"},
        {control<QWidget>(form, "Size"), QAccessible::SpinBox, "Size"},
    };
    for (const Want& w : wants) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w.widget);
        QVERIFY2(iface, qPrintable(w.widget->objectName()));
        QCOMPARE(iface->role(), w.role);
        QCOMPARE(iface->text(QAccessible::Name), w.name);
        const QRect place(w.widget->mapToGlobal(QPoint()), w.widget->size());
        QVERIFY(!iface->rect().isEmpty());
        QVERIFY(place.contains(iface->rect()));  // a check box reports its first line
        if (w.role != QAccessible::StaticText && w.role != QAccessible::Client)  // keyboard reachable
            QVERIFY2(w.widget->focusPolicy() & Qt::TabFocus, qPrintable(w.widget->objectName()));
    }
    // Pressing the canvas through the accessibility interface places the watermark.
    QAccessibleInterface* canvas = QAccessible::queryAccessibleInterface(control<MarkCanvas>(form, "Canvas"));
    QVERIFY(canvas->actionInterface());
    QVERIFY(canvas->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    canvas->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(maskOf(form), expectedCanvas(QSize(60, 60), form.keyColour(), mark, {{0, 0}}));
    // And the check box.
    QAccessibleInterface* check =
        QAccessible::queryAccessibleInterface(control<QCheckBox>(form, kEnhanceAudio));
    check->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(control<QCheckBox>(form, kEnhanceAudio)->isChecked());
}

void PositioningWindowTest::placeButtonsMoveTheMarkForAScreenReader_data() {
    QTest::addColumn<QPoint>("from");   // where a click on the canvas put the mark first
    QTest::addColumn<bool>("checked");  // "Bottom right" is checked already
    QTest::newRow("from the top left") << QPoint(10, 10) << false;
    // Nearer the bottom right than any other anchor: Toggle checks nothing, yet
    // the mark goes into the corner as it does on a click.
    QTest::newRow("near the bottom right") << QPoint(150, 70) << true;
}

void PositioningWindowTest::placeButtonsMoveTheMarkForAScreenReader() {
    QFETCH(QPoint, from);
    QFETCH(bool, checked);
    PositioningWindow& form = loadedPositioningWindow();
    const QImage mark = pattern(20, 10);
    prepare(form, QSize(200, 100), mark);
    pressAt(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, from);
    QAccessibleInterface* bottomRight = accessible(form, QAccessible::CheckBox, "Bottom right");
    QCOMPARE(bool(bottomRight->state().checked), checked);

    bottomRight->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    // 3 % of the frame from the right and bottom edges: 6 and 3 pixels.
    const QPoint corner(200 - 6 - 20, 100 - 3 - 10);
    QVERIFY(bottomRight->state().checked);
    QCOMPARE(form.placement().anchor(), Anchor::BottomRight);
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->markRect().rect, QRect(corner, mark.size()));
    QCOMPARE(maskOf(form), expectedCanvas(QSize(200, 100), form.keyColour(), mark, {corner}));
}

// The mask file as the module will read it.
QImage writtenMask(const PositioningWindow& form) {
    QFile file(form.maskPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    if (const auto img = bmp::decode24(bytes)) return *img;
    if (const auto img = bmp::decode32(bytes)) return *img;
    return {};
}

void PositioningWindowTest::opacityShowsOnTheCanvasAndGoesToTheMask() {
    PositioningWindow& form = loadedPositioningWindow();
    auto* slider = control<QSlider>(form, "Opacity");
    QCOMPARE(QAccessible::queryAccessibleInterface(slider)->text(QAccessible::Name), QString("Opacity"));
    QCOMPARE(slider->minimum(), 10);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(slider->value(), 100);
    QCOMPARE(control<QLabel>(form, "Opacity")->text(), QString("100%"));
    QImage white(20, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    prepare(form, QSize(64, 48), white);
    auto* canvas = control<MarkCanvas>(form, "Canvas");
    pressAt(canvas, Qt::LeftButton, QPoint(10, 10));

    // Full opacity, an opaque picture: the 24-bit mask, the canvas as it is.
    QVERIFY(form.writeMask());
    QCOMPARE(writtenMask(form), maskOf(form));
    QCOMPARE(writtenMask(form).format(), QImage::Format_RGB32);

    slider->setValue(50);
    QCOMPARE(control<QLabel>(form, "Opacity")->text(), QString("50%"));
    QCOMPARE(accessible(form, QAccessible::StaticText, "Opacity")->text(QAccessible::Description), "50%");
    QCOMPARE(form.placement().opacity(), 50);
    // Until the frame comes the background is the key colour, magenta here.
    QCOMPARE(form.keyColour(), QColor(255, 0, 255));
    const QImage shown = canvas->grab().toImage();
    QVERIFY2(qAbs(QColor(shown.pixel(15, 12)).green() - 128) <= 2, "half white over the background");
    QCOMPARE(QColor(shown.pixel(40, 40)), form.keyColour());
    // The mask keeps the mark's own pixels, opaque; the module applies the opacity.
    QVERIFY(form.writeMask());
    const QImage mask = writtenMask(form);
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
    auto* canvas = control<MarkCanvas>(form, "Canvas");
    pressAt(canvas, Qt::LeftButton, QPoint(4, 6));

    const QImage shown = canvas->grab().toImage();
    QCOMPARE(QColor(shown.pixel(4 + 2, 6 + 2)), form.keyColour());  // transparent: the background
    QVERIFY2(qAbs(QColor(shown.pixel(4 + 12, 6 + 2)).green() - 100) <= 2, "half the mark");
    QCOMPARE(QColor(shown.pixel(4 + 17, 6 + 2)), QColor(0, 200, 0));

    QVERIFY(form.writeMask());
    const QImage mask = writtenMask(form);
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
    auto* canvas = control<MarkCanvas>(form, "Canvas");
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent drag(QEvent::MouseMove, QPointF(70, 40), canvas->mapToGlobal(QPointF(70, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drag);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(70, 40));
    QCOMPARE(canvas->markRect().rect.topLeft(), QPoint(70, 40));
    // Without a button held the mouse moves nothing.
    QMouseEvent hover(QEvent::MouseMove, QPointF(5, 5), canvas->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &hover);
    QCOMPARE(canvas->markRect().rect.topLeft(), QPoint(70, 40));

    canvas->setFocus(Qt::TabFocusReason);
    QTest::keyClick(canvas, Qt::Key_Right);
    QTest::keyClick(canvas, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(canvas, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(canvas, Qt::Key_Up);
    QCOMPARE(canvas->markRect().rect.topLeft(), QPoint(61, 49));
    // The mask follows the mark.
    QCOMPARE(maskOf(form), expectedCanvas(QSize(200, 100), form.keyColour(), mark, {{61, 49}}));
}

void PositioningWindowTest::aLargeFrameIsShownScaledDown() {
    PositioningWindow& form = loadedPositioningWindow();
    QImage mark(300, 150, QImage::Format_RGB32);
    mark.fill(QColor(250, 20, 20));
    const QRect screen = form.screen()->availableGeometry();
    const QSize frame(screen.width() * 3, screen.height() * 3);
    prepare(form, frame, mark);
    QVERIFY(form.frameGeometry().width() <= screen.width());
    QVERIFY(form.frameGeometry().height() <= screen.height());
    auto* canvas = control<MarkCanvas>(form, "Canvas");
    QVERIFY(canvas->scale() < 1.0);
    QCOMPARE(canvas->frameSize(), frame);
    // A click lands on the frame pixel under it; the mask keeps the frame's size.
    const QPoint at = canvas::framePixelAt(QPointF(40, 30), canvas->scale());
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(40, 30));
    QCOMPARE(canvas->markRect().rect.topLeft(), at);
    QVERIFY(at.x() > 40 && at.y() > 30);
    const QImage mask = maskOf(form);
    QCOMPARE(mask.size(), frame);
    QCOMPARE(QColor(mask.pixel(at)), QColor(mark.pixel(0, 0)));
    // On the screen the mark is drawn at the same scale.
    const QImage shown = canvas->grab().toImage();
    QCOMPARE(QColor(shown.pixel(41, 31)), QColor(mark.pixel(0, 0)));
    const QPoint beyond =
        canvas::viewPointOf(at + QPoint(300, 150), canvas->scale()).toPoint() + QPoint(2, 2);
    QCOMPARE(QColor(shown.pixel(beyond)), form.keyColour());
}

QTEST_MAIN(PositioningWindowTest)
#include "positioning_window_test.moc"
