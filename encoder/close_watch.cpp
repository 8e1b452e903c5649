#include "encoder/close_watch.h"

#include <fcntl.h>
#include <time.h>
#include <cstdlib>
#include <cstring>

#include "encoder/console.h"

namespace wm {
namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(250);
// More than the watch's own looks take in kStillFor, far less than any encoding or check.
constexpr auto kCpuMoves = std::chrono::milliseconds(50);

int64_t field(const char* text, const char* name) {
    const char* at = std::strstr(text, name);
    return at ? std::strtoll(at + std::strlen(name), nullptr, 10) : 0;
}

}  // namespace

CloseWatch::CloseWatch(const StopRequest& stop, std::function<void()> onStuck)
    : stop_(stop),
      onStuck_(std::move(onStuck)),
      io_(::open("/proc/self/io", O_RDONLY | O_CLOEXEC)),
      thread_([this] { watch(); }) {}

CloseWatch::~CloseWatch() {
    disarm();
    thread_.join();
}

void CloseWatch::disarm() {
    std::lock_guard guard(lock_);
    disarmed_ = true;
    wake_.notify_all();
}

CloseWatch::Sample CloseWatch::sample() {
    Sample s;
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    s.cpu = std::chrono::seconds(cpu.tv_sec) + std::chrono::nanoseconds(cpu.tv_nsec);
    if (io_) {
        char text[512];
        const ssize_t n = ::pread(io_.get(), text, sizeof text - 1, 0);
        if (n > 0) {
            text[n] = '\0';
            s.ioBytes = field(text, "rchar:") + field(text, "wchar:");
            s.ownRead = n;
        }
    }
    return s;
}

void CloseWatch::watch() {
    std::unique_lock guard(lock_);
    bool watching = false;
    Sample mark, last;
    std::chrono::steady_clock::time_point still;
    // Looks since the last move: a process held by job control (Ctrl+Z) has none while it is held,
    // so the wall clock alone would give its part up on SIGCONT.
    int stillLooks = 0;
    const int kStillLooks = int(kStillFor / kLookEvery);
    while (!disarmed_) {
        wake_.wait_for(guard, kLookEvery);
        if (disarmed_ || !stop_.asked()) continue;
        const Sample now = sample();
        const auto at = std::chrono::steady_clock::now();
        // The counters include the previous look's own read of them.
        const bool moved = !watching || now.ioBytes - last.ioBytes > last.ownRead ||
                           now.cpu - mark.cpu >= kCpuMoves || console::waiting();
        last = now;
        if (moved) {
            watching = true;
            mark = now;
            still = at;
            stillLooks = 0;
        } else if (++stillLooks >= kStillLooks && at - still >= kStillFor) {
            onStuck_();
            disarmed_ = true;
        }
    }
}

}  // namespace wm
