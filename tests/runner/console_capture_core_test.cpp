// ConsoleCaptureCore against real children (runner_child), with the yield
// injected so that every yield of the runner is counted and placed in a trace.
#include "runner/console_capture_core.h"

#include "runner/child_process.h"
#include "runner_test_support.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <set>

using namespace runner_test;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::string> Child(std::vector<std::string> steps) {
    steps.insert(steps.begin(), ChildPath());
    return steps;
}

// What a run did, in order: "C<n>" per chunk, "Y" per yield.
struct Trace {
    std::vector<std::string> events;
    std::string text;
    std::vector<std::size_t> sizes;
    int yields = 0;

    ConsoleCaptureCore::ChunkSink Sink(std::function<void()> then = {}) {
        return [this, then](const char* data, std::size_t size) {
            events.push_back("C" + std::to_string(size));
            text.append(data, size);
            sizes.push_back(size);
            if (then) then();
        };
    }
    // Waits for the pipe like the real yield (never spins), at most 1 s.
    ConsoleCaptureCore::Yield Yield(std::function<void()> then = {}) {
        return [this, then](int fd) {
            events.push_back("Y");
            ++yields;
            if (then) then();
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 1000);
        };
    }
};

void EndChild(pid_t pid) {
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(WaitFor([&] {
        reapOutstandingChildren();
        return IsGone(pid);
    })) << "child "
        << pid << " not reaped";
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(RunnerCore, AbcArrivesAndTheResultIsTheExitCodeOr259) {
    ConsoleCaptureCore core;
    Trace trace;
    const auto result = core.run(Child({"p:abc"}), trace.Sink(), trace.Yield());
    EXPECT_EQ(trace.text, "abc");
    EXPECT_TRUE(result == 0 || result == kStillActive) << result;
    EXPECT_FALSE(core.running());
    EXPECT_EQ(core.processId(), 0);
}

TEST(RunnerCore, ExitCodeOfAChildThatHasExited) {
    // The child exits at once with 7; a grandchild keeps the pipe open 300 ms,
    // so the child has certainly exited when the loop ends.
    ConsoleCaptureCore core;
    Trace trace;
    EXPECT_EQ(core.run(Child({"p:x", "g:300", "x:7"}), trace.Sink(), trace.Yield()), 7);
    EXPECT_EQ(trace.text, "x");
}

TEST(RunnerCore, StandardErrorJoinsStandardOutput) {
    ConsoleCaptureCore core;
    Trace trace;
    core.run(Child({"p:out,", "e:err,", "p:out"}), trace.Sink(), trace.Yield());
    EXPECT_EQ(trace.text, "out,err,out");
}

TEST(RunnerCore, ChildSeesDevNullAndOnePipe) {
    ConsoleCaptureCore core;
    Trace trace;
    core.run(Child({"f"}), trace.Sink(), trace.Yield());
    EXPECT_NE(trace.text.find("fd 0 -> /dev/null\n"), std::string::npos) << trace.text;
    const auto target = [&](int fd) {
        const std::string key = "fd " + std::to_string(fd) + " -> ";
        const auto at = trace.text.find(key);
        if (at == std::string::npos) return std::string();
        const auto end = trace.text.find('\n', at);
        return trace.text.substr(at + key.size(), end - at - key.size());
    };
    EXPECT_EQ(target(1).rfind("pipe:", 0), 0u) << trace.text;
    EXPECT_EQ(target(1), target(2));
}

TEST(RunnerCore, AFullPipeIsEmptiedChunkAfterChunkWithoutAYield) {
    ConsoleCaptureCore core;
    Trace trace;
    core.run(Child({"r:3000:x"}), trace.Sink(), trace.Yield());  // one write of 3000 bytes
    EXPECT_EQ(trace.sizes, (std::vector<std::size_t>{1024, 1024, 952}));
    EXPECT_EQ(trace.text, std::string(3000, 'x'));
    std::string chunksOnly;
    for (const auto& e : trace.events)
        chunksOnly += e + " ";
    EXPECT_NE(chunksOnly.find("C1024 C1024 C952 "), std::string::npos) << chunksOnly;
}

TEST(RunnerCore, AProgramThatDoesNotExistStartsNothing) {
    for (const auto& argv : std::vector<std::vector<std::string>>{
             {"/nonexistent/wm-no-such-program"}, {"wm-no-such-program-zq"}, {"q"}, {""}, {}}) {
        ConsoleCaptureCore core;
        Trace trace;
        EXPECT_EQ(core.run(argv, trace.Sink(), trace.Yield()), 0);
        EXPECT_TRUE(trace.events.empty());
        EXPECT_FALSE(core.running());
        EXPECT_EQ(core.processId(), 0);
    }
}

TEST(RunnerCore, CancelWhileIdleHasNoEffectOnTheNextRun) {
    ConsoleCaptureCore core;
    core.cancel();
    Trace trace;
    core.run(Child({"s:100", "p:abc"}), trace.Sink(), trace.Yield());
    EXPECT_EQ(trace.text, "abc");
}

TEST(RunnerCore, CancelDuringARunEndsItAndTheChildLivesOn) {
    ConsoleCaptureCore core;
    Trace trace;
    pid_t pid = 0;
    const auto start = Clock::now();
    const auto result = core.run(Child({"p:ready", "s:20000", "p:late"}), trace.Sink([&] {
        pid = core.processId();
        core.cancel();
    }),
                                 trace.Yield());
    EXPECT_EQ(result, kStillActive);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(trace.text, "ready");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(IsLiving(pid));
    EndChild(pid);
}

TEST(RunnerCore, RunRefusedFromTheSinkReturns0AndEndsTheRun) {
    ConsoleCaptureCore core;
    Trace trace;
    pid_t pid = 0;
    int nested = -1;
    pid_t pidAfterNested = 0;
    const auto result = core.run(Child({"p:a", "s:20000"}), trace.Sink([&] {
        pid = core.processId();
        Trace inner;
        nested = core.run({"q"}, inner.Sink(), inner.Yield());
        pidAfterNested = core.processId();
        EXPECT_TRUE(inner.events.empty());
    }),
                                 trace.Yield());
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(pidAfterNested, pid);
    EXPECT_EQ(result, kStillActive);
    ASSERT_FALSE(trace.events.empty());
    EXPECT_EQ(trace.events.back(), "C1");  // no yield and no read after the refusal
    EXPECT_EQ(trace.sizes.size(), 1u);
    EndChild(pid);
}

TEST(RunnerCore, RunRefusedFromTheYieldEndsTheRunAtOnce) {
    ConsoleCaptureCore core;
    Trace trace;
    pid_t pid = 0;
    int nested = -1;
    const auto start = Clock::now();
    const auto result = core.run(Child({"s:20000"}), trace.Sink(), trace.Yield([&] {
        if (trace.yields != 1) return;
        pid = core.processId();
        Trace inner;
        nested = core.run({"q"}, inner.Sink(), inner.Yield());
    }));
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(trace.yields, 1);  // the flag was checked before any further wait
    EXPECT_EQ(result, kStillActive);
    EXPECT_LT(SecondsSince(start), 5.0);
    EndChild(pid);
}

TEST(RunnerCore, ASilentChildThatExitsEndsTheRun) {
    ConsoleCaptureCore core;
    Trace trace;
    const auto start = Clock::now();
    bool safetyCancel = false;
    const auto result = core.run(Child({"s:200"}), trace.Sink(), trace.Yield([&] {
        if (SecondsSince(start) > 10) {
            safetyCancel = true;
            core.cancel();
        }
    }));
    EXPECT_FALSE(safetyCancel);
    EXPECT_TRUE(trace.text.empty());
    EXPECT_TRUE(result == 0 || result == kStillActive) << result;
    EXPECT_LE(trace.yields, 5);  // woken by the pipe's end, not by polling
}

TEST(RunnerCore, AChildStartedDuringARunInheritsNoPipe) {
    ConsoleCaptureCore outer;
    ConsoleCaptureCore inner;
    Trace outerTrace;
    Trace innerTrace;
    std::string outerPipe;
    outer.run(Child({"p:go", "s:300", "p:end"}), outerTrace.Sink([&] {
        if (outerTrace.sizes.size() != 1) return;
        outerPipe = FdTarget(outer.processId(), 1);
        inner.run(Child({"f"}), innerTrace.Sink(), innerTrace.Yield());
    }),
              outerTrace.Yield());
    EXPECT_EQ(outerTrace.text, "goend");
    ASSERT_EQ(outerPipe.rfind("pipe:", 0), 0u) << outerPipe;
    EXPECT_EQ(innerTrace.text.find(outerPipe), std::string::npos) << innerTrace.text;
    EXPECT_NE(innerTrace.text.find("fd 1 -> pipe:"), std::string::npos) << innerTrace.text;
}

TEST(RunnerCore, ARunOnAnotherCoreInsideARunRunsToItsEnd) {
    ConsoleCaptureCore outer;
    ConsoleCaptureCore inner;
    Trace outerTrace;
    Trace innerTrace;
    int innerResult = -1;
    outer.run(Child({"p:1", "s:50", "r:2000:o"}), outerTrace.Sink([&] {
        if (outerTrace.sizes.size() != 1) return;
        innerResult = inner.run(Child({"p:in", "g:200", "x:3"}), innerTrace.Sink(), innerTrace.Yield());
    }),
              outerTrace.Yield());
    EXPECT_EQ(innerResult, 3);
    EXPECT_EQ(innerTrace.text, "in");
    EXPECT_EQ(outerTrace.text, "1" + std::string(2000, 'o'));
}

TEST(RunnerCore, NoZombieIsLeft) {
    std::vector<pid_t> pids;
    for (const auto& steps :
         std::vector<std::vector<std::string>>{{"p:a"}, {"p:b", "x:4"}, {"p:c", "s:300"}, {"p:d", "e:e"}}) {
        ConsoleCaptureCore core;
        Trace trace;
        core.run(Child(steps), trace.Sink([&] {
            if (trace.sizes.size() == 1) pids.push_back(core.processId());
        }),
                 trace.Yield());
    }
    ASSERT_EQ(pids.size(), 4u);
    EXPECT_TRUE(WaitFor([] { return !reapOutstandingChildren(); }));
    for (pid_t pid : pids)
        EXPECT_TRUE(IsGone(pid)) << pid;
    EXPECT_TRUE(ZombieChildren().empty());
}

}  // namespace
