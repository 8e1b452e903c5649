// The whole journey through the real windows and the real encoder: choose a
// video and a picture, place the watermark, pick the mask colour, Start; and
// Stop and closing the window in the middle of a conversion.
#include "app/main_window.h"
#include "app/picture_box.h"
#include "app/program_window.h"
#include "app/quit_signals.h"
#include "app/user_button.h"
#include "app/user_settings.h"
#include "jobs/program_paths.h"
#include "positioning/canvas_geometry.h"
#include "positioning/positioning_window.h"
#include "program.h"
#include "runner/console_capture.h"
#include "watermark/palette_window.h"

#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"

#include "tests/support/window_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using fixtures::cpuSeconds;
using fixtures::durationOf;
using fixtures::frameOf;
using fixtures::makeVideo;

// Processes whose executable is called `name`: only the test's own encoders
// carry that name.
int processesNamed(const QString& name) {
    int count = 0;
    QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        pid.toInt(&isPid);
        if (!isPid) continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe.section(u'/', -1).startsWith(name)) ++count;
    }
    return count;
}

}  // namespace

class ConversionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theWholeJourney_data();
    void theWholeJourney();
    void theKeyColourIsTheCanvasColour_data();
    void theKeyColourIsTheCanvasColour();
    void aPngLogoKeepsItsTransparency();
    void aFullHdVideoOnASmallerScreen();
    void startWithoutAMarkIsRefused();
    void aFailedConversionSaysSo();
    void stopEndsTheEncoderAndStartWorksAgain();
    void closingTheWindowAsksThenKeepsThePart();
    void closingTheMainWindowDuringAConversionEndsIt();
    void aQuitSignalEndsTheConversionKeepingThePart_data();
    void aQuitSignalEndsTheConversionKeepingThePart();
    void stopAndCloseTouchOnlyOurOwnEncoders();

private:
    // Chooses the video and the picture, Initialize, places the mark at (x, y).
    // False when a step failed (the failure is recorded).
    [[nodiscard]] bool prepare(MainWindow& w, const QString& video, int x, int y);
    void prepareSteps(MainWindow& w, const QString& video, int x, int y);

    QTemporaryDir folder_;  // the program folder of the test
    QString encoder_;       // the encoder's name there, the test's own
    QString shortVideo_;
    QString longVideo_;
    QString picture_;
};

void ConversionTest::initTestCase() {
    encoder_ = QStringLiteral("cv%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder_)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"),
                        folder_.filePath(QStringLiteral("watermark.dll"))));
    shortVideo_ = folder_.filePath(QStringLiteral("my clip.avi"));
    longVideo_ = folder_.filePath(QStringLiteral("long take.avi"));
    QVERIFY(makeVideo(shortVideo_, QStringLiteral("320x240"), 2, true));
    // Long enough that no machine converts it before a stop lands.
    QVERIFY(makeVideo(longVideo_, QStringLiteral("1280x720"), 120, true));
    QImage mark(100, 50, QImage::Format_RGB32);
    mark.fill(QColor(255, 0, 0));
    picture_ = folder_.filePath(QStringLiteral("logo.bmp"));
    QVERIFY(mark.save(picture_, "BMP"));
}

void ConversionTest::init() {
    // Each case starts from a program that remembers nothing.
    userSettings().clear();
    // Each case starts without results: a stopped run treats an earlier one differently.
    QDir(folder_.filePath(QStringLiteral("watermarked"))).removeRecursively();
    setProgramFolderForTesting(folder_.path());
    setEncoderNameForTesting(encoder_);
}

void ConversionTest::cleanup() {
    if (PaletteWindow* p = PaletteWindow::loaded()) p->close();
    if (PositioningWindow* f = PositioningWindow::loaded()) f->close();
    destroyClosedWindows();
    OpenFileDialog::setAnswer({});
    setProgramFolderForTesting(QString());
    setEncoderNameForTesting(QString());
}

bool ConversionTest::prepare(MainWindow& w, const QString& video, int x, int y) {
    prepareSteps(w, video, x, y);
    return !QTest::currentTestFailed();
}

void ConversionTest::prepareSteps(MainWindow& w, const QString& video, int x, int y) {
    QString next = video;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    control<UserButton>(w, "Video Selection")->click();
    QVERIFY(!control<QLabel>(w, "Resolution")->text().isEmpty());
    next = picture_;
    control<UserButton>(w, "Image Selection")->click();
    control<QSlider>(w, "Picture zoom")->setValue(50);  // a 50 x 25 watermark
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(50, 25));
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
        QCOMPARE(answer.texts(), QStringList{});
    }
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);
    QTest::mouseClick(control<MarkCanvas>(*form, "Canvas"), Qt::LeftButton, {}, QPoint(x, y));
}

void ConversionTest::theWholeJourney_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << QStringLiteral("my clip.avi");
    QTest::newRow("quotes") << QStringLiteral("clip\" -f x \"y.avi");
    QTest::newRow("non-ASCII and backslash") << QStringLiteral("Fähre\\über.avi");
}

void ConversionTest::theWholeJourney() {
    QFETCH(QString, name);
    const QString video = folder_.filePath(name);
    QVERIFY(QFile::exists(video) || QFile::copy(shortVideo_, video));
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, video, 200, 150));
    PositioningWindow& form = *PositioningWindow::loaded();
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->size(), QSize(320, 240));

    // A blue mask colour, saved; saving clears the canvas, so place it again.
    control<QPushButton>(form, "Change Mask Color")->click();
    PaletteWindow* palette = PaletteWindow::loaded();
    QVERIFY(palette);
    palette->chooseSwatch(6);
    control<QPushButton>(*palette, "Save Settings")->click();
    QTest::mouseClick(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(200, 150));

    ModalAnswerer answer;
    // The speed and the time left under the progress, as each chunk of the encoder's text shows them.
    QStringList paces;
    connect(form.conversionRunner().get(), &ConsoleCapture::output, &form,
            [&form, &paces] { paces << form.paceText(); });
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    control<QPushButton>(form, "Start Watermarking")->click();
    const double wall = clock.elapsed() / 1000.0;
    qInfo("GUI CPU time during the conversion: %.3f s of %.3f s wall time", cpuSeconds() - cpuBefore, wall);
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(control<QLabel>(form, "Progress")->text(), QStringLiteral("Progress: 100%"));
    static const QRegularExpression pace(QStringLiteral("^[0-9]+(\\.[0-9])?x, about [0-9]+:[0-9]{2} left$"));
    QVERIFY2(!paces.filter(pace).isEmpty(), qPrintable(paces.join(u'|')));
    QCOMPARE(paces.filter(pace).constLast(), paces.constLast());
    QVERIFY(paces.constLast().endsWith(QStringLiteral("about 0:00 left")));
    QCOMPARE(form.paceText(), QString());  // the end line takes over
    QCOMPARE(form.maskColour(), QStringLiteral("0000ff"));
    QVERIFY2(form.endText().startsWith(QStringLiteral("Done and checked: wm-") + name + u','),
             qPrintable(form.endText()));

    const QString result = folder_.filePath(QStringLiteral("watermarked/wm-") + name);
    QVERIFY(QFileInfo::exists(result));
    QVERIFY(durationOf(result) > 1.5);

    for (const int index : {0, 30}) {
        const QImage out = frameOf(result, index, 320, 240);
        const QImage src = frameOf(shortVideo_, index, 320, 240);
        QVERIFY(!out.isNull() && !src.isNull());
        // Inside the watermark (away from its edges): the picture's red.
        for (const QPoint p : {QPoint(205, 155), QPoint(224, 162), QPoint(244, 170)}) {
            const QColor c = out.pixelColor(p);
            QVERIFY2(c.red() > 200 && c.green() < 60 && c.blue() < 60, qPrintable(c.name()));
        }
        // Elsewhere: the video.
        double diff = 0;
        int n = 0;
        for (int y = 0; y < 240; y += 3) {
            for (int x = 0; x < 320; x += 3) {
                if (x >= 196 && x < 254 && y >= 146 && y < 179) continue;
                const QColor a = out.pixelColor(x, y);
                const QColor b = src.pixelColor(x, y);
                diff += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue());
                n += 3;
            }
        }
        QVERIFY2(diff / n < 6.0, qPrintable(QString::number(diff / n)));
    }
}

void ConversionTest::theKeyColourIsTheCanvasColour_data() {
    QTest::addColumn<QList<int>>("steps");  // swatch index, or -1 Save, -2 Restore Defaults
    QTest::addColumn<QString>("key");
    // The program's own key for the red mark is one it does not use: magenta.
    QTest::newRow("fresh window") << QList<int>{} << QStringLiteral("ff00ff");
    QTest::newRow("swatch without saving") << QList<int>{4} << QStringLiteral("ff00ff");
    QTest::newRow("swatch and save") << QList<int>{6, -1} << QStringLiteral("0000ff");
    QTest::newRow("restore after a saved colour") << QList<int>{6, -1, -2} << QStringLiteral("0000ff");
    QTest::newRow("restore and save") << QList<int>{6, -1, -2, -1} << QStringLiteral("ff00ff");
}

// Whatever the palette did, the encoder is keyed on the colour the mask's
// background really has.
void ConversionTest::theKeyColourIsTheCanvasColour() {
    QFETCH(QList<int>, steps);
    QFETCH(QString, key);
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, shortVideo_, 0, 0));
    PositioningWindow& form = *PositioningWindow::loaded();
    control<QPushButton>(form, "Change Mask Color")->click();
    PaletteWindow& palette = *PaletteWindow::loaded();
    for (const int step : steps) {
        if (step == -1)
            control<QPushButton>(palette, "Save Settings")->click();
        else if (step == -2)
            control<QPushButton>(palette, "Restore Defaults")->click();
        else
            palette.chooseSwatch(step);
    }
    // A saved colour keeps the mark where it was.
    QVERIFY(control<MarkCanvas>(form, "Canvas")->hasPlacedMark());
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->backColor().name().mid(1), key);
    setEncoderNameForTesting(QStringLiteral("no-such-encoder"));  // nothing runs
    control<QPushButton>(form, "Start Watermarking")->click();
    QCOMPARE(form.maskColour(), key);
}

// A PNG logo: a fully transparent part, a half-transparent part and an opaque
// part, placed and converted through the windows.
void ConversionTest::aPngLogoKeepsItsTransparency() {
    QImage logo(60, 30, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    for (int y = 0; y < 30; ++y)
        for (int x = 20; x < 60; ++x)
            logo.setPixel(x, y, qRgba(255, 0, 0, x < 40 ? 128 : 255));
    const QString png = folder_.filePath(QStringLiteral("logo.png"));
    QVERIFY(logo.save(png, "PNG"));

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QString next = shortVideo_;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    control<UserButton>(w, "Video Selection")->click();
    next = png;
    control<UserButton>(w, "Image Selection")->click();
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(60, 30));  // its own pixels
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
    }
    PositioningWindow& form = *PositioningWindow::loaded();
    control<QDoubleSpinBox>(form, "Size")->setValue(75);  // 240 of the frame's 320 pixels: 4 times
    QTest::mouseClick(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(40, 60));
    ModalAnswerer answer;
    control<QPushButton>(form, "Start Watermarking")->click();
    QVERIFY(answer.texts().isEmpty());

    const QString result = folder_.filePath(QStringLiteral("watermarked/wm-my clip.avi"));
    for (const int index : {0, 30}) {
        const QImage out = frameOf(result, index, 320, 240);
        const QImage src = frameOf(shortVideo_, index, 320, 240);
        QVERIFY(!out.isNull() && !src.isNull());
        const auto near = [](const QColor& a, int r, int g, int b) {
            return qAbs(a.red() - r) <= 20 && qAbs(a.green() - g) <= 20 && qAbs(a.blue() - b) <= 20;
        };
        for (int y : {75, 120, 165}) {
            const QColor see = out.pixelColor(80, y), was = src.pixelColor(80, y);
            QVERIFY2(near(see, was.red(), was.green(), was.blue()), "the transparent part shows the video");
            const QColor half = out.pixelColor(160, y), under = src.pixelColor(160, y);
            QVERIFY2(near(half, (under.red() + 255) / 2, under.green() / 2, under.blue() / 2),
                     qPrintable(half.name() + " over " + under.name()));
            QVERIFY2(near(out.pixelColor(240, y), 255, 0, 0), "the opaque part is the mark");
        }
    }
}

// A full-HD video on a screen smaller than it: the window fits the screen,
// the canvas shows the video's frame scaled down, and a click lands on the
// frame pixel shown under it.
void ConversionTest::aFullHdVideoOnASmallerScreen() {
    const QString video = folder_.filePath(QStringLiteral("full hd.avi"));
    QVERIFY(QFile::exists(video) || makeVideo(video, QStringLiteral("1920x1080"), 1));
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, video, 0, 0));
    PositioningWindow& form = *PositioningWindow::loaded();
    auto* canvas = control<MarkCanvas>(form, "Canvas");
    const QRect screen = form.screen()->availableGeometry();
    QVERIFY2(screen.width() < 1920 + 160 && screen.height() < 1080 + 130,
             "the screen is smaller than the frame");
    QVERIFY(form.frameGeometry().width() <= screen.width() &&
            form.frameGeometry().height() <= screen.height());
    QCOMPARE(canvas->frameSize(), QSize(1920, 1080));
    QVERIFY(canvas->scale() < 1.0);

    // The frame arrives in the background.
    QTRY_VERIFY_WITH_TIMEOUT(canvas->showsFrame(), 10000);
    const QImage shown = canvas->grab().toImage();
    const QImage source = frameOf(video, 2, 1920, 1080);  // a tenth of 1 s at 25 frames a second
    QVERIFY(!source.isNull());
    for (const QPoint view : {QPoint(30, 30), QPoint(300, 200)}) {
        const QColor a = shown.pixelColor(view);
        const QColor b = source.pixelColor(canvas::framePixelAt(view, canvas->scale()));
        QVERIFY2(qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 90,
                 qPrintable(a.name() + " shown, " + b.name() + " in the frame"));
    }

    // The frame pixel shown at the spot nearest (960, 540): a shown pixel
    // stands for more than one frame pixel.
    const QPoint spot = canvas::viewPointOf(QPoint(960, 540), canvas->scale()).toPoint();
    const QPoint target = canvas::framePixelAt(spot, canvas->scale());
    QVERIFY((target - QPoint(960, 540)).manhattanLength() <= 6);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, spot);
    QCOMPARE(canvas->markRect().rect.topLeft(), target);

    ModalAnswerer answer;
    control<QPushButton>(form, "Start Watermarking")->click();
    QVERIFY(answer.texts().isEmpty());
    const QImage out = frameOf(folder_.filePath(QStringLiteral("watermarked/wm-full hd.avi")), 0, 1920, 1080);
    QVERIFY(!out.isNull());
    const auto red = [](const QColor& c) {
        return c.red() > 200 && c.green() < 60 && c.blue() < 60;
    };
    QVERIFY(red(out.pixelColor(target + QPoint(4, 4))));
    QVERIFY(red(out.pixelColor(target + QPoint(45, 20))));  // the mark is 50 x 25
    QVERIFY(!red(out.pixelColor(target - QPoint(4, 4))));
    QVERIFY(!red(out.pixelColor(target + QPoint(54, 4))));
}

void ConversionTest::startWithoutAMarkIsRefused() {
    // A window that never got a mark (no Initialize) has nothing to stamp.
    PositioningWindow& form = loadedPositioningWindow();
    ModalAnswerer answer;
    control<QPushButton>(form, "Start Watermarking")->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("Click on the canvas area to place your watermark")});
    QVERIFY(!QDir(folder_.filePath(QStringLiteral("watermarked"))).exists() ||
            QDir(folder_.filePath(QStringLiteral("watermarked"))).isEmpty());
}

void ConversionTest::aFailedConversionSaysSo() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, shortVideo_, 0, 0));
    // Without its output folder the encoder cannot write the result.
    const QString out = folder_.filePath(QStringLiteral("watermarked"));
    const QString aside = folder_.filePath(QStringLiteral("watermarked-aside"));
    QVERIFY(QDir().rename(out, aside));
    ModalAnswerer answer;
    control<QPushButton>(*PositioningWindow::loaded(), "Start Watermarking")->click();
    QVERIFY(QDir().rename(aside, out));
    QCOMPARE(answer.texts().size(), 1);
    QVERIFY2(answer.texts().constFirst().startsWith(QStringLiteral("The conversion did not complete.\n")),
             qPrintable(answer.texts().constFirst()));
}

// Starts the conversion and acts once, when the first progress shows. Returns
// the caption shown then ("" when the run ended before any progress).
static QString startActingAtFirstProgress(PositioningWindow* form, const std::function<void()>& act) {
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Only while this run converts: a question before it shows the last run's figure.
        if (shown.isEmpty() && !control<QPushButton>(*form, "Start Watermarking")->isEnabled() &&
            control<QLabel>(*form, "Progress")->text() != QStringLiteral("Progress: 0%")) {
            shown = control<QLabel>(*form, "Progress")->text();
            act();
        }
    });
    poll.start(20);
    control<QPushButton>(*form, "Start Watermarking")->click();
    return shown;
}

void ConversionTest::stopEndsTheEncoderAndStartWorksAgain() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, longVideo_, 10, 10));
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);
    const QString result = folder_.filePath(QStringLiteral("watermarked/wm-long take.avi"));
    const QString stopped = folder_.filePath(QStringLiteral("watermarked/wm-long take-stopped.avi"));
    QFile::remove(result);
    QFile::remove(stopped);
    // A double click on Start: the second click meets a disabled button and
    // leaves the running encoder where Stop reaches it.
    auto stop = [&] {
        QVERIFY(!control<QPushButton>(*form, "Start Watermarking")->isEnabled());
        QTest::mouseDClick(control<QPushButton>(*form, "Start Watermarking"), Qt::LeftButton);
        control<QPushButton>(*form, "Stop conversion")->click();
    };

    // The taken name of the second run is answered "Replace": a stopped run
    // still replaces nothing.
    ModalAnswerer answer([](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("Replace")) b->click();
    });
    QVERIFY(!startActingAtFirstProgress(form, stop).isEmpty());
    QVERIFY(answer.texts().isEmpty());
    // The run's own encoder ends and leaves what it wrote so far, playable,
    // under a name that says it is a part.
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 3000);
    const double played = durationOf(stopped);
    QVERIFY2(played > 0 && played < 100, qPrintable(QString::number(played)));
    QVERIFY(!QFile::exists(result));

    // Start again at once: a second run, stopped too, keeps an earlier result
    // and the first part as they are and puts its own part beside them.
    QFile earlier(result);
    QVERIFY(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray earlierBytes("an earlier result, complete");
    earlier.write(earlierBytes);
    earlier.close();
    QVERIFY(!startActingAtFirstProgress(form, stop).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 3000);
    QCOMPARE(answer.texts().size(), 1);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), earlierBytes);
    QCOMPARE(durationOf(stopped), played);
    QVERIFY(control<QPushButton>(*form, "Start Watermarking")->isEnabled());
    const QString second = folder_.filePath(QStringLiteral("watermarked/wm-long take-stopped (2).avi"));
    QVERIFY2(form->endText().section(u':', 1).trimmed().startsWith(
                 QStringLiteral("the part is wm-long take-stopped (2).avi, checked: ")),
             qPrintable(form->endText()));
    QVERIFY2(durationOf(second) > 0, qPrintable(QDir(folder_.filePath(QStringLiteral("watermarked")))
                                                    .entryList(QDir::Files | QDir::Hidden)
                                                    .join(u',')));
}

void ConversionTest::closingTheWindowAsksThenKeepsThePart() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, longVideo_, 10, 10));
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);

    // The question first: Cancel leaves the run going, "Stop and close" ends it keeping the part.
    QString press = QStringLiteral("Cancel");
    ModalAnswerer answer([&press](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == press) b->click();
    });
    QVERIFY(!startActingAtFirstProgress(form, [&] {
                 form->close();
                 QVERIFY(form->isVisible() && form->converting());
                 press = QStringLiteral("Stop and close");
                 form->close();
             }).isEmpty());
    QTRY_VERIFY(!PositioningWindow::loaded());
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 5000);
    // Ended early, what it wrote so far plays, and the main window said where it is.
    const double played =
        durationOf(folder_.filePath(QStringLiteral("watermarked/wm-long take-stopped.avi")));
    QVERIFY2(played > 0 && played < 100, qPrintable(QString::number(played)));
    QTRY_COMPARE(answer.texts().size(), 3);
    QCOMPARE(answer.texts()[0], QStringLiteral("Stop the conversion and keep the part?"));
    QCOMPARE(answer.texts()[1], answer.texts()[0]);
    QVERIFY2(answer.texts()[2].startsWith(QStringLiteral("Stopped at ")) &&
                 answer.texts()[2].contains(QStringLiteral("the part is wm-long take-stopped.avi, checked")),
             qPrintable(answer.texts()[2]));
}

void ConversionTest::closingTheMainWindowDuringAConversionEndsIt() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(prepare(w, longVideo_, 10, 10));
    QPointer<PositioningWindow> form = PositioningWindow::loaded();
    QVERIFY(form);
    control<QPushButton>(*form, "Change Mask Color")->click();  // the palette is open too
    QVERIFY(PaletteWindow::loaded());

    QVERIFY(!startActingAtFirstProgress(form, [&] { w.close(); }).isEmpty());
    QVERIFY(!w.isVisible());
    QVERIFY(!PositioningWindow::loaded());
    QVERIFY(!PaletteWindow::loaded());
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 5000);
    // Closed windows go once nothing of theirs is running any more.
    QTRY_VERIFY(form.isNull());
}

// A logout or a kill of the program ends its conversion as closing does.
void ConversionTest::aQuitSignalEndsTheConversionKeepingThePart_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("part");
    // A logout's SIGTERM with the SIGHUP that may follow it, and a terminal's Ctrl+C.
    QTest::newRow("SIGTERM, same as the source") << SIGTERM << "Same as the source"
                                                 << "wm-long take-stopped.avi";
    QTest::newRow("SIGINT, MP4 to share") << SIGINT << "MP4 to share"
                                          << "wm-long take-stopped.mp4";
}

void ConversionTest::aQuitSignalEndsTheConversionKeepingThePart() {
    QFETCH(int, signal);
    QFETCH(QString, output);
    QFETCH(QString, part);
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QuitSignals quitSignals;
    QString said;
    QTextStream err(&said);
    int exitCode = -1;
    connect(&quitSignals, &QuitSignals::arrived, &w, [&](int sig) {
        endOnQuitSignal(
            w, sig, [&exitCode](int code) { exitCode = code; }, err);
    });
    w.show();
    QVERIFY(prepare(w, longVideo_, 10, 10));
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);
    auto* kind = control<QComboBox>(*form, "Output");
    kind->setCurrentIndex(kind->findText(output));

    // The signal and a second one after it: one orderly stop, no question.
    ModalAnswerer answer;
    QVERIFY(!startActingAtFirstProgress(form, [signal] {
                 ::raise(signal);
                 ::raise(SIGHUP);
             }).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(exitCode, 128 + signal, 8000);
    QVERIFY(!w.isVisible());
    QVERIFY(answer.texts().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 3000);
    const double played = durationOf(folder_.filePath(QStringLiteral("watermarked/") + part));
    QVERIFY2(played > 0 && played < 100, qPrintable(QString::number(played)));
    // The terminal or the session's log says where the part is, and that it was checked.
    QVERIFY2(said.startsWith(QStringLiteral("watermark-image: Stopped at ")) &&
                 said.contains(QStringLiteral("the part is %1, checked").arg(part)),
             qPrintable(said));
}

void ConversionTest::stopAndCloseTouchOnlyOurOwnEncoders() {
    // A program "q" first on PATH, which a stop request must never start.
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("q-ran"));
    {
        QFile q(bin.filePath(QStringLiteral("q")));
        QVERIFY(q.open(QIODevice::WriteOnly));
        q.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marker).toUtf8());
        q.close();
        QVERIFY(q.setPermissions(q.permissions() | QFileDevice::ExeOwner));
    }
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + oldPath);
    // A process of the encoder's very name that the program did not start.
    const QString standIn = bin.filePath(encoder_);
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), standIn));
    QProcess other;
    other.start(standIn, {QStringLiteral("60")});
    QVERIFY(other.waitForStarted());

    {
        const std::unique_ptr<MainWindow> program = buildProgram();
        MainWindow& w = *program;
        w.show();
        QVERIFY(prepare(w, longVideo_, 10, 10));
        PositioningWindow* form = PositioningWindow::loaded();
        control<QPushButton>(*form, "Stop conversion")->click();  // nothing runs yet
        QVERIFY(!startActingAtFirstProgress(form, [&] { w.close(); }).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 1, 3000);  // the stand-in only
    }
    qputenv("PATH", oldPath);
    QCOMPARE(other.state(), QProcess::Running);
    QVERIFY(!QFile::exists(marker));
    other.kill();
    other.waitForFinished();
}

QTEST_MAIN(ConversionTest)
#include "conversion_run_test.moc"
