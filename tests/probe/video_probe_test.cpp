// "Video Selection" through the real windows: the dialog, the probe run of the
// encoder and what the main window shows afterwards.
#include "probe/video_probe.h"
#include "app/main_window.h"
#include "app/shell.h"
#include "convert/program.h"
#include "runner/console_capture.h"

#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"

#include "tests/support/window_test_support.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/user_button.h"

namespace {

using fixtures::makeVideo;

// An encoder stand-in that notes its arguments, waits, and prints nothing.
[[nodiscard]] bool writeSlowEncoder(const QString& folder, int seconds) {
    QFile f(folder + QStringLiteral("/mxcode.dll"));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(
        QStringLiteral("#!/bin/sh\n"
                       "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$(dirname \"$0\")/args.log\"\n"
                       "echo >> \"$(dirname \"$0\")/args.log\"\n"
                       "sleep %1\n")
            .arg(seconds)
            .toUtf8());
    f.close();
    return f.error() == QFileDevice::NoError && f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

QStringList loggedCalls(const QString& folder) {
    QFile f(folder + QStringLiteral("/args.log"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace

class VideoProbeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void aChosenVideoFillsItsDetails_data();
    void aChosenVideoFillsItsDetails();
    void aVideoWhoseProbeFindsNothingIsRefused();
    void cancellingTheFirstDialogAsksForAVideo();
    void aSecondChoiceDuringAProbeEndsItAndProbesNothing();
    void aMissingEncoderIsNamed();
    void aVanishedPathGivesAnEmptyPairOfQuotes();
    void closingTheMainWindowEndsAProbe();

private:
    QTemporaryDir videos_;
    QTemporaryDir realFolder_;  // holds the real encoder
};

void VideoProbeTest::initTestCase() {
    QVERIFY(makeVideo(videos_.filePath(QStringLiteral("my clip.avi")), QStringLiteral("320x240"), 2));
    QVERIFY(makeVideo(videos_.filePath(QStringLiteral("wide.mov")), QStringLiteral("1280x720"), 1));
    QVERIFY(makeVideo(videos_.filePath(QStringLiteral("full hd.mpg")), QStringLiteral("1920x1080"), 1));
    QVERIFY(QFile::copy(videos_.filePath(QStringLiteral("my clip.avi")),
                        videos_.filePath(QStringLiteral("odd\u00a0name\r\u2028.avi"))));
    QFile notVideo(videos_.filePath(QStringLiteral("notes.avi")));
    QVERIFY(notVideo.open(QIODevice::WriteOnly));
    notVideo.write("this is not a video\n");
    notVideo.close();
    QVERIFY(QFile::link(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"),
                        realFolder_.filePath(QStringLiteral("mxcode.dll"))));
}

void VideoProbeTest::cleanup() {
    OpenFileDialog::setAnswer({});
    setProgramFolderForTesting(QString());
}

void VideoProbeTest::aChosenVideoFillsItsDetails_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("res");
    QTest::newRow("spaces in the name") << "my clip.avi"
                                        << "00:00:02.00"
                                        << "320 x 240";
    QTest::newRow("wide") << "wide.mov"
                          << "00:00:01.00"
                          << "1280 x 720";
    QTest::newRow("full hd") << "full hd.mpg"
                             << "00:00:01.00"
                             << "1920 x 1080";
    // A text box would change these characters when read back.
    QTest::newRow("no-break space, carriage return, line separator")
        << QStringLiteral("odd\u00a0name\r\u2028.avi") << "00:00:02.00"
        << "320 x 240";
}

void VideoProbeTest::aChosenVideoFillsItsDetails() {
    QFETCH(QString, name);
    QFETCH(QString, duration);
    QFETCH(QString, res);
    setProgramFolderForTesting(realFolder_.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QString path = videos_.filePath(name);
    QString filter;
    OpenFileDialog::setAnswer([&](const OpenFileDialog& d) {
        filter = d.filter();
        return path;
    });
    ModalAnswerer answer;
    QElapsedTimer clock;
    clock.start();
    child<UserButton>(w, "Command6")->click();
    qInfo("from the choice to the filled details: %lld ms", static_cast<long long>(clock.elapsed()));
    QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join(" | ")));
    const QString types = QStringLiteral(
        "*.avi;*.mpg;*.mpeg;*.divx;*.wmv;*.flv;*.mov;*.mp4;*.m4v;*.mkv;*.webm;*.ts;*.mts;*.m2ts;*.3gp;*.ogv");
    QCOMPARE(filter, QStringLiteral("Video Files (%1)|%1").arg(types));
    QCOMPARE(w.video().path, path);
    QCOMPARE(w.video().title, name);
    QCOMPARE(child<QLabel>(w, "vidtitle")->text(), name);
    QCOMPARE(child<QLabel>(w, "Label5")->text(), duration);
    QCOMPARE(w.video().duration, duration);
    QCOMPARE(child<QLabel>(w, "vidres")->text(), res);
}

void VideoProbeTest::aVideoWhoseProbeFindsNothingIsRefused() {
    setProgramFolderForTesting(realFolder_.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QString next = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    child<UserButton>(w, "Command6")->click();
    QCOMPARE(child<QLabel>(w, "vidres")->text(), QStringLiteral("320 x 240"));

    // The earlier video's size and duration must not stand beside the new
    // title: Initialize would size the canvas for the wrong video.
    next = videos_.filePath(QStringLiteral("notes.avi"));
    ModalAnswerer answer;
    child<UserButton>(w, "Command6")->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("Please select a valid video file")});
    QCOMPARE(child<QPlainTextEdit>(w, "textvid")->toPlainText(), next);
    QCOMPARE(child<QLabel>(w, "vidtitle")->text(), QStringLiteral("notes.avi"));
    QVERIFY(child<QLabel>(w, "vidres")->text().isEmpty());
    QVERIFY(child<QLabel>(w, "Label5")->text().isEmpty());
    QVERIFY(w.video().width.isEmpty() && w.video().height.isEmpty() && w.video().duration.isEmpty());
    QVERIFY(!w.video().frameSize.isValid());
}

void VideoProbeTest::cancellingTheFirstDialogAsksForAVideo() {
    setProgramFolderForTesting(realFolder_.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    OpenFileDialog::setAnswer([](const OpenFileDialog&) { return QString(); });
    ModalAnswerer answer;
    child<UserButton>(w, "Command6")->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("Please select a valid video file")});
    QCOMPARE(answer.boxes().constFirst().title, QStringLiteral("Watermark Image"));
    QVERIFY(child<QPlainTextEdit>(w, "textvid")->toPlainText().isEmpty());
}

void VideoProbeTest::aSecondChoiceDuringAProbeEndsItAndProbesNothing() {
    QTemporaryDir folder;
    QVERIFY(writeSlowEncoder(folder.path(), 3));
    setProgramFolderForTesting(folder.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QString first = videos_.filePath(QStringLiteral("my clip.avi"));
    const QString second = videos_.filePath(QStringLiteral("wide.mov"));
    int asked = 0;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return ++asked == 1 ? first : second; });
    QTimer::singleShot(500, child<UserButton>(w, "Command6"), &QPushButton::click);
    QElapsedTimer clock;
    clock.start();
    child<UserButton>(w, "Command6")->click();
    QVERIFY2(clock.elapsed() < 2500, "the first probe was not ended by the second choice");
    QCOMPARE(asked, 2);
    QCOMPARE(loggedCalls(folder.path()).size(), 1);
    QCOMPARE(child<QPlainTextEdit>(w, "textvid")->toPlainText(), second);
    QCOMPARE(child<QLabel>(w, "vidtitle")->text(), QStringLiteral("wide.mov"));
    QVERIFY(child<QLabel>(w, "Label5")->text().isEmpty());
    QVERIFY(child<QLabel>(w, "vidres")->text().isEmpty());
}

void VideoProbeTest::aMissingEncoderIsNamed() {
    QTemporaryDir empty;
    setProgramFolderForTesting(empty.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QString path = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return path; });
    ModalAnswerer answer;
    child<UserButton>(w, "Command6")->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("The encoder is missing: ") + empty.path() +
                                         QStringLiteral("/mxcode.dll")});
    QCOMPARE(child<QPlainTextEdit>(w, "textvid")->toPlainText(), path);
    QVERIFY(child<QLabel>(w, "Label5")->text().isEmpty());
    QVERIFY(child<QLabel>(w, "vidres")->text().isEmpty());
}

void VideoProbeTest::aVanishedPathGivesAnEmptyPairOfQuotes() {
    QTemporaryDir folder;
    QVERIFY(writeSlowEncoder(folder.path(), 0));
    setProgramFolderForTesting(folder.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    ModalAnswerer answer;
    w.findChild<VideoProbe*>()->probeVideo(videos_.filePath(QStringLiteral("gone since.avi")));
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("Please select a valid video file")});
    QCOMPARE(loggedCalls(folder.path()), QStringList{QStringLiteral("[-i][]")});
    QVERIFY(child<QLabel>(w, "Label5")->text().isEmpty());
    QVERIFY(child<QLabel>(w, "vidres")->text().isEmpty());
}

void VideoProbeTest::closingTheMainWindowEndsAProbe() {
    QTemporaryDir folder;
    QVERIFY(writeSlowEncoder(folder.path(), 5));
    setProgramFolderForTesting(folder.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString path = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return path; });
    ModalAnswerer answer;
    QTimer::singleShot(400, &w, &QWidget::close);
    QElapsedTimer clock;
    clock.start();
    child<UserButton>(w, "Command6")->click();
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.findChild<VideoProbe*>()->runner());
    QVERIFY(answer.texts().isEmpty());
}

QTEST_MAIN(VideoProbeTest)
#include "video_probe_test.moc"
