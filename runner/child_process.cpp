#include "runner/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

#include <algorithm>

extern char** environ;

namespace {

// Owners of the two posix_spawn parameter objects, so no path forgets _destroy.
class SpawnFileActions {
public:
    SpawnFileActions() noexcept { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnFileActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    bool ok() const noexcept { return ok_; }
    posix_spawn_file_actions_t* get() noexcept { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SpawnAttr {
public:
    SpawnAttr() noexcept { ok_ = ::posix_spawnattr_init(&attr_) == 0; }
    ~SpawnAttr() {
        if (ok_) ::posix_spawnattr_destroy(&attr_);
    }
    SpawnAttr(const SpawnAttr&) = delete;
    SpawnAttr& operator=(const SpawnAttr&) = delete;

    bool ok() const noexcept { return ok_; }
    posix_spawnattr_t* get() noexcept { return &attr_; }

private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

std::vector<pid_t>& outstanding() {
    static std::vector<pid_t> pids;
    return pids;
}

std::int32_t exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kStillActive;
}

// Returns the pid when reaped, 0 when still running, -1 when it is not our
// child any more (someone else reaped it).
pid_t tryReap(pid_t pid, int* status) {
    pid_t r;
    do {
        r = ::waitpid(pid, status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    return r;
}

}  // namespace

std::optional<StartedChild> startChild(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty()) return std::nullopt;
    for (const std::string& arg : argv) {
        if (arg.find('\0') != std::string::npos) return std::nullopt;
    }

    auto pipe = makeCloexecPipe();
    if (!pipe) return std::nullopt;

    SpawnFileActions actions;
    SpawnAttr attr;
    if (!actions.ok() || !attr.ok()) return std::nullopt;
    // dup2 clears close-on-exec on the copies 1 and 2; the originals stay
    // close-on-exec and vanish at exec.
    if (::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), pipe->write.get(), STDOUT_FILENO) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), pipe->write.get(), STDERR_FILENO) != 0) {
        return std::nullopt;
    }

    // The child starts with no blocked signals and default dispositions, even
    // for signals the GUI process ignores (SIGPIPE would otherwise be inherited
    // as ignored).
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (::posix_spawnattr_setflags(attr.get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0 ||
        ::posix_spawnattr_setsigmask(attr.get(), &none) != 0 ||
        ::posix_spawnattr_setsigdefault(attr.get(), &all) != 0) {
        return std::nullopt;
    }

    std::vector<char*> cargv;
    cargv.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        cargv.push_back(const_cast<char*>(arg.c_str()));
    cargv.push_back(nullptr);

    pid_t pid = 0;
    // glibc's posix_spawnp reports a failed exec (ENOENT, EACCES, ...) as its
    // result, so a missing program is a failed start here, not a child that
    // exits 127.
    const int rc = ::posix_spawnp(&pid, cargv[0], actions.get(), attr.get(), cargv.data(), environ);
    // The parent's write end goes at once, so the pipe ends with the
    // child's output instead of staying open until a cancel.
    pipe->write.reset();
    if (rc != 0) return std::nullopt;
    return StartedChild{std::move(pipe->read), pid};
}

std::int32_t collectExitCode(pid_t pid, std::chrono::milliseconds grace) {
    int status = 0;
    pid_t r = tryReap(pid, &status);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (r == 0 && std::chrono::steady_clock::now() < deadline) {
        ::usleep(2000);
        r = tryReap(pid, &status);
    }
    if (r == pid) return exitCodeOf(status);
    if (r == 0) outstanding().push_back(pid);
    return kStillActive;
}

bool reapOutstandingChildren() {
    auto& pids = outstanding();
    std::erase_if(pids, [](pid_t pid) {
        int status = 0;
        return tryReap(pid, &status) != 0;  // reaped, or no longer ours
    });
    return !pids.empty();
}

std::size_t outstandingChildCount() {
    return outstanding().size();
}
