// "Text…" in the main window and the window "Text Watermark": the text becomes the mark, filled
// for the chosen video and drawn at the size the preview shows; what is refused; what is
// remembered; a picture chosen after it is the mark again.
#include "watermark/text_mark_window.h"
#include "app/main_window.h"
#include "app/user_button.h"
#include "app/user_settings.h"
#include "jobs/program_paths.h"
#include "mark/scale.h"
#include "mark/text_mark.h"
#include "program.h"
#include "watermark/picture_preview.h"
#include "watermark/text_mark_settings.h"

#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QComboBox>
#include <QFile>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TextMarkWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theTextBecomesTheMarkOfTheChosenVideo();
    void whatUseTextRefuses_data();
    void whatUseTextRefuses();
    void aPictureChosenAfterwardsIsTheMarkAgain();

private:
    TextMarkWindow& openTextWindow(MainWindow& w);
    void chooseVideo(MainWindow& w, const QString& path);

    QTemporaryDir folder_;  // the program folder of the test, with its videos
};

void TextMarkWindowTest::initTestCase() {
    const QString encoder = QStringLiteral("tw%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder)));
    setProgramFolderForTesting(folder_.path());
    setEncoderNameForTesting(encoder);
    int rc = -1;
    fixtures::runProgram(QStringLiteral("ffmpeg"),
                         {"-v", "error", "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=10", "-frames:v",
                          "3", "-c:v", "ffv1", "-metadata", "creation_time=2021-03-04T12:00:00Z", "-y",
                          folder_.filePath(QStringLiteral("sea trip.mkv"))},
                         &rc);
    QCOMPARE(rc, 0);
}

void TextMarkWindowTest::init() {
    userSettings().clear();
}

void TextMarkWindowTest::cleanup() {
    OpenFileDialog::setAnswer({});
    if (TextMarkWindow* w = TextMarkWindow::loaded()) w->close();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

TextMarkWindow& TextMarkWindowTest::openTextWindow(MainWindow& w) {
    control<UserButton>(w, "Text…")->click();
    TextMarkWindow* text = TextMarkWindow::loaded();
    if (!text) qFatal("Text… opened no window");
    return *text;
}

void TextMarkWindowTest::chooseVideo(MainWindow& w, const QString& path) {
    OpenFileDialog::setAnswer([path](const OpenFileDialog&) { return path; });
    control<UserButton>(w, "Video Selection")->click();
}

// The window opens on a first text; what the user makes of it is the mark, its tokens filled with
// the video's name and recording date, drawn at the size the preview shows; the zoom draws it
// again at its new size; and the text is remembered as written.
void TextMarkWindowTest::theTextBecomesTheMarkOfTheChosenVideo() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    chooseVideo(w, folder_.filePath(QStringLiteral("sea trip.mkv")));
    TextMarkWindow& window = openTextWindow(w);
    QVERIFY(window.isVisible());
    QCOMPARE(control<QLineEdit>(window, "Text")->text(), QStringLiteral("© {name} {date}"));

    control<QLineEdit>(window, "Text")->setText(QStringLiteral("{name}, {date}"));
    control<QFontComboBox>(window, "Font")->setCurrentFont(QFont(QStringLiteral("DejaVu Serif")));
    control<QSpinBox>(window, "Size")->setValue(40);
    control<QLineEdit>(window, "Colour")->setText(QStringLiteral("FFCC00"));
    control<QComboBox>(window, "Edge")->setCurrentText(QStringLiteral("Shadow"));
    QTest::mouseClick(control<QPushButton>(window, "Use Text"), Qt::LeftButton);
    QTRY_VERIFY(!TextMarkWindow::loaded());

    TextMark want;
    want.text = QStringLiteral("sea trip, 2021-03-04");
    want.family = QFont(QStringLiteral("DejaVu Serif")).family();
    want.pixelSize = 40;
    want.colour = QColor(0xff, 0xcc, 0x00);
    want.edge = TextMark::Edge::Shadow;
    const QSize natural = textMarkSize(want);
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(),
             QStringLiteral("%1 x %2 pixels").arg(natural.width()).arg(natural.height()));
    QCOMPARE(w.previewImage(), drawTextMark(want, zoom::fittedIn(natural, MainWindow::previewBoxLimit())));

    control<QSlider>(w, "Picture zoom")->setValue(30);
    const QSize zoomed = zoom::zoomedSize(natural, 30);
    QCOMPARE(w.previewImage(), drawTextMark(want, zoom::fittedIn(zoomed, MainWindow::previewBoxLimit())));

    const std::optional<TextMark> remembered = restoreTextMark(userSettings());
    QVERIFY(remembered);
    QCOMPARE(remembered->text, QStringLiteral("{name}, {date}"));
    QCOMPARE(remembered->pixelSize, 40);
    QCOMPARE(remembered->edge, TextMark::Edge::Shadow);
    // The next window opens on the text in use.
    QCOMPARE(control<QLineEdit>(openTextWindow(w), "Text")->text(), QStringLiteral("{name}, {date}"));
}

void TextMarkWindowTest::whatUseTextRefuses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("message");
    QTest::newRow("no text") << ""
                             << "ffffff"
                             << "Please type the text of the watermark";
    QTest::newRow("only spaces") << "   "
                                 << "ffffff"
                                 << "Please type the text of the watermark";
    QTest::newRow("colour not RRGGBB") << "© me"
                                       << "fff"
                                       << "Please use the RRGGBB format";
}

// The window stays open with what was typed, and the mark stays as it was.
void TextMarkWindowTest::whatUseTextRefuses() {
    QFETCH(QString, text);
    QFETCH(QString, colour);
    QFETCH(QString, message);
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    TextMarkWindow& window = openTextWindow(w);
    control<QLineEdit>(window, "Text")->setText(text);
    control<QLineEdit>(window, "Colour")->setText(colour);
    ModalAnswerer answer;
    QTest::mouseClick(control<QPushButton>(window, "Use Text"), Qt::LeftButton);
    QCOMPARE(answer.texts(), QStringList{message});
    QVERIFY(TextMarkWindow::loaded());
    QVERIFY(w.previewImage().isNull());
    QCOMPARE(restoreTextMark(userSettings()), std::nullopt);
}

// "Image Selection" after a text makes the chosen picture the mark; a cancelled dialog keeps the
// text.
void TextMarkWindowTest::aPictureChosenAfterwardsIsTheMarkAgain() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    auto* preview = w.findChild<PicturePreview*>();
    QVERIFY(preview);
    TextMarkWindow& window = openTextWindow(w);
    control<QLineEdit>(window, "Text")->setText(QStringLiteral("© me"));
    QTest::mouseClick(control<QPushButton>(window, "Use Text"), Qt::LeftButton);
    QVERIFY(preview->textMark());

    OpenFileDialog::setAnswer([](const OpenFileDialog&) { return QString(); });
    control<UserButton>(w, "Image Selection")->click();
    QVERIFY(preview->textMark());
    QVERIFY(preview->holdsChosenPicture());

    QImage logo(30, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    const QString path = folder_.filePath(QStringLiteral("logo.png"));
    QVERIFY(logo.save(path));
    OpenFileDialog::setAnswer([path](const OpenFileDialog&) { return path; });
    control<UserButton>(w, "Image Selection")->click();
    QVERIFY(!preview->textMark());
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(), QStringLiteral("30 x 20 pixels"));
}

QTEST_MAIN(TextMarkWindowTest)
#include "text_mark_window_test.moc"
