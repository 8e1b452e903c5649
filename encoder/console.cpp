#include "encoder/console.h"

#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace wm::console {
namespace {
std::atomic<bool> gone{false};
std::mutex writing;
std::atomic<bool> underWay{false};
}  // namespace

void write(std::string_view text) {
    std::lock_guard lock(writing);
    while (!text.empty() && !gone.load()) {
        underWay = true;
        ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        underWay = false;
        if (n < 0) {
            if (errno == EINTR) continue;
            gone = true;  // EPIPE or a closed descriptor: nobody reads any more
            return;
        }
        text.remove_prefix(size_t(n));
    }
}

bool waiting() {
    return underWay.load();
}

}  // namespace wm::console
