// "From", "Until" and "Fade" as the user types them: the times read, and each bad entry answered
// with a message that names what is wrong.
#include "mark/time_range.h"

#include <gtest/gtest.h>

namespace {

struct TimeCase {
    const char* text;
    std::optional<double> seconds;
};

TEST(TimeText, SecondsOrHoursMinutesSeconds) {
    const TimeCase cases[] = {
        {"75", 75},
        {"75.5", 75.5},
        {"2,5", 2.5},
        {" 1:15 ", 75},
        {"1:15.25", 75.25},
        {"0:01:15", 75},
        {"1:02:03.5", 3723.5},
        {"0", 0},
        {"0.0004", 0},
        {"0.0005", 0.001},
        {"00:00:02", 2},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"1:60", std::nullopt},
        {"1:2:3:4", std::nullopt},
        {"1.5:20", std::nullopt},
        {"1:", std::nullopt},
        {".5", std::nullopt},
        {"5.", std::nullopt},
        {"1e3", std::nullopt},
        {"1..2", std::nullopt},
        {"1 5", std::nullopt},
    };
    for (const TimeCase& c : cases)
        EXPECT_EQ(parseTimeText(QString::fromUtf8(c.text)), c.seconds) << c.text;
}

TEST(TimeText, ShownAsTheFieldsTakeIt) {
    EXPECT_EQ(timeText(0), "0:00");
    EXPECT_EQ(timeText(2.5), "0:02.5");
    EXPECT_EQ(timeText(75.25), "1:15.25");
    EXPECT_EQ(timeText(3723.004), "1:02:03.004");
    for (const double s : {0.001, 59.999, 61.5, 3600.0, 7322.25})
        EXPECT_EQ(parseTimeText(timeText(s)), s) << s;
}

struct RangeCase {
    const char* name;
    const char *from, *until, *fade;
    std::optional<double> duration;
    const char* problem;  // part of the message; nullptr: usable
    rules::TimeRange range;
};
void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadTimeRange : public testing::TestWithParam<RangeCase> {};

TEST_P(ReadTimeRange, GivesTheRangeOrSaysWhy) {
    const RangeCase& c = GetParam();
    const TimeRangeCheck check = readTimeRange(QString::fromUtf8(c.from), QString::fromUtf8(c.until),
                                               QString::fromUtf8(c.fade), c.duration);
    if (c.problem) {
        EXPECT_TRUE(check.problem.contains(QString::fromUtf8(c.problem))) << check.problem.toStdString();
        return;
    }
    EXPECT_EQ(check.problem, QString());
    EXPECT_EQ(check.range, c.range);
}

rules::TimeRange range(std::optional<double> from, std::optional<double> until, double fade) {
    return rules::TimeRange{from, until, fade};
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ReadTimeRange,
    testing::Values(
        RangeCase{"AllEmpty", "", "", "", 10, nullptr, range(std::nullopt, std::nullopt, 0)},
        RangeCase{"TwoToSix", "2", "0:06", "1", 10, nullptr, range(2, 6, 1)},
        RangeCase{"OnlyTheLastMinute", "9:00", "", "2", 600, nullptr, range(540, std::nullopt, 2)},
        RangeCase{"UnknownLength", "9:00", "", "", std::nullopt, nullptr, range(540, std::nullopt, 0)},
        RangeCase{"Letters", "abc", "", "", 10, "From \"abc\" is not a time", {}},
        RangeCase{"LettersInFade", "2", "6", "soft", 10, "Fade \"soft\" is not a time", {}},
        RangeCase{"Negative", "-2", "", "", 10, "From cannot be negative", {}},
        RangeCase{"NegativeFade", "", "6", "-1", 10, "Fade cannot be negative", {}},
        RangeCase{"FromAfterUntil", "6", "2", "", 10, "Until (0:02) must come after From (0:06)", {}},
        RangeCase{"UntilZero", "", "0", "", 10, "Until (0:00) must come after From (0:00)", {}},
        RangeCase{"FromPastTheEnd", "12", "", "", 10, "From (0:12) is past the end of the video (0:10)", {}},
        RangeCase{
            "UntilPastTheEnd", "", "1:00", "", 10, "Until (1:00) is past the end of the video (0:10)", {}},
        RangeCase{"FadeAboveTen", "", "", "11", 100, "Fade must be from 0 to 10 seconds", {}},
        RangeCase{"FadeLongerThanTheRange",
                  "2",
                  "6",
                  "3",
                  10,
                  "Fade 3 s in and 3 s out is longer than the time from From to Until (4 s)",
                  {}},
        RangeCase{"FadeLongerThanTheRest",
                  "8",
                  "",
                  "3",
                  10,
                  "Fade 3 s is longer than the time the watermark shows (2 s)",
                  {}}),
    [](const testing::TestParamInfo<RangeCase>& i) { return std::string(i.param.name); });

}  // namespace
