// "Initialize Watermarking" through the real main window and positioning
// window (offscreen): its checks and messages, "temp.bmp" and "mask.bmp" by
// their bytes, the canvas it prepares, and the sizing to the video frame.
#include "app/main_window.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "app/user_button.h"
#include "convert/positioning_window.h"
#include "convert/program.h"
#include "probe/probe_parse.h"
#include "tests/support/own_encoder_name.h"
#include "tests/support/window_test_support.h"
#include "watermark/bmp_file.h"

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

QString tempPath() {
    return programFolder() + "/temp.bmp";
}
QString maskPath() {
    return programFolder() + "/mask.bmp";
}

QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(30 + x % 220, 30 + y % 220, 200 - (x * y) % 150));
    return img;
}

// What the canvas must show: black, and the watermark painted at each point
// in turn, cut at the edges.
QImage expectedCanvas(QSize canvas, const QImage& mark, const QList<QPoint>& at) {
    QImage img(canvas, QImage::Format_RGB32);
    img.fill(Qt::black);
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
    w.resizePreview(preview.size(), QSizeF(preview.size()));
    w.showPreview(preview);
}

// Makes a name in the program folder unwritable even for root: a folder
// stands where the file would go.
class Blocked {
public:
    explicit Blocked(const QString& path) : path_(path) {
        QFile::remove(path_);
        QDir().mkdir(path_);
    }
    ~Blocked() { QDir().rmdir(path_); }

private:
    QString path_;
};

}  // namespace

class InitializeTest : public QObject {
    Q_OBJECT
private slots:
    // A program folder of its own, away from other test programs' bitmaps.
    void initTestCase() { setProgramFolderForTesting(folder_.path()); }
    void cleanupTestCase() { setProgramFolderForTesting(QString()); }
    void init() {
        QFile::remove(tempPath());
        QFile::remove(maskPath());
    }
    void cleanup() { QTRY_VERIFY(closeProgramWindows()); }

    void refusals_data();
    void refusals();
    void aFailedPictureLeavesNothingToStamp();
    void writesTempAndPlacesAtTheCorner();
    void secondInitializeReplacesTheMark();
    void maskIsTheCanvas();
    void closedWindowLoadsAfresh();
    void placingWithoutAPreparedMark();
    void fitToFrame();
    void unwritableProgramFolder();

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
    QTest::mouseClick(child<UserButton>(w, "Command9"), Qt::LeftButton);
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
    QTest::mouseClick(child<UserButton>(w, "Command9"), Qt::LeftButton);
    QCOMPARE(answer.texts(), QStringList{message});
    QCOMPARE(answer.lastTitle(), QString("Watermark Image"));
    QCOMPARE(PositioningWindow::loaded(), nullptr);  // not touched
    QVERIFY(!QFile::exists(tempPath()));
    QVERIFY(!QFile::exists(maskPath()));
}

void InitializeTest::writesTempAndPlacesAtTheCorner() {
    // The preview made by the real zoom from a 240 x 180 picture file.
    QTemporaryDir dir;
    const QString file = dir.filePath("mark.bmp");
    const QImage picture = pattern(240, 180);
    QVERIFY(picture.save(file, "BMP"));
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    probed(w, "320", "240");
    choosePicture(w, file);
    QCOMPARE(child<PictureBox>(w, "Image1")->size(), QSize(240, 180));

    bool tempBeforeMessage = true;
    bool shownAtMessage = false;
    ModalAnswerer answer([&](QMessageBox*) {
        tempBeforeMessage = QFile::exists(tempPath());
        shownAtMessage = PositioningWindow::loaded() && PositioningWindow::loaded()->isVisible();
    });
    QTest::mouseClick(child<UserButton>(w, "Command9"), Qt::LeftButton);
    QCOMPARE(answer.texts(), QStringList{kLoadMessage});
    QVERIFY(!tempBeforeMessage);  // the window's message comes first
    QVERIFY(shownAtMessage);

    QFile temp(tempPath());
    QVERIFY(temp.open(QIODevice::ReadOnly));
    const QByteArray bytes = temp.readAll();
    QCOMPARE(bytes.size(), 129654);
    const auto back = bmp::decode24(bytes);
    QVERIFY(back);
    QCOMPARE(*back, child<PictureBox>(w, "Image1")->image().convertToFormat(QImage::Format_RGB32));

    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form && form->isVisible());
    QCOMPARE(child<PictureBox>(*form, "Picture2")->picture(), *back);
    QCOMPARE(child<PictureBox>(*form, "Picture2")->scaleSize(), QSizeF(240, 180));
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->size(), QSize(320, 240));
    const QImage placed = expectedCanvas(QSize(320, 240), *back, {{0, 0}});
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->image(), placed);

    // A click at (0, 0) changes nothing.
    pressAt(child<MarkCanvas>(*form, "Picture1"), QPoint(0, 0));
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->image(), placed);
    QVERIFY(!QFile::exists(maskPath()));  // written by Start only
}

void InitializeTest::secondInitializeReplacesTheMark() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage first = pattern(100, 80);
    ready(w, QSize(320, 240), first);
    {
        ModalAnswerer answer;
        child<UserButton>(w, "Command9")->click();
    }
    PositioningWindow* form = PositioningWindow::loaded();
    pressAt(child<MarkCanvas>(*form, "Picture1"), QPoint(60, 50));

    // The preview changes (a zoom, say); Initialize again with the window open:
    // no load step, no message, and the new picture replaces the old one, at
    // the origin: the result carries one watermark, the one last prepared.
    const QImage second = pattern(40, 30).mirrored(true, false);
    ready(w, QSize(320, 240), second);
    ModalAnswerer answer;
    child<UserButton>(w, "Command9")->click();
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(PositioningWindow::loaded(), form);
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->image(),
             expectedCanvas(QSize(320, 240), second, {{0, 0}}));
}

void InitializeTest::maskIsTheCanvas() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage mark = pattern(100, 50);
    ready(w, QSize(320, 240), mark);
    {
        ModalAnswerer answer;
        child<UserButton>(w, "Command9")->click();
    }
    PositioningWindow* form = PositioningWindow::loaded();
    pressAt(child<MarkCanvas>(*form, "Picture1"), QPoint(300, 220));
    QVERIFY(form->writeMask());

    QFile file(maskPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 54 + 240 * 960);
    const auto mask = bmp::decode24(bytes);
    QVERIFY(mask);
    QCOMPARE(mask->size(), QSize(320, 240));
    QCOMPARE(*mask, child<MarkCanvas>(*form, "Picture1")->image());
    // Black but for the 20 x 20 top-left piece of the watermark at the corner.
    QCOMPARE(*mask, expectedCanvas(QSize(320, 240), mark, {{300, 220}}));
    QCOMPARE(QColor(mask->pixel(299, 239)), QColor(Qt::black));
    QCOMPARE(mask->pixel(319, 239), mark.pixel(19, 19));
    QCOMPARE(mask->pixel(300, 220), mark.pixel(0, 0));

    // A new colour from the palette and no click: a mask without the watermark.
    child<MarkCanvas>(*form, "Picture1")->setBackColor(QColor(255, 0, 255));
    QVERIFY(form->writeMask());
    QImage magenta(320, 240, QImage::Format_RGB32);
    magenta.fill(QColor(255, 0, 255));
    QCOMPARE(*bmp::read24(maskPath(), nullptr), magenta);
}

void InitializeTest::closedWindowLoadsAfresh() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage mark = pattern(50, 40);
    ready(w, QSize(200, 150), mark);
    {
        ModalAnswerer answer;
        child<UserButton>(w, "Command9")->click();
    }
    QPointer<PositioningWindow> first = PositioningWindow::loaded();
    const auto firstRunner = first->conversionRunner();
    first->setMaskColour("ff00ff");
    first->advanceActivityAnimation();
    child<MarkCanvas>(*first, "Picture1")->setBackColor(Qt::blue);
    first->close();
    QTRY_VERIFY(first.isNull());

    ModalAnswerer answer;
    child<UserButton>(w, "Command9")->click();
    QCOMPARE(answer.texts(), QStringList{kLoadMessage});
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form->conversionRunner() && form->conversionRunner() != firstRunner);
    QCOMPARE(form->maskColour(), QString("000000"));
    QCOMPARE(form->nextActivityFrame(), qint16(0));
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->image(), expectedCanvas(QSize(200, 150), mark, {{0, 0}}));
}

void InitializeTest::placingWithoutAPreparedMark() {
    PositioningWindow& form = loadedPositioningWindow();
    const QImage before = child<MarkCanvas>(form, "Picture1")->image();
    ModalAnswerer answer;
    form.placeMarkAtCanvasOrigin();
    QCOMPARE(answer.texts(), QStringList{"Please select a valid picture first"});
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->image(), before);
}

void InitializeTest::fitToFrame() {
    ModalAnswerer answer;
    PositioningWindow::instance().fitToFrame(QSize(320, 240));  // the first touch loads the window
    QCOMPARE(answer.texts(), QStringList{kLoadMessage});
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form && form->isVisible());
    QVERIFY(!form->isModal());
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->geometry(), QRect(8, 80, 320, 240));
    // Outer size, frame and title bar included (a platform without a frame
    // makes that the inner size).
    QCOMPARE(form->frameGeometry().size(), QSize(480, 370));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(child<PictureBox>(*form, "Picture2")->x(), 8 + 320);
    QCOMPARE(child<PictureBox>(*form, "Picture2")->y(), 80);
}

void InitializeTest::unwritableProgramFolder() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QImage mark = pattern(60, 40);
    ready(w, QSize(160, 120), mark);
    const Blocked temp(tempPath());
    const Blocked mask(maskPath());
    ModalAnswerer answer;
    child<UserButton>(w, "Command9")->click();
    // One clear message, and the positioning goes on with the preview itself.
    QCOMPARE(answer.texts().size(), 2);
    QCOMPARE(answer.texts()[0], kLoadMessage);
    QVERIFY2(answer.texts()[1].startsWith("Could not save the watermark as " + tempPath()),
             qPrintable(answer.texts()[1]));
    PositioningWindow* form = PositioningWindow::loaded();
    QCOMPARE(child<MarkCanvas>(*form, "Picture1")->image(), expectedCanvas(QSize(160, 120), mark, {{0, 0}}));

    // Start must not go on with a stale mask: savemask says so and fails.
    QVERIFY(!form->writeMask());
    QCOMPARE(answer.texts().size(), 3);
    QVERIFY2(answer.texts()[2].startsWith("Could not write " + maskPath()), qPrintable(answer.texts()[2]));
    QVERIFY(QFileInfo(maskPath()).isDir());
}

QTEST_MAIN(InitializeTest)
#include "initialize_test.moc"
