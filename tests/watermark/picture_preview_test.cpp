// "Image Selection", the zoom slider and the preview, driven through the
// window with real message boxes.
#include "watermark/picture_preview.h"
#include "app/main_window.h"
#include "mark/picture_loader.h"
#include "mark/scale.h"
#include "program.h"

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

}  // namespace

class PicturePreviewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void filterOneEntryEachTime();
    void choose_data();
    void choose();
    void sliderScalesTheWholePicture_data();
    void sliderScalesTheWholePicture();
    void previewShowsTheWholePicture_data();
    void previewShowsTheWholePicture();
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
    QTest::mouseClick(control<UserButton>(w, "Image Selection"), Qt::LeftButton);
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
    QTest::addColumn<QString>("markSize");  // the line under the preview
    QTest::addColumn<QStringList>("messages");

    // The whole picture at its own size, shown smaller only when it does not fit.
    QTest::newRow("landscape bmp") << QSize(100, 50) << "BMP" << QSize(100, 50) << "100 x 50 pixels"
                                   << QStringList();
    QTest::newRow("640x480 jpeg") << QSize(640, 480) << "JPG" << QSize(240, 180) << "640 x 480 pixels"
                                  << QStringList();
    QTest::newRow("square gif") << QSize(200, 200) << "GIF" << QSize(200, 200) << "200 x 200 pixels"
                                << QStringList();
    QTest::newRow("portrait bmp") << QSize(150, 300) << "BMP" << QSize(120, 240) << "150 x 300 pixels"
                                  << QStringList();
    QTest::newRow("wide logo png") << QSize(606, 179) << "PNG" << QSize(240, 71) << "606 x 179 pixels"
                                   << QStringList();
    QTest::newRow("flat bmp") << QSize(1000, 1) << "BMP" << QSize(240, 1) << "1000 x 1 pixels"
                              << QStringList();
    // A kind the program does not take.
    QTest::newRow("ppm refused") << QSize(100, 50) << "PPM" << QSize(240, 240) << "" << QStringList{kInvalid};
    QTest::newRow("not a picture") << QSize() << "" << QSize(240, 240) << "" << QStringList{kInvalid};
    QTest::newRow("typed name of no file")
        << QSize() << "none" << QSize(240, 240) << "" << QStringList{kInvalid};
}

void PicturePreviewTest::choose() {
    QFETCH(QSize, picture);
    QFETCH(QString, format);
    QFETCH(QSize, preview);
    QFETCH(QString, markSize);
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
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), preview);
    QCOMPARE(control<PictureBox>(w, "Preview")->image().size(), preview);
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(), markSize);
    QCOMPARE(w.findChild<PicturePreview*>()->markSize(), messages.isEmpty() ? picture : QSize());
    QCOMPARE(control<PictureBox>(w, "Preview")->pos(), QPoint(344, 96));
}

void PicturePreviewTest::sliderScalesTheWholePicture_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QSize>("mark");     // in the video
    QTest::addColumn<QSize>("preview");  // as shown

    QTest::newRow("100x50 at 50") << QSize(100, 50) << 50 << QSize(50, 25) << QSize(50, 25);
    QTest::newRow("100x50 at 100") << QSize(100, 50) << 100 << QSize(100, 50) << QSize(100, 50);
    QTest::newRow("200x200 at 50") << QSize(200, 200) << 50 << QSize(100, 100) << QSize(100, 100);
    QTest::newRow("150x300 at 50") << QSize(150, 300) << 50 << QSize(75, 150) << QSize(75, 150);
    QTest::newRow("640x480 at 50") << QSize(640, 480) << 50 << QSize(320, 240) << QSize(240, 180);
    QTest::newRow("606x179 at 37") << QSize(606, 179) << 37 << QSize(224, 66) << QSize(224, 66);
    QTest::newRow("240x240 at 1") << QSize(240, 240) << 1 << QSize(2, 2) << QSize(2, 2);
    QTest::newRow("1000x1 at 1") << QSize(1000, 1) << 1 << QSize(10, 1) << QSize(10, 1);
}

void PicturePreviewTest::sliderScalesTheWholePicture() {
    QFETCH(QSize, picture);
    QFETCH(int, slider);
    QFETCH(QSize, mark);
    QFETCH(QSize, preview);
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
        if (control<QSlider>(w, "Picture zoom")->value() == slider)
            control<QSlider>(w, "Picture zoom")->setValue(slider == 100 ? 99 : slider + 1);
    }
    ModalAnswerer onMove;
    control<QSlider>(w, "Picture zoom")->setValue(slider);
    QCOMPARE(control<QLabel>(w, "Picture zoom")->text(), QString::number(slider) + u'%');
    QCOMPARE(w.findChild<PicturePreview*>()->markSize(), mark);
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(),
             QStringLiteral("%1 x %2 pixels").arg(mark.width()).arg(mark.height()));
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), preview);
    QVERIFY(onMove.texts().isEmpty());
}

void PicturePreviewTest::previewShowsTheWholePicture_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("redAt");
    QTest::addColumn<QPoint>("blueAt");
    QTest::addColumn<QPoint>("whiteAt");  // (-1, -1): the last column is scaled with its neighbours

    // Picture: left half red, right half blue, last column white; nothing is cut.
    QTest::newRow("at its own size") << QSize(100, 50) << QPoint(10, 25) << QPoint(90, 25) << QPoint(99, 25);
    QTest::newRow("larger, scaled down")
        << QSize(640, 480) << QPoint(10, 170) << QPoint(200, 170) << QPoint(-1, -1);
    QTest::newRow("portrait, scaled down")
        << QSize(150, 300) << QPoint(10, 230) << QPoint(100, 230) << QPoint(-1, -1);
}

void PicturePreviewTest::previewShowsTheWholePicture() {
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
    const QImage img = control<PictureBox>(w, "Preview")->image();
    QCOMPARE(img.pixelColor(redAt), QColor(Qt::red));
    QCOMPARE(img.pixelColor(blueAt), QColor(Qt::blue));
    if (whiteAt.x() >= 0) QCOMPARE(img.pixelColor(whiteAt), QColor(Qt::white));
    // The shape is the picture's: no squeezing into a square.
    QVERIFY(std::abs(double(img.width()) / img.height() - double(picture.width()) / picture.height()) < 0.02);
}

void PicturePreviewTest::sliderWithoutPictureOnlyLabels() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage before = control<PictureBox>(w, "Preview")->image();
    ModalAnswerer answer;
    control<QSlider>(w, "Picture zoom")->setValue(30);
    QTest::keyClick(control<QSlider>(w, "Picture zoom"), Qt::Key_Right);
    QCOMPARE(control<QLabel>(w, "Picture zoom")->text(), QStringLiteral("31%"));
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(240, 240));
    QCOMPARE(control<PictureBox>(w, "Preview")->image(), before);
    QVERIFY(w.findChild<PicturePreview*>()->picture().isNull());
    QVERIFY(answer.boxes().isEmpty());
}

void PicturePreviewTest::dragRebuildsOnceOnRelease() {
    // Each rebuild reads the picture again: a drag must not do it per step.
    const QString path = make("big.bmp", fixtures::halves(640, 480, Qt::red, Qt::blue), "BMP");
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    {
        ModalAnswerer first;
        choose(w, path);
    }
    QSlider* s = control<QSlider>(w, "Picture zoom");
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
    QCOMPARE(control<QLabel>(w, "Picture zoom")->text(), QStringLiteral("100%"));
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(), QStringLiteral("640 x 480 pixels"));
    QTest::mouseRelease(s, Qt::LeftButton, {}, handle - QPoint(100, 0));
    QVERIFY(s->value() < 100);
    QCOMPARE(control<QLabel>(w, "Picture zoom")->text(), QString::number(s->value()) + u'%');
    QCOMPARE(w.findChild<PicturePreview*>()->markSize(), zoom::zoomedSize(QSize(640, 480), s->value()));
    QVERIFY(answer.boxes().isEmpty());
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
    control<QSlider>(w, "Picture zoom")->setValue(50);
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(50, 25));
    choose(w, QString());
    QCOMPARE(w.findChild<PicturePreview*>()->path(), path);
    // Rebuilt from the kept path: 100 x 50 at 50 per cent.
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(50, 25));
    QCOMPARE(control<PictureBox>(w, "Preview")->image().pixelColor(2, 2), QColor(Qt::red));
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
    QCOMPARE(control<PictureBox>(w, "Preview")->image().pixelColor(5, 5), QColor(Qt::red));
    QVERIFY(fixtures::save(fixtures::halves(100, 50, Qt::green, Qt::green), path, "BMP"));
    control<QSlider>(w, "Picture zoom")->setValue(80);
    QCOMPARE(control<PictureBox>(w, "Preview")->image().pixelColor(5, 5), QColor(Qt::green));
    QVERIFY(answer.boxes().isEmpty());
}

QTEST_MAIN(PicturePreviewTest)
#include "picture_preview_test.moc"
