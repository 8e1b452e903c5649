// "Image Selection", the zoom slider and the preview, driven through the
// window with real message boxes.
#include "watermark/picture_preview.h"
#include "app/main_window.h"
#include "convert/program.h"
#include "watermark/picture_loader.h"

#include "app/picture_box.h"
#include "app/user_button.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/picture_fixtures.h"

#include "tests/support/window_test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kInvalid = QStringLiteral("Please select a valid picture");
const QString kClamp = QStringLiteral("Images smaller than 240x240 are recommended");

}  // namespace

class PicturePreviewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void filterOneEntryEachTime();
    void choose_data();
    void choose();
    void sliderRebuildsFromHolder_data();
    void sliderRebuildsFromHolder();
    void previewShowsTopLeftRegion_data();
    void previewShowsTopLeftRegion();
    void sliderWithoutPictureOnlyLabels();
    void dragRebuildsOnceOnRelease();
    void cancelKeepsPath();
    void fileChangedOnDiskIsReloaded();

private:
    // Shows the window and answers the picture dialog with `answer`.
    void choose(MainWindow& w, const QString& answer);
    QString make(const QString& name, const QImage& image, const char* format);

    std::unique_ptr<QTemporaryDir> dir_;
    QStringList filters_;
};

void PicturePreviewTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    filters_.clear();
}

void PicturePreviewTest::cleanup() {
    OpenFileDialog::setAnswer({});
    dir_.reset();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void PicturePreviewTest::choose(MainWindow& w, const QString& answer) {
    OpenFileDialog::setAnswer([this, answer](const OpenFileDialog& d) {
        filters_ << d.filter();
        return answer;
    });
    QTest::mouseClick(child<UserButton>(w, "browse"), Qt::LeftButton);
}

QString PicturePreviewTest::make(const QString& name, const QImage& image, const char* format) {
    const QString path = dir_->filePath(name);
    const bool ok =
        QByteArray(format) == "GIF" ? fixtures::writeGif(path, {image}) : fixtures::save(image, path, format);
    return ok ? path : QString();
}

void PicturePreviewTest::filterOneEntryEachTime() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString bmp = make("a.bmp", fixtures::halves(10, 10, Qt::red, Qt::blue), "BMP");
    choose(w, bmp);
    choose(w, bmp);
    const QString types = QStringLiteral("*.bmp;*.gif;*.jpg;*.jpeg;*.gif;*.png") +
                          (picture::webpSupported() ? QStringLiteral(";*.webp") : QString());
    const QString one = QStringLiteral("Image Files (%1)|%1").arg(types);
    QCOMPARE(filters_, (QStringList{one, one}));
}

void PicturePreviewTest::choose_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("format");  // "" for a text file, "none" for no file
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<QSize>("holder");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("landscape bmp") << QSize(100, 50) << "BMP" << QSize(240, 120) << QSize(100, 50)
                                   << QStringList();
    QTest::newRow("640x480 jpeg") << QSize(640, 480) << "JPG" << QSize(240, 180) << QSize(240, 240)
                                  << QStringList{kClamp};
    QTest::newRow("square gif") << QSize(200, 200) << "GIF" << QSize(200, 200) << QSize(200, 200)
                                << QStringList();
    QTest::newRow("portrait bmp") << QSize(150, 300) << "BMP" << QSize(120, 240) << QSize(150, 240)
                                  << QStringList{kClamp};
    QTest::newRow("flat bmp") << QSize(1000, 1) << "BMP" << QSize(240, 1) << QSize(240, 1)
                              << QStringList{kClamp};
    // A kind the program does not take; its header size is unknown too.
    QTest::newRow("ppm refused") << QSize(100, 50) << "PPM" << QSize(240, 240) << QSize(240, 240)
                                 << QStringList{kInvalid};
    QTest::newRow("not a picture") << QSize() << "" << QSize(240, 240) << QSize(240, 240)
                                   << QStringList{kInvalid};
    QTest::newRow("typed name of no file")
        << QSize() << "none" << QSize(240, 240) << QSize(240, 240) << QStringList{kInvalid};
}

void PicturePreviewTest::choose() {
    QFETCH(QSize, picture);
    QFETCH(QString, format);
    QFETCH(QSize, preview);
    QFETCH(QSize, holder);
    QFETCH(QStringList, messages);

    QString path = dir_->filePath(QStringLiteral("picture.jpg"));
    if (format.isEmpty())
        QVERIFY(fixtures::writeBytes(path, "plain text, no picture"));
    else if (format != "none")
        path = make(QStringLiteral("picture.") + format.toLower(),
                    fixtures::halves(picture.width(), picture.height(), Qt::red, Qt::blue),
                    format.toLatin1().constData());
    QVERIFY(!path.isEmpty());

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalAnswerer answer;
    choose(w, path);
    QCOMPARE(answer.texts(), messages);
    for (const ModalAnswerer::Box& b : answer.boxes()) {
        QCOMPARE(b.title, QStringLiteral("Watermark Image"));
        QCOMPARE(b.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QCOMPARE(w.findChild<PicturePreview*>()->path(), path);
    QCOMPARE(child<PictureBox>(w, "Image1")->size(), preview);
    QCOMPARE(child<PictureBox>(w, "Image1")->image().size(), preview);
    QCOMPARE(w.findChild<PicturePreview*>()->holderSize(), holder);
    QCOMPARE(child<PictureBox>(w, "Image1")->pos(), QPoint(344, 96));
}

void PicturePreviewTest::sliderRebuildsFromHolder_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<int>("messages");  // clamp messages on the move

    QTest::newRow("100x50 at 50") << QSize(100, 50) << 50 << QSize(50, 25) << 0;
    QTest::newRow("100x50 at 100") << QSize(100, 50) << 100 << QSize(100, 50) << 0;
    QTest::newRow("200x200 at 50") << QSize(200, 200) << 50 << QSize(100, 100) << 0;
    QTest::newRow("150x300 at 50") << QSize(150, 300) << 50 << QSize(60, 120) << 1;
    QTest::newRow("640x480 at 50") << QSize(640, 480) << 50 << QSize(120, 90) << 1;
    QTest::newRow("240x240 at 1") << QSize(240, 240) << 1 << QSize(2, 2) << 0;
    QTest::newRow("1000x1 at 1") << QSize(1000, 1) << 1 << QSize(2, 1) << 1;
}

void PicturePreviewTest::sliderRebuildsFromHolder() {
    QFETCH(QSize, picture);
    QFETCH(int, slider);
    QFETCH(QSize, preview);
    QFETCH(int, messages);
    const QString path =
        make("p.bmp", fixtures::halves(picture.width(), picture.height(), Qt::red, Qt::blue), "BMP");

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    {
        ModalAnswerer first;
        choose(w, path);
        // The move under test must be a change of value.
        if (child<QSlider>(w, "Slider1")->value() == slider)
            child<QSlider>(w, "Slider1")->setValue(slider == 100 ? 99 : slider + 1);
    }
    ModalAnswerer onMove;
    child<QSlider>(w, "Slider1")->setValue(slider);
    QCOMPARE(child<QLabel>(w, "Label1")->text(), QString::number(slider) + u'%');
    QCOMPARE(child<PictureBox>(w, "Image1")->size(), preview);
    QCOMPARE(onMove.texts(), QStringList(messages, kClamp));
}

void PicturePreviewTest::previewShowsTopLeftRegion_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("redAt");
    QTest::addColumn<QPoint>("blueAt");   // (-1, -1): no blue in the preview
    QTest::addColumn<QPoint>("whiteAt");  // (-1, -1): the last column is cut off

    // Picture: left half red, right half blue, last column white.
    QTest::newRow("whole picture stretched")
        << QSize(100, 50) << QPoint(10, 60) << QPoint(230, 60) << QPoint(239, 60);
    QTest::newRow("clamped to its top-left 240x240")
        << QSize(640, 480) << QPoint(239, 179) << QPoint(-1, -1) << QPoint(-1, -1);
    QTest::newRow("portrait cut at 240 rows")
        << QSize(150, 300) << QPoint(10, 239) << QPoint(110, 239) << QPoint(119, 120);
}

void PicturePreviewTest::previewShowsTopLeftRegion() {
    QFETCH(QSize, picture);
    QFETCH(QPoint, redAt);
    QFETCH(QPoint, blueAt);
    QFETCH(QPoint, whiteAt);
    const QString path =
        make("p.bmp", fixtures::halves(picture.width(), picture.height(), Qt::red, Qt::blue), "BMP");
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalAnswerer answer;
    choose(w, path);
    const QImage img = child<PictureBox>(w, "Image1")->image();
    QCOMPARE(img.pixelColor(redAt), QColor(Qt::red));
    if (blueAt.x() >= 0) QCOMPARE(img.pixelColor(blueAt), QColor(Qt::blue));
    if (whiteAt.x() >= 0) {
        QCOMPARE(img.pixelColor(whiteAt), QColor(Qt::white));
    } else {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QCOMPARE(img.pixelColor(x, y), QColor(Qt::red));
    }
}

void PicturePreviewTest::sliderWithoutPictureOnlyLabels() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage before = child<PictureBox>(w, "Image1")->image();
    ModalAnswerer answer;
    child<QSlider>(w, "Slider1")->setValue(30);
    QTest::keyClick(child<QSlider>(w, "Slider1"), Qt::Key_Right);
    QCOMPARE(child<QLabel>(w, "Label1")->text(), QStringLiteral("31%"));
    QCOMPARE(child<PictureBox>(w, "Image1")->size(), QSize(240, 240));
    QCOMPARE(child<PictureBox>(w, "Image1")->image(), before);
    QCOMPARE(w.findChild<PicturePreview*>()->holderSize(), QSize(240, 240));
    QVERIFY(answer.boxes().isEmpty());
}

void PicturePreviewTest::dragRebuildsOnceOnRelease() {
    // Each rebuild of a large picture shows the clamp message: a drag must
    // not show one per step.
    const QString path = make("big.bmp", fixtures::halves(640, 480, Qt::red, Qt::blue), "BMP");
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    {
        ModalAnswerer first;
        choose(w, path);
    }
    QSlider* s = child<QSlider>(w, "Slider1");
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = s->orientation();
    opt.minimum = s->minimum();
    opt.maximum = s->maximum();
    opt.sliderPosition = s->sliderPosition();
    opt.sliderValue = s->value();
    const QPoint handle =
        s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s).center();

    ModalAnswerer answer;
    QTest::mousePress(s, Qt::LeftButton, {}, handle);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(s, handle - QPoint(25 * step, 0));
    QVERIFY(answer.boxes().isEmpty());
    QCOMPARE(child<QLabel>(w, "Label1")->text(), QStringLiteral("100%"));
    QTest::mouseRelease(s, Qt::LeftButton, {}, handle - QPoint(100, 0));
    QVERIFY(s->value() < 100);
    QCOMPARE(child<QLabel>(w, "Label1")->text(), QString::number(s->value()) + u'%');
    QCOMPARE(answer.texts(), QStringList{kClamp});
}

void PicturePreviewTest::cancelKeepsPath() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    {
        // No picture yet: a cancel ends in the invalid-picture message.
        ModalAnswerer answer;
        choose(w, QString());
        QCOMPARE(answer.texts(), QStringList{kInvalid});
        QCOMPARE(w.findChild<PicturePreview*>()->path(), QString());
    }
    const QString path = make("p.gif", fixtures::halves(100, 50, Qt::red, Qt::blue), "GIF");
    ModalAnswerer answer;
    choose(w, path);
    child<QSlider>(w, "Slider1")->setValue(50);
    QCOMPARE(child<PictureBox>(w, "Image1")->size(), QSize(50, 25));
    choose(w, QString());
    QCOMPARE(w.findChild<PicturePreview*>()->path(), path);
    // Rebuilt from the kept path and the holder's 100 x 50 at 50 per cent.
    QCOMPARE(child<PictureBox>(w, "Image1")->size(), QSize(50, 25));
    QCOMPARE(child<PictureBox>(w, "Image1")->image().pixelColor(2, 2), QColor(Qt::red));
    QVERIFY(answer.boxes().isEmpty());
}

void PicturePreviewTest::fileChangedOnDiskIsReloaded() {
    const QString path = make("p.bmp", fixtures::halves(100, 50, Qt::red, Qt::red), "BMP");
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ModalAnswerer answer;
    choose(w, path);
    QCOMPARE(child<PictureBox>(w, "Image1")->image().pixelColor(5, 5), QColor(Qt::red));
    QVERIFY(fixtures::save(fixtures::halves(100, 50, Qt::green, Qt::green), path, "BMP"));
    child<QSlider>(w, "Slider1")->setValue(80);
    QCOMPARE(child<PictureBox>(w, "Image1")->image().pixelColor(5, 5), QColor(Qt::green));
    QVERIFY(answer.boxes().isEmpty());
}

QTEST_MAIN(PicturePreviewTest)
#include "picture_preview_test.moc"
