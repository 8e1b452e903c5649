// Many videos from the positioning window: Save Job… writes the placement as
// a job that gives back the window's own mask, and Add Videos… opens the
// queue, whose proof frames carry the mark and whose Start converts them all,
// skipping what is done unless "Replace" is ticked.
#include "queue/batch_window.h"
#include "app/file_choice.h"
#include "app/main_window.h"
#include "app/quit_signals.h"
#include "jobs/batch_video.h"
#include "positioning/positioning_window.h"
#include "program.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

using namespace fixtures;

class BatchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void aSavedJobHoldsTheWindowsPlacement();
    void theQueueShowsProofsAndConvertsEveryVideo();
    void aSlowVideoWaitsInItsRowAndCanBeRemoved();
    void stoppedVideosSayStopped();
    void aQuitSignalStopsTheQueueKeepingEachPart();

private:
    PositioningWindow& open(const QString& video);

    QTemporaryDir folder_;
    QString logo_;
    QStringList videos_;
};

void BatchWindowTest::initTestCase() {
    const QString encoder = QStringLiteral("bw%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"), folder_.filePath("watermark.dll")));
    setEncoderNameForTesting(encoder);
    for (const char* name : {"one.avi", "two.avi", "three.avi"}) {
        videos_ << folder_.filePath(name);
        QVERIFY(makeVideo(videos_.back(), name == QLatin1String("two.avi") ? "320x240" : "160x120", 0.5));
    }
    logo_ = folder_.filePath("logo.png");
    QImage logo(40, 20, QImage::Format_ARGB32);
    logo.fill(QColor(255, 0, 0));
    QVERIFY(logo.save(logo_, "PNG"));
}

void BatchWindowTest::init() {
    QDir(folder_.filePath("watermarked")).removeRecursively();
    QVERIFY(QDir().mkpath(folder_.filePath("watermarked")));
    setProgramFolderForTesting(folder_.path());
}

void BatchWindowTest::cleanup() {
    setFileChoiceAnswer({});
    if (BatchWindow* b = BatchWindow::loaded()) b->close();
    QVERIFY(closeProgramWindows());
}

PositioningWindow& BatchWindowTest::open(const QString& video) {
    ChosenVideo v;
    v.path = video;
    v.title = QFileInfo(video).fileName();
    v.duration = QStringLiteral("00:00:00.50");
    v.frameSize = v.codedSize = QSize(160, 120);
    {
        ModalAnswerer answer;
        PositioningWindow::initialize(v, QImage(logo_), QSize(40, 20), logo_);
    }
    PositioningWindow& form = *PositioningWindow::loaded();
    control<QToolButton>(form, "Bottom right")->click();  // bottom right
    return form;
}

void BatchWindowTest::aSavedJobHoldsTheWindowsPlacement() {
    PositioningWindow& form = open(videos_[0]);
    const QString jobFile = folder_.filePath("saved");
    setFileChoiceAnswer([&](const QString& caption) {
        return caption == QStringLiteral("Save Job") ? QStringList{jobFile} : QStringList{};
    });
    {
        ModalAnswerer answer;
        control<QPushButton>(form, "Save Job…")->click();
        QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join(u'|')));
    }
    QString why;
    const std::optional<Job> job = readJobFile(jobFile + ".wmjob", &why);
    QVERIFY2(job, qPrintable(why));
    QCOMPARE(job->anchor, Anchor::BottomRight);
    QCOMPARE(job->picturePath, logo_);
}

void BatchWindowTest::theQueueShowsProofsAndConvertsEveryVideo() {
    PositioningWindow& form = open(videos_[0]);
    setFileChoiceAnswer([&](const QString&) { return videos_; });
    control<QPushButton>(form, "Add Videos…")->click();
    BatchWindow* queue = BatchWindow::loaded();
    QVERIFY(queue && queue->isVisible());
    QCOMPARE(queue->videos(), videos_);
    // Each row waits for its proof away from the window's thread.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(queue->stateText(i), QStringLiteral("…"));
    QTRY_VERIFY_WITH_TIMEOUT(queue->stateText(0) == "waiting" && queue->stateText(1) == "waiting" &&
                                 queue->stateText(2) == "waiting",
                             30000);
    // Each proof is the video's frame with the mark at the bottom right, as
    // the result will show it.
    for (int i = 0; i < 3; ++i) {
        const QImage proof = queue->proofFrame(i);
        QVERIFY2(!proof.isNull(), qPrintable(queue->stateText(i)));
        const QColor corner = proof.pixelColor(proof.width() * 19 / 20 - 4, proof.height() * 19 / 20 - 2);
        QVERIFY2(corner.red() > 200 && corner.green() < 60, qPrintable(corner.name()));
    }
    QCOMPARE(control<QTableWidget>(*queue, "Videos of the batch")->item(1, 2)->text(),
             QStringLiteral("320 x 240"));

    // A result already there is skipped unless "Replace" is ticked.
    QFile earlier(folder_.filePath("watermarked/wm-three.avi"));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier result");
    earlier.close();
    QSignalSpy finished(queue, &BatchWindow::finished);
    control<QPushButton>(*queue, "Start")->click();
    QVERIFY(!control<QPushButton>(*queue, "Start")->isEnabled());
    QVERIFY(finished.wait(60000));
    QVERIFY2(queue->stateText(0).startsWith("done"), qPrintable(queue->stateText(0)));
    QVERIFY2(queue->stateText(1).startsWith("done"), qPrintable(queue->stateText(1)));
    QVERIFY2(queue->stateText(2).startsWith("skipped"), qPrintable(queue->stateText(2)));
    QCOMPARE(control<QProgressBar>(*queue, "Progress of the batch")->value(), 1000);
    QCOMPARE(accessible(*queue, QAccessible::StaticText, "Time left")->text(QAccessible::Description),
             QStringLiteral("finished"));
    const QImage frame = frameOf(folder_.filePath("watermarked/wm-two.avi"), 5, 320, 240);
    QVERIFY(!frame.isNull());
    QVERIFY(frame.pixelColor(300, 225).red() > 200);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("an earlier result"));
    earlier.close();

    control<QCheckBox>(*queue, "Replace results that are already there")->setChecked(true);
    control<QPushButton>(*queue, "Start")->click();
    QVERIFY(finished.wait(60000));
    QVERIFY2(queue->stateText(2).startsWith("done"), qPrintable(queue->stateText(2)));
    QVERIFY(durationOf(folder_.filePath("watermarked/wm-three.avi")) > 0.3);
}

// A video that takes long to describe (a pipe nobody writes to yet) keeps the
// window live: its row says "…" and can be taken off the list, and what its
// describing gives later does not bring it back.
void BatchWindowTest::aSlowVideoWaitsInItsRowAndCanBeRemoved() {
    const QString slow = folder_.filePath("slow.avi");
    QVERIFY(::mkfifo(QFile::encodeName(slow).constData(), 0600) == 0);
    const auto gone = qScopeGuard([&] { QFile::remove(slow); });
    PositioningWindow& form = open(videos_[0]);
    setFileChoiceAnswer([&](const QString&) { return QStringList{slow} + videos_; });
    control<QPushButton>(form, "Add Videos…")->click();
    BatchWindow* queue = BatchWindow::loaded();
    QVERIFY(queue);
    QCOMPARE(queue->stateText(0), QStringLiteral("…"));
    auto* table = control<QTableWidget>(*queue, "Videos of the batch");
    table->selectRow(0);
    control<QPushButton>(*queue, "Remove")->click();
    QCOMPARE(queue->videos(), videos_);
    // The pipe's reader, once there, gets its end now.
    for (int tries = 0; tries < 50; ++tries) {
        const int fd = ::open(QFile::encodeName(slow).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        QTest::qWait(100);
    }
    QTRY_VERIFY_WITH_TIMEOUT(queue->stateText(0) == "waiting" && queue->stateText(1) == "waiting" &&
                                 queue->stateText(2) == "waiting",
                             30000);
    QCOMPARE(queue->videos(), videos_);
    QCOMPARE(table->rowCount(), 3);
}

void BatchWindowTest::stoppedVideosSayStopped() {
    // Long enough that a stop lands while both encoders work.
    const QStringList longer{folder_.filePath("long one.avi"), folder_.filePath("long two.avi")};
    for (const QString& v : longer)
        QVERIFY(QFileInfo::exists(v) || makeVideo(v, "1280x720", 20));
    PositioningWindow& form = open(videos_[0]);
    setFileChoiceAnswer([&](const QString&) { return longer; });
    control<QPushButton>(form, "Add Videos…")->click();
    BatchWindow* queue = BatchWindow::loaded();
    QVERIFY(queue);
    QSignalSpy finished(queue, &BatchWindow::finished);
    control<QPushButton>(*queue, "Start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(queue->stateText(0).startsWith("converting") &&
                                 queue->stateText(1).startsWith("converting") &&
                                 control<QProgressBar>(*queue, "Progress of the batch")->value() > 0,
                             30000);
    control<QPushButton>(*queue, "Stop")->click();
    QVERIFY(finished.wait(30000));
    // Each says it stopped and where its part is; the bar stays at the share done.
    for (int row = 0; row < 2; ++row)
        QVERIFY2(
            queue->stateText(row).startsWith("stopped: ") && queue->stateText(row).contains("-stopped.avi"),
            qPrintable(queue->stateText(row)));
    QVERIFY(control<QProgressBar>(*queue, "Progress of the batch")->value() < 1000);
    QCOMPARE(control<QLabel>(*queue, "Time left")->text(), QStringLiteral("stopped"));
}

void BatchWindowTest::aQuitSignalStopsTheQueueKeepingEachPart() {
    const QStringList longer{folder_.filePath("long one.avi"), folder_.filePath("long two.avi")};
    for (const QString& v : longer)
        QVERIFY(QFileInfo::exists(v) || makeVideo(v, "1280x720", 20));
    const std::unique_ptr<MainWindow> program = buildProgram();
    QuitSignals quitSignals;
    QString said;
    QTextStream err(&said);
    int exitCode = -1;
    connect(&quitSignals, &QuitSignals::arrived, program.get(), [&](int sig) {
        endOnQuitSignal(
            *program, sig, [&exitCode](int code) { exitCode = code; }, err);
    });
    PositioningWindow& form = open(videos_[0]);
    setFileChoiceAnswer([&](const QString&) { return longer; });
    control<QPushButton>(form, "Add Videos…")->click();
    BatchWindow* queue = BatchWindow::loaded();
    QVERIFY(queue);
    control<QPushButton>(*queue, "Start")->click();
    // Each encoder has written frames (a busy machine starts the second one late).
    const auto underWay = [&](int row) {
        return queue->stateText(row).startsWith("converting") &&
               !queue->stateText(row).startsWith("converting 0 ");
    };
    QTRY_VERIFY_WITH_TIMEOUT(underWay(0) && underWay(1), 30000);
    QStringList states;
    connect(queue, &BatchWindow::finished, this,
            [&] { states << queue->stateText(0) << queue->stateText(1); });
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(exitCode, 128 + SIGTERM, 8000);
    // Both encoders kept their parts, and the log says where.
    for (const char* name : {"long one", "long two"}) {
        const QString part = folder_.filePath(QStringLiteral("watermarked/wm-%1-stopped.avi").arg(name));
        QVERIFY2(durationOf(part) > 0, qPrintable(part + " / " + said + " / " + states.join(u'|')));
        QVERIFY2(said.contains(QStringLiteral("%1.avi: stopped: ").arg(name)), qPrintable(said));
    }
}

QTEST_MAIN(BatchWindowTest)
#include "batch_window_test.moc"
