// Starting and reaping the runner's children, without Qt.
//
// startChild starts argv[0] (a path when it holds "/", else searched on PATH,
// as posix_spawnp does) with standard input /dev/null and standard output and
// standard error both on the write end of a fresh pipe. The caller receives
// the read end; the write end is closed in the parent before startChild
// returns, so the pipe ends when the child and whatever it started have closed
// their copies. Both ends are close-on-exec in the parent.
//
// Children are never killed here. A child still running when its run ends is
// recorded in one process-wide list and reaped later by
// reapOutstandingChildren (waitpid with WNOHANG), so none is left a zombie.
// Single-threaded use only, like the rest of the runner.
#pragma once

#include <chrono>

#include "runner/unique_fd.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StartedChild {
    UniqueFd output;  // read end of the child's standard output and error
    pid_t pid = 0;
};

// nullopt when nothing was started: an empty argv, an argument holding a zero
// byte, no pipe, or posix_spawnp refused (program not found, not executable).
std::optional<StartedChild> startChild(const std::vector<std::string>& argv);

// The Windows STILL_ACTIVE code, the result for a child that has not exited.
inline constexpr std::int32_t kStillActive = 259;

// The child's exit code when it has exited within `grace` (128 + the signal
// number when a signal ended it); otherwise kStillActive, and the child is
// handed to the outstanding list.
std::int32_t collectExitCode(pid_t pid, std::chrono::milliseconds grace = std::chrono::milliseconds(0));

// How long a run waits for a child whose output has ended to exit.
inline constexpr std::chrono::milliseconds kExitGrace{200};

// Reaps every outstanding child that has exited; true while some remain.
bool reapOutstandingChildren();
std::size_t outstandingChildCount();
