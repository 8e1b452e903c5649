// Starting, ending and reaping the runner's children, without Qt.
//
// startChild starts argv[0] (a path when it holds "/", else searched on PATH,
// as posix_spawnp does) with standard input /dev/null, standard output and
// standard error both on the write end of a fresh pipe, and no other
// descriptor. The caller receives the read end; the write end is closed in the
// parent before startChild returns, so the pipe ends when the child and
// whatever it started have closed their copies. Both ends are close-on-exec in
// the parent.
//
// Every child is held by a pidfd from its start to its reaping, and every
// signal goes through that pidfd: a pid that has been reused by another
// process is never hit. Nothing here signals a process it did not start.
//
// A child still running when its run ends is recorded in one process-wide
// list and reaped later by reapOutstandingChildren, so none is left a zombie.
// A child on that list may carry a deadline: when it is still alive then, it
// gets SIGKILL. Single-threaded use only, like the rest of the runner.
#pragma once

#include "runner/unique_fd.h"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StartedChild {
    UniqueFd output;  // read end of the child's standard output and error
    UniqueFd pidfd;   // readable once the child has exited
    pid_t pid = 0;
};

// Set in every child's environment to this process's id: the encoder stops,
// keeping what it converted, when that process is no longer its parent.
inline constexpr char kStopWithParent[] = "MXCODE_STOP_WITH_PARENT";

using KillDeadline = std::optional<std::chrono::steady_clock::time_point>;

// nullopt when nothing was started: an empty argv, an argument holding a zero
// byte, no pipe, posix_spawnp refused (program not found, not executable), or
// no pidfd could be had for the child (then it is ended and reaped at once).
std::optional<StartedChild> startChild(const std::vector<std::string>& argv);

// The Windows STILL_ACTIVE code, the result for a child that has not exited.
inline constexpr std::int32_t kStillActive = 259;

// How long a run waits for a child whose output has ended to exit.
inline constexpr std::chrono::milliseconds kExitGrace{200};
// How long a child has between SIGTERM and SIGKILL.
inline constexpr std::chrono::milliseconds kKillGrace{3000};

// True once the child has exited (it may not be reaped yet).
bool hasExited(const StartedChild& child) noexcept;

// Sends sig through the child's pidfd. A child that has already exited
// counts as done; any other failure is reported on standard error.
bool signalChild(const StartedChild& child, int sig) noexcept;

// The child's exit code when it exits within `grace` (128 + the signal number
// when a signal ended it); the wait is one poll on the pidfd. Otherwise
// kStillActive, and the child is handed to the outstanding list.
std::int32_t collectExitCode(StartedChild&& child,
                             std::chrono::milliseconds grace = std::chrono::milliseconds(0));

// Puts a child on the outstanding list without looking at it, with SIGKILL
// due at `killAt` when set. Never throws: when the list cannot grow, the child
// is killed and reaped at once (and that is reported).
void handOverChild(StartedChild&& child, KillDeadline killAt) noexcept;

// Reaps every outstanding child that has exited and sends SIGKILL to those
// whose deadline has passed; true while some remain.
bool reapOutstandingChildren();
std::size_t outstandingChildCount();

// SIGTERM to every outstanding child now, SIGKILL kKillGrace later (an
// earlier deadline already set is kept).
void terminateOutstandingChildren();

// Blocks until every outstanding child with a deadline is gone, sending
// SIGKILL when its deadline comes; for the very end of the program, when no
// event loop is left to run the reaping. False when a child outlived even its
// SIGKILL by kKillGrace (a process stuck in the kernel); it is left behind.
bool awaitTerminatedChildren();
