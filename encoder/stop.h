// A stop asked for by signals. The first asks for an orderly end: reading stops, waits on the input
// give up, and what was converted is finished, checked and kept as a playable part. Every further
// one is the same request (a terminal, a logout, systemd or `timeout` often send two, and Ctrl+C
// reaches a parent and its encoders at once): it changes nothing, so nothing is thrown away.
#pragma once

#include <time.h>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace wm {

struct StopRequest {
    std::atomic<int> signal{0};    // the first stop signal; 0 while none came
    std::atomic<int64_t> atNs{0};  // when it came, CLOCK_MONOTONIC nanoseconds

    // Safe in a signal handler. The time goes first: whoever sees the signal finds its time.
    void ask(int sig) noexcept {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        int64_t unset = 0;
        atNs.compare_exchange_strong(unset, int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
        int none = 0;
        signal.compare_exchange_strong(none, sig);
    }
    bool asked() const noexcept { return signal.load() != 0; }
    // Once asked(). steady_clock is CLOCK_MONOTONIC on Linux.
    std::chrono::steady_clock::time_point askedAt() const noexcept {
        return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(atNs.load()));
    }
};

// AVIOInterruptCB callback; opaque is the StopRequest.
inline int interruptOnStop(void* opaque) {
    return static_cast<const StopRequest*>(opaque)->asked() ? 1 : 0;
}

}  // namespace wm
