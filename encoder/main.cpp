// mxcode.dll: the program's own encoder. Probe: prints the input's description and exits 1.
// Conversion: writes the result with the frame hook applied to every video frame.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "encoder/console.h"
#include "encoder/conversion.h"
#include "encoder/input_file.h"
#include "encoder/options.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::atomic<int> stopSignal{0};

void onStop(int sig) {
    stopSignal.store(sig);
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // A reader that went away must not end the conversion; the console just falls silent.
    signal(SIGPIPE, SIG_IGN);
    // Past a file size limit the write fails with EFBIG and is reported like a full disk.
    signal(SIGXFSZ, SIG_IGN);
}

int fail(const std::string& message) {
    wm::console::write(message + "\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    installSignals();
    // Library messages could carry words the windows search for; our own lines say what failed.
    av_log_set_level(std::getenv("MXCODE_DEBUG") ? AV_LOG_VERBOSE : AV_LOG_QUIET);

    wm::Options options;
    std::string error;
    if (!wm::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return fail(error);
    if (!options.hasInput) return fail("No input file given; use -i <file>.");

    wm::InputFile input;
    if (wm::Error e = input.open(options.input)) return fail(e.message());
    wm::console::write(wm::formatInputBlock(input.summary()));
    if (!options.output) return fail("At least one output file must be specified");

    wm::ConversionRequest request{options.input, *options.output, options.overwrite, options.hook,
                                  options.audioRate};
    if (wm::Error e = wm::convert(input, request, stopSignal)) return fail(e.message());
    if (int sig = stopSignal.load()) {
        wm::console::write("Stopped by signal " + std::to_string(sig) +
                           "; the result holds the part converted so far.\n");
        return 128 + sig;
    }
    return 0;
}
