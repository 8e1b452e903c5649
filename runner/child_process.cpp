#include "runner/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
// glibc 2.36's header declares these without C linkage.
extern "C" {
#include <sys/pidfd.h>
}

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

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

struct OutstandingChild {
    StartedChild child;
    KillDeadline killAt;
    bool killed = false;  // SIGKILL sent
    std::chrono::steady_clock::time_point killedAt{};
};

std::vector<OutstandingChild>& outstanding() {
    static std::vector<OutstandingChild> children;
    return children;
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

void reapBlocking(pid_t pid) noexcept {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
}

void report(const char* what, pid_t pid, int err) noexcept {
    std::fprintf(stderr, "runner: %s (child %d): %s\n", what, static_cast<int>(pid), std::strerror(err));
}

// Waits at most `timeout` for one of the pidfds to become readable.
void pollPidfds(const std::vector<int>& fds, std::chrono::milliseconds timeout) {
    std::vector<pollfd> polls;
    polls.reserve(fds.size());
    for (int fd : fds)
        polls.push_back(pollfd{fd, POLLIN, 0});
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int r =
            ::poll(polls.data(), polls.size(), static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (r >= 0 || errno != EINTR) return;
    }
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
        ::posix_spawn_file_actions_adddup2(actions.get(), pipe->write.get(), STDERR_FILENO) != 0 ||
        // Descriptors the rest of the program opened without close-on-exec
        // (libraries do) stay out of the encoder.
        ::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3) != 0) {
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

    // The child ends its work by itself, as on a SIGTERM, when this process
    // dies without ending it (a SIGKILL, a crash): the encoder watches the
    // parent this names.
    const std::string parentEntry = std::string(kStopWithParent) + '=' + std::to_string(::getpid());
    std::vector<char*> cenv;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, kStopWithParent, std::strlen(kStopWithParent)) != 0 ||
            (*e)[std::strlen(kStopWithParent)] != '=')
            cenv.push_back(*e);
    }
    cenv.push_back(const_cast<char*>(parentEntry.c_str()));
    cenv.push_back(nullptr);

    pid_t pid = 0;
    // glibc's posix_spawnp reports a failed exec (ENOENT, EACCES, ...) as its
    // result, so a missing program is a failed start here, not a child that
    // exits 127.
    const int rc = ::posix_spawnp(&pid, cargv[0], actions.get(), attr.get(), cargv.data(), cenv.data());
    // The parent's write end goes at once, so the pipe ends with the
    // child's output instead of staying open until a cancel.
    pipe->write.reset();
    if (rc != 0) return std::nullopt;

    // The pid cannot be reused before we reap it, so the pidfd opened here
    // is surely this child's.
    UniqueFd pidfd(::pidfd_open(pid, 0));
    if (!pidfd.valid()) {
        report("no pidfd, the child is ended", pid, errno);
        ::kill(pid, SIGKILL);
        reapBlocking(pid);
        return std::nullopt;
    }
    return StartedChild{std::move(pipe->read), std::move(pidfd), pid};
}

bool hasExited(const StartedChild& child) noexcept {
    pollfd p{child.pidfd.get(), POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

bool signalChild(const StartedChild& child, int sig) noexcept {
    if (::pidfd_send_signal(child.pidfd.get(), sig, nullptr, 0) == 0 || errno == ESRCH) return true;
    report(sig == SIGKILL ? "SIGKILL failed" : "signal failed", child.pid, errno);
    return false;
}

std::int32_t collectExitCode(StartedChild&& child, std::chrono::milliseconds grace) {
    if (grace.count() > 0) pollPidfds({child.pidfd.get()}, grace);
    int status = 0;
    const pid_t r = tryReap(child.pid, &status);
    if (r == child.pid) return exitCodeOf(status);
    if (r == 0) handOverChild(std::move(child), std::nullopt);
    return kStillActive;
}

void handOverChild(StartedChild&& child, KillDeadline killAt) noexcept {
    auto& children = outstanding();
    try {
        children.reserve(children.size() + 1);
    } catch (...) {
        // End it here rather than leave a process nobody will ever reap.
        report("cannot track the child, it is ended", child.pid, ENOMEM);
        signalChild(child, SIGKILL);
        reapBlocking(child.pid);
        return;
    }
    children.push_back(OutstandingChild{std::move(child), killAt});
}

bool reapOutstandingChildren() {
    auto& children = outstanding();
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(children, [now](OutstandingChild& o) {
        int status = 0;
        if (tryReap(o.child.pid, &status) != 0) return true;  // reaped, or no longer ours
        if (o.killAt && !o.killed && now >= *o.killAt) {
            signalChild(o.child, SIGKILL);
            o.killed = true;
            o.killedAt = now;
        }
        return false;
    });
    return !children.empty();
}

std::size_t outstandingChildCount() {
    return outstanding().size();
}

void terminateOutstandingChildren() {
    const auto killAt = std::chrono::steady_clock::now() + kKillGrace;
    for (OutstandingChild& o : outstanding()) {
        if (o.killed) continue;
        if (!hasExited(o.child)) signalChild(o.child, SIGTERM);
        if (!o.killAt || *o.killAt > killAt) o.killAt = killAt;
    }
}

bool awaitTerminatedChildren() {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        reapOutstandingChildren();
        const auto now = Clock::now();
        std::vector<int> fds;
        auto next = Clock::time_point::max();
        for (const OutstandingChild& o : outstanding()) {
            if (!o.killAt) continue;
            const auto due = o.killed ? o.killedAt + kKillGrace : *o.killAt;
            if (o.killed && now >= due) continue;  // stuck; waiting longer would not help
            fds.push_back(o.child.pidfd.get());
            next = std::min(next, due);
        }
        if (fds.empty()) break;
        pollPidfds(fds,
                   std::chrono::ceil<std::chrono::milliseconds>(std::max(next - now, Clock::duration(0))));
    }
    return std::none_of(outstanding().begin(), outstanding().end(),
                        [](const OutstandingChild& o) { return o.killAt.has_value(); });
}
