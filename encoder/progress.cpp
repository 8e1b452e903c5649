#include "encoder/progress.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace wm {

std::string formatProgress(const ProgressState& p) {
    double seconds = p.seconds > 0 ? p.seconds : 0;
    double kbits = seconds > 0 ? double(p.bytes) * 8 / 1000 / seconds : 0;
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "frame=%5" PRId64 " fps=%3.0f q=%.1f size=%8" PRId64
                  "kB time=%.2f bitrate=%6.1fkbits/s speed=%.3gx\r",
                  p.frames, p.fps, p.quality, p.bytes / 1024, seconds, kbits, p.speed > 0 ? p.speed : 0.0);
    return p.reencoded.empty() ? std::string(buf)
                               : std::string(buf, std::strlen(buf) - 1) + " " + p.reencoded + "\r";
}

}  // namespace wm
