// How a conversion ends, as the positioning window shows it: the line under
// the progress caption, "Show in folder" and "Play", a stopped run's part
// always named "-stopped", and a Start on a taken name that asks first.
#include "positioning/positioning_window.h"
#include "tests/support/fake_xdg_open.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <unistd.h>

using namespace fixtures;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the question about a taken name with the button of that caption.
class Answer {
public:
    explicit Answer(const QString& caption)
        : answerer_([caption, this](QMessageBox* box) {
              asked_ = box->text();
              for (QAbstractButton* b : box->buttons())
                  if (b->text() == caption) b->click();
          }) {}
    const QString& asked() const { return asked_; }
    const ModalAnswerer& boxes() const { return answerer_; }

private:
    QString asked_;
    ModalAnswerer answerer_;
};

}  // namespace

class RunEndWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void aCompleteRunSaysDoneAndOpensWhatItMade();
    void aStoppedRunKeepsItsPartUnderItsOwnName_data();
    void aStoppedRunKeepsItsPartUnderItsOwnName();
    void aTakenNameIsReplacedOnlyWhenTheUserSaysSo_data();
    void aTakenNameIsReplacedOnlyWhenTheUserSaysSo();

private:
    PositioningWindow& open(const QString& video, const QString& duration);
    QString result(const QString& name) const {
        return folder_.filePath(QStringLiteral("watermarked/") + name);
    }

    QTemporaryDir folder_;
    QString shortVideo_, longVideo_;
};

void RunEndWindowTest::initTestCase() {
    const QString encoder = QStringLiteral("re%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"), folder_.filePath("watermark.dll")));
    setEncoderNameForTesting(encoder);
    shortVideo_ = folder_.filePath(QStringLiteral("clip.avi"));
    longVideo_ = folder_.filePath(QStringLiteral("take.avi"));
    QVERIFY(makeVideo(shortVideo_, QStringLiteral("160x120"), 1));
    // Long enough that no machine converts it before a stop lands.
    QVERIFY(makeVideo(longVideo_, QStringLiteral("640x360"), 60));
}

void RunEndWindowTest::init() {
    QDir(folder_.filePath(QStringLiteral("watermarked"))).removeRecursively();
    // As the program's start leaves it.
    QVERIFY(QDir().mkpath(folder_.filePath(QStringLiteral("watermarked"))));
    setProgramFolderForTesting(folder_.path());
}

void RunEndWindowTest::cleanup() {
    QVERIFY(closeProgramWindows());
}

PositioningWindow& RunEndWindowTest::open(const QString& video, const QString& duration) {
    ChosenVideo v;
    v.path = video;
    v.title = QFileInfo(video).fileName();
    v.duration = duration;
    v.frameSize = v.codedSize = QSize(160, 120);
    if (video == longVideo_) v.frameSize = v.codedSize = QSize(640, 360);
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    {
        ModalAnswerer answer;
        PositioningWindow::initialize(v, logo, logo.size());
    }
    return *PositioningWindow::loaded();
}

void RunEndWindowTest::aCompleteRunSaysDoneAndOpensWhatItMade() {
    PositioningWindow& form = open(shortVideo_, QStringLiteral("00:00:01.00"));
    QVERIFY(form.endText().isEmpty());
    QVERIFY(!control<QPushButton>(form, "Play")->isVisible());
    {
        ModalAnswerer answer;
        control<QPushButton>(form, "Start Watermarking")->click();
        QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join(u'|')));
    }
    QVERIFY2(form.endText().startsWith(QStringLiteral("Done and checked: wm-clip.avi, 0:01.0, 25 frames, ")),
             qPrintable(form.endText()));
    // A screen reader hears the same line and the progress.
    QCOMPARE(
        accessible(form, QAccessible::StaticText, "How the conversion ended")->text(QAccessible::Description),
        form.endText());
    QCOMPARE(accessible(form, QAccessible::StaticText, "Progress")->text(QAccessible::Description),
             QStringLiteral("Progress: 100%"));
    FakeXdgOpen desktop(0);
    control<QPushButton>(form, "Play")->click();
    control<QPushButton>(form, "Show in folder")->click();
    // Two xdg-opens at once: in either order.
    QTRY_COMPARE(desktop.calls().size(), 2);
    QStringList calls = desktop.calls();
    calls.sort();
    QCOMPARE(calls, (QStringList{folder_.filePath("watermarked"), result("wm-clip.avi")}));
}

void RunEndWindowTest::aStoppedRunKeepsItsPartUnderItsOwnName_data() {
    QTest::addColumn<bool>("earlier");
    QTest::newRow("no earlier result") << false;
    QTest::newRow("an earlier result") << true;
}

void RunEndWindowTest::aStoppedRunKeepsItsPartUnderItsOwnName() {
    QFETCH(bool, earlier);
    const QByteArray earlierBytes("an earlier result, complete");
    if (earlier) {
        QFile f(result("wm-take.avi"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(earlierBytes);
    }
    PositioningWindow& form = open(longVideo_, QStringLiteral("00:01:00.00"));
    QTimer poll;
    connect(&poll, &QTimer::timeout, &form, [&] {
        if (control<QLabel>(form, "Progress")->text() != QStringLiteral("Progress: 0%")) {
            poll.stop();
            control<QPushButton>(form, "Stop conversion")->click();
        }
    });
    poll.start(20);
    {
        // Even "Replace" leaves the earlier result whole when the run is stopped.
        Answer replace(QStringLiteral("Replace"));
        control<QPushButton>(form, "Start Watermarking")->click();
        QCOMPARE(replace.asked().isEmpty(), !earlier);
    }
    const QString part = result("wm-take-stopped.avi");
    QVERIFY2(durationOf(part) > 0, qPrintable(QDir(folder_.filePath("watermarked")).entryList().join(u',')));
    QVERIFY2(form.endText().startsWith(QStringLiteral("Stopped at ")), qPrintable(form.endText()));
    QVERIFY2(form.endText().contains(QStringLiteral(" %: the part is ") + QFileInfo(part).fileName() +
                                     QStringLiteral(", checked: ")),
             qPrintable(form.endText()));
    QVERIFY(control<QPushButton>(form, "Play")->isVisible());
    if (earlier)
        QCOMPARE(bytesOf(result("wm-take.avi")), earlierBytes);
    else
        QVERIFY(!QFile::exists(result("wm-take.avi")));
}

void RunEndWindowTest::aTakenNameIsReplacedOnlyWhenTheUserSaysSo_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("made");  // "" when nothing runs
    QTest::newRow("Cancel") << QStringLiteral("Cancel") << QString();
    QTest::newRow("Keep both") << QStringLiteral("Keep both") << QStringLiteral("wm-clip (2).avi");
    QTest::newRow("Replace") << QStringLiteral("Replace") << QStringLiteral("wm-clip.avi");
}

void RunEndWindowTest::aTakenNameIsReplacedOnlyWhenTheUserSaysSo() {
    QFETCH(QString, answer);
    QFETCH(QString, made);
    const QByteArray earlierBytes("an earlier result");
    {
        QFile f(result("wm-clip.avi"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(earlierBytes);
    }
    PositioningWindow& form = open(shortVideo_, QStringLiteral("00:00:01.00"));
    {
        Answer a(answer);
        control<QPushButton>(form, "Start Watermarking")->click();
        QVERIFY2(a.asked().contains(QStringLiteral("wm-clip.avi")), qPrintable(a.asked()));
    }
    if (made.isEmpty()) {
        QCOMPARE(control<QLabel>(form, "Progress")->text(), QStringLiteral("Progress: 0%"));
        QVERIFY(form.endText().isEmpty());
        QCOMPARE(QDir(folder_.filePath("watermarked")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    } else {
        QVERIFY2(form.endText().startsWith(QStringLiteral("Done and checked: ") + made + u','),
                 qPrintable(form.endText()));
        QVERIFY(durationOf(result(made)) > 0.5);
    }
    if (made != QStringLiteral("wm-clip.avi")) QCOMPARE(bytesOf(result("wm-clip.avi")), earlierBytes);
}

QTEST_MAIN(RunEndWindowTest)
#include "run_end_window_test.moc"
