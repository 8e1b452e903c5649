// Start-up and shut-down of the program: the output folder, the first state
// of the main window, and closing it ending the program.
#include "app/form1.h"
#include "app/picture_box.h"
#include "app/shell.h"

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

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void createsTheOutputFolderOnlyWhenNothingHasItsName();
    void aFileNamedLikeTheFolderIsLeftAloneWithoutAMessage();
    void firstState();
    void closingTheMainWindowEndsTheProgram();
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
        Form1 w;
        QVERIFY(QFileInfo(out).isDir());
        QVERIFY(QDir(out).isEmpty());
    }
    QFile kept(out + QStringLiteral("/wm-old.avi"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.write("result");
    kept.close();
    { Form1 w; }
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
    Form1 w;
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
    Form1 w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Watermark Image"));
    QCOMPARE(w.Slider1->minimum(), 1);
    QCOMPARE(w.Slider1->maximum(), 100);
    QCOMPARE(w.Slider1->value(), 100);
    QCOMPARE(w.Label1->text(), QStringLiteral("100%"));
    QVERIFY(w.txturl->text().isEmpty());
    QVERIFY(w.textvid->toPlainText().isEmpty());
    QVERIFY(w.duration.isEmpty() && w.vidwidth.isEmpty() && w.vidheight.isEmpty());
    QVERIFY(w.conApp);
    const QColor grey(200, 200, 200);
    QCOMPARE(w.palette().color(QPalette::Window), grey);
    for (QWidget* c : {static_cast<QWidget*>(w.Label1), static_cast<QWidget*>(w.Label5),
                       static_cast<QWidget*>(w.vidres), static_cast<QWidget*>(w.vidtitle)})
        QCOMPARE(c->palette().color(QPalette::Window), grey);
    QCOMPARE(w.textvid->palette().color(QPalette::Base), grey);
    QCOMPARE(w.Image1->backColor(), grey);
}

void StartupTest::closingTheMainWindowEndsTheProgram() {
    QTemporaryDir dir;
    setProgramFolderForTesting(dir.path());
    Form1 w;
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
    QVERIFY(!w.conApp);
}

void StartupTest::theProgramStartedFromACopyOfItsFolder() {
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
    app.kill();
    app.waitForFinished();
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
