// The mark's weight over time, as the module lays it and the canvas shows it, and the ranges that
// cannot be used.
#include "rules/time_weight.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using rules::RangeProblem;
using rules::TimeRange;

constexpr double kNone = -1;  // an open bound in the tables

TimeRange range(double from, double until, double fade) {
    TimeRange r;
    if (from != kNone) r.from = from;
    if (until != kNone) r.until = until;
    r.fade = fade;
    return r;
}

struct WeightCase {
    const char* name;
    TimeRange range;
    double seconds, weight;
};
void PrintTo(const WeightCase& c, std::ostream* os) {
    *os << c.name;
}

class TimeWeight : public testing::TestWithParam<WeightCase> {};

TEST_P(TimeWeight, RisesAndFallsOverTheFades) {
    const WeightCase& c = GetParam();
    EXPECT_DOUBLE_EQ(rules::timeWeight(c.seconds, c.range), c.weight);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TimeWeight,
    testing::Values(
        WeightCase{"UnlimitedAlwaysWhole", range(kNone, kNone, 3), 0, 1},
        WeightCase{"BeforeFrom", range(2, 6, 1), 1.96, 0}, WeightCase{"AtFromWithFade", range(2, 6, 1), 2, 0},
        WeightCase{"HalfwayIn", range(2, 6, 1), 2.5, 0.5},
        WeightCase{"QuarterIn", range(2, 6, 1), 2.25, 0.25}, WeightCase{"FadeInDone", range(2, 6, 1), 3, 1},
        WeightCase{"Middle", range(2, 6, 1), 4, 1}, WeightCase{"FadeOutStarts", range(2, 6, 1), 5, 1},
        WeightCase{"HalfwayOut", range(2, 6, 1), 5.5, 0.5}, WeightCase{"AtUntil", range(2, 6, 1), 6, 0},
        WeightCase{"AfterUntil", range(2, 6, 1), 9, 0}, WeightCase{"NoFadeFromIsIn", range(2, 6, 0), 2, 1},
        WeightCase{"NoFadeUntilIsOut", range(2, 6, 0), 6, 0},
        WeightCase{"NoFadeJustBeforeUntil", range(2, 6, 0), 5.999, 1},
        WeightCase{"OpenStartHasNoFadeIn", range(kNone, 6, 2), 0, 1},
        WeightCase{"OpenStartFadesOut", range(kNone, 6, 2), 5, 0.5},
        WeightCase{"OpenEndHasNoFadeOut", range(2, kNone, 2), 1e6, 1},
        WeightCase{"OpenEndFadesIn", range(2, kNone, 2), 3, 0.5},
        WeightCase{"BeforeTheStreamStart", range(kNone, 6, 0), -0.04, 1},
        WeightCase{"NoTime", range(2, 6, 1), std::numeric_limits<double>::quiet_NaN(), 0}),
    [](const testing::TestParamInfo<WeightCase>& i) { return std::string(i.param.name); });

struct ProblemCase {
    const char* name;
    TimeRange range;
    std::optional<double> end;
    RangeProblem problem;
};
void PrintTo(const ProblemCase& c, std::ostream* os) {
    *os << c.name;
}

class RangeProblems : public testing::TestWithParam<ProblemCase> {};

TEST_P(RangeProblems, NamesWhatIsWrong) {
    const ProblemCase& c = GetParam();
    EXPECT_EQ(rules::problemOf(c.range, c.end), c.problem);
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, RangeProblems,
    testing::Values(ProblemCase{"Usable", range(2, 6, 1), 10, RangeProblem::None},
                    ProblemCase{"FadesJustFit", range(2, 6, 2), 10, RangeProblem::None},
                    ProblemCase{"UnknownEnd", range(2, kNone, 10), std::nullopt, RangeProblem::None},
                    ProblemCase{"UntilAtTheEnd", range(kNone, 10, 0), 10, RangeProblem::None},
                    ProblemCase{"Negative", range(-2, 6, 0), 10, RangeProblem::NotATime},
                    ProblemCase{"Infinite", range(kNone, kInf, 0), std::nullopt, RangeProblem::NotATime},
                    ProblemCase{"UntilBeforeFrom", range(6, 2, 0), 10, RangeProblem::UntilNotAfterFrom},
                    ProblemCase{"UntilIsFrom", range(4, 4, 0), 10, RangeProblem::UntilNotAfterFrom},
                    ProblemCase{"UntilZero", range(kNone, 0, 0), 10, RangeProblem::UntilNotAfterFrom},
                    ProblemCase{"PastAYear", range(31622401, kNone, 0), std::nullopt, RangeProblem::NotATime},
                    ProblemCase{"FromAtTheEnd", range(10, kNone, 0), 10, RangeProblem::PastTheEnd},
                    ProblemCase{"UntilPastTheEnd", range(2, 12, 0), 10, RangeProblem::PastTheEnd},
                    ProblemCase{"NegativeFade", range(2, 6, -1), 10, RangeProblem::FadeOutOfBounds},
                    ProblemCase{"FadeAboveTen", range(2, 60, 10.5), 100, RangeProblem::FadeOutOfBounds},
                    ProblemCase{"FadesOverlap", range(2, 6, 2.5), 10, RangeProblem::FadesTooLong},
                    ProblemCase{"FadeInPastTheEnd", range(8, kNone, 3), 10, RangeProblem::FadesTooLong},
                    ProblemCase{"FadeOutBeforeTheStart", range(kNone, 2, 3), 10, RangeProblem::FadesTooLong}),
    [](const testing::TestParamInfo<ProblemCase>& i) { return std::string(i.param.name); });

// The module's integer weights: whole and none are exact, half is half.
TEST(TimeFactor, ScalesABlendWeight) {
    EXPECT_EQ(rules::timeFactor(1), 256u);
    EXPECT_EQ(rules::timeFactor(0), 0u);
    EXPECT_EQ(rules::timeFactor(-0.5), 0u);
    EXPECT_EQ(rules::timeFactor(0.5), 128u);
    for (unsigned w : {0u, 1u, 77u, 255u, 256u}) {
        EXPECT_EQ(rules::timedWeight(w, 256), w);
        EXPECT_EQ(rules::timedWeight(w, 0), 0u);
    }
    EXPECT_EQ(rules::timedWeight(256, 128), 128u);
}

}  // namespace
