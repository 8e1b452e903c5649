// ConsoleCapture: runs one console program at a time, its standard output and
// standard error joined into one pipe, and hands what it writes to the owner
// in chunks of at most 1024 bytes through the output signal.
//
// run() is synchronous and re-entrant: it returns when the child's output
// has ended (or the run was cancelled), and while it waits it lets the Qt event
// loop dispatch events, so every user command can run inside a run. A
// run() on the same instance while it is busy starts nothing, ends the
// run in progress and returns 0, leaving its child running.
//
// stop() ends the run in progress together with its child: SIGTERM at once,
// SIGKILL 3 s later if it is still there, through a pidfd so that only that
// very child is ever signalled. Nothing is ever terminated by name. A child
// that outlives its run is reaped later by a timer, never left as a zombie.
//
// On Linux: the child is started with posix_spawnp, standard
// input /dev/null, both output streams on one close-on-exec pipe whose write
// end the runner closes as soon as the child has started. While no byte waits
// the runner dispatches pending events and otherwise sleeps in the event loop
// (QCoreApplication::processEvents with WaitForMoreEvents) until an event or
// the pipe wakes it; it never spins. Without a QCoreApplication it blocks on
// the pipe instead. The Qt-free loop is ConsoleCaptureCore.
//
// Owners hold instances through std::shared_ptr. Whoever calls run()
// keeps its own copy of the pointer for the duration of the call, so an owner
// may drop its reference while a run is executing.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class ConsoleCaptureCore;

class ConsoleCapture : public QObject {
    Q_OBJECT
public:
    explicit ConsoleCapture(QObject* parent = nullptr);
    ~ConsoleCapture() override;

    // Runs cmdLine (split by the Windows rules, see runner/command_line.h) to its
    // end. Returns the child's exit code as read when the loop ended, 259 when the
    // child was still running then, 0 when nothing was started.
    qint32 run(const QString& cmdLine);
    // Asks the run in progress to leave its loop at its next check; its child
    // runs on.
    void cancel();
    // Ends the run in progress and its child; run() returns at once with 259
    // (or the exit code when the child had already exited). Does nothing when
    // idle: it never starts a process.
    void stop();

    // Asks the run's child to end (SIGTERM) and lets the run go on reading
    // what it writes until it exits: run() then returns its own exit code.
    // Follow with stop() if it takes too long.
    void interrupt();

    // For the program's shut-down: stops every run in progress and ends every
    // child the runner started that is still alive, SIGTERM now and SIGKILL
    // 3 s later. The reap timer sends the SIGKILLs while the event loop runs;
    // after it has ended, awaitTerminatedChildren() (child_process.h) does.
    static void terminateAllChildren();

    QString commandLine() const;  // "" when idle
    qint32 processId() const;     // 0 when idle

signals:
    // One chunk, in the order read; one character per byte (Latin-1).
    void output(const QString& chunk);

private:
    std::unique_ptr<ConsoleCaptureCore> core_;
    QString commandLine_;
};
