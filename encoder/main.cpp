// mxcode.dll: the program's own encoder. Probe: prints the input's description and exits 1.
// Conversion: writes the result with the frame hook applied to every video frame.
// One frame ("-vframes 1"): writes the frame shown at "-ss" seconds as a BMP picture, turned as
// the video is shown with "-upright".
#include <pthread.h>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

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
    // on, so that the main thread's wait ends too (and the stop is counted once).
    if (!pthread_equal(pthread_self(), mainThread)) {
        pthread_kill(mainThread, sig);
        return;
    }
    stopRequest.signal.store(sig);
    stopRequest.count.fetch_add(1);
}

void installSignals() {
    mainThread = pthread_self();
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a blocked read returns, and the input's interrupt check sees the stop.
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // A reader that went away must not end the conversion; the console just falls silent.
    signal(SIGPIPE, SIG_IGN);
    // Past a file size limit the write fails with EFBIG and is reported like a full disk.
    signal(SIGXFSZ, SIG_IGN);
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

int stopped(const std::string& what) {
    const int sig = stopRequest.signal.load();
    wm::console::write("Stopped by signal " + std::to_string(sig) + what + "\n");
    return 128 + sig;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_callback(libraryLog);
    av_log_set_level(debugWanted() ? AV_LOG_VERBOSE : AV_LOG_QUIET);
    installSignals();

    wm::Options options;
    std::string error;
    if (!wm::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return fail(error);
    if (!options.hasInput) return fail("No input file given; use -i <file>.");

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
        const wm::FrameRequest request{options.input, *options.output, options.overwrite,
                                       options.frameAt.value_or(0), options.upright};
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

    wm::ConversionRequest request{options.input, *options.output,   options.overwrite,
                                  options.hook,  options.audioRate, options.share};
    wm::ConversionResult result;
    if (wm::Error e = wm::convert(input, request, stopRequest, result)) {
        if (e.code == AVERROR_EXIT && stopRequest.asked()) return stopped("; nothing was written.");
        return fail(e.message());
    }
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
