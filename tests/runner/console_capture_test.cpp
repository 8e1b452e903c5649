// ConsoleCapture in a real Qt event loop, against real children (runner_child).
#include "runner/console_capture.h"

#include "runner/child_process.h"
#include "runner/command_line.h"
#include "runner_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace runner_test;

namespace {

QString Line(const QStringList& steps) {
    QString line = quoteArg(QString::fromStdString(ChildPath()));
    for (const QString& s : steps)
        line += " " + quoteArg(s);
    return line;
}

// Collects the chunks of one instance.
struct Collector {
    QString text;
    QList<qsizetype> sizes;
    QStringList events;  // "C<n>" per chunk, "T" per tick of an optional 0 ms timer

    void connectTo(ConsoleCapture& cap) {
        QObject::connect(&cap, &ConsoleCapture::output, &cap, [this](const QString& chunk) {
            text += chunk;
            sizes << chunk.size();
            events << "C" + QString::number(chunk.size());
        });
    }
};

void EndChild(pid_t pid) {
    QVERIFY(pid > 0);
    ::kill(pid, SIGTERM);
    // Reaped by the runner's timer, while the event loop runs.
    QTRY_VERIFY_WITH_TIMEOUT(IsGone(pid), 5000);
}

}  // namespace

class RunnerConsoleCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void abc() {
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        const qint32 result = cap->run(Line({"p:abc"}));
        QCOMPARE(got.text, QString("abc"));
        QVERIFY2(result == 0 || result == 259, qPrintable(QString::number(result)));
        QCOMPARE(cap->commandLine(), QString());
        QCOMPARE(cap->processId(), 0);
    }

    void exitCodeOfAChildThatHasExited() {
        auto cap = std::make_shared<ConsoleCapture>();
        QCOMPARE(cap->run(Line({"g:300", "x:42"})), 42);
    }

    void commandLineAndProcessIdDuringTheRun() {
        auto cap = std::make_shared<ConsoleCapture>();
        const QString line = Line({"p:x", "s:100", "p:y"});
        QStringList seenLines;
        QList<qint32> seenPids;
        connect(cap.get(), &ConsoleCapture::output, this, [&] {
            seenLines << cap->commandLine();
            seenPids << cap->processId();
        });
        cap->run(line);
        QCOMPARE(seenLines, QStringList({line, line}));
        QCOMPARE(seenPids.size(), 2);
        QVERIFY(seenPids[0] > 0);
        QCOMPARE(seenPids[1], seenPids[0]);
        QCOMPARE(cap->commandLine(), QString());
        QCOMPARE(cap->processId(), 0);
    }

    void latin1OneCharacterPerByte() {
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        cap->run(Line({QString::fromUtf8("p:\xC3\xA9")}));  // the two bytes of UTF-8 "é"
        QCOMPARE(got.text, QString::fromLatin1("\xC3\xA9"));
    }

    void quotedNastyArgumentsReachTheChild() {
        // A program folder with a space, a quote and non-ASCII letters; arguments
        // that would break naive quoting.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(QString::fromUtf8("wm dir \"été\\"));
        QVERIFY(QDir().mkpath(folder));
        const QString program = folder + "/runner_child";
        QVERIFY(QFile::copy(QString::fromStdString(ChildPath()), program));
        QVERIFY(QFile::setPermissions(program, QFileDevice::ExeOwner | QFileDevice::ReadOwner));
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        const QString arg = QString::fromUtf8("p:clip\" -f x \"y.avi\\ été");
        cap->run(quoteArg(program) + " " + quoteArg(arg) + " " + quoteArg("p:|") + " " + quoteArg("x:0"));
        QCOMPARE(got.text, QString::fromLatin1(QString::fromUtf8("clip\" -f x \"y.avi\\ été|").toUtf8()));
    }

    void aFullPipeArrivesAs1024_1024_952WithoutAYield() {
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        // A 0 ms timer ticks on every pass of the event loop: a yield between
        // two chunks would put a "T" between them.
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, this, [&] { got.events << "T"; });
        tick.start();
        cap->run(Line({"s:50", "r:3000:x"}));
        tick.stop();
        QCOMPARE(got.sizes, QList<qsizetype>({1024, 1024, 952}));
        QCOMPARE(got.text, QString(3000, 'x'));
        QVERIFY(got.events.contains("T"));  // the hook works: the runner did yield while waiting
        QVERIFY2(got.events.join(' ').contains("C1024 C1024 C952"), qPrintable(got.events.join(' ')));
    }

    void aProgramThatDoesNotExist() {
        for (const QString& line : {QString("/nonexistent/wm-none -i x"), QString("wm-no-such-program-zq"),
                                    QString("q"), QString(""), QString("\"\"")}) {
            auto cap = std::make_shared<ConsoleCapture>();
            QSignalSpy spy(cap.get(), &ConsoleCapture::output);
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(cap->run(line), 0);
            QVERIFY(clock.elapsed() < 2000);
            QCOMPARE(spy.count(), 0);
            QCOMPARE(cap->commandLine(), QString());
            QCOMPARE(cap->processId(), 0);
        }
    }

    void cancelWhileIdleHasNoEffectOnTheNextRun() {
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        cap->cancel();
        cap->run(Line({"s:100", "p:abc"}));
        QCOMPARE(got.text, QString("abc"));
    }

    void cancelDuringTheWaitEndsTheRunAndTheChildLivesOn() {
        auto cap = std::make_shared<ConsoleCapture>();
        qint32 pid = 0;
        QTimer::singleShot(100, this, [&] {
            pid = cap->processId();
            cap->cancel();
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(cap->run(Line({"s:20000"})), 259);
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(pid > 0);
        QVERIFY(IsLiving(pid));
        EndChild(pid);
    }

    void quitFromAnOutputHandler() {
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        qint32 nested = -1;
        qint32 pid = 0;
        QString lineAfter;
        qint32 pidAfter = 0;
        connect(cap.get(), &ConsoleCapture::output, this, [&] {
            pid = cap->processId();
            nested = cap->run("q");
            lineAfter = cap->commandLine();
            pidAfter = cap->processId();
        });
        const QString line = Line({"p:a", "s:20000", "p:b"});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(cap->run(line), 259);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(nested, 0);
        QCOMPARE(lineAfter, line);
        QCOMPARE(pidAfter, pid);
        QCOMPARE(got.text, QString("a"));
        EndChild(pid);
    }

    void quitFromAnEventDispatchedDuringTheWait() {
        auto cap = std::make_shared<ConsoleCapture>();
        QSignalSpy spy(cap.get(), &ConsoleCapture::output);
        qint32 nested = -1;
        qint32 pid = 0;
        QElapsedTimer sinceQuit;
        QTimer::singleShot(100, this, [&] {
            pid = cap->processId();
            QElapsedTimer nestedClock;
            nestedClock.start();
            nested = cap->run("q");
            QVERIFY(nestedClock.elapsed() < 100);  // at once
            sinceQuit.start();
        });
        QCOMPARE(cap->run(Line({"s:20000"})), 259);
        QVERIFY(sinceQuit.isValid());
        QVERIFY2(sinceQuit.elapsed() < 500, qPrintable(QString::number(sinceQuit.elapsed())));
        QCOMPARE(nested, 0);
        QCOMPARE(spy.count(), 0);
        EndChild(pid);
    }

    void aSilentChildThatExitsEndsTheRun() {
        auto cap = std::make_shared<ConsoleCapture>();
        bool safetyCancel = false;
        QTimer safety;
        safety.setSingleShot(true);
        connect(&safety, &QTimer::timeout, this, [&] {
            safetyCancel = true;
            cap->cancel();
        });
        safety.start(10000);
        QSignalSpy spy(cap.get(), &ConsoleCapture::output);
        cap->run(Line({"s:200"}));
        QVERIFY(!safetyCancel);
        QCOMPARE(spy.count(), 0);
    }

    void waitingTakesLittleCpu() {
        auto cap = std::make_shared<ConsoleCapture>();
        Collector got;
        got.connectTo(*cap);
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = CpuSeconds();
        cap->run(Line({"s:1000", "p:done"}));
        const double cpu = CpuSeconds() - cpuBefore;
        qInfo("CPU time while the child slept %lld ms: %.3f s", static_cast<long long>(clock.elapsed()), cpu);
        QCOMPARE(got.text, QString("done"));
        QVERIFY(clock.elapsed() >= 900);
        QVERIFY2(cpu < 0.3, qPrintable(QString("CPU %1 s").arg(cpu)));
    }

    void aRunInsideTheWaitIsNotWokenByTheOuterPipe() {
        // The outer child writes while a run on another instance, started by an
        // event during the outer wait, waits for its own child: nobody reads the
        // outer pipe meanwhile, and the inner wait must not spin on it.
        auto outer = std::make_shared<ConsoleCapture>();
        auto inner = std::make_shared<ConsoleCapture>();
        Collector outerGot;
        Collector innerGot;
        outerGot.connectTo(*outer);
        innerGot.connectTo(*inner);
        double innerCpu = -1;
        QTimer::singleShot(50, this, [&] {
            const double before = CpuSeconds();
            inner->run(Line({"s:1000", "p:in"}));
            innerCpu = CpuSeconds() - before;
        });
        outer->run(Line({"s:200", "p:x", "s:1200", "p:y"}));
        QCOMPARE(innerGot.text, QString("in"));
        QCOMPARE(outerGot.text, QString("xy"));
        QVERIFY2(innerCpu >= 0 && innerCpu < 0.3, qPrintable(QString("CPU %1 s").arg(innerCpu)));
    }

    void theOwnerMayDropItsPointerDuringARun() {
        auto owner = std::make_shared<ConsoleCapture>();
        QPointer<ConsoleCapture> watch(owner.get());
        QString text;
        connect(owner.get(), &ConsoleCapture::output, this, [&](const QString& chunk) {
            text += chunk;
            owner.reset();
        });
        {
            std::shared_ptr<ConsoleCapture> caller = owner;  // what every caller does
            caller->run(Line({"p:a", "s:100", "p:b"}));
            QCOMPARE(text, QString("ab"));
            QVERIFY(!owner);
            QVERIFY(watch);
        }
        QVERIFY(!watch);
    }

    void cleanupTestCase() {
        QTRY_COMPARE_WITH_TIMEOUT(outstandingChildCount(), std::size_t(0), 5000);
        QVERIFY(ZombieChildren().empty());
    }
};

QTEST_GUILESS_MAIN(RunnerConsoleCaptureTest)
#include "console_capture_test.moc"
