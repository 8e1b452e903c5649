#include "encoder/options.h"

#include <gtest/gtest.h>

namespace {

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // nullptr: accepted
    std::string input, output, hook;
    bool overwrite;
    int rate;  // 0: none
};
void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << c.name;
}

OptionCase refused(const char* name, std::vector<std::string> args, const char* error) {
    return OptionCase{name, std::move(args), error, "", "", "", false, 0};
}

class ParseOptions : public testing::TestWithParam<OptionCase> {};

TEST_P(ParseOptions, AcceptsOrExplains) {
    const OptionCase& c = GetParam();
    wm::Options o;
    std::string error;
    const bool ok = wm::parseOptions(c.args, o, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(o.input, c.input);
    EXPECT_EQ(o.output.value_or(""), c.output);
    EXPECT_EQ(o.hook.value_or(""), c.hook);
    EXPECT_EQ(o.overwrite, c.overwrite);
    EXPECT_EQ(o.audioRate.value_or(0), c.rate);
}

const std::string kHook = "/p/watermark.dll -f /p/mask.bmp -m 1 -t ff00FF";

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseOptions,
    testing::Values(
        OptionCase{"Probe", {"-i", "/v/a.avi"}, nullptr, "/v/a.avi", "", "", false, 0},
        OptionCase{
            "ProbeOfSeveral", {"-i", "/v/a.avi", "-i", "/v/b.mp4"}, nullptr, "/v/a.avi", "", "", false, 0},
        OptionCase{"Conversion",
                   {"-i", "/v/a.avi", "-sameq", "-vhook", kHook, "-y", "/o/wm-a b.avi"},
                   nullptr,
                   "/v/a.avi",
                   "/o/wm-a b.avi",
                   kHook,
                   true,
                   0},
        OptionCase{"WithAudioRate",
                   {"-i", "/v/a.avi", "-sameq", "-vhook", kHook, "-ar", "22050", "-y", "/o/r.avi"},
                   nullptr,
                   "/v/a.avi",
                   "/o/r.avi",
                   kHook,
                   true,
                   22050},
        OptionCase{"OtherOrder",
                   {"-y", "/o/r.mp4", "-ar", "22050", "-i", "/v/a.mp4"},
                   nullptr,
                   "/v/a.mp4",
                   "/o/r.mp4",
                   "",
                   true,
                   22050},
        refused("UnknownOption", {"-i", "a.avi", "-qscale", "2", "r.avi"}, "Unrecognized option 'qscale'"),
        refused("MissingInputValue", {"-i"}, "Missing argument for option 'i'"),
        refused("MissingHookValue", {"-i", "a.avi", "-vhook"}, "Missing argument for option 'vhook'"),
        refused("EmptyHook", {"-i", "a.avi", "-vhook", "  ", "r.avi"}, "needs a module path"),
        refused("BadRate", {"-i", "a.avi", "-ar", "fast", "r.avi"}, "Invalid audio sampling rate"),
        refused("ZeroRate", {"-i", "a.avi", "-ar", "0", "r.avi"}, "Invalid audio sampling rate"),
        refused("TwoOutputs", {"-i", "a.avi", "r.avi", "s.avi"}, "Only one output"),
        refused("TwoInputs", {"-i", "a.avi", "-i", "b.avi", "r.avi"}, "Only one input"),
        refused("StandardOutput", {"-i", "a.avi", "-"}, "standard output"),
        refused("EmptyOutput", {"-i", "a.avi", ""}, "output file name is empty")),
    [](const testing::TestParamInfo<OptionCase>& i) { return std::string(i.param.name); });

// "-upright" turns the one frame written; nothing else can be turned.
struct UprightCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // nullptr: accepted
    bool upright;
};
void PrintTo(const UprightCase& c, std::ostream* os) {
    *os << c.name;
}

class UprightOption : public testing::TestWithParam<UprightCase> {};

TEST_P(UprightOption, OnlyWithOneFrame) {
    const UprightCase& c = GetParam();
    wm::Options o;
    std::string error;
    const bool ok = wm::parseOptions(c.args, o, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, c.error);
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_TRUE(o.oneFrame);
    EXPECT_EQ(o.upright, c.upright);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UprightOption,
    testing::Values(
        UprightCase{
            "FrameAsCoded", {"-ss", "2", "-i", "a.mp4", "-vframes", "1", "-y", "f.bmp"}, nullptr, false},
        UprightCase{
            "FrameUpright", {"-ss", "2", "-i", "a.mp4", "-vframes", "1", "-upright", "f.bmp"}, nullptr, true},
        UprightCase{
            "BeforeTheFrameCount", {"-upright", "-i", "a.mp4", "f.bmp", "-vframes", "1"}, nullptr, true},
        UprightCase{"Conversion",
                    {"-i", "a.mp4", "-sameq", "-vhook", kHook, "-upright", "-y", "r.mp4"},
                    "Option 'upright' is only supported with -vframes 1.",
                    false},
        UprightCase{"Probe",
                    {"-i", "a.mp4", "-upright"},
                    "Option 'upright' is only supported with -vframes 1.",
                    false},
        UprightCase{"TakesNoValue",
                    {"-i", "a.mp4", "-vframes", "1", "-upright", "1", "f.bmp"},
                    "Only one output file is supported ('f.bmp' is a second one).",
                    false}),
    [](const testing::TestParamInfo<UprightCase>& i) { return std::string(i.param.name); });

// "-nocheck" only leaves out the read-back of a conversion's result.
TEST(NoCheckOption, OnlyForAConversion) {
    wm::Options o;
    std::string error;
    ASSERT_TRUE(wm::parseOptions({"-i", "a.mp4", "-sameq", "-nocheck", "-y", "r.mp4"}, o, error)) << error;
    EXPECT_TRUE(o.noCheck);
    ASSERT_TRUE(wm::parseOptions({"-i", "a.mp4", "-y", "r.mp4"}, o, error)) << error;
    EXPECT_FALSE(o.noCheck);
    EXPECT_FALSE(wm::parseOptions({"-i", "a.mp4", "-check", "r.mp4", "-nocheck"}, o, error));
    EXPECT_NE(error.find("Option 'check' reads a result"), std::string::npos) << error;
    EXPECT_FALSE(wm::parseOptions({"-i", "a.mp4", "-vframes", "1", "-nocheck", "f.bmp"}, o, error));
    EXPECT_EQ(error, "Option 'nocheck' does not apply to -vframes 1.");
}

// "-nosmart" makes a time-limited mark code the whole video; a frame or a check codes nothing.
TEST(NoSmartOption, OnlyForAConversion) {
    wm::Options o;
    std::string error;
    ASSERT_TRUE(wm::parseOptions({"-i", "a.mp4", "-sameq", "-nosmart", "-y", "r.mp4"}, o, error)) << error;
    EXPECT_TRUE(o.noSmart);
    ASSERT_TRUE(wm::parseOptions({"-i", "a.mp4", "-y", "r.mp4"}, o, error)) << error;
    EXPECT_FALSE(o.noSmart);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-i", "a.mp4", "-vframes", "1", "-nosmart", "f.bmp"},
          std::vector<std::string>{"-i", "a.mp4", "-check", "r.mp4", "-nosmart"}}) {
        EXPECT_FALSE(wm::parseOptions(args, o, error));
        EXPECT_EQ(error, "Option 'nosmart' applies to a conversion only.");
    }
}

TEST(SplitHookCommand, SplitsAtWhiteSpace) {
    EXPECT_EQ(wm::splitHookCommand(" /p/w.dll  -f /p/m.bmp\t-m 1 -t 000000 "),
              (std::vector<std::string>{"/p/w.dll", "-f", "/p/m.bmp", "-m", "1", "-t", "000000"}));
    EXPECT_TRUE(wm::splitHookCommand("   ").empty());
}

}  // namespace
