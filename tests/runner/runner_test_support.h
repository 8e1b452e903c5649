// Helpers shared by the runner tests: where runner_child is, what /proc says
// about processes, and processes the tests start themselves.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace runner_test {

inline std::string childPath() {
    return std::string(WM_TEST_BIN_DIR) + "/runner_child";
}

// The state letter of /proc/PID/stat ('R', 'S', 'Z', ...), or 0 when the
// process does not exist (reaped or never there).
inline char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    const auto paren = line.rfind(')');
    if (paren == std::string::npos || paren + 2 >= line.size()) return 0;
    return line[paren + 2];
}

inline pid_t parentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    return ppid;
}

inline bool isLiving(pid_t pid) {
    const char s = processState(pid);
    return s != 0 && s != 'Z' && s != 'X';
}

// Reaped: no process of that pid any more.
inline bool isGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Our children that have exited and were not reaped.
inline std::vector<pid_t> zombieChildren() {
    std::vector<pid_t> zombies;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (parentOf(pid) == ::getpid() && processState(pid) == 'Z') zombies.push_back(pid);
    }
    return zombies;
}

// The target of /proc/PID/fd/FD, e.g. "pipe:[1234]"; "" when unreadable.
inline std::string fdTarget(pid_t pid, int fd) {
    std::error_code ec;
    const auto target =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), ec);
    return ec ? std::string() : target.string();
}

// The descriptor numbers in runner_child's "f" listing.
inline std::set<int> listedFds(const std::string& listing) {
    std::set<int> fds;
    std::istringstream lines(listing);
    std::string word;
    int fd;
    while (lines >> word) {
        if (word == "fd" && lines >> fd) fds.insert(fd);
    }
    return fds;
}

// User plus system CPU time of this process so far, in seconds.
inline double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A private folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "wm-runner-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path() const { return path_; }

    // A copy of runner_child under `name`, executable.
    std::string childCopy(const std::string& name) const {
        const auto path = std::filesystem::path(path_) / name;
        std::filesystem::copy_file(childPath(), path, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path.string();
    }

private:
    std::string path_;
};

// Processes this test starts itself, not through the runner: the runner must
// leave them alone. They are killed and reaped when the object goes.
class Strangers {
public:
    ~Strangers() {
        for (pid_t pid : started_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // `program` sleeping 30 s; throws when it cannot be started.
    pid_t start(const std::string& program) {
        std::string sleep = "s:30000";
        char* argv[] = {const_cast<char*>(program.c_str()), sleep.data(), nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            throw std::runtime_error("cannot start " + program);
        }
        started_.push_back(pid);
        return pid;
    }

    // Alive, and not even exited unreaped.
    static bool running(pid_t pid) {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) == 0;
    }

private:
    std::vector<pid_t> started_;
};

// A program named `q` first on PATH that leaves a marker file when it runs,
// while the object lives.
class QOnPath {
public:
    QOnPath() : marker_(folder_.path() + "/q-ran") {
        const std::string script = folder_.path() + "/q";
        std::ofstream(script) << "#!/bin/sh\necho ran > '" << marker_ << "'\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        const char* old = ::getenv("PATH");
        oldPath_ = old ? old : "";
        ::setenv("PATH", (folder_.path() + ":" + oldPath_).c_str(), 1);
    }
    ~QOnPath() { ::setenv("PATH", oldPath_.c_str(), 1); }
    QOnPath(const QOnPath&) = delete;
    QOnPath& operator=(const QOnPath&) = delete;

    bool ran() const { return std::filesystem::exists(marker_); }

private:
    TempFolder folder_;
    std::string marker_;
    std::string oldPath_;
};

}  // namespace runner_test
