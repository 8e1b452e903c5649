#include "jobs/progress_parse.h"

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

// The speed and the time left, as the encoder's progress line gives them.
TEST(Pace, SpeedAndTimeLeftFromTheProgressLine) {
    struct PaceCase {
        const char* name;
        const char* chunk;
        double total;
        const char* text;  // "" when nothing is shown
    };
    const PaceCase cases[] = {
        {"issue's example",
         "frame=  500 fps= 57 q=23.0 size=  1024kB time=20.00 bitrate= 419.4kbits/s speed=2.3x\r", 114.3,
         "2.3x, about 0:41 left"},
        // The elapsed time is the first of the chunk, as the caption reads it.
        {"last speed of the chunk counts", "time=1.00 b speed=1.0x\rtime=2.00 b speed=4.05x\r", 10,
         "4.0x, about 0:03 left"},
        {"rounded up to the second", "time=0.00 speed=3x\r", 10, "3.0x, about 0:04 left"},
        {"fast", "time=60.00 speed=12.4x\r", 3660, "12x, about 4:51 left"},
        {"hours left", "time=0.00 speed=0.25x\r", 1000, "0.3x, about 1:06:40 left"},
        {"at the end", "time=12.00 speed=2x\r", 10, "2.0x, about 0:00 left"},
        {"no speed yet", "time=0.00 speed=0x\r", 10, ""},
        {"no speed field", "frame=  12 fps=0.0 q=2.0 time=1.00 bitrate=1\r", 10, ""},
        {"speed not a number", "time=1.00 speed=N/Ax\r", 10, ""},
        {"duration unknown", "time=1.00 speed=2x\r", 0, ""},
    };
    for (const PaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString chunk = QString::fromLatin1(c.chunk);
        const std::optional<double> speed = speedOf(chunk);
        const double elapsed = QString(*elapsedTextOf(chunk)).toDouble();
        EXPECT_EQ(paceText(speed.value_or(0), elapsed, c.total).toStdString(), c.text);
    }
}

// What a smart run codes again rides behind the speed; the runner hands its bytes one a character.
TEST(Progress, CarriesWhatASmartRunCodesAgain) {
    const struct {
        const char* text;
        const char* reencoded;
    } cases[] = {
        {"frame=   10 fps= 50 q=0.0 size=   10kB time=0.40 bitrate= 1.0kbits/s speed=2x\r", ""},
        {"frame=   10 fps= 50 q=0.0 size=   10kB time=0.40 bitrate= 1.0kbits/s speed=2x re-encoded "
         "0:00\u20130:12 of 3:00, the rest copied\r",
         "re-encoded 0:00\u20130:12 of 3:00, the rest copied"},
        {"frame=    1 fps=  0 q=0.0 size=    1kB time=0.04 bitrate= 1.0kbits/s speed=0x nothing re-encoded "
         "of "
         "1:05, all copied\r",
         "nothing re-encoded of 1:05, all copied"},
    };
    for (const auto& c : cases) {
        const auto p = lastProgress(QString::fromLatin1(QByteArray(c.text)));
        ASSERT_TRUE(p) << c.text;
        EXPECT_EQ(p->reencoded.toStdString(), c.reencoded);
        EXPECT_DOUBLE_EQ(p->seconds, QString::fromLatin1(QByteArray(c.text)).contains(QStringLiteral("0.40"))
                                         ? 0.4
                                         : 0.04);
        EXPECT_EQ(speedOf(QString::fromLatin1(QByteArray(c.text))).has_value(),
                  std::string(c.text).find("speed=0x") == std::string::npos);
    }
}

}  // namespace
