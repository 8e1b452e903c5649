#include "runner/child_pool.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> lastStopSignal{0};

void onStopSignal(int sig) {
    lastStopSignal.store(sig);
}

}  // namespace

ChildPool::~ChildPool() {
    for (Child& c : children_) {
        signalChild(c.process, SIGTERM);
        handOverChild(std::move(c.process), std::chrono::steady_clock::now() + kKillGrace);
    }
}

int ChildPool::start(const std::vector<std::string>& argv) {
    std::optional<StartedChild> child = startChild(argv);
    if (!child) return -1;
    children_.push_back(Child{nextId_, std::move(*child)});
    return nextId_++;
}

void ChildPool::signal(int id, int sig) {
    for (const Child& c : children_)
        if (c.id == id) signalChild(c.process, sig);
}

void ChildPool::signalAll(int sig) {
    for (const Child& c : children_)
        signalChild(c.process, sig);
}

void ChildPool::wait(int waitMs, const std::function<void(int, std::string_view)>& output,
                     const std::function<void(int, std::int32_t)>& exited) {
    if (children_.empty()) return;
    std::vector<pollfd> polls;
    for (const Child& c : children_)
        polls.push_back(pollfd{c.process.output.get(), POLLIN, 0});
    if (::poll(polls.data(), polls.size(), waitMs) <= 0) return;
    // Ids, not positions: a handler may start children of its own.
    std::vector<int> ready;
    for (std::size_t i = 0; i < polls.size(); ++i)
        if (polls[i].revents) ready.push_back(children_[i].id);
    for (const int id : ready) {
        auto it =
            std::find_if(children_.begin(), children_.end(), [id](const Child& c) { return c.id == id; });
        if (it == children_.end()) continue;
        char buffer[16384];
        ssize_t got;
        do {
            got = ::read(it->process.output.get(), buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        if (got > 0) {
            output(id, std::string_view(buffer, static_cast<std::size_t>(got)));
            continue;
        }
        StartedChild process = std::move(it->process);
        children_.erase(it);
        exited(id, collectExitCode(std::move(process), kExitGrace));
    }
}

StopSignals::StopSignals() {
    lastStopSignal.store(0);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 3; ++i)
        ::sigaction(kStopSignals[i], &sa, &before_[i]);
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kStopSignals[i], &before_[i], nullptr);
}

int StopSignals::received() const {
    return lastStopSignal.load();
}
