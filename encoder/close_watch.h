// A stopped run must end even when its part cannot be closed: writes to a network folder that went
// away block for ever. Once a stop is asked, the watch follows the whole process: bytes read or
// written (/proc/self/io) and processor time. While either moves the part is still being closed,
// however slowly, and is waited for; a console write waiting for its reader is no fault of the
// part's either. After kStillFor with nothing moving, onStuck is called; main ends the process from
// it, leaving the hidden part file to the next run's clearing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "encoder/stop.h"
#include "encoder/unique_fd.h"

namespace wm {

class CloseWatch {
public:
    static constexpr std::chrono::seconds kStillFor{10};

    CloseWatch(const StopRequest& stop, std::function<void()> onStuck);
    CloseWatch(const CloseWatch&) = delete;
    CloseWatch& operator=(const CloseWatch&) = delete;
    ~CloseWatch();

    // From its return on, onStuck is never called; while onStuck runs it waits.
    void disarm();

private:
    struct Sample {
        std::chrono::nanoseconds cpu{0};
        int64_t ioBytes = 0;  // read and written, as the kernel counts them; 0 where it does not
        int64_t ownRead = 0;  // what taking this sample read itself
    };
    Sample sample();
    void watch();

    const StopRequest& stop_;
    std::function<void()> onStuck_;
    UniqueFd io_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool disarmed_ = false;
    std::thread thread_;  // last: started once everything it uses is there
};

}  // namespace wm
