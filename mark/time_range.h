// The positioning window's "From", "Until" and "Fade" as the user types them,
// read into a rules::TimeRange or a message that says what is wrong. No
// widgets.
#pragma once

#include "rules/time_weight.h"

#include <QString>

#include <optional>

// A time as typed: seconds ("75", "75.5") or minutes and seconds ("1:15",
// "1:15.5") or hours, minutes and seconds ("0:01:15"); a point or a comma
// before the fraction; spaces around it ignored. Rounded to the millisecond,
// which is what the module is told. Nothing for a text that is no time (a
// sign, letters, 60 or more minutes or seconds behind a colon).
std::optional<double> parseTimeText(const QString& text);

// A time as the fields show it: "0:02", "1:15.5", "1:02:03.25".
QString timeText(double seconds);

struct TimeRangeCheck {
    rules::TimeRange range;  // usable only when problem is empty
    QString problem;         // what is wrong, for the user; "" when nothing is
};

// What is wrong with a range for a video of `duration` seconds (where known), in
// the words of the fields; "" when nothing is.
QString timeRangeProblem(const rules::TimeRange& range, std::optional<double> duration);

// The three fields read together. An empty "From" is the start, an empty
// "Until" the end, an empty "Fade" no fade. `duration`: the video's length in
// seconds where it is known, for bounds past its end.
TimeRangeCheck readTimeRange(const QString& from, const QString& until, const QString& fade,
                             std::optional<double> duration);
