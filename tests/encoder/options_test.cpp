#include "encoder/options.h"
#include "encoder/hook_args.h"

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

TEST(SplitHookCommand, SplitsAtWhiteSpace) {
    EXPECT_EQ(wm::splitHookCommand(" /p/w.dll  -f /p/m.bmp\t-m 1 -t 000000 "),
              (std::vector<std::string>{"/p/w.dll", "-f", "/p/m.bmp", "-m", "1", "-t", "000000"}));
    EXPECT_TRUE(wm::splitHookCommand("   ").empty());
}

struct HookCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;
    wm::Rgb key;
};
void PrintTo(const HookCase& c, std::ostream* os) {
    *os << c.name;
}

HookCase refusedHook(const char* name, std::vector<std::string> args, const char* error) {
    return HookCase{name, std::move(args), error, {}};
}

class ParseHookArgs : public testing::TestWithParam<HookCase> {};

TEST_P(ParseHookArgs, AcceptsOrExplains) {
    const HookCase& c = GetParam();
    wm::HookArgs a;
    std::string error;
    const bool ok = wm::parseHookArgs(c.args, a, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(a.maskPath, "/p/m.bmp");
    EXPECT_EQ(a.key, c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ParseHookArgs,
    testing::Values(HookCase{"Lower", {"-f", "/p/m.bmp", "-m", "1", "-t", "ff00ff"}, nullptr, {255, 0, 255}},
                    HookCase{
                        "Mixed", {"-t", "0aB0C1", "-f", "/p/m.bmp", "-m", "1"}, nullptr, {0x0a, 0xb0, 0xc1}},
                    HookCase{"DefaultKeyBlack", {"-f", "/p/m.bmp"}, nullptr, {0, 0, 0}},
                    refusedHook("ShortKey", {"-f", "/p/m.bmp", "-t", "fff"}, "six hexadecimal digits"),
                    refusedHook("LongKey", {"-f", "/p/m.bmp", "-t", "0000000"}, "six hexadecimal digits"),
                    refusedHook("NotHex", {"-f", "/p/m.bmp", "-t", "00gg00"}, "six hexadecimal digits"),
                    refusedHook("HashKey", {"-f", "/p/m.bmp", "-t", "#00000"}, "six hexadecimal digits"),
                    refusedHook("EmptyMaskPath", {"-f", "-m", "1", "-t", "000000"}, "'-f' needs a value"),
                    refusedHook("NoMask", {"-m", "1", "-t", "000000"}, "no mask bitmap"),
                    refusedHook("OtherMode", {"-f", "/p/m.bmp", "-m", "2"}, "mode '2' is not supported"),
                    refusedHook("Unknown", {"-f", "/p/m.bmp", "-x", "1"}, "unknown watermark option"),
                    refusedHook("MissingKey", {"-f", "/p/m.bmp", "-t"}, "'-t' needs a value")),
    [](const testing::TestParamInfo<HookCase>& i) { return std::string(i.param.name); });

}  // namespace
