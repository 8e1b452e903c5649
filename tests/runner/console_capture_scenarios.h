// Scenarios every front end of the runner must pass, written once and
// instantiated by console_capture_core_test.cpp (ConsoleCaptureCore) and
// console_capture_test.cpp (ConsoleCapture in a Qt event loop).
//
// A front end FE offers, on one runner instance:
//   std::int32_t run(const std::vector<std::string>& argv);
//   void cancel(); void stop(); bool running() const; pid_t processId() const;
//   static void terminateAllChildren();
//   static bool waitUntil(std::function<bool()> pred, std::chrono::milliseconds timeout);
//     (waits while the runner's reaping goes on)
// and, from Recorder: the text read, the events ("C<n>" per chunk, "W" per
// call of onWait), onChunk (after each chunk) and onWait (now and then while
// the runner waits for output).
#pragma once

#include "runner/child_process.h"
#include "runner_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace runner_test {

struct Recorder {
    std::string text;
    std::vector<std::size_t> sizes;
    std::vector<std::string> events;
    std::function<void()> onChunk;
    std::function<void()> onWait;

    void chunk(const char* data, std::size_t size) {
        text.append(data, size);
        sizes.push_back(size);
        events.push_back("C" + std::to_string(size));
        if (onChunk) onChunk();
    }
    void waited() {
        events.push_back("W");
        if (onWait) onWait();
    }
};

inline std::vector<std::string> child(std::vector<std::string> steps) {
    steps.insert(steps.begin(), childPath());
    return steps;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename FE>
class RunnerScenario : public testing::Test {
protected:
    static bool reaped(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return FE::waitUntil([pid] { return isGone(pid); }, timeout);
    }
};

TYPED_TEST_SUITE_P(RunnerScenario);

TYPED_TEST_P(RunnerScenario, OutputArrivesInChunksAndTheResultIsTheExitCode) {
    constexpr std::int32_t kExitedOrStill = -1;  // 0, or 259 when not yet exited
    struct Case {
        std::vector<std::string> steps;
        std::string text;
        std::int32_t result;
        std::vector<std::size_t> sizes;
    };
    const std::vector<Case> cases{
        {{"p:abc"}, "abc", kExitedOrStill, {3}},
        // A grandchild keeps the pipe open: the child has surely exited.
        {{"p:x", "g:300", "x:7"}, "x", 7, {1}},
        {{"p:out,", "e:err,", "p:out"}, "out,err,out", kExitedOrStill, {}},
        // The output ends well before the exit: the run waits for the code.
        {{"c", "s:50", "x:5"}, "", 5, {}},
        {{"r:3000:x"}, std::string(3000, 'x'), kExitedOrStill, {1024, 1024, 952}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps.front());
        TypeParam fe;
        const std::int32_t result = fe.run(child(c.steps));
        EXPECT_EQ(fe.text, c.text);
        if (c.result == kExitedOrStill) {
            EXPECT_TRUE(result == 0 || result == kStillActive) << result;
        } else {
            EXPECT_EQ(result, c.result);
        }
        if (!c.sizes.empty()) {
            EXPECT_EQ(fe.sizes, c.sizes);
        }
        EXPECT_FALSE(fe.running());
        EXPECT_EQ(fe.processId(), 0);
    }
}

TYPED_TEST_P(RunnerScenario, AFullPipeIsEmptiedWithoutWaitingBetweenChunks) {
    TypeParam fe;
    fe.onWait = [] {
    };
    fe.run(child({"s:100", "r:3000:x"}));
    std::string events;
    for (const auto& e : fe.events)
        events += e + " ";
    EXPECT_NE(events.find("W"), std::string::npos) << "the runner never waited: " << events;
    EXPECT_NE(events.find("C1024 C1024 C952"), std::string::npos) << events;
}

TYPED_TEST_P(RunnerScenario, NothingStartsForAMissingProgram) {
    for (const auto& argv : std::vector<std::vector<std::string>>{
             {"/nonexistent/wm-no-such-program"}, {"wm-no-such-program-zq"}, {"q"}, {""}, {}}) {
        SCOPED_TRACE(argv.empty() ? "(none)" : argv.front());
        TypeParam fe;
        EXPECT_EQ(fe.run(argv), 0);
        EXPECT_TRUE(fe.events.empty());
        EXPECT_FALSE(fe.running());
    }
}

TYPED_TEST_P(RunnerScenario, CancelWhileIdleChangesNothing) {
    TypeParam fe;
    fe.cancel();
    fe.run(child({"s:100", "p:abc"}));
    EXPECT_EQ(fe.text, "abc");
}

// cancel and a refused nested run end the run and leave its child running,
// whether called from the chunk handler or while the runner waits.
TYPED_TEST_P(RunnerScenario, CancelOrANestedRunEndTheRunButNotTheChild) {
    for (const bool nested : {false, true}) {
        for (const bool fromChunk : {false, true}) {
            SCOPED_TRACE(std::string(nested ? "nested run" : "cancel") +
                         (fromChunk ? " in chunk" : " in wait"));
            TypeParam fe;
            pid_t pid = 0;
            std::int32_t nestedResult = -1;
            std::size_t eventsAtAct = 0;
            auto act = [&] {
                if (pid != 0) return;
                pid = fe.processId();
                eventsAtAct = fe.events.size();
                if (nested) {
                    nestedResult = fe.run({"q"});
                    EXPECT_EQ(fe.processId(), pid);
                } else {
                    fe.cancel();
                }
            };
            (fromChunk ? fe.onChunk : fe.onWait) = act;
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(fe.run(child({"p:ready", "s:20000", "p:late"})), kStillActive);
            EXPECT_LT(secondsSince(start), 5.0);
            if (nested) {
                EXPECT_EQ(nestedResult, 0);
            }
            EXPECT_EQ(fe.events.size(), eventsAtAct);  // no read and no wait after it
            ASSERT_GT(pid, 0);
            EXPECT_TRUE(isLiving(pid));
            ::kill(pid, SIGTERM);  // our own child, through the runner
            EXPECT_TRUE(this->reaped(pid));
        }
    }
}

// stop() ends the run at once and its child soon; a process of the same name
// that the runner did not start lives on.
TYPED_TEST_P(RunnerScenario, StopEndsTheRunAndItsChildOnly) {
    TempFolder folder;
    const std::string encoder = folder.childCopy("mxcode.dll");
    Strangers strangers;
    const pid_t stranger = strangers.start(encoder);
    for (const bool fromChunk : {false, true}) {
        SCOPED_TRACE(fromChunk ? "in chunk" : "in wait");
        TypeParam fe;
        pid_t pid = 0;
        auto act = [&] {
            if (pid != 0 || fe.text.empty()) return;
            pid = fe.processId();
            fe.stop();
            fe.stop();  // a second stop changes nothing
        };
        (fromChunk ? fe.onChunk : fe.onWait) = act;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(fe.run({encoder, "p:ready", "s:20000", "p:late"}), kStillActive);
        EXPECT_LT(secondsSince(start), 3.0);
        EXPECT_EQ(fe.text, "ready");
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(this->reaped(pid, std::chrono::seconds(3)));
    }
    EXPECT_TRUE(Strangers::running(stranger));
}

TYPED_TEST_P(RunnerScenario, StopAfterTheChildHasExitedGivesItsExitCode) {
    TypeParam fe;
    fe.onChunk = [&] {
        // The child has closed its output and exits; its code is known.
        waitFor([&] { return processState(fe.processId()) == 'Z'; });
        fe.stop();
    };
    EXPECT_EQ(fe.run(child({"p:x", "g:2000", "x:7"})), 7);
}

TYPED_TEST_P(RunnerScenario, AChildThatIgnoresSigtermIsKilledAfterTheGrace) {
    TypeParam fe;
    pid_t pid = 0;
    fe.onChunk = [&] {
        pid = fe.processId();
        fe.stop();
    };
    EXPECT_EQ(fe.run(child({"i", "p:ready", "s:30000"})), kStillActive);
    ASSERT_GT(pid, 0);
    // The SIGKILL comes only after the grace (3 s), so it is still there.
    TypeParam::waitUntil([] { return false; }, std::chrono::milliseconds(1500));
    EXPECT_TRUE(isLiving(pid));
    EXPECT_TRUE(this->reaped(pid, std::chrono::seconds(8)));
}

TYPED_TEST_P(RunnerScenario, StopOnAnIdleRunnerStartsNothing) {
    QOnPath q;
    {
        TypeParam fe;
        fe.stop();
        fe.run(child({"p:a"}));
        fe.stop();
        EXPECT_EQ(fe.text, "a");
    }
    EXPECT_TRUE(zombieChildren().empty());
    EXPECT_FALSE(q.ran());
    // The fixture works: a run of "q" does find it.
    TypeParam probe;
    probe.run({"q"});
    EXPECT_TRUE(q.ran());
}

// The outstanding children and the runs in progress all end; a process of
// the same name started elsewhere lives on.
TYPED_TEST_P(RunnerScenario, TerminateAllChildrenEndsOursOnly) {
    TempFolder folder;
    const std::string encoder = folder.childCopy("mxcode.dll");
    Strangers strangers;
    const pid_t stranger = strangers.start(encoder);

    TypeParam left;  // a cancelled run whose child ignores SIGTERM
    pid_t leftPid = 0;
    left.onChunk = [&] {
        leftPid = left.processId();
        left.cancel();
    };
    left.run({encoder, "i", "p:a", "s:30000"});
    ASSERT_GT(leftPid, 0);

    TypeParam running;
    pid_t runningPid = 0;
    running.onChunk = [&] {
        runningPid = running.processId();
        TypeParam::terminateAllChildren();
    };
    EXPECT_EQ(running.run({encoder, "p:b", "s:30000"}), kStillActive);
    ASSERT_GT(runningPid, 0);

    EXPECT_TRUE(this->reaped(runningPid, std::chrono::seconds(3)));
    EXPECT_TRUE(this->reaped(leftPid, std::chrono::seconds(8)));
    EXPECT_TRUE(Strangers::running(stranger));
}

TYPED_TEST_P(RunnerScenario, AThrowingChunkHandlerStillHandsTheChildOn) {
    TypeParam fe;
    pid_t pid = 0;
    fe.onChunk = [&] {
        pid = fe.processId();
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(fe.run(child({"p:a", "s:30000"})), std::runtime_error);
    EXPECT_FALSE(fe.running());
    EXPECT_EQ(fe.processId(), 0);
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGTERM);  // our own child: the runner must still reap it
    EXPECT_TRUE(this->reaped(pid));
    EXPECT_TRUE(zombieChildren().empty());

    fe.onChunk = {};
    fe.run(child({"p:again"}));
    EXPECT_EQ(fe.text, "aagain");
}

TYPED_TEST_P(RunnerScenario, TheChildGetsOnlyTheStandardDescriptors) {
    // Opened the way a library might: without close-on-exec.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    TypeParam fe;
    fe.run(child({"f"}));
    ::close(leaky);
    EXPECT_EQ(listedFds(fe.text), (std::set<int>{0, 1, 2})) << fe.text;
    EXPECT_NE(fe.text.find("fd 0 -> /dev/null\n"), std::string::npos) << fe.text;
    const auto target = [&](int fd) {
        const std::string key = "fd " + std::to_string(fd) + " -> ";
        const auto at = fe.text.find(key);
        if (at == std::string::npos) return std::string();
        return fe.text.substr(at + key.size(), fe.text.find('\n', at) - at - key.size());
    };
    EXPECT_EQ(target(1).rfind("pipe:", 0), 0u) << fe.text;
    EXPECT_EQ(target(1), target(2));
}

TYPED_TEST_P(RunnerScenario, AChildStartedDuringARunInheritsNoPipe) {
    TypeParam outer;
    TypeParam inner;
    std::string outerPipe;
    outer.onChunk = [&] {
        if (outer.sizes.size() != 1) return;
        outerPipe = fdTarget(outer.processId(), 1);
        inner.run(child({"f"}));
    };
    outer.run(child({"p:go", "s:300", "p:end"}));
    EXPECT_EQ(outer.text, "goend");
    ASSERT_EQ(outerPipe.rfind("pipe:", 0), 0u) << outerPipe;
    EXPECT_EQ(inner.text.find(outerPipe), std::string::npos) << inner.text;
}

TYPED_TEST_P(RunnerScenario, ARunOnAnotherInstanceInsideARunRunsToItsEnd) {
    TypeParam outer;
    TypeParam inner;
    std::int32_t innerResult = -1;
    outer.onChunk = [&] {
        if (outer.sizes.size() != 1) return;
        innerResult = inner.run(child({"p:in", "g:200", "x:3"}));
    };
    outer.run(child({"p:1", "s:50", "r:2000:o"}));
    EXPECT_EQ(innerResult, 3);
    EXPECT_EQ(inner.text, "in");
    EXPECT_EQ(outer.text, "1" + std::string(2000, 'o'));
}

TYPED_TEST_P(RunnerScenario, ASilentChildThatExitsEndsTheRun) {
    TypeParam fe;
    const auto start = std::chrono::steady_clock::now();
    bool safetyCancel = false;
    fe.onWait = [&] {
        if (secondsSince(start) < 10) return;
        safetyCancel = true;
        fe.cancel();
    };
    fe.run(child({"s:200"}));
    EXPECT_FALSE(safetyCancel);
    EXPECT_TRUE(fe.text.empty());
}

TYPED_TEST_P(RunnerScenario, NoZombieIsLeft) {
    std::vector<pid_t> pids;
    for (const auto& steps :
         std::vector<std::vector<std::string>>{{"p:a"}, {"p:b", "x:4"}, {"p:c", "s:300"}, {"p:d", "e:e"}}) {
        TypeParam fe;
        fe.onChunk = [&] {
            if (fe.sizes.size() == 1) pids.push_back(fe.processId());
        };
        fe.run(child(steps));
    }
    ASSERT_EQ(pids.size(), 4u);
    for (pid_t pid : pids)
        EXPECT_TRUE(this->reaped(pid)) << pid;
    EXPECT_TRUE(TypeParam::waitUntil([] { return outstandingChildCount() == 0; }, std::chrono::seconds(5)));
    EXPECT_TRUE(zombieChildren().empty());
}

REGISTER_TYPED_TEST_SUITE_P(RunnerScenario, OutputArrivesInChunksAndTheResultIsTheExitCode,
                            AFullPipeIsEmptiedWithoutWaitingBetweenChunks, NothingStartsForAMissingProgram,
                            CancelWhileIdleChangesNothing, CancelOrANestedRunEndTheRunButNotTheChild,
                            StopEndsTheRunAndItsChildOnly, StopAfterTheChildHasExitedGivesItsExitCode,
                            AChildThatIgnoresSigtermIsKilledAfterTheGrace, StopOnAnIdleRunnerStartsNothing,
                            TerminateAllChildrenEndsOursOnly, AThrowingChunkHandlerStillHandsTheChildOn,
                            TheChildGetsOnlyTheStandardDescriptors, AChildStartedDuringARunInheritsNoPipe,
                            ARunOnAnotherInstanceInsideARunRunsToItsEnd, ASilentChildThatExitsEndsTheRun,
                            NoZombieIsLeft);

}  // namespace runner_test
