#include "encoder_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace enc_test {
namespace {

pid_t spawn(const std::string& program, const std::vector<std::string>& args, int& readFd,
            const ChildOptions& options = {}) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : options.env)
        envp.push_back(const_cast<char*>(e.c_str()));
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    envp.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    if (options.ownGroup) {
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
    }
    pid_t pid = -1;
    const int r = posix_spawnp(&pid, program.c_str(), &fa, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (r != 0) {
        close(fds[0]);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(r));
    }
    readFd = fds[0];
    return pid;
}

void fill(RunResult& r, int status) {
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
}

}  // namespace

std::string encoderPath() {
    return std::string(WM_PROGRAM_DIR) + "/mxcode.dll";
}
std::string hookPath() {
    return std::string(WM_PROGRAM_DIR) + "/watermark.dll";
}

RunResult run(const std::string& program, const std::vector<std::string>& args) {
    int fd = -1;
    const pid_t pid = spawn(program, args, fd);
    RunResult result;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            result.output.append(buf, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    fill(result, status);
    return result;
}

RunResult runEncoder(const std::vector<std::string>& args) {
    return run(encoderPath(), args);
}

Child::Child(const std::vector<std::string>& args, const ChildOptions& options) {
    pid_ = spawn(encoderPath(), args, fd_, options);
}

Child::~Child() {
    closeConsole();
    if (pid_ > 0) {
        kill(pid_, SIGKILL);  // our own child only, by pid
        waitpid(pid_, nullptr, 0);
    }
}

std::string Child::readUntil(const std::string& marker, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd_ >= 0 && seen_.find(marker) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        char buf[1024];
        const ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0) break;
        seen_.append(buf, size_t(n));
    }
    return seen_;
}

void Child::closeConsole() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool Child::wait(int timeoutMs, RunResult& result) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (fd_ >= 0) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                char buf[4096];
                const ssize_t n = read(fd_, buf, sizeof buf);
                if (n > 0)
                    seen_.append(buf, size_t(n));
                else
                    closeConsole();
            }
        } else {
            usleep(20'000);
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            readUntil("\x01never", 200);
            fill(result, status);
            result.output = seen_;
            return true;
        }
        if (std::chrono::steady_clock::now() > end) return false;
    }
}

struct FifoFeeder::State {
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    std::thread worker;
};

FifoFeeder::FifoFeeder(const std::string& fifo, const std::string& file, size_t head)
    : state_(std::make_unique<State>()) {
    signal(SIGPIPE, SIG_IGN);  // a reader that ended early must not end the test
    State* st = state_.get();
    st->worker = std::thread([st, fifo, file, head] {
        std::ifstream in(file, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Opened without blocking, retried until a reader is there or the test has moved on.
        int fd = -1;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (fd < 0 && std::chrono::steady_clock::now() < end) {
            fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                std::unique_lock lock(st->m);
                if (st->cv.wait_for(lock, std::chrono::milliseconds(20), [st] { return st->released; }))
                    return;
            }
        }
        if (fd < 0) return;
        fcntl(fd, F_SETFL, 0);
        auto put = [fd](const char* p, size_t n) {
            while (n > 0) {
                const ssize_t w = write(fd, p, n);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) return false;
                p += w, n -= size_t(w);
            }
            return true;
        };
        const size_t first = std::min(head, data.size());
        if (put(data.data(), first)) {
            std::unique_lock lock(st->m);
            st->cv.wait(lock, [st] { return st->released; });
            lock.unlock();
            put(data.data() + first, data.size() - first);
        }
        close(fd);
    });
}

FifoFeeder::~FifoFeeder() {
    release();
    state_->worker.join();
}

void FifoFeeder::release() {
    std::lock_guard lock(state_->m);
    state_->released = true;
    state_->cv.notify_all();
}

std::string fixture(const std::string& name, const std::vector<std::string>& ffmpegArgs) {
    const std::string folder = std::string(WM_TEST_BIN_DIR) + "/fixtures";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name;
    if (std::filesystem::exists(path)) return path;
    // Made under a private name and renamed, so parallel tests never see half a file.
    const std::string ext = name.substr(name.find_last_of('.'));
    const std::string tmp = folder + "/.tmp-" + std::to_string(getpid()) + "-" + name;
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y"};
    args.insert(args.end(), ffmpegArgs.begin(), ffmpegArgs.end());
    args.push_back(tmp);
    const RunResult r = run("ffmpeg", args);
    if (!r.exited || r.status != 0) throw std::runtime_error("fixture " + name + ": " + r.output);
    std::filesystem::rename(tmp, path);
    return path;
}

std::string joinedFixture(const std::string& name, const std::vector<std::vector<std::string>>& parts) {
    const std::string folder = std::string(WM_TEST_BIN_DIR) + "/fixtures";
    const std::string path = folder + "/" + name;
    if (std::filesystem::exists(path)) return path;
    const std::string ext = name.substr(name.find_last_of('.'));
    const std::string tmp = folder + "/.tmp-" + std::to_string(getpid()) + "-" + name;
    {
        std::ofstream out(tmp, std::ios::binary);
        for (size_t i = 0; i < parts.size(); ++i) {
            std::ifstream in(fixture(name + ".part" + std::to_string(i) + ext, parts[i]), std::ios::binary);
            out << in.rdbuf();
        }
        if (!out.flush()) throw std::runtime_error("fixture " + name + ": cannot write");
    }
    std::filesystem::rename(tmp, path);
    return path;
}

std::string scratchFolder(const std::string& name) {
    const std::string folder = std::string(WM_TEST_BIN_DIR) + "/scratch/" + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string probeValue(const std::string& file, const std::string& select, const std::string& entry) {
    std::vector<std::string> args = {"-v", "error"};
    if (!select.empty()) args.insert(args.end(), {"-select_streams", select});
    args.insert(args.end(), {"-show_entries", entry, "-of", "default=nw=1:nk=1", file});
    std::string out = run("ffprobe", args).output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out.substr(0, out.find('\n'));
}

int countFrames(const std::string& file) {
    const std::string v =
        run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                        "stream=nb_read_packets", "-of", "default=nw=1:nk=1", file})
            .output;
    return std::atoi(v.c_str());
}

bool writeMask(const std::string& path, int w, int h, int lx, int ly) {
    const int row = (w * 3 + 3) / 4 * 4;
    std::vector<unsigned char> f(size_t(54 + row * h), 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put(2, uint32_t(f.size()), 4), put(10, 54, 4), put(14, 40, 4), put(18, uint32_t(w), 4),
        put(22, uint32_t(h), 4);
    put(26, 1, 2), put(28, 24, 2);
    for (int y = ly; y < std::min(h, ly + 40); ++y)
        for (int x = lx; x < std::min(w, lx + 60); ++x) {
            unsigned char* p = &f[size_t(54 + row * (h - 1 - y) + x * 3)];
            const bool red = x < lx + 30;
            p[0] = red ? 0 : 255, p[1] = red ? 0 : 255, p[2] = 255;  // B G R
        }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
    return bool(out.flush());
}

}  // namespace enc_test
