#include "encoder/smart_plan.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

namespace wm {
namespace {

// Reads Exp-Golomb numbers from a NAL unit's payload, emulation prevention bytes left out.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            if (i >= 2 && data[i] == 3 && data[i - 1] == 0 && data[i - 2] == 0) continue;
            bytes_.push_back(data[i]);
        }
    }
    std::optional<unsigned> bits(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i) {
            if (pos_ >= bytes_.size() * 8) return std::nullopt;
            v = v << 1 | ((bytes_[pos_ / 8] >> (7 - pos_ % 8)) & 1);
            ++pos_;
        }
        return v;
    }
    std::optional<unsigned> ue() {
        int zeros = 0;
        for (;;) {
            const auto b = bits(1);
            if (!b) return std::nullopt;
            if (*b) break;
            if (++zeros > 31) return std::nullopt;
        }
        const auto rest = bits(zeros);
        if (!rest) return std::nullopt;
        return (1u << zeros) - 1 + *rest;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
};

unsigned be16(const uint8_t* p) {
    return unsigned(p[0]) << 8 | p[1];
}

std::string clockText(double seconds) {
    const auto s = int64_t(std::llround(std::max(0.0, seconds)));
    char buf[48];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%" PRId64 ":%02d:%02d", s / 3600, int(s / 60 % 60), int(s % 60));
    else
        std::snprintf(buf, sizeof buf, "%d:%02d", int(s / 60), int(s % 60));
    return buf;
}

}  // namespace

std::optional<SmartPlan> planStretch(const std::vector<SourcePacket>& packets, const StreamClock& clock,
                                     const rules::TimeRange& range, std::string& why) {
    if (packets.empty()) {
        why = "its video holds no packets";
        return std::nullopt;
    }
    if (!packets.front().key) {
        why = "its video does not start with a key frame";
        return std::nullopt;
    }
    // The groups: where each starts, and the latest frame it shows.
    struct Group {
        size_t first;
        int64_t keyPts, lastPts;
    };
    std::vector<Group> groups;
    for (size_t i = 0; i < packets.size(); ++i) {
        const SourcePacket& p = packets[i];
        if (p.key) {
            if (!groups.empty() && p.pts <= groups.back().lastPts) {
                why = "its groups of pictures overlap in time";
                return std::nullopt;
            }
            groups.push_back({i, p.pts, p.pts});
        } else if (p.pts < groups.back().keyPts) {
            // A frame shown before its key frame refers to the group before: open groups.
            why = "its groups of pictures refer across their key frames";
            return std::nullopt;
        }
        groups.back().lastPts = std::max(groups.back().lastPts, p.pts);
    }
    SmartPlan plan;
    plan.first = plan.end = packets.size();
    std::optional<size_t> firstGroup, lastGroup;
    for (size_t g = 0; g < groups.size(); ++g) {
        const bool beforeUntil = !range.until || clock.seconds(groups[g].keyPts) < *range.until;
        const bool afterFrom = !range.from || clock.seconds(groups[g].lastPts) >= *range.from;
        if (!beforeUntil || !afterFrom) continue;
        if (!firstGroup) firstGroup = g;
        lastGroup = g;
    }
    if (!firstGroup) return plan;
    plan.first = groups[*firstGroup].first;
    plan.fromPts = groups[*firstGroup].keyPts;
    if (*lastGroup + 1 < groups.size()) {
        plan.end = groups[*lastGroup + 1].first;
        plan.untilPts = groups[*lastGroup + 1].keyPts;
    }
    return plan;
}

bool copiesSomething(const SmartPlan& plan, size_t packets) {
    return plan.first > 0 || plan.end < packets;
}

std::string reencodedText(std::optional<double> from, std::optional<double> until, double total) {
    if (!from) return "nothing re-encoded of " + clockText(total) + ", all copied";
    return "re-encoded " + clockText(*from) + "\u2013" + clockText(until.value_or(total)) + " of " +
           clockText(total) + ", the rest copied";
}

std::optional<int64_t> joinedDts(std::optional<int64_t> previous, int64_t sourceDts, int64_t pts) {
    int64_t dts = sourceDts;
    if (previous && dts <= *previous) dts = *previous + 1;
    dts = std::min(dts, pts);
    if (previous && dts <= *previous) return std::nullopt;
    return dts;
}

bool lengthPrefixed(const uint8_t* data, size_t size, int lengthSize, std::vector<uint8_t>& out) {
    out.clear();
    // Where each start code ends; a unit runs to the next start code (its trailing zeros dropped).
    std::vector<std::pair<size_t, size_t>> units;
    size_t i = 0, unitStart = SIZE_MAX;
    while (i + 2 < size) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (unitStart != SIZE_MAX) units.push_back({unitStart, i});
            unitStart = i + 3;
            i += 3;
        } else {
            ++i;
        }
    }
    if (unitStart == SIZE_MAX) return false;
    units.push_back({unitStart, size});
    const uint64_t limit = lengthSize >= 4 ? 0xffffffffull : (1ull << (8 * lengthSize)) - 1;
    for (auto [begin, end] : units) {
        while (end > begin && data[end - 1] == 0)
            --end;
        if (end == begin) continue;
        const uint64_t n = end - begin;
        if (n > limit) return false;
        for (int b = lengthSize - 1; b >= 0; --b)
            out.push_back(uint8_t(n >> (8 * b)));
        out.insert(out.end(), data + begin, data + end);
    }
    return !out.empty();
}

std::optional<AvcRecord> readAvcRecord(const uint8_t* data, size_t size) {
    if (!data || size < 7 || data[0] != 1) return std::nullopt;
    AvcRecord r;
    r.lengthSize = (data[4] & 3) + 1;
    size_t at = 5;
    for (int kind = 0; kind < 2; ++kind) {
        if (at >= size) return std::nullopt;
        const unsigned count = kind == 0 ? data[at] & 0x1f : data[at];
        ++at;
        for (unsigned n = 0; n < count; ++n) {
            if (at + 2 > size) return std::nullopt;
            const size_t len = be16(data + at);
            at += 2;
            if (len < 2 || at + len > size) return std::nullopt;
            // SPS: header, profile, flags, level, then its id; PPS: header, then its id.
            const size_t skip = kind == 0 ? 4 : 1;
            if (len <= skip) return std::nullopt;
            BitReader bits(data + at + skip, len - skip);
            const auto id = bits.ue();
            if (!id) return std::nullopt;
            (kind == 0 ? r.spsIds : r.ppsIds).push_back(int(*id));
            at += len;
        }
    }
    return r;
}

int freeParameterSetId(const AvcRecord& record) {
    for (int id = 1; id < 32; ++id) {
        const auto used = [id](const std::vector<int>& ids) {
            return std::find(ids.begin(), ids.end(), id) != ids.end();
        };
        if (!used(record.spsIds) && !used(record.ppsIds)) return id;
    }
    return -1;
}

std::optional<HevcRecord> readHevcRecord(const uint8_t* data, size_t size) {
    if (!data || size < 23 || data[0] != 1) return std::nullopt;
    HevcRecord r;
    r.lengthSize = (data[21] & 3) + 1;
    const unsigned arrays = data[22];
    size_t at = 23;
    for (unsigned a = 0; a < arrays; ++a) {
        if (at + 3 > size) return std::nullopt;
        const unsigned type = data[at] & 0x3f;
        const unsigned count = be16(data + at + 1);
        at += 3;
        for (unsigned n = 0; n < count; ++n) {
            if (at + 2 > size) return std::nullopt;
            const size_t len = be16(data + at);
            at += 2;
            if (at + len > size) return std::nullopt;
            // VPS, SPS and PPS (32, 33, 34); SEI in the record stays there.
            if (type >= 32 && type <= 34) {
                if (r.lengthSize < 4 && len >> (8 * r.lengthSize)) return std::nullopt;
                for (int b = r.lengthSize - 1; b >= 0; --b)
                    r.parameterSets.push_back(uint8_t(len >> (8 * b)));
                r.parameterSets.insert(r.parameterSets.end(), data + at, data + at + len);
            }
            at += len;
        }
    }
    if (r.parameterSets.empty()) return std::nullopt;
    return r;
}

}  // namespace wm
