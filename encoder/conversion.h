// One conversion: source video to result, with the frame hook on every video frame.
//
// Two threads share the work. The calling thread reads the source, decodes video, runs the hook,
// and handles every other stream (copied, or resampled with "-ar"); a second thread converts the
// pixel format where the encoder needs another, encodes the video and follows the progress. A
// short queue between them lets decoding and encoding overlap on separate cores.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "encoder/error.h"
#include "encoder/input_file.h"
#include "encoder/stop.h"

namespace wm {

struct ConversionRequest {
    std::string input, output;
    bool overwrite = false;
    std::optional<std::string> hook;  // "-vhook" value
    std::optional<int> audioRate;     // "-ar"
    bool share = false;               // "-share": an MP4 with H.264 and AAC that plays anywhere
    bool readBack = true;             // the result checked, and its lost metadata named, once written
    bool smart = true;  // a time-limited mark codes only its groups of pictures; "-nosmart" clears it
};

struct ConversionResult {
    bool stopped = false;     // a stop cut the conversion short; keptAs holds the part before it
    std::string keptAs;       // where the result went: the requested name, or when stopped the part's name
    std::string checkFailed;  // why the written file failed its check; it is then kept as a part
    double seconds = 0;       // the whole conversion's time, the check's included
    double checkSeconds = 0;  // the time the result took to read back and check
    // The parts earlier stopped runs kept of this result, removed once it was complete and checked
    // (names in its folder).
    std::vector<std::string> removedParts;
};

// stop: set asynchronously (by a signal handler) to ask for an early, orderly end: reading
// stops, the frames decoded so far are encoded while there is time, the trailer is written and
// the part kept under its own name, then checked.
Error convert(InputFile& input, const ConversionRequest& request, const StopRequest& stop,
              ConversionResult& result);

}  // namespace wm
