// "Video Selection" through the real windows: the dialog, the probe run of the
// encoder and what the main window shows afterwards.
#include "probe/video_probe.h"
#include "app/main_window.h"
#include "jobs/program_paths.h"
#include "program.h"
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
#include <QTimeZone>
#include <QTimer>
#include <QtTest>

#include "app/user_button.h"

#include <sys/stat.h>

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

// An encoder stand-in that writes the first line of a description, waits
// until the pipe `gate` in its folder is opened and closed, and then tells a
// 1280x720 video of 3 seconds.
[[nodiscard]] bool writeGatedEncoder(const QString& folder) {
    if (::mkfifo(QFile::encodeName(folder + QStringLiteral("/gate")).constData(), 0600) != 0) return false;
    QFile f(folder + QStringLiteral("/mxcode.dll"));
    if (!f.open(QIODevice::WriteOnly)) return false;
    // The rest in one write, as the encoder's buffered output comes.
    f.write(
        "#!/bin/sh\n"
        "echo \"Input #0, avi, from 'clip.avi':\"\n"
        "read line < \"$(dirname \"$0\")/gate\"\n"
        "printf '  Duration: 00:00:03.00, start: 0.000000, bitrate: 100 kb/s\\n"
        "    Stream #0.0: Video: mpeg4, yuv420p, 1280x720 [SAR 1:1 DAR 16:9], 25 fps\\n"
        "At least one output file must be specified\\n'\n"
        "exit 1\n");
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
    void aFileTheEncoderCannotUseIsRefusedWithItsReason_data();
    void aFileTheEncoderCannotUseIsRefusedWithItsReason();
    void whileAProbeRunsTheDetailsArePending();
    void aTurnedVideoShowsItsUprightSize_data();
    void aTurnedVideoShowsItsUprightSize();
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
    for (const QString& name : {QStringLiteral("notes.avi"), QStringLiteral("n\u00f6tes.avi")}) {
        QFile notVideo(videos_.filePath(name));
        QVERIFY(notVideo.open(QIODevice::WriteOnly));
        notVideo.write("this is not a video\n");
        notVideo.close();
    }
    int rc = -1;
    fixtures::runProgram(QStringLiteral("ffmpeg"),
                         {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                          QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=1"),
                          videos_.filePath(QStringLiteral("sound only.mp4"))},
                         &rc);
    QCOMPARE(rc, 0);
    fixtures::runProgram(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
         videos_.filePath(QStringLiteral("wide.mov")), QStringLiteral("-c"), QStringLiteral("copy"),
         QStringLiteral("-metadata"), QStringLiteral("creation_time=2021-03-04T10:20:30.000000Z"),
         videos_.filePath(QStringLiteral("recorded.mp4"))},
        &rc);
    QCOMPARE(rc, 0);
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
    QTest::addColumn<QDateTime>("recorded");
    QTest::newRow("spaces in the name") << "my clip.avi"
                                        << "00:00:02.00"
                                        << "320 x 240" << QDateTime();
    QTest::newRow("wide") << "wide.mov"
                          << "00:00:01.00"
                          << "1280 x 720" << QDateTime();
    QTest::newRow("full hd") << "full hd.mpg"
                             << "00:00:01.00"
                             << "1920 x 1080" << QDateTime();
    // A text box would change these characters when read back.
    QTest::newRow("no-break space, carriage return, line separator")
        << QStringLiteral("odd\u00a0name\r\u2028.avi") << "00:00:02.00"
        << "320 x 240" << QDateTime();
    QTest::newRow("says when it was recorded")
        << "recorded.mp4"
        << "00:00:01.00"
        << "1280 x 720" << QDateTime(QDate(2021, 3, 4), QTime(10, 20, 30), QTimeZone::utc());
}

void VideoProbeTest::aChosenVideoFillsItsDetails() {
    QFETCH(QString, name);
    QFETCH(QString, duration);
    QFETCH(QString, res);
    QFETCH(QDateTime, recorded);
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
    control<UserButton>(w, "Video Selection")->click();
    qInfo("from the choice to the filled details: %lld ms", static_cast<long long>(clock.elapsed()));
    QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join(" | ")));
    const QString types = QStringLiteral(
        "*.avi;*.mpg;*.mpeg;*.divx;*.wmv;*.flv;*.mov;*.mp4;*.m4v;*.mkv;*.webm;*.ts;*.mts;*.m2ts;*.3gp;*.ogv");
    QCOMPARE(filter, QStringLiteral("Video Files (%1)|%1").arg(types));
    QCOMPARE(w.video().path, path);
    QCOMPARE(w.video().title, name);
    QCOMPARE(control<QLabel>(w, "Title")->text(), name);
    QCOMPARE(control<QLabel>(w, "Duration")->text(), duration);
    QCOMPARE(w.video().duration, duration);
    QCOMPARE(control<QLabel>(w, "Resolution")->text(), res);
    QCOMPARE(w.video().recorded, recorded);
    // The next video's details never keep this one's date.
    if (recorded.isValid()) {
        OpenFileDialog::setAnswer(
            [&](const OpenFileDialog&) { return videos_.filePath(QStringLiteral("wide.mov")); });
        control<UserButton>(w, "Video Selection")->click();
        QCOMPARE(w.video().recorded, QDateTime());
    }
}

void VideoProbeTest::aFileTheEncoderCannotUseIsRefusedWithItsReason_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");  // what the second line of the message holds
    QTest::newRow("not a video") << "notes.avi"
                                 << ": Invalid data found when processing input";
    // The encoder is given an alias of this name; the user is told the name.
    QTest::newRow("not a video, an awkward name")
        << QStringLiteral("n\u00f6tes.avi") << ": Invalid data found when processing input";
    // The encoder describes it, then notes that no output was named: that
    // note is no reason.
    QTest::newRow("sound only") << "sound only.mp4"
                                << "Audio:";
}

void VideoProbeTest::aFileTheEncoderCannotUseIsRefusedWithItsReason() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    setProgramFolderForTesting(realFolder_.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QString next = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    control<UserButton>(w, "Video Selection")->click();
    QCOMPARE(control<QLabel>(w, "Resolution")->text(), QStringLiteral("320 x 240"));

    // The earlier video's size and duration must not stand beside the new
    // title: Initialize would size the canvas for the wrong video.
    next = videos_.filePath(name);
    ModalAnswerer answer;
    control<UserButton>(w, "Video Selection")->click();
    QCOMPARE(answer.texts().size(), 1);
    const QStringList lines = answer.texts().first().split(u'\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Please select a valid video file"));
    QVERIFY2(lines[1].contains(reason), qPrintable(lines[1]));
    if (!name.startsWith(QStringLiteral("sound"))) QVERIFY2(lines[1].contains(next), qPrintable(lines[1]));
    QCOMPARE(control<QPlainTextEdit>(w, "Path")->toPlainText(), next);
    QCOMPARE(control<QLabel>(w, "Title")->text(), name);
    QVERIFY(control<QLabel>(w, "Resolution")->text().isEmpty());
    QVERIFY(control<QLabel>(w, "Duration")->text().isEmpty());
    QVERIFY(w.video().width.isEmpty() && w.video().height.isEmpty() && w.video().duration.isEmpty());
    QVERIFY(!w.video().frameSize.isValid() && !w.video().codedSize.isValid());
}

void VideoProbeTest::whileAProbeRunsTheDetailsArePending() {
    setProgramFolderForTesting(realFolder_.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QString next = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    control<UserButton>(w, "Video Selection")->click();
    QCOMPARE(control<QLabel>(w, "Resolution")->text(), QStringLiteral("320 x 240"));
    QCOMPARE(control<QLabel>(w, "Duration")->text(), QStringLiteral("00:00:02.00"));

    QTemporaryDir gated;
    QVERIFY(writeGatedEncoder(gated.path()));
    setProgramFolderForTesting(gated.path());
    next = videos_.filePath(QStringLiteral("wide.mov"));
    // What the window shows once the encoder has begun, before it tells anything.
    QStringList seen;
    ChosenVideo meanwhile;
    VideoProbe* probe = w.findChild<VideoProbe*>();
    QMetaObject::Connection watch =
        connect(probe->runner(), &ConsoleCapture::output, probe, [&](const QString&) {
            if (!seen.isEmpty()) return;
            seen << control<QLabel>(w, "Title")->text() << control<QLabel>(w, "Resolution")->text()
                 << control<QLabel>(w, "Duration")->text();
            meanwhile = w.video();
            // Lets the encoder go on: it reads the pipe until we close it.
            QFile gate(gated.filePath(QStringLiteral("gate")));
            QVERIFY(gate.open(QIODevice::WriteOnly));
        });
    ModalAnswerer answer;
    control<UserButton>(w, "Video Selection")->click();
    disconnect(watch);
    QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join(" | ")));
    const QString pending(QChar(0x2026));
    QCOMPARE(seen, (QStringList{QStringLiteral("wide.mov"), pending, pending}));
    QVERIFY(!meanwhile.frameSize.isValid() && !meanwhile.codedSize.isValid());
    QVERIFY(meanwhile.width.isEmpty() && meanwhile.height.isEmpty() && meanwhile.duration.isEmpty());
    // And then what the encoder told.
    QCOMPARE(control<QLabel>(w, "Resolution")->text(), QStringLiteral("1280 x 720"));
    QCOMPARE(control<QLabel>(w, "Duration")->text(), QStringLiteral("00:00:03.00"));
    QCOMPARE(w.video().frameSize, QSize(1280, 720));
}

void VideoProbeTest::aTurnedVideoShowsItsUprightSize_data() {
    QTest::addColumn<QString>("width");  // as cut from the description
    QTest::addColumn<QString>("height");
    QTest::addColumn<int>("turns");  // quarter turns clockwise; -1: the description tells none
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QSize>("upright");
    QTest::addColumn<QSize>("coded");
    QTest::newRow("untagged") << "1920"
                              << "1080" << -1 << false << "1920 x 1080" << QSize(1920, 1080)
                              << QSize(1920, 1080);
    // As it always was: the height as cut, comma and all.
    QTest::newRow("untagged, a comma behind the height")
        << "720"
        << "576," << -1 << false << "720 x 576," << QSize(720, 576) << QSize(720, 576);
    QTest::newRow("no turn") << "1920"
                             << "1080" << 0 << false << "1920 x 1080" << QSize(1920, 1080)
                             << QSize(1920, 1080);
    QTest::newRow("a quarter turn") << "1920"
                                    << "1080" << 1 << false << "1080 x 1920" << QSize(1080, 1920)
                                    << QSize(1920, 1080);
    QTest::newRow("half a turn") << "1920"
                                 << "1080" << 2 << false << "1920 x 1080" << QSize(1920, 1080)
                                 << QSize(1920, 1080);
    QTest::newRow("three quarters, mirrored")
        << "1920"
        << "1080" << 3 << true << "1080 x 1920" << QSize(1080, 1920) << QSize(1920, 1080);
    QTest::newRow("a quarter turn, a comma behind the height")
        << "720"
        << "576," << 1 << false << "576 x 720" << QSize(576, 720) << QSize(720, 576);
}

void VideoProbeTest::aTurnedVideoShowsItsUprightSize() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(int, turns);
    QFETCH(bool, mirrored);
    QFETCH(QString, shown);
    QFETCH(QSize, upright);
    QFETCH(QSize, coded);
    const rules::Orientation turn{qMax(turns, 0), mirrored};
    ProbeFacts facts;
    facts.duration = QStringLiteral("00:00:01.00");
    facts.width = width;
    facts.height = height;
    if (turns >= 0) facts.orientation = turn;
    // The turn told with the size, and in a chunk after it.
    for (const bool apart : {false, true}) {
        const std::unique_ptr<MainWindow> program = buildProgram();
        MainWindow& w = *program;
        VideoProbe* probe = w.findChild<VideoProbe*>();
        if (apart && facts.orientation) {
            ProbeFacts size = facts;
            size.orientation.reset();
            probe->takeFacts(size);
            ProbeFacts later;
            later.orientation = facts.orientation;
            probe->takeFacts(later);
        } else {
            probe->takeFacts(facts);
        }
        QCOMPARE(control<QLabel>(w, "Resolution")->text(), shown);
        QCOMPARE(w.video().width + QStringLiteral(" x ") + w.video().height, shown);
        QCOMPARE(w.video().frameSize, upright);
        QCOMPARE(w.video().codedSize, coded);
        QCOMPARE(w.video().orientation, turn);
    }
}

void VideoProbeTest::cancellingTheFirstDialogAsksForAVideo() {
    setProgramFolderForTesting(realFolder_.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    OpenFileDialog::setAnswer([](const OpenFileDialog&) { return QString(); });
    ModalAnswerer answer;
    control<UserButton>(w, "Video Selection")->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("Please select a valid video file")});
    QCOMPARE(answer.boxes().constFirst().title, QStringLiteral("Watermark Image"));
    QVERIFY(control<QPlainTextEdit>(w, "Path")->toPlainText().isEmpty());
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
    QTimer::singleShot(500, control<UserButton>(w, "Video Selection"), &QPushButton::click);
    QElapsedTimer clock;
    clock.start();
    control<UserButton>(w, "Video Selection")->click();
    QVERIFY2(clock.elapsed() < 2500, "the first probe was not ended by the second choice");
    QCOMPARE(asked, 2);
    QCOMPARE(loggedCalls(folder.path()).size(), 1);
    QCOMPARE(control<QPlainTextEdit>(w, "Path")->toPlainText(), second);
    QCOMPARE(control<QLabel>(w, "Title")->text(), QStringLiteral("wide.mov"));
    QVERIFY(control<QLabel>(w, "Duration")->text().isEmpty());
    QVERIFY(control<QLabel>(w, "Resolution")->text().isEmpty());
}

void VideoProbeTest::aMissingEncoderIsNamed() {
    QTemporaryDir empty;
    setProgramFolderForTesting(empty.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    const QString path = videos_.filePath(QStringLiteral("my clip.avi"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return path; });
    ModalAnswerer answer;
    control<UserButton>(w, "Video Selection")->click();
    QCOMPARE(answer.texts(), QStringList{QStringLiteral("The encoder is missing: ") + empty.path() +
                                         QStringLiteral("/mxcode.dll")});
    QCOMPARE(control<QPlainTextEdit>(w, "Path")->toPlainText(), path);
    QVERIFY(control<QLabel>(w, "Duration")->text().isEmpty());
    QVERIFY(control<QLabel>(w, "Resolution")->text().isEmpty());
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
    QVERIFY(control<QLabel>(w, "Duration")->text().isEmpty());
    QVERIFY(control<QLabel>(w, "Resolution")->text().isEmpty());
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
    control<UserButton>(w, "Video Selection")->click();
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.findChild<VideoProbe*>()->runner());
    QVERIFY(answer.texts().isEmpty());
}

QTEST_MAIN(VideoProbeTest)
#include "video_probe_test.moc"
