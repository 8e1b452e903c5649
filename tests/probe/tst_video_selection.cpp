// "Video Selection" through the real windows: the dialog, the probe run of the
// encoder and what the main window shows afterwards.
#include "app/form1.h"
#include "app/shell.h"
#include "runner/console_capture.h"

#include "tests/app/modal_answerer.h"

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

// A video made by Debian's ffmpeg for the test.
bool makeVideo(const QString& path, const QString& size, double seconds) {
    QProcess ff;
    ff.start(QStringLiteral("ffmpeg"),
             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
              QStringLiteral("-i"), QStringLiteral("testsrc=size=%1:rate=25").arg(size), QStringLiteral("-t"),
              QString::number(seconds), QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-y"),
              path});
    return ff.waitForFinished(60000) && ff.exitCode() == 0;
}

// An encoder stand-in that notes its arguments, waits, and prints nothing.
void writeSlowEncoder(const QString& folder, int seconds) {
    QFile f(folder + QStringLiteral("/mxcode.dll"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(
        QStringLiteral("#!/bin/sh\n"
                       "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$(dirname \"$0\")/args.log\"\n"
                       "echo >> \"$(dirname \"$0\")/args.log\"\n"
                       "sleep %1\n")
            .arg(seconds)
            .toUtf8());
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
}

QStringList loggedCalls(const QString& folder) {
    QFile f(folder + QStringLiteral("/args.log"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace

class VideoSelectionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void aChosenVideoFillsItsDetails_data();
    void aChosenVideoFillsItsDetails();
    void aVideoWhoseProbeFindsNothingKeepsTheEarlierDetails();
    void cancellingTheFirstDialogAsksForAVideo();
    void aSecondChoiceDuringAProbeEndsItAndProbesNothing();
    void aMissingEncoderShowsNothing();
    void aVanishedPathGivesAnEmptyPairOfQuotes();
    void closingTheMainWindowEndsAProbe();

private:
    QTemporaryDir videos_;
    QTemporaryDir realFolder_;  // holds the real encoder
};

void VideoSelectionTest::initTestCase() {
    QVERIFY(makeVideo(videos_.filePath(QStringLiteral("my clip.avi")), QStringLiteral("320x240"), 2));
    QVERIFY(makeVideo(videos_.filePath(QStringLiteral("wide.mov")), QStringLiteral("1280x720"), 1));
    QVERIFY(makeVideo(videos_.filePath(QStringLiteral("full hd.mpg")), QStringLiteral("1920x1080"), 1));
    QFile notVideo(videos_.filePath(QStringLiteral("notes.avi")));
    QVERIFY(notVideo.open(QIODevice::WriteOnly));
    notVideo.write("this is not a video\n");
    notVideo.close();
    QVERIFY(QFile::link(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"),
                        realFolder_.filePath(QStringLiteral("mxcode.dll"))));
}

void VideoSelectionTest::cleanup() {
    OpenFileDialog::setAnswer({});
    setProgramFolderForTesting(QString());
}

void VideoSelectionTest::aChosenVideoFillsItsDetails_data() {
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
}

void VideoSelectionTest::aChosenVideoFillsItsDetails() {
    QFETCH(QString, name);
    QFETCH(QString, duration);
    QFETCH(QString, res);
    setProgramFolderForTesting(realFolder_.path());
    Form1 w;
    const QString path = videos_.filePath(name);
    QString filter;
    OpenFileDialog::setAnswer([&](const OpenFileDialog& d) {
        filter = d.Filter;
        return path;
    });
    ModalAnswerer answer;
    QElapsedTimer clock;
    clock.start();
    w.Command6->click();
    qInfo("from the choice to the filled details: %lld ms", static_cast<long long>(clock.elapsed()));
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(filter, QStringLiteral("Video Files (*.avi;*.mpg;*.mpeg;*.divx;*.wmv;*.flv;*.mov)|"
                                    "*.avi;*.mpg;*.mpeg;*.divx;*.wmv;*.flv;*.mov"));
    QCOMPARE(w.textvid->toPlainText(), path);
    QCOMPARE(w.vidtitle->text(), name);
    QCOMPARE(w.Label5->text(), duration);
    QCOMPARE(w.duration, duration);
    QCOMPARE(w.vidres->text(), res);
}

void VideoSelectionTest::aVideoWhoseProbeFindsNothingKeepsTheEarlierDetails() {
    setProgramFolderForTesting(realFolder_.path());
    Form1 w;
    QString next = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    w.Command6->click();
    QCOMPARE(w.vidres->text(), QStringLiteral("320 x 240"));

    next = videos_.filePath(QStringLiteral("notes.avi"));
    ModalAnswerer answer;
    w.Command6->click();
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(w.textvid->toPlainText(), next);
    QCOMPARE(w.vidtitle->text(), QStringLiteral("notes.avi"));
    QCOMPARE(w.vidres->text(), QStringLiteral("320 x 240"));
    QCOMPARE(w.vidwidth, QStringLiteral("320"));
    QCOMPARE(w.vidheight, QStringLiteral("240"));
    QCOMPARE(w.Label5->text(), QStringLiteral("00:00:02.00"));
}

void VideoSelectionTest::cancellingTheFirstDialogAsksForAVideo() {
    setProgramFolderForTesting(realFolder_.path());
    Form1 w;
    OpenFileDialog::setAnswer([](const OpenFileDialog&) { return QString(); });
    ModalAnswerer answer;
    w.Command6->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("Please select a valid video file")});
    QCOMPARE(answer.boxes().constFirst().title, QStringLiteral("Watermark Image"));
    QVERIFY(w.textvid->toPlainText().isEmpty());
}

void VideoSelectionTest::aSecondChoiceDuringAProbeEndsItAndProbesNothing() {
    QTemporaryDir folder;
    writeSlowEncoder(folder.path(), 3);
    setProgramFolderForTesting(folder.path());
    Form1 w;
    const QString first = videos_.filePath(QStringLiteral("my clip.avi"));
    const QString second = videos_.filePath(QStringLiteral("wide.mov"));
    int asked = 0;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return ++asked == 1 ? first : second; });
    QTimer::singleShot(500, w.Command6, &QPushButton::click);
    QElapsedTimer clock;
    clock.start();
    w.Command6->click();
    QVERIFY2(clock.elapsed() < 2500, "the first probe was not ended by the second choice");
    QCOMPARE(asked, 2);
    QCOMPARE(loggedCalls(folder.path()).size(), 1);
    QCOMPARE(w.textvid->toPlainText(), second);
    QCOMPARE(w.vidtitle->text(), QStringLiteral("wide.mov"));
    QVERIFY(w.Label5->text().isEmpty());
    QVERIFY(w.vidres->text().isEmpty());
}

void VideoSelectionTest::aMissingEncoderShowsNothing() {
    QTemporaryDir empty;
    setProgramFolderForTesting(empty.path());
    Form1 w;
    const QString path = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return path; });
    ModalAnswerer answer;
    w.Command6->click();
    QTest::qWait(50);
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(w.textvid->toPlainText(), path);
    QVERIFY(w.Label5->text().isEmpty());
    QVERIFY(w.vidres->text().isEmpty());
}

void VideoSelectionTest::aVanishedPathGivesAnEmptyPairOfQuotes() {
    QTemporaryDir folder;
    writeSlowEncoder(folder.path(), 0);
    setProgramFolderForTesting(folder.path());
    Form1 w;
    w.textvid->setPlainText(videos_.filePath(QStringLiteral("gone since.avi")));
    w.initiate_vsize();
    QCOMPARE(loggedCalls(folder.path()), QStringList{QStringLiteral("[-i][]")});
    QVERIFY(w.Label5->text().isEmpty());
    QVERIFY(w.vidres->text().isEmpty());
}

void VideoSelectionTest::closingTheMainWindowEndsAProbe() {
    QTemporaryDir folder;
    writeSlowEncoder(folder.path(), 5);
    setProgramFolderForTesting(folder.path());
    Form1 w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString path = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return path; });
    ModalAnswerer answer;
    QTimer::singleShot(400, &w, &QWidget::close);
    QElapsedTimer clock;
    clock.start();
    w.Command6->click();
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.conApp);
    QVERIFY(answer.texts().isEmpty());
}

QTEST_MAIN(VideoSelectionTest)
#include "tst_video_selection.moc"
