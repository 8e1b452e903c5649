#include "convert/conversion_line.h"
#include "runner/command_line.h"

#include <gtest/gtest.h>

namespace {

ConversionRun run(const QString& title, const QString& colour, bool audio) {
    ConversionRun r;
    r.programFolder = QStringLiteral("/opt/wm");
    r.video = QStringLiteral("/clips/trip.avi");
    r.mask = QStringLiteral("/opt/wm/mask.bmp");
    r.maskColour = colour;
    r.result = resultPath(r.programFolder + QStringLiteral("/watermarked"), title);
    r.enhanceAudio = audio;
    return r;
}

TEST(ConversionLine, TokensInTheirOrderAndQuoting) {
    EXPECT_EQ(conversionCommandLine(run(QStringLiteral("holiday trip.avi"), QStringLiteral("ff00ff"), false)),
              QStringLiteral("/opt/wm/mxcode.dll -i /clips/trip.avi -sameq -vhook "
                             "\"/opt/wm/watermark.dll -f /opt/wm/mask.bmp -m 1 -t ff00ff\" "
                             "-y \"/opt/wm/watermarked/wm-holiday trip.avi\""));
    EXPECT_EQ(conversionCommandLine(run(QStringLiteral("clip.mpg"), QStringLiteral("000000"), true)),
              QStringLiteral("/opt/wm/mxcode.dll -i /clips/trip.avi -sameq -vhook "
                             "\"/opt/wm/watermark.dll -f /opt/wm/mask.bmp -m 1 -t 000000\" "
                             "-ar 22050 -y \"/opt/wm/watermarked/wm-clip.mpg\""));
}

TEST(ConversionLine, OpacityBelowFullGoesToTheModuleOnly) {
    for (const auto& [opacity, hookEnd] :
         {std::pair{100, ""}, std::pair{99, " -a 99"}, std::pair{10, " -a 10"}}) {
        ConversionRun r = run(QStringLiteral("clip.avi"), QStringLiteral("000000"), false);
        r.opacity = opacity;
        EXPECT_EQ(conversionCommandLine(r),
                  QStringLiteral("/opt/wm/mxcode.dll -i /clips/trip.avi -sameq -vhook "
                                 "\"/opt/wm/watermark.dll -f /opt/wm/mask.bmp -m 1 -t 000000%1\" "
                                 "-y \"/opt/wm/watermarked/wm-clip.avi\"")
                      .arg(QLatin1String(hookEnd)))
            << opacity;
    }
}

// A time range lives in the module's own words: the line keeps its tokens, and a range that is not
// limited leaves the first design's line exactly as it was.
TEST(ConversionLine, TimeRangeGoesToTheModuleOnly) {
    const struct {
        rules::TimeRange range;
        const char* hookEnd;
    } cases[] = {
        {{}, ""},
        {{std::nullopt, std::nullopt, 2}, ""},
        {{2.0, 6.0, 1}, " -from 2 -until 6 -fade 1"},
        {{0.5, std::nullopt, 0}, " -from 0.5"},
        {{std::nullopt, 62.125, 0.25}, " -until 62.125 -fade 0.25"},
        {{3723.004, 3725.0, 0}, " -from 3723.004 -until 3725"},
    };
    for (const auto& c : cases) {
        ConversionRun r = run(QStringLiteral("clip.avi"), QStringLiteral("000000"), true);
        r.opacity = 50;
        r.range = c.range;
        const QString hook =
            QStringLiteral("/opt/wm/watermark.dll -f /opt/wm/mask.bmp -m 1 -t 000000 -a 50") +
            QLatin1String(c.hookEnd);
        EXPECT_EQ(splitCommandLine(conversionCommandLine(r)),
                  QStringList({"/opt/wm/mxcode.dll", "-i", "/clips/trip.avi", "-sameq", "-vhook", hook, "-ar",
                               "22050", "-y", "/opt/wm/watermarked/wm-clip.avi"}))
            << c.hookEnd;
    }
}

TEST(KeepBoth, FirstFreeNumberBeforeTheExtension) {
    const struct {
        const char* taken;
        QStringList alsoTaken;
        const char* expected;
    } cases[] = {
        {"/w/wm-clip.mp4", {}, "/w/wm-clip (2).mp4"},
        {"/w/wm-clip.mp4",
         {"/w/wm-clip (2).mp4", "/w/wm-clip (3).mp4", "/w/wm-clip (5).mp4"},
         "/w/wm-clip (4).mp4"},
        // Taken in another folder is not taken here.
        {"/w/wm-clip.mp4", {"/x/wm-clip (2).mp4"}, "/w/wm-clip (2).mp4"},
        {"/w/wm-clip.tar.mkv", {}, "/w/wm-clip.tar (2).mkv"},
        {"/w.d/wm-clip", {}, "/w.d/wm-clip (2)"},
        {"/w/.clip", {}, "/w/.clip (2)"},
    };
    for (const auto& c : cases) {
        const auto isTaken = [&](const QString& path) {
            return c.alsoTaken.contains(path);
        };
        EXPECT_EQ(keepBothPath(QString::fromUtf8(c.taken), isTaken), QString::fromUtf8(c.expected))
            << c.taken;
    }
    EXPECT_EQ(keepBothPath(QStringLiteral("/w/wm-clip.mp4"), [](const QString&) { return true; }), QString());
}

struct SplitCase {
    const char* label;
    const char* title;
    bool audio;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.label;
}

class ConversionLineSplit : public ::testing::TestWithParam<SplitCase> {};

// Whatever the video is called, the encoder gets exactly the intended arguments.
TEST_P(ConversionLineSplit, GivesExactlyTheIntendedArguments) {
    const QString title = QString::fromUtf8(GetParam().title);
    const ConversionRun r = run(title, QStringLiteral("0000ff"), GetParam().audio);
    QStringList want = {QStringLiteral("/opt/wm/mxcode.dll"),
                        QStringLiteral("-i"),
                        QStringLiteral("/clips/trip.avi"),
                        QStringLiteral("-sameq"),
                        QStringLiteral("-vhook"),
                        QStringLiteral("/opt/wm/watermark.dll -f /opt/wm/mask.bmp -m 1 -t 0000ff")};
    if (GetParam().audio) want << QStringLiteral("-ar") << QStringLiteral("22050");
    want << QStringLiteral("-y") << QStringLiteral("/opt/wm/watermarked/wm-") + title;
    EXPECT_EQ(splitCommandLine(conversionCommandLine(r)), want);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ConversionLineSplit,
    ::testing::Values(SplitCase{"plain", "clip.mpg", false}, SplitCase{"spaces", "holiday trip.avi", true},
                      SplitCase{"quotes", "clip\" -f x \"y.avi", false},
                      SplitCase{"trailing_backslash", "ends with backslash\\", true},
                      SplitCase{"backslashes_before_quotes", "two\\\\\" quotes \\\".mov", false},
                      SplitCase{"non_ascii", "Fähre über den Fjord.mov", false}));

}  // namespace
