// Which part of a video a time-limited mark makes the encoder code again. The source's groups of
// pictures (a key frame and the frames up to the next one) that hold a frame the mark may touch are
// decoded, marked and coded again as one stretch; every other group is copied packet by packet.
// Pure: the packets' times come from a pass over the source that decodes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/time_weight.h"

namespace wm {

// A video packet of the source in decoding order: its presentation time (stream time base) and
// whether it is a key frame.
struct SourcePacket {
    int64_t pts = 0;
    bool key = false;
};

struct SmartPlan {
    // Packets [first, end) in decoding order are coded again; first == end: none, all is copied.
    size_t first = 0, end = 0;
    // Their frames' times (stream time base): fromPts <= pts < untilPts; untilPts is INT64_MAX when
    // the stretch runs to the end.
    int64_t fromPts = 0, untilPts = INT64_MAX;
    bool copiesAll() const { return first == end; }
};

// The video's timing as the mark's times count it: seconds = (pts - start) * tick.
struct StreamClock {
    int64_t start = 0;
    double tick = 1;  // seconds per time-base unit
    double seconds(int64_t pts) const { return double(pts - start) * tick; }
};

// The stretch for `range`, or nothing and `why` ("its groups of pictures refer across their key
// frames") when the source cannot be joined: packets without times, a first packet that is no key
// frame, or frames that are shown before their group's key frame (open groups).
std::optional<SmartPlan> planStretch(const std::vector<SourcePacket>& packets, const StreamClock& clock,
                                     const rules::TimeRange& range, std::string& why);

// Whether the plan leaves anything to copy: a mark over the whole video codes every group anyway.
bool copiesSomething(const SmartPlan& plan, size_t packets);

// "re-encoded 0:00–0:12 of 3:00, the rest copied" (whole seconds; h:mm:ss from an hour on);
// "nothing re-encoded of 3:00, all copied" for an empty stretch.
std::string reencodedText(std::optional<double> from, std::optional<double> until, double total);

// A coded-again packet's decoding time at a join: the source's own for the same place where it
// fits (after the packet before it, no later than the packet's own pts), else squeezed in between.
// Nothing when no time fits.
std::optional<int64_t> joinedDts(std::optional<int64_t> previous, int64_t sourceDts, int64_t pts);

// An encoder's Annex B output ("00 00 01" start codes) as MP4 and Matroska store it: each NAL unit
// behind its length in `lengthSize` bytes (1, 2 or 4). False when a unit is too long for it.
bool lengthPrefixed(const uint8_t* data, size_t size, int lengthSize, std::vector<uint8_t>& out);

// From an "avcC" record: the NAL length size and the ids its sequence and picture parameter sets
// use. Nothing when the record cannot be read.
struct AvcRecord {
    int lengthSize = 4;
    std::vector<int> spsIds, ppsIds;
};
std::optional<AvcRecord> readAvcRecord(const uint8_t* data, size_t size);
// An id for the encoder's parameter sets that none of the source's sets uses (0..31); -1 if none.
int freeParameterSetId(const AvcRecord& record);

// From an "hvcC" record: the NAL length size and its parameter sets (VPS, SPS, PPS) as length-
// prefixed NAL units, ready to go in front of a key frame's own. Nothing when it cannot be read.
struct HevcRecord {
    int lengthSize = 4;
    std::vector<uint8_t> parameterSets;
};
std::optional<HevcRecord> readHevcRecord(const uint8_t* data, size_t size);

}  // namespace wm
