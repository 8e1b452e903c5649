// ConsoleCapture in a real Qt event loop, against real children
// (runner_child): the shared scenarios, and what only the Qt front end has:
// the command line, Latin-1 chunks, waiting in the event loop, the owner's
// pointer.
#include "runner/console_capture.h"

#include "console_capture_scenarios.h"
#include "runner/child_process.h"
#include "runner/command_line.h"
#include "runner_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace runner_test;

namespace {

QString lineOf(const std::vector<std::string>& argv) {
    QStringList quoted;
    for (const std::string& arg : argv)
        quoted << quoteArg(QString::fromStdString(arg));
    return quoted.join(u' ');
}

QString line(const QStringList& steps) {
    QString text = quoteArg(QString::fromStdString(childPath()));
    for (const QString& s : steps)
        text += " " + quoteArg(s);
    return text;
}

// Runs the event loop (and so the reap timer) until pred holds.
bool processEventsUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeout.count()) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// ConsoleCapture as the scenarios drive it; onWait is called from a 10 ms
// timer, which only fires while the run waits in the event loop.
class QtFrontEnd : public Recorder {
public:
    QtFrontEnd() : cap_(std::make_shared<ConsoleCapture>()) {
        QObject::connect(cap_.get(), &ConsoleCapture::output, cap_.get(), [this](const QString& text) {
            const QByteArray bytes = text.toLatin1();
            chunk(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        });
    }
    std::int32_t run(const std::vector<std::string>& argv) {
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [this] { waited(); });
        if (onWait) tick.start();
        const std::shared_ptr<ConsoleCapture> caller = cap_;
        return caller->run(lineOf(argv));
    }
    void cancel() { cap_->cancel(); }
    void stop() { cap_->stop(); }
    bool running() const { return cap_->processId() != 0; }
    pid_t processId() const { return cap_->processId(); }

    static void terminateAllChildren() { ConsoleCapture::terminateAllChildren(); }
    static bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
        return processEventsUntil(pred, timeout);
    }

private:
    std::shared_ptr<ConsoleCapture> cap_;
};

}  // namespace

namespace runner_test {
INSTANTIATE_TYPED_TEST_SUITE_P(RunnerConsoleCapture, RunnerScenario, QtFrontEnd);
}

namespace {

void collectInto(ConsoleCapture& cap, QString& text) {
    QObject::connect(&cap, &ConsoleCapture::output, &cap, [&text](const QString& chunk) { text += chunk; });
}

TEST(RunnerConsoleCapture, CommandLineAndProcessIdDuringTheRunOnly) {
    auto cap = std::make_shared<ConsoleCapture>();
    const QString text = line({"p:x", "s:100", "p:y"});
    QStringList seenLines;
    QList<qint32> seenPids;
    QObject::connect(cap.get(), &ConsoleCapture::output, cap.get(), [&] {
        seenLines << cap->commandLine();
        seenPids << cap->processId();
    });
    cap->run(text);
    EXPECT_EQ(seenLines, QStringList({text, text}));
    ASSERT_EQ(seenPids.size(), 2);
    EXPECT_GT(seenPids[0], 0);
    EXPECT_EQ(seenPids[1], seenPids[0]);
    EXPECT_EQ(cap->commandLine(), QString());
    EXPECT_EQ(cap->processId(), 0);
}

TEST(RunnerConsoleCapture, OneCharacterPerByte) {
    auto cap = std::make_shared<ConsoleCapture>();
    QString got;
    collectInto(*cap, got);
    cap->run(line({QString::fromUtf8("p:\xC3\xA9")}));  // the two bytes of UTF-8 "é"
    EXPECT_EQ(got, QString::fromLatin1("\xC3\xA9"));
}

TEST(RunnerConsoleCapture, QuotedNastyArgumentsReachTheChild) {
    // A program folder with a space, a quote and non-ASCII letters; arguments
    // that would break naive quoting.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QString::fromUtf8("wm dir \"été\\"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + "/runner_child";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(childPath()), program));
    ASSERT_TRUE(QFile::setPermissions(program, QFileDevice::ExeOwner | QFileDevice::ReadOwner));
    auto cap = std::make_shared<ConsoleCapture>();
    QString got;
    collectInto(*cap, got);
    const QString arg = QString::fromUtf8("p:clip\" -f x \"y.avi\\ été");
    cap->run(quoteArg(program) + " " + quoteArg(arg) + " " + quoteArg("p:|") + " " + quoteArg("x:0"));
    EXPECT_EQ(got, QString::fromLatin1(QString::fromUtf8("clip\" -f x \"y.avi\\ été|").toUtf8()));
}

// From an event dispatched during the wait, a nested run or stop() ends the
// run without waiting for the child's output.
TEST(RunnerConsoleCapture, EndingTheRunFromAnEventIsSeenAtOnce) {
    for (const bool viaStop : {false, true}) {
        SCOPED_TRACE(viaStop ? "stop" : "nested run");
        auto cap = std::make_shared<ConsoleCapture>();
        const QString text = line({"i", "s:20000"});
        qint32 nested = -1;
        qint32 pid = 0;
        QElapsedTimer sinceEnd;
        QTimer::singleShot(100, cap.get(), [&] {
            pid = cap->processId();
            if (viaStop) {
                cap->stop();
            } else {
                nested = cap->run("q");
            }
            // Neither changes what the run in progress shows.
            EXPECT_EQ(cap->commandLine(), text);
            EXPECT_EQ(cap->processId(), pid);
            sinceEnd.start();
        });
        EXPECT_EQ(cap->run(text), kStillActive);
        ASSERT_TRUE(sinceEnd.isValid());
        EXPECT_LT(sinceEnd.elapsed(), 500);
        if (!viaStop) {
            EXPECT_EQ(nested, 0);
        }
        ASSERT_GT(pid, 0);
        ::kill(pid, SIGKILL);  // our own child, which ignores SIGTERM
        EXPECT_TRUE(processEventsUntil([&] { return isGone(pid); }, std::chrono::seconds(5)));
    }
}

TEST(RunnerConsoleCapture, WaitingTakesLittleCpu) {
    auto cap = std::make_shared<ConsoleCapture>();
    QString got;
    collectInto(*cap, got);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    cap->run(line({"s:1000", "p:done"}));
    const double cpu = cpuSeconds() - cpuBefore;
    EXPECT_EQ(got, QString("done"));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(cpu, 0.3) << "CPU time while the child slept";
}

TEST(RunnerConsoleCapture, ARunInsideTheWaitIsNotWokenByTheOuterPipe) {
    // The outer child writes while a run on another instance, started by an
    // event during the outer wait, waits for its own child: nobody reads the
    // outer pipe meanwhile, and the inner wait must not spin on it.
    auto outer = std::make_shared<ConsoleCapture>();
    auto inner = std::make_shared<ConsoleCapture>();
    QString outerGot;
    QString innerGot;
    collectInto(*outer, outerGot);
    collectInto(*inner, innerGot);
    double innerCpu = -1;
    QTimer::singleShot(50, outer.get(), [&] {
        const double before = cpuSeconds();
        inner->run(line({"s:1000", "p:in"}));
        innerCpu = cpuSeconds() - before;
    });
    outer->run(line({"s:200", "p:x", "s:1200", "p:y"}));
    EXPECT_EQ(innerGot, QString("in"));
    EXPECT_EQ(outerGot, QString("xy"));
    EXPECT_GE(innerCpu, 0);
    EXPECT_LT(innerCpu, 0.3);
}

TEST(RunnerConsoleCapture, TheOwnerMayDropItsPointerDuringARun) {
    auto owner = std::make_shared<ConsoleCapture>();
    QPointer<ConsoleCapture> watch(owner.get());
    QString text;
    QObject::connect(owner.get(), &ConsoleCapture::output, owner.get(), [&](const QString& chunk) {
        text += chunk;
        owner.reset();
    });
    {
        std::shared_ptr<ConsoleCapture> caller = owner;  // what every caller does
        caller->run(line({"p:a", "s:100", "p:b"}));
        EXPECT_EQ(text, QString("ab"));
        EXPECT_FALSE(owner);
        EXPECT_TRUE(watch);
    }
    EXPECT_FALSE(watch);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
