#include "convert/progress_parse.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* name;
    const char* duration;
    const char* chunk;
    const char* caption;  // nullptr: the chunk changes nothing
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class ProgressCaption : public ::testing::TestWithParam<Case> {};

TEST_P(ProgressCaption, FromDurationAndChunk) {
    const Case c = GetParam();
    const auto elapsed = elapsedTextOf(QString::fromLatin1(c.chunk));
    if (!c.caption) {
        EXPECT_FALSE(elapsed.has_value());
        return;
    }
    ASSERT_TRUE(elapsed.has_value());
    EXPECT_EQ(progressCaption(progressPercent(QString::fromLatin1(c.duration), *elapsed)).toStdString(),
              c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ProgressCaption,
    ::testing::Values(Case{"quarter", "00:02:00.00",
                           "frame=  750 fps= 61 q=3.0 size=    2048kB time=30.00 bitrate=559.2kbits/s\r",
                           "Progress: 25%"},
                      Case{"duration_with_comma", "00:01:05.3,", "time=13.00 bitrate=1.0", "Progress: 20%"},
                      Case{"half_down_to_even", "00:01:40.00", "time=0.50 x", "Progress: 0%"},
                      Case{"half_up_to_even", "00:01:40.00", "time=1.50 x", "Progress: 2%"},
                      Case{"beyond_the_end", "00:00:10.00", "time=12.00 x", "Progress: 100%"},
                      Case{"upper_case_field", "00:00:10.00", "TIME=5.00 x", "Progress: 50%"},
                      Case{"no_time_field", "00:00:10.00", "frame=  12 fps=0.0 q=2.0\r", nullptr},
                      Case{"cut_before_the_space", "00:00:10.00", "frame= 3 time=12.3", "Progress: 0%"},
                      Case{"no_duration", "", "time=5.00 x", "Progress: 0%"},
                      Case{"duration_not_available", "N/A, start:", "time=5.00 x", "Progress: 0%"},
                      Case{"first_time_counts", "00:00:10.00", "time=1.00 a\rtime=9.00 b\r", "Progress: 10%"},
                      Case{"time_inside_another_word", "00:00:10.00", "runtime: 7 s", "Progress: 0%"},
                      Case{"beyond_sixteen_bits", "00:00:01.00", "time=400.00 x", "Progress: 0%"},
                      Case{"hours", "01:00:00.00", "time=900.00 x", "Progress: 25%"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(DurationSeconds, WholeSecondsOfTheText) {
    EXPECT_EQ(durationSeconds(QStringLiteral("00:01:05.3,")), 65);
    EXPECT_EQ(durationSeconds(QStringLiteral("02:00:00.00")), 7200);
    EXPECT_EQ(durationSeconds(QStringLiteral("00:0")), 0);
    EXPECT_EQ(durationSeconds(QString()), 0);
}

TEST(DurationInSeconds, KeepsTheFraction) {
    EXPECT_DOUBLE_EQ(durationInSeconds(QStringLiteral("00:01:05.30")), 65.3);
    EXPECT_DOUBLE_EQ(durationInSeconds(QStringLiteral("00:01:05.3,")), 65.3);
    EXPECT_DOUBLE_EQ(durationInSeconds(QStringLiteral("01:00:00.00")), 3600);
    EXPECT_DOUBLE_EQ(durationInSeconds(QStringLiteral("N/A")), 0);
    EXPECT_DOUBLE_EQ(durationInSeconds(QString()), 0);
}

}  // namespace
