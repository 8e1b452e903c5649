#include "encoder/hook/hook_args.h"

#include <gtest/gtest.h>

namespace {

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
