// ConsoleCaptureCore against real children (runner_child): the shared
// scenarios, and what only the core shows: each yield, and the blocking end
// of the program.
#include "runner/console_capture_core.h"

#include "console_capture_scenarios.h"
#include "runner/child_process.h"
#include "runner_test_support.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>

using namespace runner_test;

namespace {

// The core as the scenarios drive it: the yield waits for the pipe at most
// 20 ms, then reports a wait.
class CoreFrontEnd : public Recorder {
public:
    std::int32_t run(const std::vector<std::string>& argv) {
        return core_.run(
            argv, [this](const char* data, std::size_t size) { chunk(data, size); },
            [this](int fd) {
                pollfd p{fd, POLLIN, 0};
                ::poll(&p, 1, 20);
                waited();
            });
    }
    void cancel() { core_.cancel(); }
    void stop() { core_.stop(); }
    bool running() const { return core_.running(); }
    pid_t processId() const { return core_.processId(); }

    static void terminateAllChildren() { ConsoleCaptureCore::terminateAllChildren(); }
    static bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
        return waitFor(
            [&] {
                reapOutstandingChildren();
                return pred();
            },
            timeout);
    }

private:
    ConsoleCaptureCore core_;
};

}  // namespace

namespace runner_test {
INSTANTIATE_TYPED_TEST_SUITE_P(RunnerCore, RunnerScenario, CoreFrontEnd);
}

namespace {

// A yield that blocks on the pipe (at most 1 s) like the real one, counted.
struct CountingYield {
    int yields = 0;
    std::function<void()> then;

    ConsoleCaptureCore::Yield get() {
        return [this](int fd) {
            ++yields;
            if (then) then();
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 1000);
        };
    }
};

void endChild(pid_t pid) {
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(CoreFrontEnd::waitUntil([&] { return isGone(pid); }, std::chrono::seconds(5)));
}

TEST(RunnerCore, ASilentChildIsNoticedByThePipesEndNotByPolling) {
    ConsoleCaptureCore core;
    CountingYield yield;
    const auto start = std::chrono::steady_clock::now();
    yield.then = [&] {
        if (secondsSince(start) > 10) core.cancel();
    };
    core.run(child({"s:200"}), {}, yield.get());
    EXPECT_LT(secondsSince(start), 10.0);
    EXPECT_LE(yield.yields, 5);
}

// The child learns whom to outlive no longer: this process, whatever the
// environment said before.
TEST(RunnerCore, TheChildIsToldItsParentsId) {
    ::setenv(kStopWithParent, "1", 1);
    ConsoleCaptureCore core;
    std::string text;
    core.run(child({"v:MXCODE_STOP_WITH_PARENT", "p:|", "v:PATH"}),
             [&](const char* d, std::size_t n) { text.append(d, n); }, {});
    ::unsetenv(kStopWithParent);
    EXPECT_EQ(text, std::to_string(::getpid()) + "|" + std::getenv("PATH"));
}

// Whatever ends the run from inside a yield is seen before any further wait.
TEST(RunnerCore, EndingTheRunFromTheYieldIsSeenAtOnce) {
    for (const char* how : {"nested run", "cancel", "stop"}) {
        SCOPED_TRACE(how);
        ConsoleCaptureCore core;
        CountingYield yield;
        pid_t pid = 0;
        std::int32_t nested = -1;
        yield.then = [&] {
            if (yield.yields != 1) return;
            pid = core.processId();
            const std::string h = how;
            if (h == "nested run") nested = core.run({"q"}, {}, {});
            if (h == "cancel") core.cancel();
            if (h == "stop") core.stop();
        };
        EXPECT_EQ(core.run(child({"s:20000"}), {}, yield.get()), kStillActive);
        EXPECT_EQ(yield.yields, 1);
        if (std::string(how) == "nested run") {
            EXPECT_EQ(nested, 0);
        }
        endChild(pid);
    }
}

// An interrupted run reads on to the child's last words and gives its own exit code.
TEST(RunnerCore, AnInterruptedRunReadsTheChildsLastWords) {
    ConsoleCaptureCore core;
    CountingYield yield;
    std::string out;
    // Once the child has said it started, its handler is in place.
    const std::int32_t code = core.run(
        child({"t:closing line", "p:started", "s:20000"}),
        [&](const char* data, std::size_t size) {
            out.append(data, size);
            if (out == "started") core.interrupt();
        },
        yield.get());
    EXPECT_EQ(code, 143);
    EXPECT_EQ(out, "startedclosing line");
    EXPECT_FALSE(core.running());
    // Idle, it touches nothing.
    core.interrupt();
}

// At the very end of the program no event loop reaps: awaitTerminatedChildren
// does, SIGKILL included, and leaves others alone.
TEST(RunnerCore, AwaitTerminatedChildrenEndsThemAllBeforeReturning) {
    TempFolder folder;
    const std::string encoder = folder.childCopy("mxcode.dll");
    Strangers strangers;
    const pid_t stranger = strangers.start(encoder);

    std::vector<pid_t> ours;
    for (const auto& steps :
         std::vector<std::vector<std::string>>{{"i", "p:a", "s:30000"}, {"p:b", "s:30000"}}) {
        ConsoleCaptureCore core;
        std::vector<std::string> argv = steps;
        argv.insert(argv.begin(), encoder);
        core.run(argv,
                 [&](const char*, std::size_t) {
                     ours.push_back(core.processId());
                     core.cancel();
                 },
                 {});
    }
    ASSERT_EQ(ours.size(), 2u);
    ConsoleCaptureCore::terminateAllChildren();
    EXPECT_TRUE(awaitTerminatedChildren());
    for (pid_t pid : ours)
        EXPECT_TRUE(isGone(pid)) << pid;
    EXPECT_EQ(outstandingChildCount(), 0u);
    EXPECT_TRUE(Strangers::running(stranger));
}

}  // namespace
