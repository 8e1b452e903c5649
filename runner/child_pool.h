// Many children at once, without Qt: the queue and the command without
// windows run their encoders through one pool, which waits on all of their
// outputs together and hands each piece to whoever started the child.
//
// StopSignals turns SIGTERM, SIGINT and SIGHUP into a request the caller
// reads between waits, for as long as it lives; the handlers before it come
// back when it goes.
#pragma once

#include "runner/child_process.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ChildPool {
public:
    ChildPool() = default;
    ChildPool(const ChildPool&) = delete;
    ChildPool& operator=(const ChildPool&) = delete;
    // Children still running are asked to stop (SIGTERM) and handed to the
    // outstanding list, SIGKILL due after kKillGrace.
    ~ChildPool();

    // Starts a child (see startChild); its id, or -1 when nothing started.
    int start(const std::vector<std::string>& argv);
    // Sends `sig` to one child, or to every running child.
    void signal(int id, int sig);
    void signalAll(int sig);
    std::size_t running() const { return children_.size(); }

    // Waits at most `waitMs` for output; each piece goes to `output`, and a
    // child whose output ended is reaped and reported to `exited` with its
    // exit code (kStillActive when it outstays kExitGrace; it is then handed
    // over).
    void wait(int waitMs, const std::function<void(int id, std::string_view bytes)>& output,
              const std::function<void(int id, std::int32_t exitCode)>& exited);

private:
    struct Child {
        int id = 0;
        StartedChild process;
    };
    std::vector<Child> children_;
    int nextId_ = 0;
};

class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // The last of the three signals that came; 0 while none has.
    int received() const;

private:
    struct sigaction before_[3]{};
};
