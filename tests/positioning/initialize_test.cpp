// "Initialize Watermarking" through the real main window and positioning
// window (offscreen): its checks and messages, "temp.bmp" and "mask.bmp" by
// their bytes, the canvas it prepares, and the sizing to the video frame.
#include "app/main_window.h"
#include "app/picture_box.h"
#include "app/user_button.h"
#include "app/user_settings.h"
#include "jobs/probe_parse.h"
#include "jobs/program_paths.h"
#include "mark/bmp_file.h"
#include "positioning/positioning_window.h"
#include "program.h"
#include "tests/support/own_encoder_name.h"
#include "tests/support/window_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kLoadMessage = "Click on the canvas area to place your watermark";

// The bitmaps of the window's last Start, in its own working folder.
QString maskPath(const PositioningWindow& form) {
    return form.maskPath();
}
QString tempPath(const PositioningWindow& form) {
    return QFileInfo(form.maskPath()).dir().filePath("temp.bmp");
}
// The run folders under the working folder: none once their runs are over.
QStringList runFolders() {
    return QDir(workingFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(30 + x % 220, 30 + y % 220, 200 - (x * y) % 150));
    return img;
}

// The 24-bit mask an opaque mark makes: the key colour, and the watermark
// painted at each point in turn.
QImage expectedCanvas(QSize canvas, const QImage& mark, const QList<QPoint>& at, const QColor& key) {
    QImage img(canvas, QImage::Format_RGB32);
    img.fill(key);
    for (const QPoint p : at)
        for (int y = 0; y < mark.height(); ++y)
            for (int x = 0; x < mark.width(); ++x)
                if (QRect(QPoint(), canvas).contains(p + QPoint(x, y)))
                    img.setPixel(p + QPoint(x, y), mark.pixel(x, y));
    return img;
}

void pressAt(QWidget* w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// What the probe would have told of the video.
void probed(MainWindow& w, const QString& width, const QString& height) {
    w.setVideoFrame(width, height, frameSizeOf(width, height).value_or(QSize()));
}

// A picture chosen in the dialog; its preview's messages are answered.
void choosePicture(MainWindow& w, const QString& path) {
    ModalAnswerer answer;
    emit w.pictureChosen(path);
}

// A main window as the earlier steps leave it: a probed video and a preview
// (painted directly: the zoom is not what is tested here).
void ready(MainWindow& w, QSize frame, const QImage& preview) {
    probed(w, QString::number(frame.width()), QString::number(frame.height()));
    static QTemporaryDir pictures;
    const QString file = pictures.filePath(QStringLiteral("mark.bmp"));
    QVERIFY(preview.save(file, "BMP"));
    choosePicture(w, file);
}

// The mask Start would write now.
QImage maskOf(const PositioningWindow& form) {
    return form.currentMask().image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class InitializeTest : public QObject {
    Q_OBJECT
private slots:
    // A program folder of its own, away from other test programs' bitmaps.
    void initTestCase() {
        setProgramFolderForTesting(folder_.path());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder_.filePath("cache")));
    }
    void cleanupTestCase() { setProgramFolderForTesting(QString()); }
    void init() {
        QDir(workingFolder()).removeRecursively();
        // Each case starts from a program that remembers nothing.
        userSettings().clear();
    }
    void cleanup() { QTRY_VERIFY(closeProgramWindows()); }

    void refusals_data();
    void refusals();
    void aFailedPictureLeavesNothingToStamp();
    void placesTheWholePictureAtTheCorner();
    void secondInitializeReplacesTheMark();
    void maskIsTheCanvas();
    void closedWindowLoadsAfresh();
    void placingWithoutAPicture();
    void fitToFrame();
    void noWorkingFolder();

private:
    QTemporaryDir folder_;
};

void InitializeTest::refusals_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("message");
    const QString video = "Please select a valid video file first";
    const QString image = "Please select a watermark image first";
    QTest::newRow("nothing chosen") << ""
                                    << ""
                                    << "" << video;
    QTest::newRow("picture, no video") << ""
                                       << ""
                                       << "/p/a.jpg" << video;
    QTest::newRow("no height") << "320"
                               << ""
                               << "/p/a.jpg" << video;
    QTest::newRow("no width, no picture") << ""
                                          << "240"
                                          << "" << video;
    QTest::newRow("size not a number") << "abc"
                                       << "240"
                                       << "/p/a.jpg" << video;
    QTest::newRow("video, no picture") << "320"
                                       << "240"
                                       << "" << image;
    QTest::newRow("height with its comma, no picture") << "720"
                                                       << "576,"
                                                       << "" << image;
    // Right after start-up the preview holds the placeholder artwork: a
    // picture that failed to load must not leave that to be stamped.
    QTest::newRow("video, a picture that failed to load") << "320"
                                                          << "240"
                                                          << "/p/a.jpg"
                                                          << "Please select a valid picture first";
}

// A good picture, then one that fails to load: the preview still shows the
// first, which is not what the user chose.
void InitializeTest::aFailedPictureLeavesNothingToStamp() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QTemporaryDir dir;
    const QString good = dir.filePath("good.bmp");
    QVERIFY(pattern(40, 30).save(good, "BMP"));
    probed(w, "320", "240");
    choosePicture(w, good);
    choosePicture(w, dir.filePath("broken.jpg"));
    ModalAnswerer answer;
    QTest::mouseClick(control<UserButton>(w, "Initialize Watermarking"), Qt::LeftButton);
    QCOMPARE(answer.texts(), QStringList{"Please select a valid picture first"});
    QCOMPARE(PositioningWindow::loaded(), nullptr);
}

void InitializeTest::refusals() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, picture);
    QFETCH(QString, message);

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    probed(w, width, height);
    choosePicture(w, picture);
    ModalAnswerer answer;
    QTest::mouseClick(control<UserButton>(w, "Initialize Watermarking"), Qt::LeftButton);
    QCOMPARE(answer.texts(), QStringList{message});
    QCOMPARE(answer.lastTitle(), QString("Watermark Image"));
    QCOMPARE(PositioningWindow::loaded(), nullptr);  // not touched
    QCOMPARE(runFolders(), QStringList());
}

void InitializeTest::placesTheWholePictureAtTheCorner() {
    // The mark made by the real zoom from a 240 x 180 picture file: all of it.
    QTemporaryDir dir;
    const QString file = dir.filePath("mark.bmp");
    const QImage picture = pattern(240, 180);
    QVERIFY(picture.save(file, "BMP"));
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    probed(w, "320", "240");
    choosePicture(w, file);
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(240, 180));

    ModalAnswerer answer;
    QTest::mouseClick(control<UserButton>(w, "Initialize Watermarking"), Qt::LeftButton);
    QCOMPARE(answer.texts(), QStringList{});
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form && form->isVisible());
    QVERIFY(form->noteText().startsWith(kLoadMessage));
    QVERIFY(form->maskPath().isEmpty());  // written by Start only
    QCOMPARE(runFolders(), QStringList());
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->size(), QSize(320, 240));
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->laidMark().convertToFormat(QImage::Format_RGB32), picture);
    const QImage placed = expectedCanvas(QSize(320, 240), picture, {{0, 0}}, form->keyColour());
    QCOMPARE(maskOf(*form), placed);

    // A click at (0, 0) changes nothing.
    pressAt(control<MarkCanvas>(*form, "Canvas"), QPoint(0, 0));
    QCOMPARE(maskOf(*form), placed);

    // "temp.bmp" is the mark as laid, "mask.bmp" the 24-bit mask, byte for byte.
    QVERIFY(form->writeMask());
    QFile temp(tempPath(*form));
    QVERIFY(temp.open(QIODevice::ReadOnly));
    const QByteArray bytes = temp.readAll();
    QCOMPARE(bytes.size(), 129654);
    QCOMPARE(*bmp::decode24(bytes), picture);
    QFile mask(maskPath(*form));
    QVERIFY(mask.open(QIODevice::ReadOnly));
    const QByteArray maskBytes = mask.readAll();
    QCOMPARE(maskBytes.size(), 54 + 240 * 960);
    QCOMPARE(*bmp::decode24(maskBytes), placed);
}

void InitializeTest::secondInitializeReplacesTheMark() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage first = pattern(100, 80);
    ready(w, QSize(320, 240), first);
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
    }
    PositioningWindow* form = PositioningWindow::loaded();
    pressAt(control<MarkCanvas>(*form, "Canvas"), QPoint(60, 50));

    // Another picture; Initialize again with the window open: no load step,
    // no message, and the new picture replaces the old one in the same place
    // (its centre, by the anchor nearest the first): the result carries one
    // watermark, the one last prepared.
    const QImage second = pattern(40, 30).mirrored(true, false);
    ready(w, QSize(320, 240), second);
    ModalAnswerer answer;
    control<UserButton>(w, "Initialize Watermarking")->click();
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(PositioningWindow::loaded(), form);
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->markRect().rect, QRect(90, 75, 40, 30));
    QCOMPARE(maskOf(*form), expectedCanvas(QSize(320, 240), second, {{90, 75}}, form->keyColour()));
}

void InitializeTest::maskIsTheCanvas() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage mark = pattern(100, 50);
    ready(w, QSize(320, 240), mark);
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
    }
    PositioningWindow* form = PositioningWindow::loaded();
    // Near the far corner: the mark stops at the frame's edges, whole.
    pressAt(control<MarkCanvas>(*form, "Canvas"), QPoint(300, 220));
    QVERIFY(form->writeMask());
    const QColor key = form->keyColour();
    QCOMPARE(key, QColor(255, 0, 255));  // a colour the mark does not use

    QFile file(maskPath(*form));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 54 + 240 * 960);
    const auto mask = bmp::decode24(bytes);
    QVERIFY(mask);
    QCOMPARE(*mask, expectedCanvas(QSize(320, 240), mark, {{220, 190}}, key));
    QCOMPARE(mask->pixel(319, 239), mark.pixel(99, 49));
    QCOMPARE(QColor(mask->pixel(219, 239)), key);

    // A colour from the palette keeps the mark where it is. Each Start
    // writes into a new folder of its own, and the last one's goes.
    const QString first = maskPath(*form);
    form->setPickedKey(QColor(0, 0, 255));
    QVERIFY(form->writeMask());
    QVERIFY(QFileInfo(first).dir().path() != QFileInfo(maskPath(*form)).dir().path());
    QVERIFY(!QFileInfo::exists(first));
    QCOMPARE(runFolders().size(), 1);
    QCOMPARE(*bmp::read24(maskPath(*form), nullptr),
             expectedCanvas(QSize(320, 240), mark, {{220, 190}}, Qt::blue));
}

void InitializeTest::closedWindowLoadsAfresh() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage mark = pattern(50, 40);
    ready(w, QSize(200, 150), mark);
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
    }
    QPointer<PositioningWindow> first = PositioningWindow::loaded();
    const auto firstRunner = first->conversionRunner();
    first->setPickedKey(Qt::blue);
    first->advanceActivityAnimation();
    first->close();
    QTRY_VERIFY(first.isNull());

    // A fresh window with a runner of its own; the key the user picked is remembered.
    ModalAnswerer answer;
    control<UserButton>(w, "Initialize Watermarking")->click();
    QCOMPARE(answer.texts(), QStringList{});
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form->conversionRunner() && form->conversionRunner() != firstRunner);
    QCOMPARE(form->maskColour(), QString("0000ff"));
    QCOMPARE(form->nextActivityFrame(), qint16(0));
    QCOMPARE(maskOf(*form), expectedCanvas(QSize(200, 150), mark, {{0, 0}}, Qt::blue));
}

void InitializeTest::placingWithoutAPicture() {
    PositioningWindow& form = loadedPositioningWindow();
    ModalAnswerer answer;
    pressAt(control<MarkCanvas>(form, "Canvas"), QPoint(10, 10));
    QCOMPARE(answer.texts(), QStringList{"Please select a valid picture first"});
    QVERIFY(!control<MarkCanvas>(form, "Canvas")->hasPlacedMark());
}

void InitializeTest::fitToFrame() {
    ModalAnswerer answer;
    PositioningWindow::instance().fitToFrame(QSize(320, 240));  // the first touch loads the window
    QCOMPARE(answer.texts(), QStringList{});
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form && form->isVisible());
    QVERIFY(!form->isModal());
    // One canvas pixel per frame pixel where it fits, in a window the user may resize.
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->size(), QSize(320, 240));
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->scale(), 1.0);
    QVERIFY(form->minimumSize() != form->maximumSize());
    QVERIFY(form->screen()->availableGeometry().contains(form->frameGeometry()));
    // Larger, the canvas stays one pixel per frame pixel; smaller, it shows the whole frame smaller.
    form->resize(form->size() + QSize(200, 200));
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->size(), QSize(320, 240));
    form->resize(form->size() - QSize(360, 320));
    QVERIFY(control<MarkCanvas>(*form, "Canvas")->scale() < 1.0);
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->frameSize(), QSize(320, 240));
}

void InitializeTest::noWorkingFolder() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage mark = pattern(60, 40);
    ready(w, QSize(160, 120), mark);
    ModalAnswerer answer;
    control<UserButton>(w, "Initialize Watermarking")->click();
    // Nothing is written before Start: the positioning goes on.
    QCOMPARE(answer.texts(), QStringList{});
    PositioningWindow* form = PositioningWindow::loaded();
    QCOMPARE(maskOf(*form), expectedCanvas(QSize(160, 120), mark, {{0, 0}}, form->keyColour()));

    // Start must not go on without its mask: a file where the working folder
    // should be (refused even to root) says so.
    QVERIFY(QDir(workingFolder()).removeRecursively());
    QVERIFY(QDir().mkpath(QFileInfo(workingFolder()).path()));
    QFile blocker(workingFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!form->writeMask());
    QCOMPARE(answer.texts().size(), 1);
    QVERIFY2(answer.texts()[0].startsWith("Could not make a working folder for the conversion: "),
             qPrintable(answer.texts()[0]));
    QVERIFY(form->maskPath().isEmpty());
    QFile::remove(workingFolder());
    QVERIFY(form->writeMask());
}

QTEST_MAIN(InitializeTest)
#include "initialize_test.moc"
