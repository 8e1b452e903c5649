// The progress line the windows follow. They take the first "time" of a chunk, skip one
// character, and read up to the next space, so "time=" is followed by seconds with two decimals
// and a space. Each line ends in a carriage return and is written in one piece; its last field,
// "speed=2.31x", is the output time written per second of wall time so far; a smart run adds what
// it codes again behind it ("speed=9.1x re-encoded 0:00–0:12 of 3:00, the rest copied").
#pragma once

#include <cstdint>
#include <string>

namespace wm {

struct ProgressState {
    int64_t frames = 0;
    double fps = 0;
    double quality = 0;     // encoder quantiser, 0 when unknown
    int64_t bytes = 0;      // result size so far
    double seconds = 0;     // output time written so far
    double speed = 0;       // seconds written per second of wall time, 0 when not known yet
    std::string reencoded;  // smart rendering: "re-encoded 0:00–0:12 of 3:00, the rest copied"
};

std::string formatProgress(const ProgressState& p);

}  // namespace wm
