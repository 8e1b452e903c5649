#include "runner/console_capture_core.h"

#include "runner/child_process.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <optional>

namespace {

// The Linux stand-in for PeekNamedPipe: the number of bytes waiting, or
// nullopt once the pipe has no writer left and is empty (or cannot be asked).
// poll() goes first: POLLHUP is sticky once the last writer has gone, so bytes
// written before that are still counted by the FIONREAD that follows.
std::optional<std::size_t> peek(int fd) {
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return std::nullopt;

    int available = 0;
    if (::ioctl(fd, FIONREAD, &available) != 0) return std::nullopt;
    if (available > 0) return static_cast<std::size_t>(available);
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return std::nullopt;
    return 0;
}

void blockUntilReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0 && errno == EINTR) {}
}

std::vector<ConsoleCaptureCore*>& runningCores() {
    static std::vector<ConsoleCaptureCore*> cores;
    return cores;
}

}  // namespace

// On every way out of a started run, an exception from the sink included: the
// child reaped or handed on, the core idle again.
class ConsoleCaptureCore::RunScope {
public:
    RunScope(ConsoleCaptureCore& core, std::optional<StartedChild>& child) : core_(core), child_(child) {
        runningCores().push_back(&core_);
        core_.running_ = true;
        core_.cancel_ = false;
        core_.killAt_.reset();
        core_.child_ = &*child_;
        core_.pid_ = child_->pid;
    }
    ~RunScope() {
        if (child_) handOverChild(std::move(*child_), core_.killAt_);
        std::erase(runningCores(), &core_);
        core_.child_ = nullptr;
        core_.pid_ = 0;
        core_.running_ = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    ConsoleCaptureCore& core_;
    std::optional<StartedChild>& child_;
};

std::int32_t ConsoleCaptureCore::run(const std::vector<std::string>& argv, const ChunkSink& sink,
                                     const Yield& yield) {
    reapOutstandingChildren();

    // Only re-entry from this run's own sink or yield gets here.
    if (running_) {
        cancel_ = true;
        return 0;
    }

    std::optional<StartedChild> child = startChild(argv);
    if (!child) return 0;
    RunScope scope(*this, child);

    const int fd = child->output.get();
    char buffer[kChunkSize];
    bool outputEnded = false;

    while (!cancel_) {
        const std::optional<std::size_t> available = peek(fd);
        if (!available) {
            outputEnded = true;
            cancel_ = true;
            continue;
        }
        if (*available == 0) {
            if (yield) {
                yield(fd);
            } else {
                blockUntilReadable(fd);
            }
            continue;
        }
        const std::size_t wanted = std::min(*available, kChunkSize);
        ssize_t got;
        do {
            got = ::read(fd, buffer, wanted);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            outputEnded = got == 0;
            cancel_ = true;
            continue;
        }
        // No yield after a chunk: a full pipe is emptied chunk after chunk.
        if (sink) sink(buffer, static_cast<std::size_t>(got));
    }

    child->output.reset();
    // A stopped child is left to the reaping: its exit now would only be the
    // SIGTERM's doing.
    if (killAt_) return kStillActive;
    // A child that has closed its output is normally exiting: give it a moment
    // so that its exit code, not 259, is the result.
    const std::int32_t result =
        collectExitCode(std::move(*child), outputEnded ? kExitGrace : std::chrono::milliseconds(0));
    child.reset();
    return result;
}

void ConsoleCaptureCore::stop() noexcept {
    if (!running_ || !child_) return;
    cancel_ = true;
    if (killAt_ || hasExited(*child_)) return;
    signalChild(*child_, SIGTERM);
    // Even when the SIGTERM failed: the SIGKILL is tried all the same.
    killAt_ = std::chrono::steady_clock::now() + kKillGrace;
}

void ConsoleCaptureCore::interrupt() noexcept {
    if (!running_ || !child_ || killAt_ || hasExited(*child_)) return;
    signalChild(*child_, SIGTERM);
}

void ConsoleCaptureCore::terminateAllChildren() {
    // stop() changes no list; the children reach the outstanding list as the
    // runs unwind, with their deadlines.
    for (ConsoleCaptureCore* core : runningCores())
        core->stop();
    terminateOutstandingChildren();
}
