#include "jobs/encoder_lines.h"
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

// "MP4 to share" adds one option and names the result .mp4; the first design's line stays as it is.
TEST(ConversionLine, Mp4ToShareAddsTheOptionAndTheExtension) {
    const struct {
        const char* title;
        const char* result;
    } cases[] = {{"holiday trip.mkv", "wm-holiday trip.mp4"},
                 {"clip.mp4", "wm-clip.mp4"},
                 {"two.dots.AVI", "wm-two.dots.mp4"},
                 {"no extension", "wm-no extension.mp4"},
                 {".hidden", "wm-.hidden.mp4"}};
    for (const auto& c : cases) {
        ConversionRun r = run(QStringLiteral("x.avi"), QStringLiteral("000000"), true);
        r.output = OutputChoice::Mp4ToShare;
        r.result = resultPath(QStringLiteral("/w"), QString::fromUtf8(c.title), r.output);
        EXPECT_EQ(r.result, QStringLiteral("/w/") + QString::fromUtf8(c.result)) << c.title;
        EXPECT_EQ(splitCommandLine(conversionCommandLine(r)).mid(6),
                  (QStringList{QStringLiteral("-ar"), QStringLiteral("22050"), QStringLiteral("-share"),
                               QStringLiteral("-y"), r.result}))
            << c.title;
    }
    EXPECT_EQ(resultPath(QStringLiteral("/w"), QStringLiteral("clip.mkv")), QStringLiteral("/w/wm-clip.mkv"));
    // The choice as the settings keep it; anything else is the first design's output.
    for (OutputChoice o : {OutputChoice::SameAsSource, OutputChoice::Mp4ToShare})
        EXPECT_EQ(outputFromWord(outputWord(o)), o);
    EXPECT_EQ(outputFromWord(QStringLiteral("SHARE")), OutputChoice::SameAsSource);
    EXPECT_EQ(outputCaption(OutputChoice::SameAsSource), QStringLiteral("Same as the source"));
    EXPECT_EQ(outputCaption(OutputChoice::Mp4ToShare), QStringLiteral("MP4 to share"));
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

// The probe, the frame and the proof frame: the same encoder token, the same
// quoting, and the proof frame's module token equal to the conversion's.
TEST(EncoderLines, ProbeFrameAndProofFrame) {
    ConversionRun hook = run(QStringLiteral("clip.mp4"), QStringLiteral("00ff00"), false);
    hook.opacity = 70;
    const QString mod = QStringLiteral("\"/opt/wm/watermark.dll -f /opt/wm/mask.bmp -m 1 -t 00ff00 -a 70\"");
    const struct {
        const char* name;
        QString line;
        QString expected;
    } cases[] = {
        {"probe",
         probeCommandLine(QStringLiteral("/opt/wm"), QStringLiteral("mxcode.dll"),
                          QStringLiteral("/v/a b.mp4")),
         QStringLiteral("\"/opt/wm/mxcode.dll\" -i \"/v/a b.mp4\"")},
        {"frame",
         frameCommandLine(QStringLiteral("/opt/wm"), QStringLiteral("mxcode.dll"), QStringLiteral("/v/a.mp4"),
                          12.5, false, QStringLiteral("/w/frame.bmp")),
         QStringLiteral("\"/opt/wm/mxcode.dll\" -ss 12.500 -i \"/v/a.mp4\" -vframes 1 -y \"/w/frame.bmp\"")},
        {"upright frame",
         frameCommandLine(QStringLiteral("/opt/wm"), QStringLiteral("mxcode.dll"), QStringLiteral("/v/a.mp4"),
                          0, true, QStringLiteral("/w/frame.bmp")),
         QStringLiteral(
             "\"/opt/wm/mxcode.dll\" -ss 0.000 -i \"/v/a.mp4\" -vframes 1 -upright -y \"/w/frame.bmp\"")},
        {"proof frame",
         frameCommandLine(QStringLiteral("/opt/wm"), QStringLiteral("mxcode.dll"), QStringLiteral("/v/a.mp4"),
                          1, true, QStringLiteral("/w/proof.bmp"), hook),
         QStringLiteral("\"/opt/wm/mxcode.dll\" -ss 1.000 -i \"/v/a.mp4\" -vhook ") + mod +
             QStringLiteral(" -vframes 1 -upright -y \"/w/proof.bmp\"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.line, c.expected);
    }
    EXPECT_TRUE(conversionCommandLine(hook).contains(QStringLiteral(" -vhook ") + mod + u' '));
}
