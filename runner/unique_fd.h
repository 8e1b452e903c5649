// UniqueFd: sole owner of one file descriptor, closed when the owner goes.
// makeCloexecPipe: a pipe whose two ends are both close-on-exec, so that no
// child started later inherits either end by accident.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <utility>

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        reset(o.release());
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    int release() noexcept { return std::exchange(fd_, -1); }
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

struct PipeEnds {
    UniqueFd read;
    UniqueFd write;
};

// Both ends O_CLOEXEC. Ends that land on 0, 1 or 2 (a parent started with a
// standard stream closed) are moved above 2: a dup2 onto the same number would
// keep the close-on-exec flag and leave the child without that stream.
inline std::optional<PipeEnds> makeCloexecPipe() noexcept {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    PipeEnds ends{UniqueFd(fds[0]), UniqueFd(fds[1])};
    for (UniqueFd* end : {&ends.read, &ends.write}) {
        if (end->get() > 2) continue;
        const int moved = ::fcntl(end->get(), F_DUPFD_CLOEXEC, 3);
        if (moved < 0) return std::nullopt;
        end->reset(moved);
    }
    return ends;
}
