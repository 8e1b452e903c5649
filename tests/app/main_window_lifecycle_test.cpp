// Start-up and shut-down of the program: the output folder, the first state
// of the main window, and closing it ending the program.
#include "app/main_window.h"
#include "app/picture_box.h"
#include "jobs/program_paths.h"
#include "probe/video_probe.h"
#include "program.h"
#include "watermark/picture_preview.h"

#include "tests/support/window_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void createsTheOutputFolderOnlyWhenNothingHasItsName();
    void aFileNamedLikeTheFolderIsLeftAloneWithoutAMessage();
    void firstState();
    void closingTheMainWindowEndsTheProgram();
    void theProgramStartedFromACopyOfItsFolder_data();
    void theProgramStartedFromACopyOfItsFolder();
};

void StartupTest::cleanup() {
    setProgramFolderForTesting(QString());
}

void StartupTest::createsTheOutputFolderOnlyWhenNothingHasItsName() {
    QTemporaryDir dir;
    setProgramFolderForTesting(dir.path());
    const QString out = dir.filePath(QStringLiteral("watermarked"));
    {
        MainWindow w;
        QVERIFY(QFileInfo(out).isDir());
        QVERIFY(QDir(out).isEmpty());
    }
    QFile kept(out + QStringLiteral("/wm-old.avi"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.write("result");
    kept.close();
    { MainWindow w; }
    QCOMPARE(QDir(out).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("wm-old.avi")});
    QFile again(out + QStringLiteral("/wm-old.avi"));
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), QByteArray("result"));
}

void StartupTest::aFileNamedLikeTheFolderIsLeftAloneWithoutAMessage() {
    QTemporaryDir dir;
    setProgramFolderForTesting(dir.path());
    const QString out = dir.filePath(QStringLiteral("watermarked"));
    QFile file(out);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a folder");
    file.close();

    bool sawModal = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { sawModal = sawModal || QApplication::activeModalWidget(); });
    watch.start(10);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(100);
    QVERIFY(!sawModal);
    QVERIFY(QFileInfo(out).isFile());
    w.close();
}

void StartupTest::firstState() {
    QTemporaryDir dir;
    setProgramFolderForTesting(dir.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QCOMPARE(w.windowTitle(), QStringLiteral("Watermark Image"));
    QCOMPARE(control<QSlider>(w, "Picture zoom")->minimum(), 1);
    QCOMPARE(control<QSlider>(w, "Picture zoom")->maximum(), 100);
    QCOMPARE(control<QSlider>(w, "Picture zoom")->value(), 100);
    QCOMPARE(control<QLabel>(w, "Picture zoom")->text(), QStringLiteral("100%"));
    QVERIFY(w.findChild<PicturePreview*>()->path().isEmpty());
    QVERIFY(w.findChild<PicturePreview*>()->picture().isNull());
    QVERIFY(control<QPlainTextEdit>(w, "Path")->toPlainText().isEmpty());
    QVERIFY(w.video().duration.isEmpty() && w.video().width.isEmpty() && w.video().height.isEmpty());
    QVERIFY(w.findChild<VideoProbe*>()->runner());
    const QColor grey(200, 200, 200);
    QCOMPARE(w.palette().color(QPalette::Window), grey);
    for (QWidget* c : {static_cast<QWidget*>(control<QLabel>(w, "Picture zoom")),
                       static_cast<QWidget*>(control<QLabel>(w, "Duration")),
                       static_cast<QWidget*>(control<QLabel>(w, "Resolution")),
                       static_cast<QWidget*>(control<QLabel>(w, "Title"))})
        QCOMPARE(c->palette().color(QPalette::Window), grey);
    QCOMPARE(control<QPlainTextEdit>(w, "Path")->palette().color(QPalette::Base), grey);
    QCOMPARE(control<PictureBox>(w, "Preview")->backColor(), grey);
}

void StartupTest::closingTheMainWindowEndsTheProgram() {
    QTemporaryDir dir;
    setProgramFolderForTesting(dir.path());
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    QWidget other;  // stands for another window of the program
    w.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    bool timedOut = false;
    QTimer::singleShot(0, &w, &QWidget::close);
    QTimer::singleShot(10000, [&] {
        timedOut = true;
        QApplication::exit(1);
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!timedOut);
    QVERIFY(!w.isVisible());
    QVERIFY(!other.isVisible());
    QVERIFY(!w.findChild<VideoProbe*>()->runner());
}

void StartupTest::theProgramStartedFromACopyOfItsFolder_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

// The copy runs from its own folder, and a signal ends it the way closing
// its window does: an orderly exit, not a death by the signal.
void StartupTest::theProgramStartedFromACopyOfItsFolder() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("watermark-image"));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark-image"), exe));
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(env);
    app.start(exe, {});
    QVERIFY(app.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.filePath(QStringLiteral("watermarked"))).isDir(), 15000);
    QCOMPARE(app.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(app.processId()), signal);
    const bool ended = app.waitForFinished(5000);
    if (!ended) app.kill();
    QVERIFY(ended);
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    // Ended by the signal, as a shell and a session manager expect to hear.
    QCOMPARE(app.exitCode(), 128 + signal);
}

QTEST_MAIN(StartupTest)
#include "main_window_lifecycle_test.moc"
