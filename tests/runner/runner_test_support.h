// Helpers shared by the runner tests: where runner_child is, and what /proc
// says about processes.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace runner_test {

inline std::string ChildPath() {
    return std::string(WM_TEST_BIN_DIR) + "/runner_child";
}

// The state letter of /proc/PID/stat ('R', 'S', 'Z', ...), or 0 when the
// process does not exist (reaped or never there).
inline char ProcessState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const auto paren = line.rfind(')');
    if (paren == std::string::npos || paren + 2 >= line.size()) return 0;
    return line[paren + 2];
}

inline pid_t ParentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    return ppid;
}

inline bool IsLiving(pid_t pid) {
    const char s = ProcessState(pid);
    return s != 0 && s != 'Z' && s != 'X';
}

inline bool IsGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Our children that have exited and were not reaped.
inline std::vector<pid_t> ZombieChildren() {
    std::vector<pid_t> zombies;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (ParentOf(pid) == ::getpid() && ProcessState(pid) == 'Z') zombies.push_back(pid);
    }
    return zombies;
}

// The target of /proc/PID/fd/FD, e.g. "pipe:[1234]"; "" when unreadable.
inline std::string FdTarget(pid_t pid, int fd) {
    std::error_code ec;
    const auto target =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), ec);
    return ec ? std::string() : target.string();
}

// User plus system CPU time of this process so far, in seconds.
inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace runner_test
