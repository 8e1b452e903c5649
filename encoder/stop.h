// A stop asked for by signals. The first asks for an orderly end: reading stops, waits on the input
// give up, and what was converted is finished as a playable result. A second one insists: waits on
// the result's file (a hung network folder) give up too, and the result is abandoned.
#pragma once

#include <atomic>

namespace wm {

struct StopRequest {
    std::atomic<int> signal{0};  // the last stop signal; 0 while none came
    std::atomic<int> count{0};   // stop signals so far

    bool asked() const noexcept { return signal.load() != 0; }
    bool insisted() const noexcept { return count.load() > 1; }
};

// AVIOInterruptCB callbacks; opaque is the StopRequest.
inline int interruptOnStop(void* opaque) {
    return static_cast<const StopRequest*>(opaque)->asked() ? 1 : 0;
}
inline int interruptOnInsist(void* opaque) {
    return static_cast<const StopRequest*>(opaque)->insisted() ? 1 : 0;
}

}  // namespace wm
