// mxcode.dll: the program's own encoder. Probe: prints the input's description and exits 1.
// Conversion: writes the result with the frame hook applied to every video frame.
// One frame ("-vframes 1"): writes the frame shown at "-ss" seconds as a BMP picture, turned as
// the video is shown with "-upright".
#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "encoder/close_watch.h"
#include "encoder/console.h"
#include "encoder/conversion.h"
#include "encoder/frame_grab.h"
#include "encoder/input_file.h"
#include "encoder/options.h"
#include "encoder/result_check.h"
#include "encoder/stop.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace {

wm::StopRequest stopRequest;
pthread_t mainThread;

void onStop(int sig) {
    // Only the main thread waits on the input; a signal that landed on another thread is passed
    // on, so that the main thread's wait ends too.
    if (!pthread_equal(pthread_self(), mainThread)) {
        pthread_kill(mainThread, sig);
        return;
    }
    // The first one stops; the ones after it ask the same and change nothing.
    stopRequest.ask(sig);
}

void installSignals() {
    mainThread = pthread_self();
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    // One stop signal handled at a time: the first one's signal and time go together.
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&sa.sa_mask, sig);
    // No SA_RESTART: a blocked read returns, and the input's interrupt check sees the stop.
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // A closed terminal ends a conversion the same orderly way.
    sigaction(SIGHUP, &sa, nullptr);
    // A reader that went away must not end the conversion; the console just falls silent.
    signal(SIGPIPE, SIG_IGN);
    // Past a file size limit the write fails with EFBIG and is reported like a full disk.
    signal(SIGXFSZ, SIG_IGN);
}

// Started by the windows or the command without windows, the encoder outlives neither: when the
// process MXCODE_STOP_WITH_PARENT names stops being its parent (killed, crashed), it stops as on
// SIGTERM and keeps its part. The variable is only ever set for the encoder's own children.
void stopWithParent() {
    const char* named = std::getenv("MXCODE_STOP_WITH_PARENT");
    if (!named || !*named) return;
    char* end = nullptr;
    const long parent = std::strtol(named, &end, 10);
    if (*end != '\0' || parent <= 1) return;
    // Held from here on: the parent's exit makes it readable, and no later process takes its place.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(parent), 0));
    if (fd < 0 || ::getppid() != parent) {
        if (fd >= 0) ::close(fd);
        ::kill(::getpid(), SIGTERM);  // gone already
        return;
    }
    std::thread([fd] {
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, -1) < 0 && errno == EINTR) {}
        ::kill(::getpid(), SIGTERM);
    }).detach();
}

bool debugWanted() {
    const char* v = std::getenv("MXCODE_DEBUG");
    return v && *v && std::string(v) != "0";
}

// Library messages could carry words the windows search for; our own lines say what failed.
// Every library line goes through here, from any thread, whatever level a library sets: dropped,
// or with MXCODE_DEBUG shown whole lines at a time between our own.
void libraryLog(void* avcl, int level, const char* fmt, va_list vl) {
    static const bool debug = debugWanted();
    if (!debug || (level >= 0 && (level & 0xff) > AV_LOG_VERBOSE)) return;
    static std::mutex lock;
    static int printPrefix = 1;
    char line[1024];
    std::lock_guard guard(lock);
    av_log_format_line2(avcl, level, fmt, vl, line, sizeof line, &printPrefix);
    wm::console::write(line);
}

int fail(const std::string& message) {
    wm::console::write(message + "\n");
    return 1;
}

// "Removed the earlier stopped part '<name>'." or "Removed 2 earlier stopped parts: '<a>', '<b>'.",
// one line whatever the names hold.
std::string removedLine(const std::vector<std::string>& names) {
    std::string quoted;
    for (const std::string& name : names) {
        std::string shown = name;
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '_';
        quoted += (quoted.empty() ? "'" : ", '") + shown + "'";
    }
    if (names.size() == 1) return "Removed the earlier stopped part " + quoted + ".\n";
    return "Removed " + std::to_string(names.size()) + " earlier stopped parts: " + quoted + ".\n";
}

int stopped(const std::string& what) {
    const int sig = stopRequest.signal.load();
    wm::console::write("Stopped by signal " + std::to_string(sig) + what + "\n");
    return 128 + sig;
}

// Several videos described in one run, as a batch needs them before its masks: each input's block,
// or "Input #N: " and why it cannot be read.
int describeAll(const std::vector<std::string>& inputs) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (stopRequest.asked()) return stopped("; nothing was written.");
        wm::InputFile input;
        if (wm::Error e = input.open(inputs[i], stopRequest)) {
            wm::console::write("Input #" + std::to_string(i) + ": " + e.message() + "\n");
            continue;
        }
        wm::console::write(wm::formatInputBlock(input.summary(), static_cast<int>(i)));
    }
    return fail("At least one output file must be specified");
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_callback(libraryLog);
    av_log_set_level(debugWanted() ? AV_LOG_VERBOSE : AV_LOG_QUIET);
    installSignals();
    stopWithParent();

    wm::Options options;
    std::string error;
    if (!wm::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return fail(error);
    if (!options.hasInput) return fail("No input file given; use -i <file>.");
    if (options.inputs.size() > 1) return describeAll(options.inputs);

    wm::InputFile input;
    if (wm::Error e = input.open(options.input, stopRequest)) {
        if (stopRequest.asked()) return stopped(" while the input was being opened; nothing was written.");
        return fail(e.message());
    }
    wm::console::write(wm::formatInputBlock(input.summary()));
    if (!options.output) return fail("At least one output file must be specified");

    if (options.check) {
        wm::CheckReport report;
        if (wm::Error e = wm::checkAgainstSource(input, *options.output, report))
            return fail("Check failed: " + e.message() + ".");
        wm::console::write(wm::formatCheckLine(report));
        return 0;
    }

    if (options.oneFrame) {
        const wm::FrameRequest request{options.input,     *options.output,
                                       options.overwrite, options.frameAt.value_or(0),
                                       options.upright,   options.hook};
        wm::FrameResult frame;
        if (wm::Error e = wm::writeFrame(input, request, stopRequest, frame)) {
            if (e.code == AVERROR_EXIT && stopRequest.asked()) return stopped("; nothing was written.");
            return fail(e.message());
        }
        char line[64];
        std::snprintf(line, sizeof line, "%dx%d, shown at %.3f s", frame.width, frame.height, frame.seconds);
        wm::console::write("Frame " + std::string(line) + ", written to '" + *options.output + "'\n");
        return 0;
    }

    wm::ConversionRequest request{options.input,     *options.output, options.overwrite, options.hook,
                                  options.audioRate, options.share,   !options.noCheck,  !options.noSmart};
    wm::ConversionResult result;
    // A part that cannot be closed (its folder takes no more writes) must not hold the run for ever.
    wm::CloseWatch watch(stopRequest, [] {
        char line[96];
        std::snprintf(line, sizeof line,
                      "The part could not be closed: nothing was read or written for %d s.\n",
                      int(wm::CloseWatch::kStillFor.count()));
        wm::console::write(line);
        ::_exit(stopped("; nothing was written."));
    });
    const wm::Error e = wm::convert(input, request, stopRequest, result);
    watch.disarm();
    if (e) {
        if (e.code == AVERROR_EXIT && stopRequest.asked()) return stopped("; nothing was written.");
        return fail(e.message());
    }
    // For the bench: what the check costs inside the run, free of the process's start.
    if (const char* v = std::getenv("MXCODE_TIMES"); v && *v && std::string(v) != "0") {
        char line[96];
        std::snprintf(line, sizeof line, "times: conversion %.3f s, check %.3f s\n", result.seconds,
                      result.checkSeconds);
        wm::console::write(line);
    }
    if (!result.removedParts.empty()) wm::console::write(removedLine(result.removedParts));
    if (!result.checkFailed.empty()) {
        wm::console::write("Check failed: " + result.checkFailed +
                           (result.stopped ? "." : "; the file is kept as '" + result.keptAs + "'.") + "\n");
        if (!result.stopped) return 1;
    }
    // The windows read the part's name from this line: it is the last one, and names the file whole.
    if (result.stopped)
        return stopped("; the part converted so far is kept as '" + result.keptAs +
                       "', the result's name is left untouched.");
    if (stopRequest.asked()) return stopped("; the result was already complete.");
    return 0;
}
