// When the mark shows: a time range of the video with fades, and the weight
// it gives the mark at a frame's time. The module scales every pixel's blend
// weight by it; the canvas shows the mark at the weight of the frame it shows.
//
// Times are seconds of presentation time from the start of the video. The
// mark shows from `from` (the start when absent) up to, not including,
// `until` (the end when absent). A fade rises linearly from 0 at `from` to
// full `fade` seconds later, and falls linearly to 0 at `until`; an open end
// has no fade, so a mark asked for "to the end" is whole on the last frame.
#pragma once

#include <cmath>
#include <optional>

namespace rules {

inline constexpr double kMaxFade = 10.0;
// Past a year a time is no time in a video.
inline constexpr double kLatestSeconds = 366.0 * 24 * 3600;

// Times are told to the module to the millisecond: a range is judged as it
// will be told.
inline double toMilliseconds(double seconds) {
    return std::round(seconds * 1000) / 1000;
}

struct TimeRange {
    std::optional<double> from, until;  // seconds; nothing for the start and the end
    double fade = 0;                    // seconds, in and out

    // Any bound set: the mark comes and goes.
    bool limited() const { return from.has_value() || until.has_value(); }
    bool operator==(const TimeRange&) const = default;
};

// What makes a range unusable, whatever the video.
enum class RangeProblem {
    None,
    NotATime,           // negative, not finite, or past kLatestSeconds
    UntilNotAfterFrom,  // nothing would show (until 0 included: from is the start)
    PastTheEnd,         // a bound after the video's end
    FadeOutOfBounds,    // below 0 or above kMaxFade
    FadesTooLong,       // the fades do not fit into the range together
};

// `end`: the video's duration in seconds where it is known (the module does
// not know it).
inline RangeProblem problemOf(const TimeRange& r, std::optional<double> end = std::nullopt) {
    for (const std::optional<double>& t : {r.from, r.until})
        if (t && !(std::isfinite(*t) && *t >= 0 && *t <= kLatestSeconds)) return RangeProblem::NotATime;
    if (r.until && *r.until <= r.from.value_or(0)) return RangeProblem::UntilNotAfterFrom;
    if (end && ((r.from && *r.from >= *end) || (r.until && *r.until > *end))) return RangeProblem::PastTheEnd;
    if (!(r.fade >= 0 && r.fade <= kMaxFade)) return RangeProblem::FadeOutOfBounds;
    // Each bound set has its fade, and together they must fit into the range
    // (from the start to the end where a bound is open and the end is known).
    const int fades = int(r.from.has_value()) + int(r.until.has_value());
    const std::optional<double> last = r.until ? r.until : end;
    if (last && r.fade * fades > *last - r.from.value_or(0)) return RangeProblem::FadesTooLong;
    return RangeProblem::None;
}

// The mark's weight at `seconds`, 0..1.
inline double timeWeight(double seconds, const TimeRange& r) {
    if (!r.limited()) return 1;
    if (!std::isfinite(seconds)) return 0;
    if ((r.from && seconds < *r.from) || (r.until && seconds >= *r.until)) return 0;
    double w = 1;
    if (r.fade > 0) {
        if (r.from) w = std::fmin(w, (seconds - *r.from) / r.fade);
        if (r.until) w = std::fmin(w, (*r.until - seconds) / r.fade);
    }
    return std::fmax(0.0, std::fmin(1.0, w));
}

// The weight as the module applies it, 0..256: a pixel's blend weight w
// (0..256, see mark_rules.h) becomes (w x factor + 128) / 256.
inline unsigned timeFactor(double weight) {
    if (!(weight > 0)) return 0;
    if (weight >= 1) return 256;
    return unsigned(std::lround(weight * 256));
}

constexpr unsigned timedWeight(unsigned weight, unsigned factor) noexcept {
    return (weight * factor + 128) >> 8;
}

}  // namespace rules
