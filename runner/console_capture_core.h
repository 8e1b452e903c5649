// ConsoleCaptureCore: the Qt-free heart of ConsoleCapture's
// run. It starts one child at a time, reads its joined
// standard output and error in chunks of at most 1024 bytes and hands each
// chunk to a sink; when no byte waits it calls the injected yield.
//
// Re-entrancy: the sink and the yield may call run (refused: the run in
// progress is cancelled and the nested call returns 0) or cancel on the same
// core; both are seen at the loop's next check, before any further read or
// yield. A run on another core from inside them runs to its end first.
//
// The core never terminates a child. A child still running when its run ends
// is reaped later (see child_process.h).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ConsoleCaptureCore {
public:
    // One chunk: 1..1024 bytes, in the order read.
    using ChunkSink = std::function<void(const char* data, std::size_t size)>;
    // Called when no byte waits. It should return once something has happened
    // that the loop must look at: readFd became readable (data or end of the
    // pipe), or an event was dispatched that may have called cancel or run.
    // An empty yield blocks in poll() on readFd.
    using Yield = std::function<void(int readFd)>;

    static constexpr std::size_t kChunkSize = 1024;

    // argv as handed to the OS (UTF-8 bytes). Returns the child's exit code as
    // read when the loop ended, 259 when it was still running, 0 when nothing
    // was started or the call was refused.
    std::int32_t run(const std::vector<std::string>& argv, const ChunkSink& sink, const Yield& yield);
    void cancel() noexcept { cancel_ = true; }

    bool running() const noexcept { return running_; }
    pid_t processId() const noexcept { return pid_; }  // 0 when idle

private:
    bool cancel_ = false;
    bool running_ = false;
    pid_t pid_ = 0;
};
