// ConsoleCaptureCore: the Qt-free heart of ConsoleCapture's run. It starts one
// child at a time, reads its joined standard output and error in chunks of at
// most 1024 bytes and hands each chunk to a sink; when no byte waits it calls
// the injected yield.
//
// Re-entrancy: the sink and the yield may call run (refused: the run in
// progress is cancelled and the nested call returns 0), cancel or stop on the
// same core; each is seen at the loop's next check, before any further read or
// yield. A run on another core from inside them runs to its end first.
//
// cancel leaves the child running; stop ends it (SIGTERM, SIGKILL kKillGrace
// later). Either way a child still running when its run ends is reaped later
// (see child_process.h), also when the sink throws.
#pragma once

#include "runner/child_process.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ConsoleCaptureCore {
public:
    // One chunk: 1..1024 bytes, in the order read. An exception from the sink
    // ends the run and leaves run(); the child is handed on as after a cancel.
    using ChunkSink = std::function<void(const char* data, std::size_t size)>;
    // Called when no byte waits. It should return once something has happened
    // that the loop must look at: readFd became readable (data or end of the
    // pipe), or an event was dispatched that may have called cancel, stop or
    // run. An empty yield blocks in poll() on readFd.
    using Yield = std::function<void(int readFd)>;

    static constexpr std::size_t kChunkSize = 1024;

    ConsoleCaptureCore() = default;
    ConsoleCaptureCore(const ConsoleCaptureCore&) = delete;
    ConsoleCaptureCore& operator=(const ConsoleCaptureCore&) = delete;

    // argv as handed to the OS (UTF-8 bytes). Returns the child's exit code as
    // read when the loop ended, 259 when it was still running, 0 when nothing
    // was started or the call was refused.
    std::int32_t run(const std::vector<std::string>& argv, const ChunkSink& sink, const Yield& yield);
    // Asks the run in progress to leave its loop at its next check.
    void cancel() noexcept { cancel_ = true; }
    // Ends the run in progress and its child: SIGTERM now, SIGKILL kKillGrace
    // later unless it has exited by then. run() then returns 259, or the exit
    // code when the child had already exited before the stop, never the code
    // of the SIGTERM itself. Does nothing when idle.
    void stop() noexcept;

    // Asks the child of the run in progress to end (SIGTERM) and keeps
    // reading: run() returns when the child has written its last words and
    // closed its output, with its real exit code. Does nothing when idle or
    // once stop() was called.
    void interrupt() noexcept;

    bool running() const noexcept { return running_; }
    pid_t processId() const noexcept { return pid_; }  // 0 when idle

    // Stops every run in progress on any core and ends every outstanding
    // child the same way. Processes the runner did not start are never touched.
    static void terminateAllChildren();

private:
    bool cancel_ = false;
    bool running_ = false;
    pid_t pid_ = 0;
    const StartedChild* child_ = nullptr;  // while running
    KillDeadline killAt_;                  // set by stop()

    class RunScope;
};
